// How a picture painted through one view maps into another: what a canvas can reuse of its last
// picture while the view pans or zooms.
#pragma once

#include <optional>
#include <vector>

#include "board/model/types.h"

namespace pelimator::board {

// A screen point s of a picture painted through one view lands at s * scale + offset in a
// picture painted through another (screen y down in both).
struct ViewMapping {
    double scale = 1.0;
    Vec2 offset{0.0, 0.0};
};
[[nodiscard]] ViewMapping MappingBetween(const ViewTransform& from,
                                         const ViewTransform& to) noexcept;

// A move of a picture by whole pixels (right and down positive).
struct PixelShift {
    int dx = 0;
    int dy = 0;
    friend bool operator==(const PixelShift&, const PixelShift&) = default;
};

// When from and to have the same zoom and a width x height picture through from, moved by the
// rounded offset, still covers part of the view: that move. The rounding leaves the picture up
// to half a pixel off, which the full picture painted later puts right.
[[nodiscard]] std::optional<PixelShift> WholePixelShift(const ViewTransform& from,
                                                        const ViewTransform& to, int width,
                                                        int height) noexcept;

// The view moved by whole pixels: the transform the moved picture shows exactly.
[[nodiscard]] ViewTransform Shifted(const ViewTransform& transform, PixelShift shift) noexcept;

// A rectangle of whole pixels, x and y its top-left pixel.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    [[nodiscard]] bool Empty() const noexcept { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The parts of a width x height view that a picture moved by shift leaves uncovered: none, one
// or two strips that do not overlap (a full-height column, then a row across the rest).
[[nodiscard]] std::vector<PixelRect> UncoveredStrips(PixelShift shift, int width, int height);

// The transform that paints the strip rect of a view through transform on its own: the same
// zoom, its origin at the strip's top-left corner.
[[nodiscard]] ViewTransform StripTransform(const ViewTransform& transform,
                                           const PixelRect& rect) noexcept;

}  // namespace pelimator::board
