// Placing a kept record's geometry group by group: which groups are points, directions and
// angles depends on the record's type (and, in a hatch, on where in its boundary a group sits).
#include "board/dxf/dxf_transform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
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
        case 11:  // an image's u axis; a multiline's vertex; an underlay's clip is its own
            if (is({"MTEXT", "ELLIPSE", "XLINE", "RAY", "IMAGE", "WIPEOUT", "TOLERANCE"})) {
                return Role::Direction;
            }
            if (is({"LINE", "TEXT", "ATTRIB", "ATTDEF", "SOLID", "TRACE", "3DFACE", "SPLINE",
                    "MLINE"})) {
                return Role::Point;
            }
            return Role::Keep;
        case 12:  // an image's v axis; a multiline vertex's direction
            if (is({"SPLINE", "IMAGE", "WIPEOUT", "MLINE"})) return Role::Direction;
            if (is({"SOLID", "TRACE", "3DFACE"})) return Role::Point;
            return Role::Keep;
        case 13:  // an image's size in pixels; a multiline vertex's miter direction
            if (is({"SPLINE", "MLINE"})) return Role::Direction;
            if (is({"SOLID", "TRACE", "3DFACE"})) return Role::Point;
            return Role::Keep;
        case 50:
            if (is({"POINT", "VERTEX", "TEXT", "ATTRIB", "ATTDEF", "MTEXT", "INSERT", "ARC",
                    "SHAPE", "PDFUNDERLAY", "DWFUNDERLAY", "DGNUNDERLAY"})) {
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
        "LINE",   "POINT",  "CIRCLE",  "ARC",         "LWPOLYLINE",  "POLYLINE",
        "VERTEX", "SEQEND", "TEXT",    "MTEXT",       "ATTRIB",      "ATTDEF",
        "INSERT", "SOLID",  "TRACE",   "3DFACE",      "ELLIPSE",     "SPLINE",
        "LEADER", "XLINE",  "RAY",     "HATCH",       "SHAPE",       "TOLERANCE",
        "MLINE",  "IMAGE",  "WIPEOUT", "PDFUNDERLAY", "DWFUNDERLAY", "DGNUNDERLAY"};
    return types;
}

// Where in its record a tag sits: the entity's own groups, an application's 102 {...} group, an
// embedded object (101: an MTEXT's columns, an attribute's multiline text) or extended data. The
// same group code means different things in each.
enum class Part : std::uint8_t { Own, AppGroup, Embedded, XData };

std::vector<Part> PartsOf(const std::vector<DxfTag>& tags) {
    std::vector<Part> parts(tags.size(), Part::Own);
    Part current = Part::Own;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const int code = tags[i].code;
        bool closes = false;
        if (code >= 1000) {
            current = Part::XData;  // runs to the record's end
        } else if (current != Part::XData && current != Part::Embedded) {
            if (code == 101) current = Part::Embedded;  // runs to the extended data
            if (code == 102) {
                const std::string_view value = TrimDxf(tags[i].value);
                if (value.starts_with('{')) current = Part::AppGroup;
                closes = value == "}";
            }
        }
        parts[i] = current;
        if (closes && current == Part::AppGroup) current = Part::Own;
    }
    return parts;
}

// Groups of an embedded object: an MTEXT's columns hold its direction in 10 and its insertion
// point in 11; an attribute's multiline text is an MTEXT of its own (10 point, 11 direction, 50).
Role EmbeddedRole(std::string_view type, int code) {
    if (type == "MTEXT") {
        if (code == 10) return Role::Direction;
        if (code == 11) return Role::Point;
        return Role::Keep;
    }
    if (type == "ATTRIB" || type == "ATTDEF") {
        if (code == 10) return Role::Point;
        if (code == 11) return Role::Direction;
        if (code == 50) return Role::Degrees;
    }
    return Role::Keep;
}

// Extended data points as AutoCAD keeps them with the entity: a world position (1011) moves and
// turns, a displacement (1012) and a direction (1013) only turn; a plain point (1010) stays.
Role XDataRole(int code) {
    if (code == 1011) return Role::Point;
    if (code == 1012 || code == 1013) return Role::Direction;
    return Role::Keep;
}

// A hatch's own groups by their place in its boundary, pattern and seeds.
void HatchRoles(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                std::vector<Role>& roles) {
    bool inPaths = false;  // after 91: boundary paths, then pattern and seeds
    bool polylinePath = false;
    int edgeType = 0;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const int code = tags[i].code;
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
}

// The role of every tag of a record, by its type and the part of the record it sits in.
std::vector<Role> RolesOf(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                          std::string_view type) {
    std::vector<Role> roles(tags.size(), Role::Keep);
    if (type == "HATCH") HatchRoles(tags, parts, roles);
    // A polyface mesh's face record names its corners by number; its point is no place.
    bool faceRecord = false;
    for (std::size_t i = 0; i < tags.size() && type == "VERTEX"; ++i) {
        if (parts[i] == Part::Own && tags[i].code == 70)
            faceRecord = (tags[i].integer & 192) == 128;
    }
    for (std::size_t i = 0; i < tags.size(); ++i) {
        switch (parts[i]) {
            case Part::Own:
                if (type != "HATCH" && !faceRecord) roles[i] = SimpleRole(type, tags[i].code);
                break;
            case Part::AppGroup:
                break;
            case Part::Embedded:
                roles[i] = EmbeddedRole(type, tags[i].code);
                break;
            case Part::XData:
                roles[i] = XDataRole(tags[i].code);
                break;
        }
    }
    return roles;
}

