// Painting the underlay: fills first, then lines and points, then text.
#include "board/render/underlay_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "board/model/layers.h"
#include "board/model/underlay.h"
#include "board/render/line_pen.h"
#include "board/render/shown_colour.h"
#include "board/render/text_cells.h"

namespace pelimator::board {

namespace {

// Items under this many pixels across are one pixel.
constexpr double kPixelItem = 1.5;
// Up to this many drawn items are antialiased; more are drawn plainly for speed.
constexpr std::size_t kMaxSmoothItems = 3'000;
// The font glyphs are laid out in before being scaled to the text height.
constexpr int kFontPixels = 100;
// Glyphs larger than this on an image, along either of their axes, are filled as outlines: the
// glyph cache would have FreeType rasterise them, which fails for huge or sliver-thin ones (and
// Qt then crashes). Qt itself draws evenly scaled glyphs past this size as outlines.
constexpr double kMaxCachedGlyphPixels = 64.0;

const QFont& TextFont() {
    static const QFont font = [] {
        QFont f(QStringLiteral("Noto Sans CJK JP"));
        f.setPixelSize(kFontPixels);
        f.setStyleHint(QFont::SansSerif);
        return f;
    }();
    return font;
}

struct FontSizes {
    double cap = 0.0;      // capital height in font pixels: one text height
    double descent = 0.0;  // below the baseline, in text heights
};

const FontSizes& Sizes() {
    static const FontSizes sizes = [] {
        const QFontMetricsF metrics(TextFont());
        FontSizes s;
        s.cap = metrics.capHeight() > 0.0 ? metrics.capHeight() : 0.7 * kFontPixels;
        s.descent = metrics.descent() / s.cap;
        return s;
    }();
    return sizes;
}

// A text's frame on the screen: its origin, and one unit along and up.
struct ScreenFrame {
    Vec2 origin;
    Vec2 along;
    Vec2 up;
};

// A text too small to read as a light band from x0 to x1 along it, one text unit high above base.
void PaintTextBand(QPainter& painter, const ScreenFrame& f, double x0, double x1, double base,
                   const QColor& colour) {
    const auto at = [&](double x, double y) {
        return QPointF(f.origin.x + x * f.along.x + y * f.up.x,
                       f.origin.y + x * f.along.y + y * f.up.y);
    };
    const std::array<QPointF, 4> box = {at(x0, base), at(x1, base), at(x1, base + 1.0),
                                        at(x0, base + 1.0)};
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(colour.red(), colour.green(), colour.blue(), 110));
    painter.drawPolygon(box.data(), 4);
    painter.setBrush(Qt::NoBrush);
}

}  // namespace

double TextEmPixels(const UnderlayText& text, double pixelsPerUnit) {
    // Across the baseline: an oblique text's y axis leans along it.
    const double along = Length(text.xAxis);
    const double across =
        along > 0.0 ? std::abs(text.xAxis.x * text.yAxis.y - text.xAxis.y * text.yAxis.x) / along
                    : Length(text.yAxis);
    const double em = text.cells ? across : across * kFontPixels / Sizes().cap;
    return em * pixelsPerUnit;
}

QColor UnderlayPainter::ColourOf(Rgb colour, const QColor& background) {
    const auto packed = static_cast<std::uint32_t>(PackRgb(colour));
    for (const auto& [key, shown] : m_colours) {
        if (key == packed) return shown;
    }
    const QColor shown = ColourOnBackground(colour, background);
    m_colours.emplace_back(packed, shown);
    return shown;
}

void UnderlayPainter::Paint(QPainter& painter, QSize size, const BoardDocument& document,
                            const ViewTransform& transform, const QColor& background,
                            double lineWidthPixels) {
    m_stats = {};
    const Underlay* underlay = document.UnderlayModel().get();
    if (underlay == nullptr || size.isEmpty()) return;
    if (m_cachedFor != underlay) {
        m_texts.assign(underlay->texts.size(), {});
        m_cachedFor = underlay;
        m_colours.clear();
    }
    m_frame = {underlay, transform, background, lineWidthPixels, size};
    CollectItems(size, *document.LayerTable());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, m_found.size() <= kMaxSmoothItems);
    PaintFills(painter);
    PaintStrokes(painter);
    PaintTexts(painter);
    PaintPixels(painter);
    painter.restore();
}

