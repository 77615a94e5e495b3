// What each group of a kept DXF record is to a placement: a point, a direction, an angle, a
// length, ... by the record's type and where in the record the group sits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "board/dxf/dxf_source.h"

namespace pelimator::board::dxf_roles {

enum class Role : std::uint8_t {
    Keep,
    Point,                 // x of a point (its y found by YPartners)
    Direction,             // x of a vector that turns, mirrors and scales
    Unit,                  // x of a unit vector: turns and mirrors only
    Degrees,               // an angle
    DegreesClockwise,      // an angle kept as 360 - angle (a hatch's clockwise arc edge)
    Radians,               // an angle in radians
    SwapDegrees,           // an arc's start or end: a mirror swaps them
    SwapDegreesClockwise,  // the same kept as 360 - angle
    EllipseParam,          // an ellipse's start or end parameter (radians): a mirror swaps
    EllipseParamDegrees,   // and negates them; a hatch's ellipse edge keeps them in degrees
    Length,                // scales
    YScale,                // an insert's y scale: scales, a mirror negates it
    Bulge,                 // a polyline's bulge: a mirror negates it
    TextAngle,             // a text's angle: turned and kept reading forwards
    TextDirection,         // x of a text's direction vector: the same
    HAlign,                // a text's horizontal alignment
    Attachment,            // a multiline text's attachment point
    MirrorFlag,            // a 0 or 1 flag a mirror turns over (a plane's normal reversed)
    NormalZ,               // z of a normal a mirror turns over: negated
    OverturnedRadians,     // an angle (radians) in the plane of such a normal
    SwapRadians,           // an arc dimension's end angle (radians): a mirror swaps them
};

// Where in its record a tag sits: the entity's own groups, an application's 102 {...} group, an
// embedded object (101: an MTEXT's columns, an attribute's multiline text) or extended data. The
// same group code means different things in each.
enum class Part : std::uint8_t { Own, AppGroup, Embedded, XData };

inline constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

[[nodiscard]] std::vector<DxfTag> ReadTags(const DxfSource& source, std::size_t record);
// The tags of bytes written in source's form (a record rewritten for it, not yet in the file).
[[nodiscard]] std::vector<DxfTag> ReadWrittenTags(const DxfSource& source, std::string_view bytes);
[[nodiscard]] std::string TypeOf(const std::vector<DxfTag>& tags);
[[nodiscard]] const std::unordered_set<std::string_view>& PlaceableTypes();
[[nodiscard]] std::vector<Part> PartsOf(const std::vector<DxfTag>& tags);
// The role of every tag of a record, by its type and the part of the record it sits in.
[[nodiscard]] std::vector<Role> RolesOf(const std::vector<DxfTag>& tags,
                                        const std::vector<Part>& parts, std::string_view type);
// The record's extrusion direction (0, 0, 1 when it names none).
[[nodiscard]] std::array<double, 3> ExtrusionOf(const std::vector<DxfTag>& tags);
// Along the Z axis, either way: a turn about Z keeps it.
[[nodiscard]] bool AlongZ(const std::array<double, 3>& z);
// Types whose coordinates are in the entity's own plane system: with the extrusion pointing
// down, that system's x axis is the drawing's -x (the arbitrary axis rule).
[[nodiscard]] bool PlaneCoordinates(std::string_view type);
// The y group of each point and direction: the first group of its code after the x in the same
// part of the record, before the next x of that code (most writers put it right after the x;
// some write 10, 11, 20, 21). kNone for other groups and for an x without its y.
[[nodiscard]] std::vector<std::size_t> YPartners(const std::vector<DxfTag>& tags,
                                                 const std::vector<Part>& parts,
                                                 const std::vector<Role>& roles);
// The other end of an arc's or an ellipse's start or end (50 and 51, 41 and 42) in the same
// part; kNone when it has none.
[[nodiscard]] std::size_t SwapPartner(const std::vector<DxfTag>& tags,
                                      const std::vector<Part>& parts, std::size_t i);
// Where a turn must add the angle (50) a text or insert lacks, in part of its record: before the
// tag returned (tags.size(): at the record's end), after the groups its subclass order puts before
// the angle. None when the part has an angle already (an MTEXT's direction, 11, is one) or no
// such group.
[[nodiscard]] std::optional<std::size_t> MissingAngleAt(const std::vector<DxfTag>& tags,
                                                        const std::vector<Part>& parts,
                                                        std::string_view type, Part part);
// Where a turn must add the direction a leader (211) or a tolerance frame (11) lacks; kNone
// when it has one or is of another type.
[[nodiscard]] std::size_t MissingDirectionAt(const std::vector<DxfTag>& tags,
                                             const std::vector<Part>& parts, std::string_view type);
// Where an insert's or an underlay's missing x and y scales (41, 42) go: right after its point;
// kNone when it has both or is of another type.
[[nodiscard]] std::size_t MissingScalesAt(const std::vector<DxfTag>& tags,
                                          const std::vector<Part>& parts, std::string_view type);
// Where the extrusion (210, 220, 230) of a record that has none goes: after its own groups (a
// leader's before its direction and offsets), before an embedded object or extended data; kNone
// when it has its z (230).
[[nodiscard]] std::size_t MissingExtrusionAt(const std::vector<DxfTag>& tags,
                                             const std::vector<Part>& parts);
// Where a text's missing horizontal alignment (72) and second point (11) go: after its string's
// groups, before its second subclass.
[[nodiscard]] std::size_t TextAlignmentAt(const std::vector<DxfTag>& tags,
                                          const std::vector<Part>& parts);

}  // namespace pelimator::board::dxf_roles
