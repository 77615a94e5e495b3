// Roles of a kept record's groups: which groups are points, directions, angles and lengths
// depends on the record's type (and, in a hatch, on where in its boundary a group sits).
#include "board/dxf/dxf_record_roles.h"

#include <algorithm>
#include <initializer_list>

#include "board/dxf/dxf_multileader.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_table.h"

namespace pelimator::board::dxf_roles {

std::vector<DxfTag> ReadTags(const DxfSource& source, std::size_t record) {
    std::vector<DxfTag> tags;
    if (record + 1 >= source.records.size()) return tags;
    tags.reserve(24);  // a line's or an arc's groups, without growing
    const std::string_view bytes = source.bytes;
    DxfTagReader reader(bytes.substr(0, source.records[record + 1]), source.layout,
                        source.fileName);
    reader.Seek(source.records[record], 1);
    for (DxfTag tag; reader.Next(tag);) tags.push_back(tag);
    return tags;
}

std::vector<DxfTag> ReadWrittenTags(const DxfSource& source, std::string_view bytes) {
    DxfLayout layout = source.layout;
    layout.begin = 0;
    DxfTagReader reader(bytes, layout, source.fileName);
    std::vector<DxfTag> tags;
    for (DxfTag tag; reader.Next(tag);) tags.push_back(tag);
    return tags;
}

std::string TypeOf(const std::vector<DxfTag>& tags) {
    return tags.empty() || tags.front().code != 0 ? std::string()
                                                  : std::string(TrimDxf(tags.front().value));
}

namespace {

bool IsOneOf(std::string_view type, std::initializer_list<std::string_view> types) {
    return std::ranges::any_of(types, [&](std::string_view t) { return t == type; });
}

bool IsUnderlay(std::string_view type) { return type.ends_with("UNDERLAY"); }

// Points and vectors (10 to 13) of the types whose geometry groups are known.
Role PointRole(std::string_view type, int code) {
    switch (code) {
        case 10:
            return type == "POLYLINE" ? Role::Keep : Role::Point;  // a polyline's is elevation
        case 11:  // an image's u axis; a multiline's vertex; an underlay's clip is its own
            if (type == "MTEXT") return Role::TextDirection;
            if (IsOneOf(type, {"XLINE", "RAY", "TOLERANCE"})) return Role::Unit;
            if (IsOneOf(type, {"ELLIPSE", "IMAGE", "WIPEOUT"})) return Role::Direction;
            if (IsOneOf(type, {"LINE", "TEXT", "ATTRIB", "ATTDEF", "SOLID", "TRACE", "3DFACE",
                               "SPLINE", "MLINE"})) {
                return Role::Point;
            }
            return Role::Keep;
        case 12:  // an image's v axis; a multiline vertex's direction
        case 13:  // an image's size in pixels; a multiline vertex's miter direction
            if (IsOneOf(type, {"SOLID", "TRACE", "3DFACE"})) return Role::Point;
            if (type == "MLINE") return Role::Unit;
            if (type == "SPLINE" || (code == 12 && IsOneOf(type, {"IMAGE", "WIPEOUT"}))) {
                return Role::Direction;
            }
            return Role::Keep;
        default:
            return Role::Keep;
    }
}

// Sizes, scales and bulges (40 to 46).
Role SizeRole(std::string_view type, int code) {
    const bool widths = IsOneOf(type, {"LWPOLYLINE", "VERTEX", "POLYLINE"});
    const bool scaled = type == "INSERT" || IsUnderlay(type);
    switch (code) {
        case 40:
            return widths || IsOneOf(type, {"CIRCLE", "ARC", "TEXT", "ATTRIB", "ATTDEF", "MTEXT",
                                            "SHAPE"})
                       ? Role::Length
                       : Role::Keep;
        case 41:
            if (type == "ELLIPSE") return Role::EllipseParam;
            return widths || scaled || type == "MTEXT" ? Role::Length : Role::Keep;
        case 42:
            if (type == "ELLIPSE") return Role::EllipseParam;
            if (scaled) return Role::YScale;
            return type == "LWPOLYLINE" || type == "VERTEX" ? Role::Bulge : Role::Keep;
        case 43:
            return type == "LWPOLYLINE" ? Role::Length : Role::Keep;
        case 44:
        case 45:
            return type == "INSERT" ? Role::Length : Role::Keep;  // row and column spacing
        case 46:
            return type == "MTEXT" ? Role::Length : Role::Keep;
        default:
            return Role::Keep;
    }
}

// A dimension's definition points (10 to 16, the text's and the block's in its plane system,
// which along +Z is the drawing's) and its angles: the measured line's, the text's and the
// horizontal direction. Its measurement (42) stays as written, as ezdxf leaves it.
Role DimensionRole(int code) {
    if (code >= 10 && code <= 16) return Role::Point;
    return code == 50 || code == 51 || code == 53 ? Role::Degrees : Role::Keep;
}

// Types whose geometry groups are known; a fixed role per group code.
Role SimpleRole(std::string_view type, int code) {
    if (type == "DIMENSION") return DimensionRole(code);
    const bool text = IsOneOf(type, {"TEXT", "ATTRIB", "ATTDEF"});
    if (code >= 10 && code <= 13) return PointRole(type, code);
    if (code >= 40 && code <= 46) return SizeRole(type, code);
    switch (code) {
        case 50:
            if (text || type == "MTEXT") return Role::TextAngle;
            if (type == "ARC") return Role::SwapDegrees;
            if (IsOneOf(type, {"POINT", "VERTEX", "INSERT", "SHAPE"}) || IsUnderlay(type)) {
                return Role::Degrees;
            }
            return Role::Keep;
        case 51:
            return type == "ARC" ? Role::SwapDegrees : Role::Keep;
        case 71:
            return type == "MTEXT" ? Role::Attachment : Role::Keep;
        case 72:
            return text ? Role::HAlign : Role::Keep;
        case 211:
            return type == "LEADER" ? Role::Unit : Role::Keep;
        case 212:
        case 213:
            return type == "LEADER" ? Role::Direction : Role::Keep;
        default:
            return Role::Keep;
    }
}

}  // namespace

const std::unordered_set<std::string_view>& PlaceableTypes() {
    static const std::unordered_set<std::string_view> types{
        "LINE",   "POINT",     "CIRCLE",        "ARC",         "LWPOLYLINE",  "POLYLINE",
        "VERTEX", "SEQEND",    "TEXT",          "MTEXT",       "ATTRIB",      "ATTDEF",
        "INSERT", "SOLID",     "TRACE",         "3DFACE",      "ELLIPSE",     "SPLINE",
        "LEADER", "XLINE",     "RAY",           "HATCH",       "SHAPE",       "TOLERANCE",
        "MLINE",  "IMAGE",     "WIPEOUT",       "PDFUNDERLAY", "DWFUNDERLAY", "DGNUNDERLAY",
        "MESH",   "DIMENSION", "ARC_DIMENSION", "MULTILEADER", "ACAD_TABLE"};
    return types;
}

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

namespace {

// Groups of an embedded object: an MTEXT's columns hold its direction in 10 and its insertion
// point in 11; an attribute's multiline text is an MTEXT of its own (10 point, 11 direction, 50).
Role EmbeddedRole(std::string_view type, int code) {
    if (type == "MTEXT") {
        if (code == 10) return Role::TextDirection;
        if (code == 11) return Role::Point;
        return Role::Keep;
    }
    if (type == "ATTRIB" || type == "ATTDEF") {
        if (code == 10) return Role::Point;
        if (code == 11) return Role::TextDirection;
        if (code == 50) return Role::TextAngle;
        if (code == 40 || code == 41 || code == 46) return Role::Length;
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
            case 40:
                if (edgeType == 2) roles[i] = Role::Length;  // an arc edge's radius
                break;
            case 41:
            case 49:
                roles[i] = Role::Length;  // the pattern's scale, its dashes
                break;
            case 42:
                if (polylinePath) roles[i] = Role::Bulge;
                break;
            case 50:
            case 51:
                if (edgeType == 3) roles[i] = Role::EllipseParamDegrees;
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
                    roles[i] = clockwise ? Role::SwapDegreesClockwise : Role::SwapDegrees;
                }
                break;
            default:
                break;
        }
    }
}

