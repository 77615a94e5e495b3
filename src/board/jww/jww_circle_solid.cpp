// Circle solids' outlines.
#include "board/jww/jww_circle_solid.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace pelimator::board::jww {

std::vector<Vec2> EllipseArcPoints(Vec2 centre, double radius, double flatness, double tilt,
                                   double start, double sweep) {
    const double wanted = std::ceil(std::abs(sweep) / (2.0 * std::numbers::pi) * 128.0);
    const int segments = !(wanted <= 256.0) ? 256 : wanted < 8.0 ? 8 : static_cast<int>(wanted);
    std::vector<Vec2> pts;
    pts.reserve(static_cast<std::size_t>(segments) + 1);
    const double ct = std::cos(tilt);
    const double st = std::sin(tilt);
    for (int i = 0; i <= segments; ++i) {
        const double t = start + sweep * i / segments;
        const Vec2 local{radius * std::cos(t), radius * flatness * std::sin(t)};
        pts.push_back(centre + Vec2{local.x * ct - local.y * st, local.x * st + local.y * ct});
    }
    return pts;
}

CircleSolidOutline CircleSolidOf(const Shape& shape) {
    const std::uint8_t style = shape.common.penStyle;
    const Vec2 c = shape.p[0];
    const double radius = shape.p[1].x;
    const double flat = shape.p[1].y;
    const double tilt = shape.p[2].x;
    const double start = shape.p[2].y;
    const double kindOrInner = shape.p[3].y;
    double sweep = shape.p[3].x;
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(radius) ||
        !std::isfinite(flat) || !std::isfinite(tilt) || !std::isfinite(start) ||
        !std::isfinite(sweep) || !std::isfinite(kindOrInner)) {
        return {};
    }
    if ((style == 101 || style == 111) && kindOrInner == 100.0) sweep = 2.0 * std::numbers::pi;
    CircleSolidOutline outline{EllipseArcPoints(c, radius, flat, tilt, start, sweep), style != 111};
    if (style == 105 || style == 106) {
        const double inner = kindOrInner;
        const double innerFlat =
            style == 106 && inner > 0.0 ? (radius * flat - (radius - inner)) / inner : flat;
        const std::vector<Vec2> innerArc =
            EllipseArcPoints(c, inner, innerFlat, tilt, start, sweep);
        outline.points.insert(outline.points.end(), innerArc.rbegin(), innerArc.rend());
    } else if (style != 111 && kindOrInner == 0.0) {
        outline.points.push_back(c);  // a sector
    }
    return outline;
}

}  // namespace pelimator::board::jww
