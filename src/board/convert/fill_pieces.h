// A filled area as Jw_cad solids: Jw_cad fills only triangles and quadrilaterals, so an area with
// holes (or a concave outline) is cut into horizontal trapezoids that cover it exactly.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "board/model/types.h"

namespace pelimator::board {

using FillPiece = std::array<Vec2, 4>;  // corners in order; a triangle repeats one

// The area inside an odd number of rings (a hole inside an outline, an island inside the hole)
// as trapezoids between the heights of the rings' corners and crossings; empty when that takes
// more than limit pieces (or no ring has three corners).
[[nodiscard]] std::vector<FillPiece> EvenOddPieces(std::span<const std::vector<Vec2>> rings,
                                                   std::size_t limit);

// Whether a ring is convex (a fan of triangles from one corner then covers it exactly).
[[nodiscard]] bool ConvexRing(std::span<const Vec2> ring);

}  // namespace pelimator::board