int YCodeOf(int code) { return code == 43 || code == 45 ? code + 1 : code + 10; }

// The record's extrusion direction (0, 0, 1 when it names none).
std::array<double, 3> ExtrusionOf(const std::vector<DxfTag>& tags) {
    std::array<double, 3> z{0.0, 0.0, 1.0};
    const std::vector<Part> parts = PartsOf(tags);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const DxfTag& tag = tags[i];
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

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// The y group of each point and direction: the first group of its code after the x in the same
// part of the record, before the next x of that code (most writers put it right after the x;
// some write 10, 11, 20, 21). kNone for other groups and for an x without its y.
std::vector<std::size_t> YPartners(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                                   const std::vector<Role>& roles) {
    std::vector<std::size_t> yOf(tags.size(), kNone);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (roles[i] != Role::Point && roles[i] != Role::Direction) continue;
        const int yCode = YCodeOf(tags[i].code);
        for (std::size_t j = i + 1; j < tags.size() && parts[j] == parts[i]; ++j) {
            if (tags[j].code == tags[i].code) break;
            if (tags[j].code == yCode) {
                yOf[i] = j;
                break;
            }
        }
    }
    return yOf;
}

// Where a turn must add the angle (50) a text or insert lacks, in part of its record: before the
// tag returned (tags.size(): at the record's end), after the groups its subclass order puts before
// the angle (a text's string, an MTEXT's string parts, an insert's or an underlay's name, point
// and scales, a shape's point, size and name). None
// when the part has an angle already (an MTEXT's direction, 11, is one) or no such group.
std::optional<std::size_t> MissingAngleAt(const std::vector<DxfTag>& tags,
                                          const std::vector<Part>& parts, std::string_view type,
                                          Part part) {
    const bool text = type == "TEXT" || type == "ATTRIB" || type == "ATTDEF";
    const bool mtext = (type == "MTEXT" && part == Part::Own) ||
                       ((type == "ATTRIB" || type == "ATTDEF") && part == Part::Embedded);
    const bool insert = type == "INSERT" && part == Part::Own;
    const bool underlay = type.ends_with("UNDERLAY") && part == Part::Own;
    const bool shape = type == "SHAPE" && part == Part::Own;
    if (!(text && part == Part::Own) && !mtext && !insert && !underlay && !shape) {
        return std::nullopt;
    }
    std::optional<std::size_t> after;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != part) continue;
        const int code = tags[i].code;
        if (code == 50 || (mtext && code == 11)) return std::nullopt;
        const bool point = code == 10 || code == 20 || code == 30;
        bool anchor = code == 1 || (mtext && code == 3);
        if (insert) anchor = point || code == 2 || code == 41 || code == 42 || code == 43;
        if (underlay) anchor = point || code == 340 || code == 41 || code == 42 || code == 43;
        if (shape) anchor = point || code == 40 || code == 2;
        if (anchor) after = i;
    }
    if (!after) return std::nullopt;
    return *after + 1;
}

// Where a turn must add the direction a leader (211, horizontal) or a tolerance frame (11, its x
// axis) lacks, (1, 0, 0) by default: a leader's before its offsets (212, 213), else at the end of
// the record's own groups; kNone when it has one or is of another type.
std::size_t MissingDirectionAt(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                               std::string_view type) {
    const int code = type == "LEADER" ? 211 : type == "TOLERANCE" ? 11 : 0;
    if (code == 0) return kNone;
    std::size_t at = tags.size();
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] == Part::Embedded || parts[i] == Part::XData) {
            at = std::min(at, i);
            break;
        }
        if (parts[i] != Part::Own) continue;
        if (tags[i].code == code) return kNone;
        if (code == 211 && (tags[i].code == 212 || tags[i].code == 213)) at = std::min(at, i);
    }
    return at;
}

