// The drawing canvas: view, painting and input forwarding.
#include "board/ui/canvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>
#include <cmath>
#include <exception>

#include "board/model/tool_object.h"
#include "board/ui/key_codes.h"

namespace pelimator::board {

namespace {

constexpr double kZoomStep = 1.25;
constexpr double kFitMarginPixels = 24.0;
// Arrow keys move the view by this share of its size.
constexpr double kArrowPanShare = 0.125;
// Pixels per drawing unit are kept within this range so coordinates stay meaningful.
constexpr double kMinZoom = 1.0e-9;
constexpr double kMaxZoom = 1.0e9;
// An empty drawing shows an A4 sheet, landscape, in drawing units (mm at 1:1).
constexpr Box kEmptySheet{{0.0, 0.0}, {297.0, 210.0}};

}  // namespace

Canvas::Canvas(const BoardApplicationPtr& application, BoardDocumentPtr document, QWidget* parent)
    : QWidget(parent), m_application(application), m_document(std::move(document)) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 80);
    m_drawingObserver = m_document->DrawingModel()->AddObserver([this](DrawingChange) {
        if (!m_painting) update();
        emit documentChanged();
    });
}

Canvas::~Canvas() { m_document->DrawingModel()->RemoveObserver(m_drawingObserver); }

const ViewTransform& Canvas::Transform() const noexcept { return m_document->View()->Transform(); }

void Canvas::SetTransform(const ViewTransform& transform) {
    m_viewChosen = true;
    ApplyTransform(transform);
}

void Canvas::ApplyTransform(const ViewTransform& transform) {
    if (!(transform.pixelsPerUnit >= kMinZoom && transform.pixelsPerUnit <= kMaxZoom) ||
        !IsFinite(transform.origin)) {
        return;
    }
    m_document->View()->SetTransform(transform);
    UpdateSnapTarget();
    update();
}

void Canvas::ZoomIn() { ZoomAbout(QPointF(width() / 2.0, height() / 2.0), kZoomStep); }
void Canvas::ZoomOut() { ZoomAbout(QPointF(width() / 2.0, height() / 2.0), 1.0 / kZoomStep); }

void Canvas::ZoomAbout(QPointF screen, double factor) {
    ViewTransform transform = Transform();
    transform.ZoomAbout({screen.x(), screen.y()}, factor);
    SetTransform(transform);
}

void Canvas::ZoomToFit() { ApplyTransform(FitTransform()); }

ViewTransform Canvas::FitTransform() const {
    ViewTransform transform = Transform();
    const UnderlayPtr& underlay = m_document->UnderlayModel();
    const std::optional<Box> bounds = UnionOf(m_document->DrawingModel()->Bounds(),
                                              underlay ? underlay->Extents() : std::nullopt);
    const Box box = bounds ? *bounds : kEmptySheet;
    // A single point or a straight axis-parallel line has no area: show it at the sheet's zoom.
    if (box.max.x - box.min.x <= 0.0 && box.max.y - box.min.y <= 0.0) {
        transform.Fit(kEmptySheet, width(), height(), kFitMarginPixels);
    }
    transform.Fit(box, width(), height(), kFitMarginPixels);
    return transform;
}

void Canvas::PanByPixels(QPointF delta) {
    ViewTransform transform = Transform();
    transform.PanByPixels({delta.x(), delta.y()});
    SetTransform(transform);
}

QPointF Canvas::ToScreen(Vec2 drawing) const noexcept {
    const Vec2 s = Transform().ToScreen(drawing);
    return {s.x, s.y};
}

Vec2 Canvas::ToDrawing(QPointF screen) const noexcept {
    return Transform().ToDrawing({screen.x(), screen.y()});
}

std::shared_ptr<BoardToolObject> Canvas::Tool() const {
    const auto application = m_application.lock();
    return application ? application->RunningTool() : nullptr;
}

template <typename Forward>
void Canvas::ToTool(Forward&& forward) {
    const auto tool = Tool();
    if (!tool) return;
    try {
        forward(*tool, m_document->View());
    } catch (const std::exception& error) {
        emit failed(QString::fromUtf8(error.what()));
    }
}

bool Canvas::ShiftClickAtLastClick() {
    const auto tool = Tool();
    if (!m_lastClick || !tool || tool->Marks().size() > 1) return false;
    const Vec2 p = *m_lastClick;
    ToTool([p](BoardToolObject& running, const BoardViewPtr& view) {
        // The click on the line picked a first point: that pick is taken back first.
        if (!running.Marks().empty()) running.Back(view);
        running.Click(view, p, 1);
    });
    return true;
}

void Canvas::ToolChanged() {
    if (!m_painting) update();
}

SceneOverlay Canvas::BuildOverlay() const {
    SceneOverlay overlay;
    const SnapSettings& snap = m_document->SnapModel()->Settings();
    overlay.gridVisible = snap.gridVisible;
    overlay.gridSpacing = snap.gridSpacing;
    overlay.cursor = m_cursor;
    if (const auto tool = Tool()) {
        for (const ToolMark& mark : tool->Marks()) {
            if (mark.document.lock().get() == m_document.get()) overlay.marks.push_back(mark.point);
        }
        if (tool->RubberDocument().get() == m_document.get()) {
            const double tolerance = 0.25 / Transform().pixelsPerUnit;
            overlay.rubber = tool->RubberPolyline(tolerance);
            for (const EntityData& entity : tool->PreviewEntities()) {
                overlay.preview.push_back(FlattenEntity(entity, tolerance));
            }
        }
        overlay.snap = m_snapTarget;
    }
    return overlay;
}

