// Plane helpers and the view transform's zoom, pan and fit.
#include "board/model/types.h"

#include <algorithm>
#include <limits>

namespace pelimator::board {

double DistanceToSegment(Vec2 p, Vec2 a, Vec2 b) noexcept {
    const Vec2 ab = b - a;
    const double lengthSquared = Dot(ab, ab);
    if (lengthSquared == 0.0) return Distance(p, a);
    const double t = std::clamp(Dot(p - a, ab) / lengthSquared, 0.0, 1.0);
    return Distance(p, a + t * ab);
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
