// Paints one document through a view transform: grid, entities by layer colour, marks, rubber
// band, snap target and crosshair, culled through an EntityIndex and simplified below a pixel.
#pragma once

#include <QColor>
#include <QLineF>
#include <QPoint>
#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "board/model/document.h"
#include "board/model/types.h"
#include "board/render/entity_index.h"
#include "board/render/shown_colour.h"
#include "board/render/underlay_painter.h"

class QImage;
class QPainter;

namespace pelimator::board {

// The colours of the board. Entities take their layer's colour; the rest is fixed here.
struct BoardPalette {
    QColor background{255, 255, 255};
    QColor grid{226, 230, 236};
    QColor mark{208, 0, 0};
    QColor rubber{230, 0, 140};  // a pink no layer colour is likely to be: the band stands out
    QColor snap{255, 140, 0};
    QColor preview{90, 150, 255, 150};  // a light, see-through blue: not yet part of the drawing
    QColor previewAtCursor{90, 150, 255, 90};  // lighter still: only if finished at the cursor
    QColor crosshair{120, 120, 120};
};

// The short name shown beside the snap glyph ("端点", "交点", ...).
[[nodiscard]] QString SnapKindLabel(SnapKind kind);

// What is drawn over the entities.
struct SceneOverlay {
    bool gridVisible = true;
    double gridSpacing = 10.0;  // drawing units; coarsened on screen so lines stay apart
    std::vector<Vec2> marks;    // numbered 1, 2, ... in this order
    std::vector<Vec2> rubber;   // the rubber band as a point sequence
    std::vector<std::vector<Vec2>> preview;          // what finishing now draws, flattened
    std::vector<std::vector<Vec2>> previewAtCursor;  // what finishing at the cursor draws instead
    std::optional<SnapTarget> snap;                  // highlighted target
    std::optional<Vec2> cursor;                      // crosshair position in drawing units
};

// Counts of the last paint, for tests and benchmarks.
struct SceneStats {
    std::size_t candidates = 0;  // entities the index returned
    std::size_t lines = 0;       // screen segments drawn
    std::size_t points = 0;      // pixels drawn for entities under a pixel
    std::size_t rubberPoints = 0;
};

// How the drawing itself is drawn: the window's hairlines with pixel shortcuts, or an export's
// plotted lines drawn exactly.
struct DrawingStyle {
    double lineWidthPixels = 0.0;  // under 1.5: the one-pixel hairline
    bool exact = false;  // no shortcuts (entities under a few pixels stamped as pixels, lines
                         // written straight into the image): for exports
};

// Keeps its scratch buffers between paints, so one painter per canvas.
class ScenePainter {
public:
    // Paints everything of document (which index must belong to; it is brought up to date)
    // into a size-pixel area of painter.
    void Paint(QPainter& painter, QSize size, const BoardDocument& document,
               const ViewTransform& transform, const SceneOverlay& overlay, EntityIndex& index);
    // The two halves of Paint, for a caller that keeps the first as a picture: what stays while
    // the pointer moves (background, grid when overlay asks for it, what lies beneath, the
    // entities), then the overlay's marks, band, preview, snap target and crosshair over it.
    void PaintContent(QPainter& painter, QSize size, const BoardDocument& document,
                      const ViewTransform& transform, const SceneOverlay& overlay,
                      EntityIndex& index);
    void PaintOverlay(QPainter& painter, QSize size, const ViewTransform& transform,
                      const SceneOverlay& overlay);
    // Paints only the drawing (what the file shows beneath, then the entities in their colours
    // and linetypes) into a size-pixel area of painter, keeping the painter's own transform: what
    // the window shows without background, grid and overlays. Exports paint through this.
    void PaintDrawing(QPainter& painter, QSize size, const BoardDocument& document,
                      const ViewTransform& transform, EntityIndex& index,
                      const DrawingStyle& style);

