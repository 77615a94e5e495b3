// Small value types of the board model: plane points, boxes, colours and the view transform.
#pragma once

#include <cmath>
#include <cstdint>

namespace pelimator::board {

// A point or vector in drawing units, Y up.
struct Vec2 {
    double x = 0.0;
    double y = 0.0;

    friend constexpr Vec2 operator+(Vec2 a, Vec2 b) noexcept { return {a.x + b.x, a.y + b.y}; }
    friend constexpr Vec2 operator-(Vec2 a, Vec2 b) noexcept { return {a.x - b.x, a.y - b.y}; }
    friend constexpr Vec2 operator*(double k, Vec2 a) noexcept { return {k * a.x, k * a.y}; }
    friend constexpr Vec2 operator*(Vec2 a, double k) noexcept { return {k * a.x, k * a.y}; }
    friend constexpr bool operator==(Vec2 a, Vec2 b) noexcept = default;
};

[[nodiscard]] inline double Length(Vec2 v) noexcept { return std::hypot(v.x, v.y); }
[[nodiscard]] inline double Distance(Vec2 a, Vec2 b) noexcept { return Length(a - b); }
[[nodiscard]] constexpr double Dot(Vec2 a, Vec2 b) noexcept { return a.x * b.x + a.y * b.y; }
[[nodiscard]] constexpr double Cross(Vec2 a, Vec2 b) noexcept { return a.x * b.y - a.y * b.x; }
[[nodiscard]] inline bool IsFinite(Vec2 v) noexcept {
    return std::isfinite(v.x) && std::isfinite(v.y);
}

// Distance from p to the closed segment a-b (to a when a == b).
[[nodiscard]] double DistanceToSegment(Vec2 p, Vec2 a, Vec2 b) noexcept;

// An axis-aligned box in drawing units; min <= max on both axes when not empty.
struct Box {
    Vec2 min;
    Vec2 max;
};

[[nodiscard]] inline bool IsFiniteBox(const Box& box) noexcept {
    return IsFinite(box.min) && IsFinite(box.max);
}

// Whether the boxes share a point (touching edges count).
[[nodiscard]] inline bool BoxesOverlap(const Box& a, const Box& b) noexcept {
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y;
}

// Clips the segment a-b to box (Liang-Barsky); false when nothing of it is inside.
[[nodiscard]] bool ClipSegment(Vec2& a, Vec2& b, const Box& box) noexcept;

// Colour as 8-bit red, green, blue.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend constexpr bool operator==(Rgb a, Rgb b) noexcept = default;
};

// 0xRRGGBB: as DXF group code 420 holds a true colour and as a document keeps own colours.
[[nodiscard]] constexpr std::int32_t PackRgb(Rgb colour) noexcept {
    return static_cast<std::int32_t>((std::uint32_t{colour.r} << 16U) |
                                     (std::uint32_t{colour.g} << 8U) | colour.b);
}
// Bits above the lowest 24 are ignored.
[[nodiscard]] constexpr Rgb UnpackRgb(std::uint32_t packed) noexcept {
    return {static_cast<std::uint8_t>((packed >> 16U) & 0xFFU),
            static_cast<std::uint8_t>((packed >> 8U) & 0xFFU),
            static_cast<std::uint8_t>(packed & 0xFFU)};
}
[[nodiscard]] constexpr Rgb UnpackRgb(std::int32_t packed) noexcept {
    return UnpackRgb(static_cast<std::uint32_t>(packed));
}

// How a view maps drawing units to screen pixels: screen x grows right, screen y grows down.
//   screenX = (x - origin.x) * pixelsPerUnit,  screenY = (origin.y - y) * pixelsPerUnit
// so origin is the drawing point at the top-left corner of the view.
struct ViewTransform {
    double pixelsPerUnit = 1.0;  // zoom; always > 0
    Vec2 origin{0.0, 0.0};

    [[nodiscard]] Vec2 ToScreen(Vec2 p) const noexcept {
        return {(p.x - origin.x) * pixelsPerUnit, (origin.y - p.y) * pixelsPerUnit};
    }
    [[nodiscard]] Vec2 ToDrawing(Vec2 s) const noexcept {
        return {origin.x + s.x / pixelsPerUnit, origin.y - s.y / pixelsPerUnit};
    }
    // Zooms by factor keeping the drawing point under the screen point screenAnchor in place.
    void ZoomAbout(Vec2 screenAnchor, double factor) noexcept;
    // Moves the view content by a screen displacement (a pan drag).
    void PanByPixels(Vec2 screenDelta) noexcept;
    // Shows box (grown by marginPixels on each side) centred in a width x height view.
    // An empty or degenerate box keeps the zoom and centres its middle.
    void Fit(const Box& box, double width, double height, double marginPixels) noexcept;
};

}  // namespace pelimator::board
