// Painting of a document: culled, batched by colour, with entities under a pixel as pixels.
#include "board/render/scene_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

#include "board/model/entity.h"
#include "board/model/layers.h"
#include "board/render/line_pen.h"

namespace pelimator::board {

namespace {

// Perceived lightness an entity keeps away from the background (0..1).
// Flattening tolerance of arcs on screen, in pixels.
constexpr double kArcTolerancePixels = 0.25;
constexpr std::size_t kMaxArcSegments = 4096;
// QPainter handles coordinates well within this range; farther segments are clipped first.
constexpr double kSafePixels = 1.0e5;
// Grid lines closer than this are coarsened by tens.
constexpr double kMinGridPixels = 8.0;
// Up to this many segments the entities are antialiased; more are drawn plainly for speed.
constexpr std::size_t kMaxSmoothLines = 4'000;
// Segments shorter than this on both axes are stamped as pixels.
constexpr double kShortPixels = 3.0;
// The rubber band drops a point that lies closer than this to the chord past it.
constexpr double kBandTolerancePixels = 0.3;

// The image painter draws into, when its pixels can be written directly: a 32-bit image at
// least size large, painted without transform or clip.
QImage* DirectTarget(QPainter& painter, QSize size) {
    QPaintDevice* device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image) return nullptr;
    auto* image = dynamic_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        return nullptr;
    }
    if (image->width() < size.width() || image->height() < size.height()) return nullptr;
    if (!painter.deviceTransform().isIdentity() || painter.hasClipping()) return nullptr;
    if (painter.compositionMode() != QPainter::CompositionMode_SourceOver) return nullptr;
    return image;
}

// Draws a one-pixel segment straight into a 32-bit image (Bresenham on the pixels the ends fall
// in): what a plain cosmetic pen draws, without the painter's per-line cost. With a dash, the
// pixel counter phase runs on across calls: pixels with phase % (on + off) < on are drawn.
void RasterizeSegment(QImage& image, QLineF line, QRgb colour, int dashOn = 0, int dashOff = 0,
                      int* phase = nullptr) {
    const Box inside{{0.0, 0.0}, {image.width() - 1e-9, image.height() - 1e-9}};
    Vec2 a{line.x1(), line.y1()};
    Vec2 b{line.x2(), line.y2()};
    if (!ClipSegment(a, b, inside) || !IsFinite(a) || !IsFinite(b)) return;
    // A clipped end can round a hair outside the image (-1e-16 floors to -1): the ends are
    // pinned to its pixels, and the line between two pixels of the image stays in it.
    const auto pixel = [](double v, int size) {
        return static_cast<int>(std::clamp(std::floor(v), 0.0, size - 1.0));
    };
    int x0 = pixel(a.x, image.width());
    int y0 = pixel(a.y, image.height());
    const int x1 = pixel(b.x, image.width());
    const int y1 = pixel(b.y, image.height());
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    const int period = dashOn + dashOff;
    int error = dx + dy;
    for (;;) {
        if (phase == nullptr || period <= 0 || *phase % period < dashOn) {
            reinterpret_cast<QRgb*>(image.scanLine(y0))[x0] = colour;
        }
        if (x0 == x1 && y0 == y1) break;
        if (phase != nullptr) ++*phase;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void RasterizeLines(QImage& image, const std::vector<QLineF>& lines, QRgb colour) {
    for (const QLineF& line : lines) RasterizeSegment(image, line, colour);
}

// Squared distance from p to the segment a-b: no square root, for tight loops.
double DistanceSquaredToSegment(Vec2 p, Vec2 a, Vec2 b) noexcept {
    const Vec2 ab = b - a;
    const double lengthSquared = Dot(ab, ab);
    const double t =
        lengthSquared > 0.0 ? std::clamp(Dot(p - a, ab) / lengthSquared, 0.0, 1.0) : 0.0;
    const Vec2 d = p - (a + t * ab);
    return Dot(d, d);
}

bool Outside(const QPointF& p) noexcept {
    return std::abs(p.x()) > kSafePixels || std::abs(p.y()) > kSafePixels;
}

}  // namespace

void ScenePainter::Paint(QPainter& painter, QSize size, const BoardDocument& document,
                         const ViewTransform& transform, const SceneOverlay& overlay,
                         EntityIndex& index) {
    PaintContent(painter, size, document, transform, overlay, index);
    PaintOverlay(painter, size, transform, overlay);
}

void ScenePainter::PaintContent(QPainter& painter, QSize size, const BoardDocument& document,
                                const ViewTransform& transform, const SceneOverlay& overlay,
                                EntityIndex& index) {
    m_stats = {};
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), m_palette.background);
    if (overlay.gridVisible) PaintGrid(painter, size, transform, overlay.gridSpacing);
    PaintDrawing(painter, size, document, transform, index, DrawingStyle{});
    painter.restore();
}

