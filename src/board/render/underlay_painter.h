// Paints a document's underlay (what the file draws besides the board's lines and arcs) beneath
// the board's entities, culled through the underlay's grid, with what is under a pixel as a
// pixel and text under a few pixels as its box or not at all.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/model/document.h"
#include "board/model/layers.h"
#include "board/model/types.h"
#include "board/model/underlay.h"

class QPainter;

namespace pelimator::board {

// Counts of the last paint, for tests and benchmarks.
struct UnderlayStats {
    std::size_t candidates = 0;  // items the grid returned
    std::size_t drawn = 0;       // polylines, fills and points drawn as such
    std::size_t texts = 0;       // text runs drawn as glyphs
    std::size_t boxes = 0;       // text runs drawn as their box
    std::size_t pixels = 0;      // items drawn as one pixel
};

// Texts whose glyphs' em is under this many pixels high on screen are not drawn, under
// kGlyphPixels drawn as their box: one measure for a DXF text (whose height is a cap height) and
// a Jw_cad one (whose height is its cells', the em's), so a text and its conversion agree.
inline constexpr double kMinTextPixels = 1.5;
inline constexpr double kGlyphPixels = 4.0;

// The height of text's em on screen at pixelsPerUnit, across its baseline: a cell text's height,
// any other's cap height over the cap height per em of the face it is drawn in.
[[nodiscard]] double TextEmPixels(const UnderlayText& text, double pixelsPerUnit);

class UnderlayPainter {
public:
    // Paints into a size-pixel area of painter, whose own transform (an export's page mapping)
    // is kept: pixels are the painter's units. Thin lines are lineWidthPixels wide (under 1.5:
    // the one-pixel hairline).
    void Paint(QPainter& painter, QSize size, const BoardDocument& document,
               const ViewTransform& transform, const QColor& background,
               double lineWidthPixels = 0.0);
    [[nodiscard]] const UnderlayStats& Stats() const noexcept { return m_stats; }

private:
    struct TextCache {
        QString text;
        double advance = -1.0;  // in text heights; < 0 until measured
        QPainterPath outline;   // the glyphs as outlines at the origin, once a paint needs them
    };
    // The paint in progress.
    struct Frame {
        const Underlay* underlay = nullptr;
        ViewTransform transform;
        QColor background;
        double lineWidth = 0.0;
        QSize size;  // of the area painted, in the painter's units
    };
    [[nodiscard]] QColor ColourOf(Rgb colour, const QColor& background);
    // Fills m_found with the items in view on shown layers, in file order; those under a pixel
    // go to m_pixels (or nowhere, tiny text) instead.
    void CollectItems(QSize size, const BoardLayers& layers);
    void AddPixel(const QColor& colour, Vec2 p);
    // The points of item on the screen, in m_screen.
    void ToScreen(const UnderlayItem& item);
    void PaintFills(QPainter& painter);
    void PaintStrokes(QPainter& painter);
    void PaintTexts(QPainter& painter);
    void PaintText(QPainter& painter, const UnderlayItem& item);
    // band: too small for glyphs, drawn as the band of its cells.
    void PaintCellText(QPainter& painter, const UnderlayItem& item, const UnderlayText& text,
                       bool band);
    void PaintTextRules(QPainter& painter, const UnderlayText& text, double x0, double base,
                        const QColor& colour) const;
    // Whether glyphs at the painter's current transform are too large for the glyph cache.
    [[nodiscard]] static bool GlyphTooLargeToCache(const QPainter& painter);
    void PaintPixels(QPainter& painter);

    UnderlayStats m_stats;
    Frame m_frame;
    const Underlay* m_cachedFor = nullptr;
    std::vector<TextCache> m_texts;
    std::vector<std::uint32_t> m_found;
    std::vector<QPointF> m_screen;
    std::vector<std::pair<std::uint32_t, QColor>> m_colours;  // packed RGB -> shown colour
    std::vector<std::pair<QColor, std::vector<QPoint>>> m_pixels;
};

}  // namespace pelimator::board