    [[nodiscard]] const SceneStats& Stats() const noexcept { return m_stats; }
    [[nodiscard]] BoardPalette& Palette() noexcept { return m_palette; }
    [[nodiscard]] const UnderlayStats& UnderlayStatsOfLastPaint() const noexcept {
        return m_underlay.Stats();
    }

private:
    struct Batch {
        QColor colour;
        std::vector<QLineF> lines;
        std::vector<QPoint> points;
    };
    // An entity drawn in a linetype: its screen points, drawn as one line so the pattern runs on.
    struct Dashed {
        std::size_t batch = 0;   // its colour
        std::uint32_t dash = 0;  // into the source's dash patterns
        std::vector<QPointF> points;
    };
    void PaintGrid(QPainter& painter, QSize size, const ViewTransform& transform,
                   double spacing) const;
    // The entities: culled through the index, flattened and batched by colour (those under a
    // few pixels stamped as pixels), then drawn batch by batch.
    void PaintEntities(QPainter& painter, QSize size, const BoardDocument& document,
                       const ViewTransform& transform, EntityIndex& index);
    void BeginFrame(QSize size, const ViewTransform& transform);
    void CollectEntities(const BoardLayers& layers, std::span<const EntityData> entities,
                         const DocumentSource* source, const EntityIndex& index);
    void CollectLine(const EntityData& line, std::size_t batch);
    void CollectArc(const EntityData& arc, std::size_t batch);
    // An entity in a linetype, flattened on the screen into m_dashed.
    void CollectDashed(const EntityData& entity, std::size_t batch, std::uint32_t dash);
    void DrawDashed(QPainter& painter, std::span<const std::vector<double>> patterns);
    void Stamp(double x, double y, std::size_t batch);
    void StampSegment(Vec2 a, Vec2 b, std::size_t batch);
    // Adds a screen segment to lines, clipped first when an end lies far outside.
    void AddSegment(QPointF a, QPointF b, std::vector<QLineF>& lines) const;
    void DrawLineBatches(QPainter& painter, QImage* image);
    void DrawStampedPixels(QPainter& painter, QImage* image);
    void PaintRubber(QPainter& painter, QSize size, const ViewTransform& transform,
                     const std::vector<Vec2>& rubber);
    static void PaintPreview(QPainter& painter, QSize size, const ViewTransform& transform,
                             const std::vector<std::vector<Vec2>>& preview, const QColor& colour);
    void PaintMarks(QPainter& painter, const ViewTransform& transform,
                    const std::vector<Vec2>& marks) const;
    void PaintSnap(QPainter& painter, const ViewTransform& transform,
                   const SnapTarget& target) const;
    void PaintCrosshair(QPainter& painter, QSize size, const ViewTransform& transform,
                        Vec2 cursor) const;
    // The batch for a layer number (made on first use in a paint).
    std::size_t BatchFor(const BoardLayers& layers, std::int32_t layer);
    // The batch of lines drawn in colour (as shown on the background).
    std::size_t BatchForColour(Rgb rgb);

    // The entity pass in progress: its size in pixels, transform and clip box.
    struct Frame {
        int width = 0;
        int height = 0;
        ViewTransform transform;
        Box screen;
        DrawingStyle style;
    };

    BoardPalette m_palette;
    SceneStats m_stats;
    Frame m_frame;
    UnderlayPainter m_underlay;
    std::vector<Batch> m_batches;
    std::vector<std::pair<std::int32_t, std::size_t>> m_layerBatch;  // layer -> batch, per paint
    std::vector<Dashed> m_dashed;
    std::vector<std::uint16_t> m_stamp;    // per pixel: batch + 1 of the entity under a pixel there
    std::vector<std::uint32_t> m_stamped;  // pixels set in m_stamp this paint
    std::vector<QPointF> m_rubberScreen;
    std::vector<Vec2> m_pending;  // band points that may still be dropped
};

}  // namespace pelimator::board
