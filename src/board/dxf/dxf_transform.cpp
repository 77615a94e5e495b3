// Placing a kept record's geometry group by group: which groups are points, directions and
// angles depends on the record's type (and, in a hatch, on where in its boundary a group sits).
#include "board/dxf/dxf_transform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <unordered_set>

#include "base/errors.h"
#include "board/dxf/dxf_names.h"

namespace pelimator::board {

namespace {

enum class Role : std::uint8_t { Keep, Point, Direction, Degrees, DegreesClockwise, Radians };

std::vector<DxfTag> ReadTags(const DxfSource& source, std::size_t record) {
    std::vector<DxfTag> tags;
    if (record + 1 >= source.records.size()) return tags;
    const std::string_view bytes = source.bytes;
    DxfTagReader reader(bytes.substr(0, source.records[record + 1]), source.layout,
                        source.fileName);
    reader.Seek(source.records[record], 1);
    for (DxfTag tag; reader.Next(tag);) tags.push_back(tag);
    return tags;
}

std::string TypeOf(const std::vector<DxfTag>& tags) {
    return tags.empty() || tags.front().code != 0 ? std::string()
                                                  : std::string(TrimDxf(tags.front().value));
}

// Types whose geometry groups are known; a fixed role per group code.
Role SimpleRole(std::string_view type, int code) {
    const auto is = [&](std::initializer_list<std::string_view> types) {
        return std::ranges::any_of(types, [&](std::string_view t) { return t == type; });
    };
    switch (code) {
        case 10:
            return type == "POLYLINE" ? Role::Keep : Role::Point;  // a polyline's is elevation
        case 11:
            if (is({"MTEXT", "ELLIPSE", "XLINE", "RAY"})) return Role::Direction;
            if (is({"LINE", "TEXT", "ATTRIB", "ATTDEF", "SOLID", "TRACE", "3DFACE", "SPLINE"})) {
                return Role::Point;
            }
            return Role::Keep;
        case 12:
        case 13:
            if (type == "SPLINE") return Role::Direction;
            if (is({"SOLID", "TRACE", "3DFACE"})) return Role::Point;
            return Role::Keep;
        case 50:
            if (is({"POINT", "VERTEX", "TEXT", "ATTRIB", "ATTDEF", "MTEXT", "INSERT", "ARC"})) {
                return Role::Degrees;
            }
            return Role::Keep;
        case 51:
            return type == "ARC" ? Role::Degrees : Role::Keep;
        case 211:
        case 212:
        case 213:
            return type == "LEADER" ? Role::Direction : Role::Keep;
        default:
            return Role::Keep;
    }
}

const std::unordered_set<std::string_view>& PlaceableTypes() {
    static const std::unordered_set<std::string_view> types{
        "LINE",    "POINT",  "CIRCLE", "ARC",    "LWPOLYLINE", "POLYLINE", "VERTEX", "SEQEND",
        "TEXT",    "MTEXT",  "ATTRIB", "ATTDEF", "INSERT",     "SOLID",    "TRACE",  "3DFACE",
        "ELLIPSE", "SPLINE", "LEADER", "XLINE",  "RAY",        "HATCH"};
    return types;
}

// The role of every tag of a record, by its type; a hatch's by its place in the boundary.
std::vector<Role> RolesOf(const std::vector<DxfTag>& tags, std::string_view type) {
    std::vector<Role> roles(tags.size(), Role::Keep);
    bool xdata = false;
    if (type != "HATCH") {
        for (std::size_t i = 0; i < tags.size(); ++i) {
            xdata = xdata || tags[i].code >= 1000;
            if (!xdata) roles[i] = SimpleRole(type, tags[i].code);
        }
        return roles;
    }
    bool inPaths = false;  // after 91: boundary paths, then pattern and seeds
    bool polylinePath = false;
    int edgeType = 0;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const int code = tags[i].code;
        if (code >= 1000) break;
        if (code == 91) inPaths = true;
        if (!inPaths) continue;
        if (code == 92) polylinePath = (tags[i].integer & 2) != 0;
        if (code == 72 && !polylinePath) edgeType = static_cast<int>(tags[i].integer);
        if (code == 75) edgeType = 0;  // the boundary is over
        switch (code) {
            case 10:
                roles[i] = Role::Point;
                break;
            case 11:
                roles[i] = edgeType == 3 ? Role::Direction : Role::Point;
                break;
            case 12:
            case 13:
                roles[i] = Role::Direction;
                break;
            case 43:
                roles[i] = Role::Point;  // a pattern line's base point (43, 44)
                break;
            case 45:
                roles[i] = Role::Direction;  // its offset (45, 46)
                break;
            case 52:
            case 53:
                roles[i] = Role::Degrees;
                break;
            case 460:
                roles[i] = Role::Radians;
                break;
            case 50:
            case 51:
                if (edgeType == 2) {
                    // A clockwise arc edge keeps its angles as 360 - angle: its 73 follows.
                    bool clockwise = false;
                    for (std::size_t k = i + 1; k < tags.size(); ++k) {
                        if (tags[k].code == 73) {
                            clockwise = tags[k].integer == 0;
                            break;
                        }
                        if (tags[k].code == 72 || tags[k].code == 92) break;
                    }
                    roles[i] = clockwise ? Role::DegreesClockwise : Role::Degrees;
                }
                break;
            default:
                break;
        }
    }
    return roles;
}

int YCodeOf(int code) { return code == 43 || code == 45 ? code + 1 : code + 10; }

// The record's extrusion direction (0, 0, 1 when it names none).
std::array<double, 3> ExtrusionOf(const std::vector<DxfTag>& tags) {
    std::array<double, 3> z{0.0, 0.0, 1.0};
    for (const DxfTag& tag : tags) {
        if (tag.code >= 1000) break;
        if (tag.code == 210) z[0] = tag.real;
        if (tag.code == 220) z[1] = tag.real;
        if (tag.code == 230) z[2] = tag.real;
    }
    return z;
}

// Along the Z axis, either way: a turn about Z keeps it.
bool AlongZ(const std::array<double, 3>& z) {
    return std::abs(z[0]) < 1e-12 && std::abs(z[1]) < 1e-12 && z[2] != 0.0;
}

// Types whose coordinates are in the entity's own plane system: with the extrusion pointing
// down, that system's x axis is the drawing's -x (the arbitrary axis rule).
bool PlaneCoordinates(std::string_view type) {
    constexpr std::array<std::string_view, 11> kTypes{"CIRCLE", "ARC",    "TEXT",       "ATTRIB",
                                                      "ATTDEF", "INSERT", "LWPOLYLINE", "POLYLINE",
                                                      "SOLID",  "TRACE",  "HATCH"};
    return std::ranges::any_of(kTypes, [&](std::string_view t) { return t == type; });
}

double TotalDegrees(const std::vector<RecordPlacement>& placements) {
    double degrees = 0.0;
    for (const RecordPlacement& p : placements) degrees += p.degrees;
    return degrees;
}

void EmitRecord(const DxfSource& source, const std::vector<DxfTag>& tags, bool head, bool mirrored,
                const std::vector<RecordPlacement>& placements, std::string_view layerName,
                bool copy, std::uint64_t& nextHandle, std::string& headHandle, DxfEmitter& out) {
    const std::string type = TypeOf(tags);
    const std::vector<Role> roles = RolesOf(tags, type);
    // In a mirrored plane system angles run the other way round and x is negated.
    const double degrees = mirrored ? -TotalDegrees(placements) : TotalDegrees(placements);
    const auto toDrawing = [mirrored](Vec2 v) { return mirrored ? Vec2{-v.x, v.y} : v; };
    const std::string_view bytes = source.bytes;
    const auto raw = [&](const DxfTag& tag) {
        out.Raw(bytes.substr(tag.begin, tag.end - tag.begin));
    };
    // A turned text or insert that had no angle (0 by default) gets one after its anchor group.
    std::size_t angleAfter = tags.size();
    if (degrees != 0.0 && (type == "TEXT" || type == "ATTRIB" || type == "ATTDEF" ||
                           type == "MTEXT" || type == "INSERT")) {
        bool hasAngle = false;
        for (std::size_t i = 0; i < tags.size() && tags[i].code < 1000; ++i) {
            const int code = tags[i].code;
            hasAngle = hasAngle || code == 50 || (type == "MTEXT" && code == 11);
            const bool anchor = type == "INSERT" ? (code == 10 || code == 20 || code == 30 ||
                                                    code == 41 || code == 42 || code == 43)
                                                 : (code == 1 || (type == "MTEXT" && code == 3));
            if (anchor) angleAfter = i;
        }
        if (hasAngle) angleAfter = tags.size();
    }
    bool skipping = false;  // inside a 102 group a copy leaves out
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const DxfTag& tag = tags[i];
        if (i == angleAfter + 1) out.Real(50, degrees);
        if (copy && tag.code == 102) {
            const std::string_view value = TrimDxf(tag.value);
            if (value == "{ACAD_REACTORS" || value == "{ACAD_XDICTIONARY") {
                skipping = true;
                continue;
            }
            if (skipping && value == "}") {
                skipping = false;
                continue;
            }
        }
        if (skipping) continue;
        if (copy && tag.code == 5 && i < 3) {
            out.Handle(5, nextHandle);
            if (head) {
                DxfEmitter text(DxfLayout{});
                text.Handle(5, nextHandle);
                headHandle = text.Out().substr(4, text.Out().size() - 5);
            }
            ++nextHandle;
            continue;
        }
        if (copy && !head && tag.code == 330 && !headHandle.empty()) {
            out.Text(330, headHandle);
            continue;
        }
        if (tag.code == 8 && !layerName.empty() && (head || type != "ATTRIB")) {
            out.Text(8, layerName);
            continue;
        }
        switch (roles[i]) {
            case Role::Keep:
                raw(tag);
                break;
            case Role::Point:
            case Role::Direction: {
                const int yCode = YCodeOf(tag.code);
                if (i + 1 >= tags.size() || tags[i + 1].code != yCode) {
                    raw(tag);
                    break;
                }
                const Vec2 before{tag.real, tags[i + 1].real};
                Vec2 after = toDrawing(before);
                for (const RecordPlacement& p : placements) {
                    after =
                        roles[i] == Role::Point ? PlacePoint(p, after) : PlaceDirection(p, after);
                }
                after = toDrawing(after);
                if (after == before) {
                    raw(tag);
                    raw(tags[i + 1]);
                } else {
                    out.Real(tag.code, after.x);
                    out.Real(yCode, after.y);
                }
                ++i;
                break;
            }
            case Role::Degrees:
            case Role::DegreesClockwise:
            case Role::Radians: {
                if (degrees == 0.0) {
                    raw(tag);
                    break;
                }
                double turn = degrees;
                if (roles[i] == Role::DegreesClockwise) turn = -degrees;
                if (roles[i] == Role::Radians) turn = degrees * std::numbers::pi / 180.0;
                out.Real(tag.code, tag.real + turn);
                break;
            }
        }
    }
}

}  // namespace

