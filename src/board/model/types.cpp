// Plane helpers and the view transform's zoom, pan and fit.
#include "board/model/types.h"

#include <algorithm>
#include <array>
#include <limits>

namespace pelimator::board {

double DistanceToSegment(Vec2 p, Vec2 a, Vec2 b) noexcept {
    const Vec2 ab = b - a;
    const double lengthSquared = Dot(ab, ab);
    if (lengthSquared == 0.0) return Distance(p, a);
    const double t = std::clamp(Dot(p - a, ab) / lengthSquared, 0.0, 1.0);
    return Distance(p, a + t * ab);
}

bool ClipSegment(Vec2& a, Vec2& b, const Box& box) noexcept {
    double t0 = 0.0;
    double t1 = 1.0;
    const Vec2 d = b - a;
    const std::array<double, 4> p = {-d.x, d.x, -d.y, d.y};
    const std::array<double, 4> q = {a.x - box.min.x, box.max.x - a.x, a.y - box.min.y,
                                     box.max.y - a.y};
    for (std::size_t i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
    }
    const Vec2 start = a;
    a = start + t0 * d;
    b = start + t1 * d;
    return true;
}

void ViewTransform::ZoomAbout(Vec2 screenAnchor, double factor) noexcept {
    if (!(factor > 0.0) || !std::isfinite(factor)) return;
    const double zoomed = pixelsPerUnit * factor;
    if (!(zoomed > 0.0) || !std::isfinite(zoomed)) return;
    const Vec2 anchor = ToDrawing(screenAnchor);
    pixelsPerUnit = zoomed;
    // Keep anchor under the same screen point.
    origin = {anchor.x - screenAnchor.x / pixelsPerUnit, anchor.y + screenAnchor.y / pixelsPerUnit};
}

void ViewTransform::PanByPixels(Vec2 screenDelta) noexcept {
    origin = {origin.x - screenDelta.x / pixelsPerUnit, origin.y + screenDelta.y / pixelsPerUnit};
}

void ViewTransform::Fit(const Box& box, double width, double height, double marginPixels) noexcept {
    const double usableWidth = width - 2.0 * marginPixels;
    const double usableHeight = height - 2.0 * marginPixels;
    const double boxWidth = box.max.x - box.min.x;
    const double boxHeight = box.max.y - box.min.y;
    if (usableWidth > 0.0 && usableHeight > 0.0 && (boxWidth > 0.0 || boxHeight > 0.0)) {
        double zoom = std::numeric_limits<double>::infinity();
        if (boxWidth > 0.0) zoom = std::min(zoom, usableWidth / boxWidth);
        if (boxHeight > 0.0) zoom = std::min(zoom, usableHeight / boxHeight);
        if (zoom > 0.0 && std::isfinite(zoom)) pixelsPerUnit = zoom;
    }
    const Vec2 middle = 0.5 * (box.min + box.max);
    origin = {middle.x - 0.5 * width / pixelsPerUnit, middle.y + 0.5 * height / pixelsPerUnit};
}

}  // namespace pelimator::board