void ScenePainter::PaintOverlay(QPainter& painter, QSize size, const ViewTransform& transform,
                                const SceneOverlay& overlay) {
    m_stats.rubberPoints = 0;
    painter.save();
    if (overlay.snap) PaintSnap(painter, transform, *overlay.snap);
    // The line finishing at the cursor would draw, lighter, beneath the one finishing now draws.
    PaintPreview(painter, size, transform, overlay.previewAtCursor, m_palette.previewAtCursor);
    PaintPreview(painter, size, transform, overlay.preview, m_palette.preview);
    PaintRubber(painter, size, transform, overlay.rubber);
    PaintMarks(painter, transform, overlay.marks);
    if (overlay.cursor) PaintCrosshair(painter, size, transform, *overlay.cursor);
    painter.restore();
}

void ScenePainter::PaintDrawing(QPainter& painter, QSize size, const BoardDocument& document,
                                const ViewTransform& transform, EntityIndex& index,
                                const DrawingStyle& style) {
    m_frame.style = style;
    m_underlay.Paint(painter, size, document, transform, m_palette.background,
                     style.lineWidthPixels);
    PaintEntities(painter, size, document, transform, index);
}

void ScenePainter::PaintGrid(QPainter& painter, QSize size, const ViewTransform& transform,
                             double spacing) const {
    if (!(spacing > 0.0) || !std::isfinite(spacing)) return;
    for (int i = 0; i < 12 && spacing * transform.pixelsPerUnit < kMinGridPixels; ++i) {
        spacing *= 10.0;
    }
    if (spacing * transform.pixelsPerUnit < kMinGridPixels) return;
    const Vec2 topLeft = transform.ToDrawing({0.0, 0.0});
    const Vec2 bottomRight = transform.ToDrawing(
        {static_cast<double>(size.width()), static_cast<double>(size.height())});
    std::vector<QLineF> lines;
    for (double x = std::ceil(topLeft.x / spacing) * spacing; x <= bottomRight.x; x += spacing) {
        const double sx = transform.ToScreen({x, 0.0}).x;
        lines.emplace_back(sx, 0.0, sx, size.height());
    }
    for (double y = std::ceil(bottomRight.y / spacing) * spacing; y <= topLeft.y; y += spacing) {
        const double sy = transform.ToScreen({0.0, y}).y;
        lines.emplace_back(0.0, sy, size.width(), sy);
    }
    if (QImage* image = DirectTarget(painter, size)) {
        // Axis-parallel lines straight into the image: rows are one fill each.
        const QRgb colour = m_palette.grid.rgba() | 0xff000000U;
        const int width = std::min(size.width(), image->width());
        const int height = std::min(size.height(), image->height());
        for (const QLineF& line : lines) {
            if (line.x1() == line.x2()) {
                const int x = static_cast<int>(std::floor(line.x1()));
                if (x < 0 || x >= width) continue;
                for (int y = 0; y < height; ++y)
                    reinterpret_cast<QRgb*>(image->scanLine(y))[x] = colour;
            } else {
                const int y = static_cast<int>(std::floor(line.y1()));
                if (y < 0 || y >= height) continue;
                std::fill_n(reinterpret_cast<QRgb*>(image->scanLine(y)), width, colour);
            }
        }
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(m_palette.grid, 0));
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
}

std::size_t ScenePainter::BatchFor(const BoardLayers& layers, std::int32_t layer) {
    for (const auto& [number, batch] : m_layerBatch) {
        if (number == layer) return batch;
    }
    std::size_t batch = SIZE_MAX;
    if (layers.IsShown(layer)) {
        const LayerData* data = layers.Find(layer);
        batch = BatchForColour(data != nullptr ? data->colour : Rgb{});
    }
    m_layerBatch.emplace_back(layer, batch);
    return batch;
}