std::size_t DxfRecordEnd(const DxfSource& source, std::size_t record) {
    const std::string type = DxfRecordType(source, record);
    if (type != "POLYLINE" && type != "INSERT") return record + 1;
    std::size_t end = record + 1;
    while (end + 1 < source.records.size()) {
        const std::string next = DxfRecordType(source, end);
        if (next == "SEQEND") return end + 1;
        if (next != "VERTEX" && next != "ATTRIB") break;
        ++end;
    }
    return type == "INSERT" ? record + 1 : end;
}

std::string DxfRecordType(const DxfSource& source, std::size_t record) {
    if (record + 1 >= source.records.size()) return {};
    const std::string_view bytes = source.bytes;
    DxfTagReader reader(bytes.substr(0, source.records[record + 1]), source.layout,
                        source.fileName);
    reader.Seek(source.records[record], 1);
    DxfTag tag;
    try {
        if (reader.Next(tag) && tag.code == 0) return std::string(TrimDxf(tag.value));
    } catch (const FileError&) {
        return {};
    }
    return {};
}

std::string DxfPlacementRefusal(const DxfSource& source, std::size_t record) {
    const std::size_t end = DxfRecordEnd(source, record);
    const std::string kind = DxfRecordType(source, record);
    for (std::size_t r = record; r < end; ++r) {
        std::vector<DxfTag> tags;
        try {
            tags = ReadTags(source, r);
        } catch (const FileError&) {
            return kind + " は読めない部分があるため、移動・回転・複写できません";
        }
        const std::string type = TypeOf(tags);
        if (type == "DIMENSION") {
            return "寸法 (DIMENSION) は移動・回転・複写できません "
                   "(寸法の図形を描くブロックを作り直せないため)";
        }
        if (!PlaceableTypes().contains(type)) {
            return (type.empty() ? std::string("この図形") : type) +
                   " は形を正確に移す方法が分からないため、移動・回転・複写できません";
        }
        if (!AlongZ(ExtrusionOf(tags))) {
            return kind + " (押し出し方向が Z 軸に沿わないもの) は移動・回転・複写できません";
        }
    }
    return {};
}

