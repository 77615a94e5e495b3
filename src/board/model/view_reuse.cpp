// How a picture painted through one view maps into another.
#include "board/model/view_reuse.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pelimator::board {

ViewMapping MappingBetween(const ViewTransform& from, const ViewTransform& to) noexcept {
    // s_to = (p - o_to) * z_to with p = o_from + s_from / z_from (x; y mirrored).
    ViewMapping mapping;
    mapping.scale = to.pixelsPerUnit / from.pixelsPerUnit;
    mapping.offset = {(from.origin.x - to.origin.x) * to.pixelsPerUnit,
                      (to.origin.y - from.origin.y) * to.pixelsPerUnit};
    return mapping;
}

std::optional<PixelShift> WholePixelShift(const ViewTransform& from, const ViewTransform& to,
                                          int width, int height) noexcept {
    if (from.pixelsPerUnit != to.pixelsPerUnit || width <= 0 || height <= 0) return std::nullopt;
    const ViewMapping mapping = MappingBetween(from, to);
    if (!std::isfinite(mapping.offset.x) || !std::isfinite(mapping.offset.y)) return std::nullopt;
    const double dx = std::round(mapping.offset.x);
    const double dy = std::round(mapping.offset.y);
    if (std::abs(dx) >= width || std::abs(dy) >= height) return std::nullopt;
    return PixelShift{static_cast<int>(dx), static_cast<int>(dy)};
}

ViewTransform Shifted(const ViewTransform& transform, PixelShift shift) noexcept {
    ViewTransform moved = transform;
    moved.PanByPixels({static_cast<double>(shift.dx), static_cast<double>(shift.dy)});
    return moved;
}

std::vector<PixelRect> UncoveredStrips(PixelShift shift, int width, int height) {
    std::vector<PixelRect> strips;
    const int columns = std::min(std::abs(shift.dx), width);
    const int rows = std::min(std::abs(shift.dy), height);
    if (columns > 0) {
        strips.push_back({shift.dx > 0 ? 0 : width - columns, 0, columns, height});
    }
    if (rows > 0 && columns < width) {
        const int x = shift.dx > 0 ? columns : 0;
        strips.push_back({x, shift.dy > 0 ? 0 : height - rows, width - columns, rows});
    }
    return strips;
}

ViewTransform StripTransform(const ViewTransform& transform, const PixelRect& rect) noexcept {
    ViewTransform strip = transform;
    strip.origin = transform.ToDrawing({static_cast<double>(rect.x), static_cast<double>(rect.y)});
    return strip;
}

}  // namespace pelimator::board
