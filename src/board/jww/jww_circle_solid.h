// The outline of Jw_cad's circle solids (filled circles, sectors, rings and thick arcs), shared by
// the picture beneath and the conversion to DXF.
#pragma once

#include <vector>

#include "board/jww/jww_shapes.h"
#include "board/model/types.h"

namespace pelimator::board::jww {

// Points of an ellipse arc from start to start + sweep (radians): radius along the tilted major
// axis, flatness the minor axis over the major. 128 chords a turn, 8 to 256 (a huge or NaN sweep
// takes 256).
[[nodiscard]] std::vector<Vec2> EllipseArcPoints(Vec2 centre, double radius, double flatness,
                                                 double tilt, double start, double sweep);

// A circle solid's outline in the drawing's own coordinates: centre p0, radius p1.x, flatness
// p1.y, tilt p2.x, start p2.y, sweep p3.x, and p3.y its kind (or a ring's inner radius). A ring
// runs out along the outer arc and back along the inner; a sector ends at the centre; the thick
// arc (pen style 111) is the arc alone, drawn as a line. No points where a number is not finite.
struct CircleSolidOutline {
    std::vector<Vec2> points;
    bool filled = true;  // false: the thick arc
};
[[nodiscard]] CircleSolidOutline CircleSolidOf(const Shape& shape);

}  // namespace pelimator::board::jww