void UnderlayPainter::AddPixel(const QColor& colour, Vec2 p) {
    const Vec2 s = m_frame.transform.ToScreen(p);
    auto found = std::find_if(m_pixels.begin(), m_pixels.end(),
                              [&](const auto& entry) { return entry.first == colour; });
    if (found == m_pixels.end()) {
        m_pixels.emplace_back(colour, std::vector<QPoint>{});
        found = m_pixels.end() - 1;
    }
    found->second.emplace_back(static_cast<int>(std::floor(s.x)),
                               static_cast<int>(std::floor(s.y)));
    ++m_stats.pixels;
}

void UnderlayPainter::CollectItems(QSize size, const BoardLayers& layers) {
    const Underlay& underlay = *m_frame.underlay;
    const ViewTransform& transform = m_frame.transform;
    const double ppu = transform.pixelsPerUnit;
    const double pad = 2.0 / ppu;
    const Vec2 topLeft = transform.ToDrawing({0.0, 0.0});
    const Vec2 bottomRight = transform.ToDrawing(
        {static_cast<double>(size.width()), static_cast<double>(size.height())});
    const Box area{{topLeft.x - pad, bottomRight.y - pad}, {bottomRight.x + pad, topLeft.y + pad}};

    m_found.clear();
    for (auto& [colour, pixels] : m_pixels) pixels.clear();
    std::vector<std::pair<std::int32_t, bool>> shownLayers;
    const auto layerShown = [&](std::int32_t layer) {
        for (const auto& [number, shown] : shownLayers) {
            if (number == layer) return shown;
        }
        const bool shown = layers.IsShown(layer);
        shownLayers.emplace_back(layer, shown);
        return shown;
    };
    // Items too small to be more than a pixel become one; the others are kept for drawing.
    underlay.QueryItems(area, [&](std::size_t i) {
        ++m_stats.candidates;
        const UnderlayItem& item = underlay.items[i];
        if (!layerShown(item.layer)) return;
        const double across =
            std::max(item.box.max.x - item.box.min.x, item.box.max.y - item.box.min.y) * ppu;
        if (across < kPixelItem) {
            if (item.kind == UnderlayKind::Text &&
                TextEmPixels(underlay.texts[item.text], ppu) < kMinTextPixels) {
                return;
            }
            AddPixel(ColourOf(item.colour, m_frame.background),
                     0.5 * (item.box.min + item.box.max));
            return;
        }
        m_found.push_back(static_cast<std::uint32_t>(i));
    });
    std::sort(m_found.begin(), m_found.end());
}

void UnderlayPainter::ToScreen(const UnderlayItem& item) {
    m_screen.clear();
    for (std::uint32_t k = item.first; k < item.first + item.count; ++k) {
        const Vec2 s = m_frame.transform.ToScreen(m_frame.underlay->points[k]);
        m_screen.emplace_back(s.x, s.y);
    }
}

// Fills beneath the lines; rings of one fill by the even-odd rule (holes of a hatch).
void UnderlayPainter::PaintFills(QPainter& painter) {
    const Underlay& underlay = *m_frame.underlay;
    painter.setPen(Qt::NoPen);
    for (const std::uint32_t i : m_found) {
        const UnderlayItem& item = underlay.items[i];
        if (item.kind != UnderlayKind::Fill) continue;
        ToScreen(item);
        painter.setBrush(ColourOf(item.colour, m_frame.background));
        if (item.ringCount == 1) {
            painter.drawPolygon(m_screen.data(), static_cast<int>(m_screen.size()));
        } else {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            std::uint32_t begin = 0;
            for (std::uint32_t r = 0; r < item.ringCount; ++r) {
                const std::uint32_t end = underlay.ringEnds[item.rings + r];
                QPolygonF ring;
                for (std::uint32_t k = begin; k < end; ++k) ring << m_screen[k];
                path.addPolygon(ring);
                path.closeSubpath();
                begin = end;
            }
            painter.drawPath(path);
        }
        ++m_stats.drawn;
    }
    painter.setBrush(Qt::NoBrush);
}