std::size_t ScenePainter::BatchForColour(Rgb rgb) {
    const QColor colour = ColourOnBackground(rgb, m_palette.background);
    for (std::size_t i = 0; i < m_batches.size(); ++i) {
        if (m_batches[i].colour == colour) return i;
    }
    // Pixel stamps hold a batch number in 16 bits; more colours than that share the last.
    if (m_batches.size() >= UINT16_MAX - 1) return m_batches.size() - 1;
    m_batches.push_back({colour, {}, {}});
    return m_batches.size() - 1;
}

void ScenePainter::PaintEntities(QPainter& painter, QSize size, const BoardDocument& document,
                                 const ViewTransform& transform, EntityIndex& index) {
    const BoardDrawing& drawing = *document.DrawingModel();
    index.Update(drawing);
    if (size.width() <= 0 || size.height() <= 0) return;
    BeginFrame(size, transform);
    const DocumentSource* source = document.Source().get();
    CollectEntities(*document.LayerTable(), drawing.Entities(), source, index);
    QImage* image = m_frame.style.exact ? nullptr : DirectTarget(painter, size);
    DrawLineBatches(painter, image);
    if (source != nullptr) DrawDashed(painter, source->DashPatterns());
    DrawStampedPixels(painter, image);
}

void ScenePainter::BeginFrame(QSize size, const ViewTransform& transform) {
    m_frame = {size.width(), size.height(), transform,
               Box{{-2.0, -2.0}, {size.width() + 2.0, size.height() + 2.0}}, m_frame.style};
    m_batches.clear();
    m_layerBatch.clear();
    m_dashed.clear();
    m_stamped.clear();
    if (m_frame.style.exact) return;  // nothing is stamped
    // Every stamped pixel is reset after use, so the buffer is cleared only when it is resized.
    const std::size_t pixels =
        static_cast<std::size_t>(m_frame.width) * static_cast<std::size_t>(m_frame.height);
    if (m_stamp.size() != pixels) m_stamp.assign(pixels, 0);
}

void ScenePainter::CollectEntities(const BoardLayers& layers, std::span<const EntityData> entities,
                                   const DocumentSource* source, const EntityIndex& index) {
    const ViewTransform& transform = m_frame.transform;
    const double pad = 2.0 / transform.pixelsPerUnit;
    const Vec2 topLeft = transform.ToDrawing({0.0, 0.0});
    const Vec2 bottomRight = transform.ToDrawing(
        {static_cast<double>(m_frame.width), static_cast<double>(m_frame.height)});
    const Box area{{topLeft.x - pad, bottomRight.y - pad}, {bottomRight.x + pad, topLeft.y + pad}};
    const std::span<const std::uint32_t> ownColours =
        source != nullptr ? source->OwnColours() : std::span<const std::uint32_t>{};
    const std::span<const std::uint32_t> ownDashes =
        source != nullptr ? source->EntityDashes() : std::span<const std::uint32_t>{};
    constexpr std::uint32_t kSolid = DocumentSource::kSolidLine;
    std::int32_t cachedLayer = 0;
    std::size_t cachedBatch = BatchFor(layers, 0);
    std::uint32_t cachedLayerDash = source != nullptr ? source->LayerDash(0) : kSolid;
    std::uint32_t cachedOwn = 0;
    std::size_t cachedOwnBatch = 0;
    index.Query(area, [&](std::size_t i) {
        ++m_stats.candidates;
        const EntityData& e = entities[i];
        if (!e.visible) return;
        if (e.layer != cachedLayer) {
            cachedLayer = e.layer;
            cachedBatch = BatchFor(layers, e.layer);
            cachedLayerDash = source != nullptr ? source->LayerDash(e.layer) : kSolid;
        }
        if (cachedBatch == SIZE_MAX) return;  // hidden layer
        std::size_t batch = cachedBatch;
        if (i < ownColours.size() && ownColours[i] != 0) {
            const std::uint32_t own = ownColours[i];
            if (own != cachedOwn) {
                cachedOwn = own;
                cachedOwnBatch = BatchForColour(UnpackRgb(own));
            }
            batch = cachedOwnBatch;
        }
        // Entities read from the file keep the linetype they were read with; added ones follow
        // their layer's.
        const std::uint32_t dash = i < ownDashes.size() ? ownDashes[i] : cachedLayerDash;
        if (dash != kSolid) {
            CollectDashed(e, batch, dash);
            return;
        }
        switch (e.kind) {
            case EntityKind::Line:
                CollectLine(e, batch);
                break;
            case EntityKind::Arc:
                CollectArc(e, batch);
                break;
        }
    });
}

