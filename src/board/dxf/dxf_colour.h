// DXF colour numbers (AutoCAD Colour Index) and their conversion to and from RGB.
#pragma once

#include <cstdint>

#include "board/model/types.h"

namespace pelimator::board {

// 0xRRGGBB, as DXF group code 420 (true colour) holds it.
[[nodiscard]] std::int32_t PackRgb(Rgb colour) noexcept;
[[nodiscard]] Rgb UnpackRgb(std::int32_t packed) noexcept;

// The RGB of a colour number; the sign (a hidden layer) is ignored. 7, the foreground colour,
// is black, since the board draws on white; numbers outside 1..255 are black too.
[[nodiscard]] Rgb AciToRgb(std::int32_t aci) noexcept;
// The colour number nearest to colour (7 for black and for white), for programs that ignore
// true colour.
[[nodiscard]] std::int32_t NearestAci(Rgb colour) noexcept;

}  // namespace pelimator::board
