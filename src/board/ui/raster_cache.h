// The canvas's picture of what stays while the pointer moves (background, grid, what the file
// shows beneath, the board's entities), kept between paints and reused while the view moves.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "board/model/types.h"
#include "board/model/view_reuse.h"

class QPainter;

namespace pelimator::board {

// Everything besides the view that the picture depends on: a picture made under another key is
// never shown.
struct ContentKey {
    const void* drawing = nullptr;
    std::uint64_t changeCount = 0;  // the drawing's: entities, history, layers, scale
    const void* underlay = nullptr;
    bool gridVisible = false;
    double gridSpacing = 0.0;
    QRgb background = 0;
    QRgb grid = 0;
    friend bool operator==(const ContentKey&, const ContentKey&) = default;
};

// Paints the full-quality picture of a size-pixel view through a transform.
using PaintContent = std::function<void(QPainter&, QSize, const ViewTransform&)>;

// Three pictures are kept: the one shown, the last sharp one (painted in full, or moved by whole
// pixels with the uncovered strips painted) and an overview (the last full picture that showed
// every entity). A pan moves the shown picture by whole pixels and paints only the strips it
// uncovers; a zoom scales the sharp picture over the overview (nearest pixel: fast, blocky);
// either leaves the picture inexact until Refine paints it in full for the view asked last,
// which then equals a direct paint pixel for pixel.
class RasterCache {
public:
    // How pictures were made, for tests and benchmarks.
    struct Counts {
        std::size_t full = 0;     // painted in full
        std::size_t shifted = 0;  // moved by whole pixels
        std::size_t scaled = 0;   // scaled from the sharp picture
        std::size_t stripPixels = 0;
    };

    // The picture for transform at size under key; extents is what the content covers, in
    // drawing units (none: nothing), for the overview. Painted in full when nothing kept fits.
    const QImage& Picture(QSize size, const ViewTransform& transform, const ContentKey& key,
                          const std::optional<Box>& extents, const PaintContent& paint);
    // Paints the picture in full for the transform asked last, when it is not exact.
    void Refine(const PaintContent& paint);
    // The picture is the full-quality one for the transform asked last.
    [[nodiscard]] bool Exact() const noexcept;
    // Changes whenever the picture does.
    [[nodiscard]] std::uint64_t Generation() const noexcept { return m_generation; }
    [[nodiscard]] const Counts& Made() const noexcept { return m_counts; }
    // Forgets every picture (the next one is painted in full).
    void Clear();

private:
    struct Kept {
        QImage image;
        ViewTransform transform;
        [[nodiscard]] bool Valid() const noexcept { return !image.isNull(); }
    };
    void PaintFull(const ViewTransform& transform, const PaintContent& paint);
    void Shift(PixelShift shift, const PaintContent& paint);
    void Scale(const ViewTransform& transform);
    // An image of the present size for the next picture: a spare one when there is one.
    QImage TakeBuffer();
    void Show(QImage image, const ViewTransform& transform, bool exact, bool sharp);

    QSize m_size;
    ContentKey m_key;
    std::optional<Box> m_extents;
    Kept m_shown;
    Kept m_sharp;
    Kept m_overview;
    std::vector<QImage> m_spares;  // pictures shown before, held by nothing else
    ViewTransform m_asked;
    bool m_exact = false;       // m_shown is the full picture for m_shown.transform
    bool m_shownSharp = false;  // m_shown is pixel-true (painted or moved, not scaled)
    std::uint64_t m_generation = 0;
    Counts m_counts;
};

// Copies rect (clipped to both) of from into the same place of to; both 32-bit images.
void CopyPictureRect(const QImage& from, QImage& to, const QRect& rect);

}  // namespace pelimator::board