void EmitRecord(const DxfSource& source, const std::vector<DxfTag>& tags, bool head, bool mirrored,
                const std::vector<RecordPlacement>& placements, std::string_view layerName,
                bool copy, std::uint64_t& nextHandle, std::string& headHandle, DxfEmitter& out) {
    const std::string type = TypeOf(tags);
    const std::vector<Part> parts = PartsOf(tags);
    const std::vector<Role> roles = RolesOf(tags, parts, type);
    // In a mirrored plane system angles run the other way round and x is negated.
    const double degrees = mirrored ? -TotalDegrees(placements) : TotalDegrees(placements);
    const auto toDrawing = [mirrored](Vec2 v) { return mirrored ? Vec2{-v.x, v.y} : v; };
    const std::string_view bytes = source.bytes;
    const auto raw = [&](const DxfTag& tag) {
        out.Raw(bytes.substr(tag.begin, tag.end - tag.begin));
    };
    std::vector<std::size_t> angleAt;  // where a turn adds an angle the record lacks
    if (degrees != 0.0) {
        for (const Part part : {Part::Own, Part::Embedded}) {
            if (const auto at = MissingAngleAt(tags, parts, type, part)) angleAt.push_back(*at);
        }
    }
    std::size_t nextAngle = 0;
    const std::size_t directionAt = degrees != 0.0 ? MissingDirectionAt(tags, parts, type) : kNone;
    const auto emitDirection = [&] {
        const Vec2 turned = PlaceDirection(RecordPlacement{{}, degrees, {}}, Vec2{1.0, 0.0});
        const int code = type == "LEADER" ? 211 : 11;
        out.Real(code, turned.x);
        out.Real(code + 10, turned.y);
        out.Real(code + 20, 0.0);
    };
    const std::vector<std::size_t> yOf = YPartners(tags, parts, roles);
    std::vector<std::optional<double>> placedY(tags.size());  // a y placed with its x
    bool skipping = false;  // inside a 102 group a copy leaves out
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const DxfTag& tag = tags[i];
        for (; nextAngle < angleAt.size() && angleAt[nextAngle] <= i; ++nextAngle) {
            out.Real(50, degrees);
        }
        if (i == directionAt) emitDirection();
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
        // A handle left empty (as some writers do) stays empty in the copy: a number of ours
        // could meet the one a reader makes up for the original.
        if (copy && tag.code == 5 && i < 3 && !TrimDxf(tag.value).empty()) {
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
        if (tag.code == 8 && parts[i] == Part::Own && !layerName.empty() &&
            (head || type != "ATTRIB")) {
            out.Text(8, layerName);
            continue;
        }
        if (placedY[i]) {
            out.Real(tag.code, *placedY[i]);
            continue;
        }
        switch (roles[i]) {
            case Role::Keep:
                raw(tag);
                break;
            case Role::Point:
            case Role::Direction: {
                const std::size_t y = yOf[i];
                if (y == kNone) {
                    raw(tag);
                    break;
                }
                const Vec2 before{tag.real, tags[y].real};
                Vec2 after = toDrawing(before);
                for (const RecordPlacement& p : placements) {
                    after =
                        roles[i] == Role::Point ? PlacePoint(p, after) : PlaceDirection(p, after);
                }
                after = toDrawing(after);
                if (after == before) {
                    raw(tag);
                } else {
                    out.Real(tag.code, after.x);
                    placedY[y] = after.y;
                }
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
    for (; nextAngle < angleAt.size(); ++nextAngle) out.Real(50, degrees);
    if (directionAt == tags.size()) emitDirection();
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
        const std::array<double, 3> z = ExtrusionOf(tags);
        // A shape's or an underlay's angle is taken in its own plane; upside down it would
        // turn the other way, which no file here shows: refused rather than guessed.
        const bool upsideDown = z[2] < 0.0 && (type == "SHAPE" || type.ends_with("UNDERLAY"));
        if (!AlongZ(z) || upsideDown) {
            return kind + " (押し出し方向が Z 軸に沿わないもの) は移動・回転・複写できません";
        }
    }
    return {};
}

std::string DxfCopyRefusal(const DxfSource& source, std::size_t record) {
    const std::size_t end = DxfRecordEnd(source, record);
    const std::string kind = DxfRecordType(source, record);
    for (std::size_t r = record; r < end; ++r) {
        std::vector<DxfTag> tags;
        try {
            tags = ReadTags(source, r);
        } catch (const FileError&) {
            return kind + " は読めない部分があるため、複写できません";
        }
        const std::vector<Part> parts = PartsOf(tags);
        for (std::size_t i = 0; i < tags.size(); ++i) {
            const std::string_view value = TrimDxf(tags[i].value);
            if (parts[i] == Part::Own && tags[i].code == 360 && value != "0" && !value.empty()) {
                return kind +
                       " は複写できません (図形が持つオブジェクト (画像の定義とつなぐものなど) "
                       "を複写で作れないため)。移動・回転はできます";
            }
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

std::string DxfSource::RecordColourName(std::uint32_t record) const {
    std::string number;
    try {
        for (const DxfTag& tag : ReadTags(*this, record)) {
            if (tag.code >= 1000) break;
            // A true colour wins over the colour number written beside it for older programs.
            if (tag.code == 420) return "トゥルーカラー";
            if (tag.code == 62) number = TrimDxf(tag.value);
        }
    } catch (const FileError&) {
        return {};
    }
    // A negative number only means something on a layer; the board draws such a record by layer.
    if (number.empty() || number == "256" || number.front() == '-') return "BYLAYER";
    if (number == "0") return "BYBLOCK";
    return number;
}

std::string DxfSource::PlacementRefusal(std::uint32_t record) const {
    return DxfPlacementRefusal(*this, record);
}

std::string DxfSource::CopyRefusal(std::uint32_t record) const {
    return DxfCopyRefusal(*this, record);
}

}  // namespace pelimator::board