void ScenePainter::CollectDashed(const EntityData& entity, std::size_t batch, std::uint32_t dash) {
    const ViewTransform& transform = m_frame.transform;
    Dashed& dashed = m_dashed.emplace_back();
    dashed.batch = batch;
    dashed.dash = dash;
    const auto add = [&](Vec2 p) {
        const Vec2 s = transform.ToScreen(p);
        dashed.points.emplace_back(s.x, s.y);
    };
    switch (entity.kind) {
        case EntityKind::Line:
            add(entity.start);
            add(entity.end);
            return;
        case EntityKind::Arc:
            break;
    }
    const double radius = std::abs(entity.radius) * transform.pixelsPerUnit;
    const ArcAngles angles = AnglesOf(entity);
    const std::size_t segments =
        ArcSegmentCount(radius, angles.sweep, kArcTolerancePixels, kMaxArcSegments);
    for (std::size_t k = 0; k <= segments; ++k) {
        const double a =
            angles.start + angles.sweep * static_cast<double>(k) / static_cast<double>(segments);
        add(entity.center + std::abs(entity.radius) * Vec2{std::cos(a), std::sin(a)});
    }
}

void ScenePainter::DrawDashed(QPainter& painter, std::span<const std::vector<double>> patterns) {
    if (m_dashed.empty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double width = m_frame.style.lineWidthPixels;
    // Points far outside stay where they are (clamping them bent the line and moved its
    // dashes): the stroke draws what lies within the frame and runs the pattern on outside.
    const QRectF frame(0.0, 0.0, m_frame.width, m_frame.height);
    for (const Dashed& dashed : m_dashed) {
        const std::vector<double>* pattern =
            dashed.dash < patterns.size() ? &patterns[dashed.dash] : nullptr;
        StrokePolyline(painter,
                       LinePen(m_batches[dashed.batch].colour, width, pattern,
                               m_frame.transform.pixelsPerUnit, Qt::RoundCap),
                       dashed.points.data(), static_cast<int>(dashed.points.size()), false, &frame);
        m_stats.lines += dashed.points.size() - 1;
    }
    painter.restore();
}

void ScenePainter::CollectLine(const EntityData& line, std::size_t batch) {
    const Vec2 a = m_frame.transform.ToScreen(line.start);
    const Vec2 b = m_frame.transform.ToScreen(line.end);
    const auto within = [&](double pixels) {
        return !m_frame.style.exact && std::abs(a.x - b.x) < pixels && std::abs(a.y - b.y) < pixels;
    };
    if (within(1.0)) {
        Stamp(0.5 * (a.x + b.x), 0.5 * (a.y + b.y), batch);
    } else if (within(kShortPixels)) {
        StampSegment(a, b, batch);
    } else {
        AddSegment({a.x, a.y}, {b.x, b.y}, m_batches[batch].lines);
    }
}

void ScenePainter::CollectArc(const EntityData& arc, std::size_t batch) {
    const ViewTransform& transform = m_frame.transform;
    const double radius = std::abs(arc.radius) * transform.pixelsPerUnit;
    // An arc under two pixels across shows as its chord (a pixel when that is shorter).
    if (radius < 1.0 && !m_frame.style.exact) {
        const Vec2 a = transform.ToScreen(arc.start);
        const Vec2 b = transform.ToScreen(arc.end);
        if (std::abs(a.x - b.x) < 1.0 && std::abs(a.y - b.y) < 1.0) {
            Stamp(0.5 * (a.x + b.x), 0.5 * (a.y + b.y), batch);
        } else {
            StampSegment(a, b, batch);
        }
        return;
    }
    const Vec2 c = transform.ToScreen(arc.center);
    const ArcAngles angles = AnglesOf(arc);
    const std::size_t segments =
        ArcSegmentCount(radius, angles.sweep, kArcTolerancePixels, kMaxArcSegments);
    // Points by rotation, one multiply per point; screen y is down, so sine flips.
    const double delta = angles.sweep / static_cast<double>(segments);
    const double cosDelta = std::cos(delta);
    const double sinDelta = std::sin(delta);
    double cosA = std::cos(angles.start);
    double sinA = std::sin(angles.start);
    std::vector<QLineF>& lines = m_batches[batch].lines;
    QPointF previous(c.x + radius * cosA, c.y - radius * sinA);
    for (std::size_t k = 0; k < segments; ++k) {
        const double nextCos = cosA * cosDelta - sinA * sinDelta;
        sinA = sinA * cosDelta + cosA * sinDelta;
        cosA = nextCos;
        const QPointF next(c.x + radius * cosA, c.y - radius * sinA);
        AddSegment(previous, next, lines);
        previous = next;
    }
}

void ScenePainter::Stamp(double x, double y, std::size_t batch) {
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    if (fx < 0.0 || fy < 0.0 || fx >= m_frame.width || fy >= m_frame.height) return;
    const std::size_t pixel =
        static_cast<std::size_t>(fy) * static_cast<std::size_t>(m_frame.width) +
        static_cast<std::size_t>(fx);
    if (m_stamp[pixel] == 0) m_stamped.push_back(static_cast<std::uint32_t>(pixel));
    m_stamp[pixel] = static_cast<std::uint16_t>(batch + 1);
}

// A segment under kShortPixels is stamped pixel by pixel: exact enough at that length, and it
// spares the painter hundreds of thousands of tiny lines at zoom to fit.
void ScenePainter::StampSegment(Vec2 a, Vec2 b, std::size_t batch) {
    const double steps = std::ceil(std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)));
    for (double k = 0.0; k <= steps; k += 1.0) {
        const double t = steps > 0.0 ? k / steps : 0.0;
        Stamp(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), batch);
    }
}

