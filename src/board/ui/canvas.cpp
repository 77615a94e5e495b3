// The drawing canvas: view, painting and input forwarding.
#include "board/ui/canvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <span>

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

// Pixels around each overlay part that its painting may reach (pen widths, antialiasing, the
// snap kind's name and a mark's number beside them).
constexpr int kLineMargin = 3;
// A band or preview is covered by the boxes of runs of this many points.
constexpr std::size_t kRunPoints = 64;
// Overlay points farther off screen than this count as this far.
constexpr double kFarPixels = 1.0e6;

QRect ScreenBox(std::span<const Vec2> points, const ViewTransform& transform, int margin) {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = -1.0;
    double y1 = -1.0;
    for (const Vec2& p : points) {
        const Vec2 s = transform.ToScreen(p);
        if (!IsFinite(s)) continue;
        if (x1 < x0) {
            x0 = x1 = s.x;
            y0 = y1 = s.y;
        }
        x0 = std::min(x0, s.x);
        x1 = std::max(x1, s.x);
        y0 = std::min(y0, s.y);
        y1 = std::max(y1, s.y);
    }
    if (x1 < x0) return {};
    // Clamped first: a far point must not overflow the integer rectangle.
    const auto clamp = [](double v) { return std::clamp(v, -kFarPixels, kFarPixels); };
    return {QPoint(static_cast<int>(std::floor(clamp(x0))) - margin,
                   static_cast<int>(std::floor(clamp(y0))) - margin),
            QPoint(static_cast<int>(std::ceil(clamp(x1))) + margin,
                   static_cast<int>(std::ceil(clamp(y1))) + margin)};
}

void AddRuns(QRegion& region, std::span<const Vec2> points, const ViewTransform& transform,
             const QRect& view) {
    for (std::size_t start = 0; start < points.size(); start += kRunPoints - 1) {
        // Runs overlap by one point so the segment between them is covered too.
        const std::size_t count = std::min(kRunPoints, points.size() - start);
        region += ScreenBox(points.subspan(start, count), transform, kLineMargin) & view;
        if (count < kRunPoints) break;
    }
}

// Every pixel the overlay may paint, within the view.
QRegion OverlayRegion(const SceneOverlay& overlay, const ViewTransform& transform, QSize size) {
    const QRect view(QPoint(0, 0), size);
    QRegion region;
    const auto around = [&](Vec2 p, int left, int top, int right, int bottom) {
        const QRect box = ScreenBox(std::span<const Vec2>(&p, 1), transform, 0);
        if (!box.isNull()) region += box.adjusted(-left, -top, right, bottom) & view;
    };
    if (overlay.cursor) {
        const QRect box = ScreenBox(std::span<const Vec2>(&*overlay.cursor, 1), transform, 1);
        region += QRect(box.left(), 0, box.width(), size.height()) & view;
        region += QRect(0, box.top(), size.width(), box.height()) & view;
    }
    // The glyph is 12 pixels wide with a 2-pixel pen; the name's plate starts 10 pixels right
    // and 8 below it.
    if (overlay.snap) around(overlay.snap->point, 10, 10, 110, 40);
    // A mark's cross reaches 5 pixels (1.5-pixel pen); its number stands right of it, above.
    for (const Vec2& mark : overlay.marks) around(mark, 8, 26, 80, 8);
    AddRuns(region, overlay.rubber, transform, view);
    for (const auto* preview : {&overlay.preview, &overlay.previewAtCursor}) {
        for (const std::vector<Vec2>& entity : *preview) AddRuns(region, entity, transform, view);
    }
    return region;
}

}  // namespace

Canvas::Canvas(const BoardApplicationPtr& application, BoardDocumentPtr document, QWidget* parent)
    : QWidget(parent), m_application(application), m_document(std::move(document)) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 80);
    m_refineTimer = new QTimer(this);
    m_refineTimer->setSingleShot(true);
    m_refineTimer->setInterval(kRefineDelayMs);
    connect(m_refineTimer, &QTimer::timeout, this, [this] {
        m_refineDue = true;
        update();
    });
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
    // The picture is refined once the view has kept still for a moment.
    m_refineTimer->start();
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
    const std::optional<Box> bounds = Extents();
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
    if (!m_painting) UpdateOverlay();
}