void UnderlayPainter::PaintStrokes(QPainter& painter) {
    const Underlay& underlay = *m_frame.underlay;
    const double ppu = m_frame.transform.pixelsPerUnit;
    for (const std::uint32_t i : m_found) {
        const UnderlayItem& item = underlay.items[i];
        if (item.kind == UnderlayKind::Fill || item.kind == UnderlayKind::Text) continue;
        ToScreen(item);
        const double own = item.width * ppu;
        const std::vector<double>* dash =
            item.dash != kNoUnderlayIndex ? &underlay.dashes[item.dash] : nullptr;
        // A file's wide polyline ends flat; the plotted width of thin lines ends round.
        const QPen pen = own >= m_frame.lineWidth
                             ? LinePen(ColourOf(item.colour, m_frame.background), own, dash, ppu)
                             : LinePen(ColourOf(item.colour, m_frame.background), m_frame.lineWidth,
                                       dash, ppu, Qt::RoundCap);
        painter.setPen(pen);
        if (item.kind == UnderlayKind::Point) {
            painter.drawPoint(m_screen.front());
        } else if (item.kind == UnderlayKind::Segments) {
            DrawLines(painter, m_screen.data(), static_cast<int>(m_screen.size() / 2));
        } else {
            // A dashed line is drawn only within the area, its pattern running on outside: one
            // reaching far past a deep zoom would otherwise be laid out dash by dash out there.
            const QRectF area(0.0, 0.0, m_frame.size.width(), m_frame.size.height());
            StrokePolyline(painter, pen, m_screen.data(), static_cast<int>(m_screen.size()),
                           item.closed, pen.style() == Qt::CustomDashLine ? &area : nullptr);
        }
        ++m_stats.drawn;
    }
}

void UnderlayPainter::PaintTexts(QPainter& painter) {
    painter.setFont(TextFont());
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const std::uint32_t i : m_found) {
        const UnderlayItem& item = m_frame.underlay->items[i];
        if (item.kind == UnderlayKind::Text) PaintText(painter, item);
    }
}

// Glyphs laid out in a kFontPixels font, mapped into the run's frame; with an em under
// kGlyphPixels high the run is its box.
void UnderlayPainter::PaintText(QPainter& painter, const UnderlayItem& item) {
    const UnderlayText& text = m_frame.underlay->texts[item.text];
    const double ppu = m_frame.transform.pixelsPerUnit;
    const double pixels = TextEmPixels(text, ppu);
    if (pixels < kMinTextPixels) return;
    if (text.cells) {
        PaintCellText(painter, item, text, pixels < kGlyphPixels);
        return;
    }
    const FontSizes& sizes = Sizes();
    TextCache& cache = m_texts[item.text];
    if (cache.advance < 0.0) {
        cache.text = QString::fromUtf8(text.utf8.data(), static_cast<qsizetype>(text.utf8.size()));
        cache.advance = QFontMetricsF(TextFont()).horizontalAdvance(cache.text) / sizes.cap;
    }
    double stretch = 1.0;
    double x0 = -0.5 * text.hAlign * cache.advance;
    if (text.fitWidth > 0.0 && cache.advance > 0.0) {
        stretch = text.fitWidth / cache.advance;
        x0 = 0.0;
    }
    const double base = text.vAlign == 0   ? 0.0
                        : text.vAlign == 1 ? sizes.descent
                        : text.vAlign == 2 ? -0.5
                                           : -1.0;
    // Text units (x along, y up, one text height) to the screen.
    const Vec2 o = m_frame.transform.ToScreen(text.origin);
    const Vec2 sx{text.xAxis.x * ppu * stretch, -text.xAxis.y * ppu * stretch};
    const Vec2 sy{text.yAxis.x * ppu, -text.yAxis.y * ppu};
    const QColor colour = ColourOf(item.colour, m_frame.background);
    if (pixels < kGlyphPixels) {
        // Its box, as a thin filled band where the glyphs would be.
        PaintTextBand(painter, {o, sx, sy}, x0, x0 + cache.advance, base, colour);
        ++m_stats.boxes;
        return;
    }
    // The run's frame on top of the painter's own mapping (an export's page), not instead of it.
    const double k = 1.0 / sizes.cap;
    painter.save();
    painter.setWorldTransform(QTransform(sx.x * k, sx.y * k, -sy.x * k, -sy.y * k, o.x, o.y), true);
    const QPointF at(x0 * sizes.cap, -base * sizes.cap);
    if (GlyphTooLargeToCache(painter)) {
        if (cache.outline.isEmpty()) cache.outline.addText(0.0, 0.0, TextFont(), cache.text);
        painter.fillPath(cache.outline.translated(at), colour);
    } else {
        painter.setPen(colour);
        painter.drawText(at, cache.text);
    }
    PaintTextRules(painter, text, x0, base, colour);
    painter.restore();
    ++m_stats.texts;
}