void ScenePainter::AddSegment(QPointF a, QPointF b, std::vector<QLineF>& lines) const {
    if (Outside(a) || Outside(b)) {
        Vec2 va{a.x(), a.y()};
        Vec2 vb{b.x(), b.y()};
        if (!ClipSegment(va, vb, m_frame.screen)) return;
        a = {va.x, va.y};
        b = {vb.x, vb.y};
    }
    lines.emplace_back(a, b);
}

void ScenePainter::DrawLineBatches(QPainter& painter, QImage* image) {
    std::size_t lineCount = 0;
    for (const Batch& batch : m_batches) lineCount += batch.lines.size();
    m_stats.lines = lineCount;
    const bool smooth = lineCount <= kMaxSmoothLines || m_frame.style.exact;
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    for (const Batch& batch : m_batches) {
        if (batch.lines.empty()) continue;
        if (!smooth && image != nullptr) {
            RasterizeLines(*image, batch.lines, batch.colour.rgba() | 0xff000000U);
            continue;
        }
        painter.setPen(LinePen(batch.colour, m_frame.style.lineWidthPixels, nullptr,
                               m_frame.transform.pixelsPerUnit, Qt::RoundCap));
        DrawLines(painter, batch.lines.data(), static_cast<int>(batch.lines.size()));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void ScenePainter::DrawStampedPixels(QPainter& painter, QImage* image) {
    m_stats.points = m_stamped.size();
    const auto width = static_cast<std::uint32_t>(m_frame.width);
    if (image != nullptr) {
        // Opaque pixels straight into the image: the same result as drawPoints, far faster.
        std::vector<QRgb> colours;
        for (const Batch& batch : m_batches) colours.push_back(batch.colour.rgba() | 0xff000000U);
        for (const std::uint32_t pixel : m_stamped) {
            const auto x = static_cast<int>(pixel % width);
            const auto y = static_cast<int>(pixel / width);
            reinterpret_cast<QRgb*>(image->scanLine(y))[x] = colours[m_stamp[pixel] - 1U];
            m_stamp[pixel] = 0;
        }
        return;
    }
    for (const std::uint32_t pixel : m_stamped) {
        const std::size_t batch = m_stamp[pixel] - 1U;
        m_batches[batch].points.emplace_back(static_cast<int>(pixel % width),
                                             static_cast<int>(pixel / width));
        m_stamp[pixel] = 0;
    }
    for (const Batch& batch : m_batches) {
        if (batch.points.empty()) continue;
        painter.setPen(QPen(batch.colour, 0));
        painter.drawPoints(batch.points.data(), static_cast<int>(batch.points.size()));
    }
}

void ScenePainter::PaintRubber(QPainter& painter, QSize size, const ViewTransform& transform,
                               const std::vector<Vec2>& rubber) {
    if (rubber.size() < 2) return;
    // Points are dropped while every point since the last kept one stays within the tolerance
    // of the chord from it to the newest point, so a long smooth band is drawn with a few
    // points per bend. The check looks back at most kBandRun points, keeping the cost linear.
    constexpr std::size_t kBandRun = 16;
    m_rubberScreen.clear();
    std::vector<Vec2>& pending = m_pending;
    pending.clear();
    bool outside = false;
    for (const Vec2& p : rubber) {
        const Vec2 s = transform.ToScreen(p);
        if (!IsFinite(s)) continue;
        if (m_rubberScreen.empty()) {
            m_rubberScreen.emplace_back(s.x, s.y);
            outside = Outside(m_rubberScreen.back());
            continue;
        }
        const Vec2 anchor{m_rubberScreen.back().x(), m_rubberScreen.back().y()};
        bool fits = pending.size() < kBandRun;
        for (std::size_t k = 0; fits && k < pending.size(); ++k) {
            fits = DistanceSquaredToSegment(pending[k], anchor, s) <
                   kBandTolerancePixels * kBandTolerancePixels;
        }
        if (!fits) {
            m_rubberScreen.emplace_back(pending.back().x, pending.back().y);
            outside = outside || Outside(m_rubberScreen.back());
            pending.clear();
        }
        pending.push_back(s);
    }
    if (!pending.empty()) {
        m_rubberScreen.emplace_back(pending.back().x, pending.back().y);
        outside = outside || Outside(m_rubberScreen.back());
    }
    m_stats.rubberPoints = m_rubberScreen.size();
    if (m_rubberScreen.size() < 2) return;
    if (QImage* image = DirectTarget(painter, size)) {
        // Dashes of 6 pixels with gaps of 4, written straight into the image.
        int phase = 0;
        const QRgb colour = m_palette.rubber.rgba() | 0xff000000U;
        for (std::size_t i = 1; i < m_rubberScreen.size(); ++i) {
            RasterizeSegment(*image, QLineF(m_rubberScreen[i - 1], m_rubberScreen[i]), colour, 6, 4,
                             &phase);
        }
        return;
    }
    // A one-pixel cosmetic dash without antialiasing: the painter's fast path for long bands.
    QPen pen(m_palette.rubber, 0, Qt::DashLine);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pen);
    if (!outside) {
        painter.drawPolyline(m_rubberScreen.data(), static_cast<int>(m_rubberScreen.size()));
        return;
    }
    const Box screen{{-2.0, -2.0}, {size.width() + 2.0, size.height() + 2.0}};
    std::vector<QLineF> lines;
    for (std::size_t i = 1; i < m_rubberScreen.size(); ++i) {
        Vec2 a{m_rubberScreen[i - 1].x(), m_rubberScreen[i - 1].y()};
        Vec2 b{m_rubberScreen[i].x(), m_rubberScreen[i].y()};
        if (ClipSegment(a, b, screen)) lines.emplace_back(a.x, a.y, b.x, b.y);
    }
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
}

void ScenePainter::PaintPreview(QPainter& painter, QSize size, const ViewTransform& transform,
                                const std::vector<std::vector<Vec2>>& preview,
                                const QColor& colour) {
    if (preview.empty()) return;
    // Two pixels wide and see-through, below the band and the marks: a line not drawn yet.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const Box screen{{-4.0, -4.0}, {size.width() + 4.0, size.height() + 4.0}};
    std::vector<QLineF> lines;
    for (const std::vector<Vec2>& entity : preview) {
        for (std::size_t i = 1; i < entity.size(); ++i) {
            Vec2 a = transform.ToScreen(entity[i - 1]);
            Vec2 b = transform.ToScreen(entity[i]);
            if (ClipSegment(a, b, screen)) lines.emplace_back(a.x, a.y, b.x, b.y);
        }
    }
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    painter.restore();
}

void ScenePainter::PaintMarks(QPainter& painter, const ViewTransform& transform,
                              const std::vector<Vec2>& marks) const {
    if (marks.empty()) return;
    constexpr double kArm = 5.0;
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(m_palette.mark, 1.5);
    painter.setPen(pen);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const Vec2 s = transform.ToScreen(marks[i]);
        if (!IsFinite(s)) continue;
        const QPointF p(std::clamp(s.x, -kSafePixels, kSafePixels),
                        std::clamp(s.y, -kSafePixels, kSafePixels));
        painter.drawLine(p + QPointF(-kArm, -kArm), p + QPointF(kArm, kArm));
        painter.drawLine(p + QPointF(-kArm, kArm), p + QPointF(kArm, -kArm));
        painter.drawText(p + QPointF(kArm + 2.0, -kArm - 1.0), QString::number(i + 1));
    }
}

