// The canvas of one drawing: paints it, zooms and pans its view, and passes mouse and keys to
// the running tool.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRegion>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

#include "board/model/application.h"
#include "board/model/document.h"
#include "board/render/entity_index.h"
#include "board/render/scene_painter.h"
#include "board/ui/raster_cache.h"

class QTimer;

namespace pelimator::board {

// Input reaches the running tool as its events: a left press as a click, the double-click press
// as a double click (never as a second click), Backspace and a right press as the back request,
// every move, and keys as Windows key codes; each repaint first asks the tool to hand over its
// rubber band. Middle-button drags, the wheel and the arrow keys move the view; the document's
// view keeps the transform, so snapping sees the same zoom as the screen.
class Canvas final : public QWidget {
    Q_OBJECT

public:
    // Shows document of application (both kept; the application only weakly).
    Canvas(const BoardApplicationPtr& application, BoardDocumentPtr document,
           QWidget* parent = nullptr);
    ~Canvas() override;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    Canvas(Canvas&&) = delete;
    Canvas& operator=(Canvas&&) = delete;

    [[nodiscard]] const BoardDocumentPtr& Document() const noexcept { return m_document; }
    [[nodiscard]] const ViewTransform& Transform() const noexcept;
    // Keeps the old transform when the new one is not usable (zoom not positive and finite).
    // A transform set before the first paint is kept by it (no fit then).
    void SetTransform(const ViewTransform& transform);

    // Zoom steps about the middle of the canvas, and about a screen point.
    void ZoomIn();
    void ZoomOut();
    void ZoomAbout(QPointF screen, double factor);
    // Shows every entity (an empty drawing shows an A4 sheet at the origin). The first paint does
    // this too, so a drawing loaded after its tab was made opens showing all of it.
    void ZoomToFit();
    void PanByPixels(QPointF delta);

    [[nodiscard]] QPointF ToScreen(Vec2 drawing) const noexcept;
    [[nodiscard]] Vec2 ToDrawing(QPointF screen) const noexcept;

    // Paints the canvas's picture (without asking the tool for its band) into a size area.
    void Render(QPainter& painter, QSize size);
    [[nodiscard]] const SceneStats& LastStats() const noexcept { return m_painter.Stats(); }
    // The snap target highlighted now, if any.
    [[nodiscard]] const std::optional<SnapTarget>& HighlightedSnap() const noexcept {
        return m_snapTarget;
    }

    // Where the left button was last pressed, in drawing units (none yet).
    [[nodiscard]] const std::optional<Vec2>& LastClick() const noexcept { return m_lastClick; }
    // The running tool gets a Shift+click at the last click (the entity there is taken): what a
    // menu entry does for the entity the drafter pointed at. A first point the click picked is
    // taken back first. False when there was no click, no tool runs or more points are picked.
    bool ShiftClickAtLastClick();

    // The tool's marks or band changed: repaint (ignored while this canvas is painting, since
    // the paint itself asks the tool for its band).
    void ToolChanged();

    // While the view moves the picture beneath the overlay is made from the last one (moved, or
    // scaled); this long after the last move it is painted in full again.
    static constexpr int kRefineDelayMs = 150;
    // The picture shown is the full-quality one for the present view (not a moved or scaled
    // one waiting to be refined).
    [[nodiscard]] bool PictureIsExact() const noexcept { return m_cache.Exact(); }
    [[nodiscard]] const RasterCache::Counts& PicturesMade() const noexcept {
        return m_cache.Made();
    }

signals:
    // The cursor moved to a drawing point, or left the canvas.
    void cursorMoved(double x, double y);
    void cursorLeft();
    // The document's content, history or layers changed (titles and menus may follow).
    void documentChanged();
    // A tool event failed; text says what failed.
    void failed(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    [[nodiscard]] std::shared_ptr<BoardToolObject> Tool() const;
    // Runs a forward to the tool, turning an exception into the failed signal.
    template <typename Forward>
    void ToTool(Forward&& forward);
    [[nodiscard]] SceneOverlay BuildOverlay() const;
    void ApplyTransform(const ViewTransform& transform);
    // The transform that shows every entity in the canvas's present size.
    [[nodiscard]] ViewTransform FitTransform() const;
    void UpdateSnapTarget();
    // Repaints only where the overlay was and where it is now.
    void UpdateOverlay();
    [[nodiscard]] ContentKey KeyOf(const SceneOverlay& overlay);
    // What the drawing and its underlay cover (kept per change of the drawing).
    [[nodiscard]] std::optional<Box> Extents() const;

    std::weak_ptr<BoardApplication> m_application;
    BoardDocumentPtr m_document;
    ObserverId m_drawingObserver = 0;
    EntityIndex m_index;
    ScenePainter m_painter;
    bool m_placed = false;      // painted once: from then on resizes keep the view's middle
    bool m_painting = false;    // inside paintEvent
    bool m_viewChosen = false;  // SetTransform was called: the first paint does not fit
    std::optional<Vec2> m_cursor;
    std::optional<Vec2> m_lastClick;
    std::optional<SnapTarget> m_snapTarget;
    std::optional<QPointF> m_panFrom;
    RasterCache m_cache;          // the picture beneath the overlay
    QImage m_frame;               // that picture with the overlay painted over it
    std::uint64_t m_frameOf = 0;  // the cache's generation m_frame was made from
    QRegion m_overlayRegion;      // where the overlay in m_frame was painted
    QTimer* m_refineTimer = nullptr;
    bool m_refineDue = false;               // the timer ran out: the next paint refines
    bool m_overlayUpdatePending = false;    // UpdateOverlay has queued its work
    mutable std::uint64_t m_extentsOf = 0;  // the change count m_extents is for, + 1
    mutable std::optional<Box> m_extents;
};

}  // namespace pelimator::board