// The run's under-, overlines and strike-throughs along its glyphs as the font sets them, in the
// font-pixel frame PaintText maps (x0, base: where the run starts and its baseline, text units).
void UnderlayPainter::PaintTextRules(QPainter& painter, const UnderlayText& text, double x0,
                                     double base, const QColor& colour) const {
    if (text.rules.empty() && text.strikes.empty()) return;
    const double cap = Sizes().cap;
    const QFontMetricsF metrics(TextFont());
    const auto advanceOf = [&](std::string_view prefix) {
        return metrics.horizontalAdvance(
                   QString::fromUtf8(prefix.data(), static_cast<qsizetype>(prefix.size()))) /
               cap;
    };
    QPen pen(colour);
    pen.setCosmetic(true);
    pen.setWidthF(std::max(1.0, m_frame.lineWidth));
    painter.setPen(pen);
    for (const TextRuleSpan& span : TextRuleSpans(text, advanceOf)) {
        const double y = -(base + span.y) * cap;
        painter.drawLine(QPointF((x0 + span.x0) * cap, y), QPointF((x0 + span.x1) * cap, y));
    }
}

// A text laid out in Jw_cad's character cells: its glyphs as outlines, each filling its cell;
// as a band, the cells' band.
void UnderlayPainter::PaintCellText(QPainter& painter, const UnderlayItem& item,
                                    const UnderlayText& text, bool band) {
    const double ppu = m_frame.transform.pixelsPerUnit;
    TextCache& cache = m_texts[item.text];
    if (cache.advance < 0.0) {
        cache.text = QString::fromUtf8(text.utf8.data(), static_cast<qsizetype>(text.utf8.size()));
        const std::vector<TextCell> cells =
            LayTextCells(cache.text, text.cellSpacing, text.fitWidth);
        cache.advance = cells.empty() ? 0.0 : cells.back().x + cells.back().width;
    }
    const Vec2 o = m_frame.transform.ToScreen(text.origin);
    const Vec2 sx{text.xAxis.x * ppu, -text.xAxis.y * ppu};
    const Vec2 sy{text.yAxis.x * ppu, -text.yAxis.y * ppu};
    const QColor colour = ColourOf(item.colour, m_frame.background);
    if (band) {
        PaintTextBand(painter, {o, sx, sy}, 0.0, cache.advance, 0.0, colour);
        ++m_stats.boxes;
        return;
    }
    if (cache.outline.isEmpty()) {
        cache.outline = CellTextPath(
            cache.text, LayTextCells(cache.text, text.cellSpacing, text.fitWidth), text.face);
    }
    painter.save();
    painter.setWorldTransform(QTransform(sx.x, sx.y, -sy.x, -sy.y, o.x, o.y), true);
    painter.fillPath(cache.outline, colour);
    painter.restore();
    ++m_stats.texts;
}

bool UnderlayPainter::GlyphTooLargeToCache(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster) return false;
    const QTransform device = painter.combinedTransform();
    const double along = std::hypot(device.m11(), device.m12()) * kFontPixels;
    const double up = std::hypot(device.m21(), device.m22()) * kFontPixels;
    // Not finite: the painter culls it either way; outlines never reach the glyph cache.
    return !(std::max(along, up) <= kMaxCachedGlyphPixels);
}

void UnderlayPainter::PaintPixels(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const auto& [colour, pixels] : m_pixels) {
        if (pixels.empty()) continue;
        painter.setPen(QPen(colour, 0));
        painter.drawPoints(pixels.data(), static_cast<int>(pixels.size()));
    }
}

}  // namespace pelimator::board
