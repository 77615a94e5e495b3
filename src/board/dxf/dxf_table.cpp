// A table's groups by their meaning, and a mirror as a table takes it.
#include "board/dxf/dxf_table.h"

#include <cmath>
#include <cstddef>
#include <numbers>
#include <string_view>

#include "board/dxf/dxf_names.h"

namespace pelimator::board::dxf_roles {

namespace {

// The groups of the table as a whole come before its first cell (171, the cell's type); a
// cell's groups (its value's 11 a point of data, its 140 a number or a text height) after.
constexpr int kCellStart = 171;

bool IsTableMarker(const DxfTag& tag) {
    return tag.code == 100 && TrimDxf(tag.value) == "AcDbTable";
}

// Reads forwards: rightwards, or straight up (a quarter turn leaves 1e-16 for 0).
bool Forwards(Vec2 x) {
    const double level = 1e-12 * (std::abs(x.x) + std::abs(x.y));
    return x.x > level || (std::abs(x.x) <= level && x.y > 0.0);
}

Vec2 Unit(Vec2 v) {
    const double length = Length(v);
    return length > 0.0 ? (1.0 / length) * v : Vec2{1.0, 0.0};
}

// The lengths of the table's frame a scale scales: the table's margins (40, 41), its rows' text
// heights (140), row heights (141) and column widths (142); a cell's text height (140) and its
// block's scale (144).
bool IsTableLength(int code, bool cell) {
    if (cell) return code == 140 || code == 144;
    return code == 40 || code == 41 || code == 140 || code == 141 || code == 142;
}

}  // namespace

void TableRoles(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                std::vector<Role>& roles) {
    bool point = false;
    bool table = false;
    bool direction = false;
    bool cells = false;
    bool value = false;  // inside a cell's value (301 ... 304): data, never placed
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const DxfTag& tag = tags[i];
        if (IsTableMarker(tag)) table = true;
        if (tag.code == kCellStart) cells = true;
        if (tag.code == 301 && cells) value = true;
        if (tag.code == 304 && cells) value = false;
        if (!cells && tag.code == 10 && !point) {
            roles[i] = Role::Point;
            point = true;
        } else if (!cells && tag.code == 11 && table && !direction) {
            roles[i] = Role::Unit;
            direction = true;  // one direction
        } else if (table && !value && IsTableLength(tag.code, cells)) {
            roles[i] = Role::Length;
        }
    }
}

std::string TableRefusal(const RecordPlacement& placement) {
    if (placement.factor > 0.0) return {};
    return "ACAD_TABLE (表) は拡大縮小できません (倍率が正でないため)";
}

TableFrame ReadTableFrame(const std::vector<DxfTag>& tags, const std::vector<Part>& parts) {
    TableFrame frame;
    bool point = false;
    bool table = false;
    bool direction = false;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const DxfTag& tag = tags[i];
        if (IsTableMarker(tag)) table = true;
        if (tag.code == kCellStart) break;
        if (!point && (tag.code == 10 || tag.code == 20)) {
            (tag.code == 10 ? frame.insert.x : frame.insert.y) = tag.real;
            point = tag.code == 20;
        }
        if (table && !direction && (tag.code == 11 || tag.code == 21)) {
            (tag.code == 11 ? frame.direction.x : frame.direction.y) = tag.real;
            direction = tag.code == 21;
        }
        if (table && tag.code == 141) frame.height += tag.real;
        if (table && tag.code == 142) frame.width += tag.real;
    }
    frame.direction = Unit(frame.direction);
    return frame;
}

std::vector<RecordPlacement> TablePlacements(TableFrame frame,
                                             const std::vector<RecordPlacement>& placements) {
    std::vector<RecordPlacement> out;
    out.reserve(placements.size());
    for (RecordPlacement placement : placements) {
        if (placement.mirror) {
            const Vec2 mirrored = Unit(PlaceDirection(placement, frame.direction));
            const Vec2 down{frame.direction.y, -frame.direction.x};  // the rows' way
            Vec2 along = mirrored;
            Vec2 corner = frame.insert + frame.height * down;  // the bottom left
            if (!Forwards(mirrored)) {
                along = -1.0 * mirrored;
                corner = frame.insert + frame.width * frame.direction;  // the top right
            }
            const Vec2 to = PlacePoint(placement, corner);
            double degrees =
                (std::atan2(along.y, along.x) - std::atan2(frame.direction.y, frame.direction.x)) *
                180.0 / std::numbers::pi;
            if (along == frame.direction) degrees = 0.0;
            if (along == -1.0 * frame.direction) degrees = 180.0;
            placement = RecordPlacement{frame.insert, degrees, to - frame.insert};
        }
        frame.insert = PlacePoint(placement, frame.insert);
        frame.direction = Unit(PlaceDirection(placement, frame.direction));
        frame.width *= std::abs(placement.factor);
        frame.height *= std::abs(placement.factor);
        out.push_back(placement);
    }
    return out;
}

}  // namespace pelimator::board::dxf_roles