// An arc dimension: its AcDbDimension groups as a dimension's, then its own (AcDbArcDimension):
// the arc's ends (13, 14, the extension lines' origins), its centre (15) and leader points (16,
// 17) placed, its ends' angles about the centre (40, 41, radians) turned, a mirror swapping them
// as an arc's (the arc then runs from the other end).
void ArcDimensionRoles(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                       std::vector<Role>& roles) {
    bool arc = false;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const int code = tags[i].code;
        if (code == 100) arc = TrimDxf(tags[i].value) == "AcDbArcDimension";
        if (!arc) {
            roles[i] = DimensionRole(code);
        } else if (code >= 13 && code <= 17) {
            roles[i] = Role::Point;
        } else if (code == 40 || code == 41) {
            roles[i] = Role::SwapRadians;
        }
    }
}

}  // namespace

// The role of every tag of a record, by its type and the part of the record it sits in.
std::vector<Role> RolesOf(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                          std::string_view type) {
    std::vector<Role> roles(tags.size(), Role::Keep);
    if (type == "HATCH") HatchRoles(tags, parts, roles);
    // Set by where a group sits in the record, not by its code alone.
    const bool ownRoles =
        type == "HATCH" || type == "MULTILEADER" || type == "ACAD_TABLE" || type == "ARC_DIMENSION";
    if (type == "ARC_DIMENSION") ArcDimensionRoles(tags, parts, roles);
    if (type == "MULTILEADER") MultiLeaderRoles(tags, parts, roles);
    if (type == "ACAD_TABLE") TableRoles(tags, parts, roles);
    // A polyface mesh's face record names its corners by number; its point is no place.
    bool faceRecord = false;
    for (std::size_t i = 0; i < tags.size() && type == "VERTEX"; ++i) {
        if (parts[i] == Part::Own && tags[i].code == 70)
            faceRecord = (tags[i].integer & 192) == 128;
    }
    for (std::size_t i = 0; i < tags.size(); ++i) {
        switch (parts[i]) {
            case Part::Own:
                if (!ownRoles && !faceRecord) roles[i] = SimpleRole(type, tags[i].code);
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

namespace {

int YCodeOf(int code) { return code == 43 || code == 45 ? code + 1 : code + 10; }

}  // namespace

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

// The y group of each point and direction: the first group of its code after the x in the same
// part of the record, before the next x of that code (most writers put it right after the x;
// some write 10, 11, 20, 21). kNone for other groups and for an x without its y.
std::vector<std::size_t> YPartners(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                                   const std::vector<Role>& roles) {
    std::vector<std::size_t> yOf(tags.size(), kNone);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const Role role = roles[i];
        if (role != Role::Point && role != Role::Direction && role != Role::Unit &&
            role != Role::TextDirection) {
            continue;
        }
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
std::size_t SwapPartner(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                        std::size_t i) {
    const int code = tags[i].code;
    const bool start = code == 50 || code == 41;
    const int other = start ? code + 1 : code - 1;
    if (start) {
        for (std::size_t j = i + 1; j < tags.size() && parts[j] == parts[i]; ++j) {
            if (tags[j].code == other) return j;
            if (tags[j].code == code) break;
        }
        return kNone;
    }
    for (std::size_t j = i; j-- > 0 && parts[j] == parts[i];) {
        if (tags[j].code == other) return j;
        if (tags[j].code == code) break;
    }
    return kNone;
}

std::size_t MissingScalesAt(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                            std::string_view type) {
    if (type != "INSERT" && !IsUnderlay(type)) return kNone;
    std::size_t after = kNone;
    bool x = false;
    bool y = false;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const int code = tags[i].code;
        x = x || code == 41;
        y = y || code == 42;
        if (code == 10 || code == 20 || code == 30) after = i;
    }
    if ((x && y) || after == kNone) return kNone;
    return after + 1;
}

std::size_t MissingExtrusionAt(const std::vector<DxfTag>& tags, const std::vector<Part>& parts) {
    std::size_t at = tags.size();
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const int code = tags[i].code;
        if (parts[i] == Part::Own && code == 230) return kNone;
        if (parts[i] == Part::Embedded || parts[i] == Part::XData) at = std::min(at, i);
        // A leader's normal goes before its direction and offsets (its subclass's order).
        if (parts[i] == Part::Own && code >= 211 && code <= 213) at = std::min(at, i);
    }
    return at;
}

std::size_t TextAlignmentAt(const std::vector<DxfTag>& tags, const std::vector<Part>& parts) {
    bool string = false;
    std::size_t at = tags.size();
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] == Part::Embedded || parts[i] == Part::XData) return i;
        if (parts[i] != Part::Own) continue;
        const int code = tags[i].code;
        if (code == 1) string = true;
        if (string && (code == 100 || code == 73 || code == 74)) return i;
        if (code == 72) at = i + 1;
    }
    return at;
}

}  // namespace pelimator::board::dxf_roles