std::string RewriteDxfRecord(const DxfSource& source, std::size_t record,
                             const std::vector<RecordPlacement>& placements,
                             std::string_view layerName, bool copy, std::uint64_t& nextHandle) {
    DxfEmitter out(source.layout);
    std::string headHandle;
    const std::size_t end = DxfRecordEnd(source, record);
    bool mirrored = false;  // a polyline's vertices follow its plane system
    for (std::size_t r = record; r < end; ++r) {
        const std::vector<DxfTag> tags = ReadTags(source, r);
        const std::string type = TypeOf(tags);
        if (r == record || type != "VERTEX") {
            mirrored = PlaneCoordinates(type) && ExtrusionOf(tags)[2] < 0.0;
        }
        EmitRecord(source, tags, r == record, mirrored, placements, layerName, copy, nextHandle,
                   headHandle, out);
    }
    return std::move(out.Out());
}

std::string DxfSource::RecordKind(std::uint32_t record) const {
    return DxfRecordType(*this, record);
}

std::string DxfSource::RecordLinetype(std::uint32_t record) const {
    try {
        for (const DxfTag& tag : ReadTags(*this, record)) {
            if (tag.code >= 1000) break;
            if (tag.code == 6) return DecodeDxfString(TrimDxf(tag.value), version, codePage);
        }
    } catch (const FileError&) {
        return {};
    }
    return {};
}

std::string DxfSource::PlacementRefusal(std::uint32_t record) const {
    return DxfPlacementRefusal(*this, record);
}

}  // namespace pelimator::board