void Canvas::UpdateOverlay() {
    // A move changes the cursor, the band and the preview one after another: the overlay's new
    // place is worked out once, after them, before the paint they ask for.
    if (m_overlayUpdatePending) return;
    m_overlayUpdatePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_overlayUpdatePending = false;
            update(m_overlayRegion + OverlayRegion(BuildOverlay(), Transform(), size()));
        },
        Qt::QueuedConnection);
}

ContentKey Canvas::KeyOf(const SceneOverlay& overlay) {
    ContentKey key;
    key.drawing = m_document->DrawingModel().get();
    key.changeCount = m_document->DrawingModel()->ChangeCount();
    key.underlay = m_document->UnderlayModel().get();
    key.gridVisible = overlay.gridVisible;
    key.gridSpacing = overlay.gridSpacing;
    key.background = m_painter.Palette().background.rgba();
    key.grid = m_painter.Palette().grid.rgba();
    return key;
}

std::optional<Box> Canvas::Extents() const {
    const std::uint64_t now = m_document->DrawingModel()->ChangeCount() + 1;
    if (m_extentsOf != now) {
        const UnderlayPtr& underlay = m_document->UnderlayModel();
        m_extents = UnionOf(m_document->DrawingModel()->Bounds(),
                            underlay ? underlay->Extents() : std::nullopt);
        m_extentsOf = now;
    }
    return m_extents;
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
            for (const EntityData& entity : tool->PreviewAtCursorEntities()) {
                overlay.previewAtCursor.push_back(FlattenEntity(entity, tolerance));
            }
        }
        overlay.snap = m_snapTarget;
    }
    return overlay;
}

void Canvas::Render(QPainter& painter, QSize size) {
    m_painter.Paint(painter, size, *m_document, Transform(), BuildOverlay(), m_index);
}

void Canvas::paintEvent(QPaintEvent* event) {
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
    const SceneOverlay overlay = BuildOverlay();
    const ViewTransform& transform = Transform();
    // The picture beneath the overlay: kept, moved or scaled while the view moves, painted in
    // full when the movement has stopped (the timer) or the content changed.
    const PaintContent paint = [this, &overlay](QPainter& painter, QSize size,
                                                const ViewTransform& view) {
        m_painter.PaintContent(painter, size, *m_document, view, overlay, m_index);
    };
    const QImage& picture = m_cache.Picture(size(), transform, KeyOf(overlay), Extents(), paint);
    if (m_refineDue) {
        m_refineDue = false;
        m_cache.Refine(paint);
    }
    if (!m_cache.Exact() && !m_refineTimer->isActive()) m_refineTimer->start();
    // The overlay over a copy of it: where the old overlay was, the picture is put back first.
    const QRegion overlayRegion = OverlayRegion(overlay, transform, size());
    QRegion changed = m_overlayRegion + overlayRegion;
    if (m_frame.size() != size() || m_frameOf != m_cache.Generation()) {
        if (m_frame.size() == picture.size() && m_frame.format() == picture.format()) {
            std::memcpy(m_frame.bits(), picture.constBits(),
                        static_cast<std::size_t>(picture.sizeInBytes()));
        } else {
            m_frame = picture.copy();
        }
        m_frameOf = m_cache.Generation();
        changed = rect();
    } else {
        for (const QRect& area : m_overlayRegion) CopyPictureRect(picture, m_frame, area);
    }
    {
        QPainter framePainter(&m_frame);
        m_painter.PaintOverlay(framePainter, size(), transform, overlay);
    }
    m_overlayRegion = overlayRegion;
    QPainter painter(this);
    for (const QRect& area : event->region()) painter.drawImage(area.topLeft(), m_frame, area);
    m_painting = false;
    // What changed beyond the region asked for (a band handed over just now) comes next.
    const QRegion missing = changed - event->region();
    if (!missing.isEmpty()) update(missing);
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
    UpdateOverlay();
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
    UpdateOverlay();
    QWidget::leaveEvent(event);
}

// Tab belongs to the tool (key code 9), not to focus changes.
bool Canvas::focusNextPrevChild(bool /*next*/) { return false; }

}  // namespace pelimator::board