void Canvas::Render(QPainter& painter, QSize size) {
    m_painter.Paint(painter, size, *m_document, Transform(), BuildOverlay(), m_index);
}

void Canvas::paintEvent(QPaintEvent* /*event*/) {
    // The first picture shows the whole drawing, whatever was loaded since the canvas was made
    // (a file opens into a document that already has its tab).
    if (!m_placed && !m_viewChosen) {
        const ViewTransform fit = FitTransform();
        if (fit.pixelsPerUnit >= kMinZoom && fit.pixelsPerUnit <= kMaxZoom &&
            IsFinite(fit.origin)) {
            m_document->View()->SetTransform(fit);
        }
    }
    // Changes the tool makes while handing over its band are painted now, not by another paint.
    m_placed = true;
    m_painting = true;
    ToTool([](BoardToolObject& tool, const BoardViewPtr& view) { tool.RubberDisplay(view); });
    // Painted into an image first: entities under a pixel are written straight into it.
    if (m_frame.size() != size()) m_frame = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter framePainter(&m_frame);
        Render(framePainter, size());
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_frame);
    m_painting = false;
}

void Canvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (width() <= 0 || height() <= 0) return;
    // Until the first paint the layout may still be settling: fit again at each size.
    if (!m_placed) {
        ZoomToFit();
        return;
    }
    // Keep the drawing point in the middle where it was.
    const QSize old = event->oldSize();
    if (old.width() > 0 && old.height() > 0) {
        PanByPixels(QPointF((width() - old.width()) / 2.0, (height() - old.height()) / 2.0));
    }
}

void Canvas::mousePressEvent(QMouseEvent* event) {
    const Vec2 p = ToDrawing(event->position());
    switch (event->button()) {
        case Qt::LeftButton:
            m_lastClick = p;
            ToTool([p, shift = event->modifiers().testFlag(Qt::ShiftModifier) ? 1 : 0](
                       BoardToolObject& tool, const BoardViewPtr& view) {
                tool.Click(view, p, static_cast<std::int16_t>(shift));
            });
            break;
        case Qt::RightButton:
            ToTool([](BoardToolObject& tool, const BoardViewPtr& view) { tool.Back(view); });
            break;
        case Qt::MiddleButton:
            m_panFrom = event->position();
            setCursor(Qt::ClosedHandCursor);
            break;
        default:
            break;
    }
    event->accept();
}

void Canvas::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt sends press, release, double click, release: the first press was the click, so the
    // double click is only the double-click event (the base class would make it a press).
    if (event->button() == Qt::LeftButton) {
        const Vec2 p = ToDrawing(event->position());
        ToTool([p](BoardToolObject& tool, const BoardViewPtr& view) { tool.DoubleClick(view, p); });
    } else if (event->button() == Qt::RightButton) {
        ToTool([](BoardToolObject& tool, const BoardViewPtr& view) { tool.Back(view); });
    }
    event->accept();
}

void Canvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && m_panFrom) {
        m_panFrom.reset();
        setCursor(Qt::CrossCursor);
    }
    event->accept();
}

void Canvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF position = event->position();
    if (m_panFrom && event->buttons().testFlag(Qt::MiddleButton)) {
        PanByPixels(position - *m_panFrom);
        m_panFrom = position;
    }
    const Vec2 p = ToDrawing(position);
    m_cursor = p;
    UpdateSnapTarget();
    emit cursorMoved(p.x, p.y);
    ToTool([p](BoardToolObject& tool, const BoardViewPtr& view) { tool.MouseMove(view, p); });
    update();
}

void Canvas::UpdateSnapTarget() {
    m_snapTarget.reset();
    if (!m_cursor || !Tool()) return;
    m_snapTarget = m_document->SnapModel()->FindTarget(*m_cursor, Transform());
}

void Canvas::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0.0) ZoomAbout(event->position(), std::pow(kZoomStep, steps));
    event->accept();
}

void Canvas::keyPressEvent(QKeyEvent* event) {
    const double dx = width() * kArrowPanShare;
    const double dy = height() * kArrowPanShare;
    switch (event->key()) {
        // Arrows move the view: the content slides the other way.
        case Qt::Key_Left:
            PanByPixels({dx, 0.0});
            return;
        case Qt::Key_Right:
            PanByPixels({-dx, 0.0});
            return;
        case Qt::Key_Up:
            PanByPixels({0.0, dy});
            return;
        case Qt::Key_Down:
            PanByPixels({0.0, -dy});
            return;
        case Qt::Key_Backspace:
            ToTool([](BoardToolObject& tool, const BoardViewPtr& view) { tool.Back(view); });
            return;
        default:
            break;
    }
    const auto code = WindowsKeyCode(event->key());
    if (!code || !Tool()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const std::int16_t shift = ShiftState(event->modifiers());
    ToTool([&](BoardToolObject& tool, const BoardViewPtr& view) { tool.Key(view, *code, shift); });
}

void Canvas::leaveEvent(QEvent* event) {
    m_cursor.reset();
    m_snapTarget.reset();
    emit cursorLeft();
    update();
    QWidget::leaveEvent(event);
}

// Tab belongs to the tool (key code 9), not to focus changes.
bool Canvas::focusNextPrevChild(bool /*next*/) { return false; }

}  // namespace pelimator::board
