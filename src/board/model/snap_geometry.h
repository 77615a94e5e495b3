// Plane geometry behind snapping: an entity's midpoint, the point of an entity nearest to a
// given point, and where two entities cross.
#pragma once

#include <vector>

#include "board/model/entity.h"
#include "board/model/types.h"

namespace pelimator::board {

// Arcs are taken as drawn: at their stored radius about the centre, from the angle of start to
// the angle of end, counter-clockwise. An arc of radius 0 or a line of length 0 has no curve to
// cross or lie on (its end points and centre can still be caught).

// The middle of a line, or the point of an arc half way along its sweep.
[[nodiscard]] Vec2 MidPointOf(const EntityData& entity) noexcept;

// The point of the entity nearest to p (a line's end, or the arc's nearer end, when p is beyond
// them).
[[nodiscard]] Vec2 NearestPointOn(const EntityData& entity, Vec2 p) noexcept;

// Appends to out the points where a and b cross or touch: 0, 1 or 2 of them. Parallel or
// overlapping lines and concentric circles give none (their shared points are end points).
// A point is accepted within a relative tolerance of the ends, so lines that meet at an end
// are found.
void AppendIntersections(const EntityData& a, const EntityData& b, std::vector<Vec2>& out);

}  // namespace pelimator::board