QString SnapKindLabel(SnapKind kind) {
    switch (kind) {
        case SnapKind::EndPoint:
            return QStringLiteral("端点");
        case SnapKind::MidPoint:
            return QStringLiteral("中点");
        case SnapKind::Center:
            return QStringLiteral("中心");
        case SnapKind::Intersection:
            return QStringLiteral("交点");
        case SnapKind::Nearest:
            return QStringLiteral("近接点");
        case SnapKind::Grid:
            return QStringLiteral("グリッド");
        case SnapKind::Insertion:
            return QStringLiteral("挿入点");
    }
    return {};
}

void ScenePainter::PaintSnap(QPainter& painter, const ViewTransform& transform,
                             const SnapTarget& target) const {
    const Vec2 s = transform.ToScreen(target.point);
    if (!IsFinite(s) || std::abs(s.x) > kSafePixels || std::abs(s.y) > kSafePixels) return;
    constexpr double kHalf = 6.0;
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(m_palette.snap, 2.0));
    painter.setBrush(Qt::NoBrush);
    const QPointF p(s.x, s.y);
    const QRectF box(s.x - kHalf, s.y - kHalf, 2.0 * kHalf, 2.0 * kHalf);
    const auto polygon = [&painter](std::initializer_list<QPointF> points) {
        const std::vector<QPointF> corners(points);
        painter.drawPolygon(corners.data(), static_cast<int>(corners.size()));
    };
    // The glyphs drafters know: square end, triangle middle, circle centre, cross crossing,
    // hourglass nearest; the grid a diamond; an insertion point a square with a smaller one
    // at its upper left, as a block's base point is drawn.
    switch (target.kind) {
        case SnapKind::EndPoint:
            painter.drawRect(box);
            break;
        case SnapKind::MidPoint:
            polygon(
                {p + QPointF(0, -kHalf), p + QPointF(kHalf, kHalf), p + QPointF(-kHalf, kHalf)});
            break;
        case SnapKind::Center:
            painter.drawEllipse(box);
            break;
        case SnapKind::Intersection:
            painter.drawLine(box.topLeft(), box.bottomRight());
            painter.drawLine(box.topRight(), box.bottomLeft());
            break;
        case SnapKind::Nearest:
            polygon({box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()});
            break;
        case SnapKind::Grid:
            polygon({p + QPointF(0, -kHalf), p + QPointF(kHalf, 0), p + QPointF(0, kHalf),
                     p + QPointF(-kHalf, 0)});
            break;
        case SnapKind::Insertion:
            painter.drawRect(QRectF(p, QSizeF(kHalf, kHalf)));
            painter.drawRect(QRectF(box.topLeft(), QSizeF(kHalf, kHalf)));
            break;
    }
    // The kind's name below right of the glyph, on a pale plate so it reads over entities.
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QString label = SnapKindLabel(target.kind);
    const QRectF text = painter.fontMetrics().boundingRect(label).toRectF();
    const QRectF plate(p + QPointF(kHalf + 4.0, kHalf + 2.0),
                       QSizeF(text.width() + 6.0, text.height() + 2.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 240, 220));
    painter.drawRect(plate);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(m_palette.snap.darker(140));
    painter.drawText(plate, Qt::AlignCenter, label);
}

void ScenePainter::PaintCrosshair(QPainter& painter, QSize size, const ViewTransform& transform,
                                  Vec2 cursor) const {
    const Vec2 s = transform.ToScreen(cursor);
    if (!IsFinite(s)) return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(m_palette.crosshair, 0, Qt::DotLine));
    const double x = std::floor(s.x) + 0.5;
    const double y = std::floor(s.y) + 0.5;
    painter.drawLine(QPointF(x, 0.0), QPointF(x, size.height()));
    painter.drawLine(QPointF(0.0, y), QPointF(size.width(), y));
}

}  // namespace pelimator::board
