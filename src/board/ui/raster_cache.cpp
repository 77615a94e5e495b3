// The canvas's kept picture: reused, moved or scaled while the view moves, refined after.
#include "board/ui/raster_cache.h"

#include <QPainter>
#include <QRectF>
#include <algorithm>
#include <cstring>
#include <utility>

namespace pelimator::board {

namespace {

constexpr QImage::Format kFormat = QImage::Format_ARGB32_Premultiplied;
constexpr int kBytesPerPixel = 4;
// Images kept for the pictures of a movement.
constexpr std::size_t kSpares = 2;

bool SameView(const ViewTransform& a, const ViewTransform& b) noexcept {
    return a.pixelsPerUnit == b.pixelsPerUnit && a.origin.x == b.origin.x &&
           a.origin.y == b.origin.y;
}

// Whether a size-pixel picture through transform shows all of box.
bool ShowsAll(const ViewTransform& transform, QSize size, const Box& box) noexcept {
    const Vec2 a = transform.ToScreen(box.min);
    const Vec2 b = transform.ToScreen(box.max);
    return std::min(a.x, b.x) >= 0.0 && std::min(a.y, b.y) >= 0.0 &&
           std::max(a.x, b.x) <= size.width() && std::max(a.y, b.y) <= size.height();
}

// Where a picture through from lands in a size-pixel view through to.
QRectF MappedRect(const ViewTransform& from, const ViewTransform& to, QSize size) {
    const ViewMapping mapping = MappingBetween(from, to);
    return {mapping.offset.x, mapping.offset.y, size.width() * mapping.scale,
            size.height() * mapping.scale};
}

// Draws the part of picture (through from) that a view through to shows, nearest pixel.
// Only the visible part is handed to the painter, so a large zoom never makes huge coordinates.
void DrawMapped(QPainter& painter, const QImage& picture, const ViewTransform& from,
                const ViewTransform& to) {
    const QSize size = picture.size();
    const QRectF whole = MappedRect(from, to, size);
    const QRectF visible = whole.intersected(QRectF(QPointF(0.0, 0.0), QSizeF(size)));
    if (visible.isEmpty()) return;
    const double scale = whole.width() / size.width();
    // Kept within the picture: a source reaching past it by a rounding error would send the
    // painter down its slow general path.
    const QRectF source =
        QRectF((visible.x() - whole.x()) / scale, (visible.y() - whole.y()) / scale,
               visible.width() / scale, visible.height() / scale)
            .intersected(QRectF(QPointF(0.0, 0.0), QSizeF(size)));
    painter.drawImage(visible, picture, source);
}

// Copies the rect of from into to at the same place (both the same size and format).
void CopyRect(const QImage& from, QImage& to, int x, int y, int width, int height) {
    for (int row = y; row < y + height; ++row) {
        std::memcpy(to.scanLine(row) + static_cast<std::ptrdiff_t>(x) * kBytesPerPixel,
                    from.constScanLine(row) + static_cast<std::ptrdiff_t>(x) * kBytesPerPixel,
                    static_cast<std::size_t>(width) * kBytesPerPixel);
    }
}

}  // namespace

const QImage& RasterCache::Picture(QSize size, const ViewTransform& transform,
                                   const ContentKey& key, const std::optional<Box>& extents,
                                   const PaintContent& paint) {
    if (size != m_size || !(key == m_key)) {
        Clear();
        m_size = size;
        m_key = key;
    }
    m_extents = extents;
    m_asked = transform;
    if (!m_shown.Valid()) {
        PaintFull(transform, paint);
    } else if (!SameView(transform, m_shown.transform)) {
        if (const auto shift =
                WholePixelShift(m_shown.transform, transform, size.width(), size.height())) {
            // Within half a pixel the picture stays as it is until it is refined.
            if (shift->dx != 0 || shift->dy != 0) Shift(*shift, paint);
        } else {
            Scale(transform);
        }
    }
    return m_shown.image;
}

void RasterCache::Refine(const PaintContent& paint) {
    if (m_shown.Valid() && !Exact()) PaintFull(m_asked, paint);
}

bool RasterCache::Exact() const noexcept {
    return m_shown.Valid() && m_exact && SameView(m_shown.transform, m_asked);
}

void RasterCache::Clear() {
    m_shown = {};
    m_sharp = {};
    m_overview = {};
    m_spares.clear();
    m_exact = false;
    m_shownSharp = false;
    ++m_generation;
}

QImage RasterCache::TakeBuffer() {
    while (!m_spares.empty()) {
        QImage buffer = std::move(m_spares.back());
        m_spares.pop_back();
        if (buffer.size() == m_size && buffer.isDetached()) return buffer;
    }
    return QImage(m_size, kFormat);
}

void RasterCache::Show(QImage image, const ViewTransform& transform, bool exact, bool sharp) {
    // The picture shown until now is kept for a next one when nothing else holds it: a fresh
    // 8 MB image costs more in page faults than painting it.
    QImage old = std::move(m_shown.image);
    if (old.size() == m_size && old.isDetached() && m_spares.size() < kSpares) {
        m_spares.push_back(std::move(old));
    }
    m_shown = {std::move(image), transform};
    m_exact = exact;
    m_shownSharp = sharp;
    if (sharp) m_sharp = m_shown;
    ++m_generation;
}

void RasterCache::PaintFull(const ViewTransform& transform, const PaintContent& paint) {
    QImage image = TakeBuffer();
    {
        QPainter painter(&image);
        paint(painter, m_size, transform);
    }
    ++m_counts.full;
    Show(std::move(image), transform, true, true);
    // The frames of the next movement take their images from the spares (the sharp picture
    // holds this one): made and touched now, where a moment more does not show.
    while (m_spares.size() < kSpares) {
        QImage spare(m_size, kFormat);
        spare.fill(0);
        m_spares.push_back(std::move(spare));
    }
    if (m_extents && ShowsAll(transform, m_size, *m_extents)) m_overview = m_shown;
}

void RasterCache::Shift(PixelShift shift, const PaintContent& paint) {
    const ViewTransform moved = Shifted(m_shown.transform, shift);
    const int width = m_size.width();
    const int height = m_size.height();
    QImage image = TakeBuffer();
    // The rows that stay, moved; then the strips they leave, painted through the moved view.
    const int x0 = std::max(0, shift.dx);
    const int x1 = std::min(width, width + shift.dx);
    for (int y = std::max(0, shift.dy); y < std::min(height, height + shift.dy); ++y) {
        std::memcpy(image.scanLine(y) + static_cast<std::ptrdiff_t>(x0) * kBytesPerPixel,
                    m_shown.image.constScanLine(y - shift.dy) +
                        static_cast<std::ptrdiff_t>(x0 - shift.dx) * kBytesPerPixel,
                    static_cast<std::size_t>(x1 - x0) * kBytesPerPixel);
    }
    for (const PixelRect& strip : UncoveredStrips(shift, width, height)) {
        QImage part(strip.width, strip.height, kFormat);
        {
            QPainter painter(&part);
            paint(painter, part.size(), StripTransform(moved, strip));
        }
        for (int y = 0; y < strip.height; ++y) {
            std::memcpy(
                image.scanLine(strip.y + y) + static_cast<std::ptrdiff_t>(strip.x) * kBytesPerPixel,
                part.constScanLine(y), static_cast<std::size_t>(strip.width) * kBytesPerPixel);
        }
        m_counts.stripPixels += static_cast<std::size_t>(strip.width) * strip.height;
    }
    ++m_counts.shifted;
    Show(std::move(image), moved, false, m_shownSharp);
}

void RasterCache::Scale(const ViewTransform& transform) {
    QImage image = TakeBuffer();
    image.fill(QColor::fromRgba(m_key.background));
    {
        QPainter painter(&image);
        // The overview fills what the sharp picture does not cover (zooming out past it).
        const QRectF sharp =
            m_sharp.Valid() ? MappedRect(m_sharp.transform, transform, m_size) : QRectF();
        if (m_overview.Valid() && !sharp.contains(QRectF(QPointF(0.0, 0.0), QSizeF(m_size)))) {
            DrawMapped(painter, m_overview.image, m_overview.transform, transform);
        }
        if (m_sharp.Valid()) DrawMapped(painter, m_sharp.image, m_sharp.transform, transform);
    }
    ++m_counts.scaled;
    Show(std::move(image), transform, false, false);
}

void CopyPictureRect(const QImage& from, QImage& to, const QRect& rect) {
    const QRect inside = rect.intersected(from.rect()).intersected(to.rect());
    if (inside.isEmpty()) return;
    CopyRect(from, to, inside.x(), inside.y(), inside.width(), inside.height());
}

}  // namespace pelimator::board
