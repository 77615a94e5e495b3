// What the reader takes out of a JWW file's entities for showing them: one plain record per
// entity, in the units the file uses (coordinates, radii and text sizes in paper millimetres, arc
// angles in radians, text angles in degrees).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/model/types.h"

namespace pelimator::board::jww {

// Colours as the file stores them: 0x00BBGGRR, red in the lowest byte (the board packs 0xRRGGBB,
// see PackRgb). Bits above the lowest 24 are ignored.
[[nodiscard]] constexpr Rgb UnpackColorRef(std::uint32_t ref) noexcept {
    return {static_cast<std::uint8_t>(ref & 0xFFU), static_cast<std::uint8_t>((ref >> 8U) & 0xFFU),
            static_cast<std::uint8_t>((ref >> 16U) & 0xFFU)};
}
[[nodiscard]] constexpr std::uint32_t PackColorRef(Rgb colour) noexcept {
    return std::uint32_t{colour.r} | (std::uint32_t{colour.g} << 8U) |
           (std::uint32_t{colour.b} << 16U);
}

// The part every entity starts with.
struct Common {
    std::uint32_t group = 0;      // curve attribute group
    std::uint8_t penStyle = 1;    // line type 1-9, SXF types from 31 on; special meanings below
    std::uint16_t penColour = 1;  // 1-9 pen colours, 10 solid's own RGB, 100+n SXF colours
    std::uint16_t penWidth = 0;   // from version 351 on; a text's dimension flags
    std::uint16_t layer = 0;
    std::uint16_t groupLayer = 0;
    std::uint16_t flags = 0;
    friend bool operator==(const Common&, const Common&) = default;
};

enum class ShapeKind : std::uint8_t { Line, Arc, Point, Text, Solid, Insert };

struct Shape {
    ShapeKind kind = ShapeKind::Line;
    Common common;
    // Line: start, end. Arc: centre. Point: the point. Text: start, end of the run. Solid: the
    // four corners in the order 1, 4, 2, 3 as stored (p[0], p[1], p[2], p[3]). Insert: p[0].
    std::array<Vec2, 4> p{};
    // Arc: radius, start angle, sweep, tilt (radians), flatness (minor / major), full circle.
    double radius = 0.0;
    double startAngle = 0.0;
    double sweep = 0.0;
    double tilt = 0.0;
    double flatness = 1.0;
    bool full = false;
    // Point: a temporary point (not printed); code, angle and scale of a marker (pen style 100).
    bool temporary = false;
    std::uint32_t code = 0;
    // Text: kind (+10000 italic, +20000 bold), width, height, spacing (paper mm), angle
    // (degrees), font and text (UTF-8, read from Shift-JIS or UTF-16). Insert: scale x, y in sizeX,
    // sizeY, the rotation (radians) in angle and the block's number in code.
    std::uint32_t textKind = 0;
    double sizeX = 0.0;
    double sizeY = 0.0;
    double spacing = 0.0;
    double angle = 0.0;
    std::string font;
    std::string text;
    std::uint32_t rgb = 0;  // Solid with pen colour 10: its COLORREF (0x00BBGGRR)
    // The entity list's record it belongs to (its index there); kNoRecord inside blocks.
    std::uint32_t record = kNoRecord;
    static constexpr std::uint32_t kNoRecord = 0xFFFFFFFFU;
};

// A block definition: its number (what inserts name), name and entities.
struct Block {
    std::uint32_t number = 0;
    std::string name;  // UTF-8
    std::vector<Shape> shapes;
};

// Header values the board shows or patches.
struct Header {
    std::uint32_t version = 0;
    std::string memo;
    std::uint32_t paper = 0;
    std::uint32_t writeGroup = 0;
    std::array<std::uint32_t, 16> groupState{};
    std::array<std::uint32_t, 16> writeLayer{};
    std::array<double, 16> scale{};         // each group's scale denominator (1:scale)
    std::array<std::size_t, 16> scaleAt{};  // where each is stored
    std::array<std::array<std::uint32_t, 16>, 16> layerState{};
    // Strings in UTF-8, read from Shift-JIS or (Jw_cad 8) UTF-16; the file keeps its bytes.
    std::array<std::array<std::string, 16>, 16> layerName{};
    std::array<std::string, 16> groupName{};
    // Screen colours (COLORREF) by pen number: 0-9, and the SXF colours at 100-356.
    std::array<std::uint32_t, 357> penColour{};
    // Line types 2-9, 16-19 (double length) and the SXF line types 30-62: bit pattern, bits per
    // unit, printed pitch.
    std::array<std::uint32_t, 63> lineType{};
    std::array<std::uint32_t, 63> lineTypeBits{};
    std::array<std::uint32_t, 63> lineTypePitch{};
    // The SXF line types' own dashes (30-62): how many runs, and their lengths in paper mm
    // (dash, gap, dash, ...); none: the bit pattern above.
    std::array<std::uint32_t, 33> sxfSegments{};
    std::array<std::array<double, 10>, 33> sxfPitch{};
    // The names the file gives the SXF colours (pens 100-356) and SXF line types (30-62); from
    // version 420 on.
    std::array<std::string, 257> sxfColourName{};
    std::array<std::string, 33> sxfLineTypeName{};
};

// The paper Jw_cad numbers 0-4 (A0-A4) as it lies, landscape: width and height in mm; none for
// its larger papers (2A and up).
[[nodiscard]] inline std::optional<std::array<double, 2>> PaperSizeMm(std::uint32_t paper) {
    static constexpr std::array<std::array<double, 2>, 5> kSizes{
        {{1189.0, 841.0}, {841.0, 594.0}, {594.0, 420.0}, {420.0, 297.0}, {297.0, 210.0}}};
    if (paper >= kSizes.size()) return std::nullopt;
    return kSizes[paper];
}

}  // namespace pelimator::board::jww
