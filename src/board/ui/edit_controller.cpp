// The selection and edit commands of a canvas, in front of the running tool.
#include "board/ui/edit_controller.h"

#include <QAction>
#include <QDoubleValidator>
#include <QEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <cmath>
#include <numbers>

#include "board/model/edits.h"
#include "board/model/tool_object.h"
#include "board/ui/canvas.h"
#include "board/ui/drawing_clipboard.h"
#include "geometry/typed_offset.h"

namespace pelimator::board {

namespace {

constexpr double kDragPixels = 4.0;

// A transparent widget over the canvas that lets the controller paint on top.
class Overlay final : public QWidget {
public:
    Overlay(EditController* controller, QWidget* parent)
        : QWidget(parent), m_controller(controller) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(parent->rect());
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        m_controller->Paint(painter);
    }

private:
    EditController* m_controller;
};

double AngleDegrees(Vec2 from, Vec2 to) {
    return std::atan2(to.y - from.y, to.x - from.x) * 180.0 / std::numbers::pi;
}

QPolygonF BoxOnScreen(const Canvas& canvas, const Box& box,
                      const std::optional<RecordPlacement>& placement) {
    QPolygonF outline;
    for (const Vec2 c :
         {box.min, Vec2{box.max.x, box.min.y}, box.max, Vec2{box.min.x, box.max.y}}) {
        outline << canvas.ToScreen(placement ? PlacePoint(*placement, c) : c);
    }
    return outline;
}

std::size_t CountOf(const Selection& selection) {
    return selection.entities.size() + selection.records.size();
}

}  // namespace

EditController::EditController(BoardApplicationPtr application, Canvas* canvas)
    : QObject(canvas),
      m_application(std::move(application)),
      m_canvas(canvas),
      m_overlay(new Overlay(this, canvas)),
      m_angleInput(new QLineEdit(canvas)) {
    canvas->installEventFilter(this);
    m_overlay->show();
    // The rotation angle (degrees, counter-clockwise) or a move's, copy's or paste's offset,
    // typed; Enter applies it, Esc ends the command.
    m_angleInput->setObjectName(QStringLiteral("rotationAngle"));
    m_angleInput->setFixedWidth(220);
    m_angleInput->move(8, 8);
    m_angleInput->hide();
    m_angleInput->installEventFilter(this);
    connect(m_angleInput, &QLineEdit::returnPressed, this, [this] {
        if (m_mode == EditMode::ScaleFactor) {
            TypedFactor(m_angleInput->text());
            return;
        }
        if (m_mode != EditMode::RotateAngle) {
            TypedTarget(m_angleInput->text());
            return;
        }
        bool ok = false;
        const double degrees = QLocale::c().toDouble(m_angleInput->text(), &ok);
        if (ok) RotateBy(degrees);
    });
}

void EditController::ShowInput(bool angle) {
    m_angleInput->clear();
    m_angleInput->setPlaceholderText(angle ? QStringLiteral("角度 (度)")
                                           : QStringLiteral("@X,Y / @距離<角度 / 距離"));
    // One validator for the angle, kept by the field (an offset is read by its own parser).
    auto* degrees = m_angleInput->findChild<QDoubleValidator*>();
    if (degrees == nullptr) degrees = new QDoubleValidator(-360.0, 360.0, 6, m_angleInput);
    m_angleInput->setValidator(angle ? degrees : nullptr);
    m_angleInput->show();
    m_angleInput->raise();
    m_angleInput->setFocus();
}

void EditController::TypedTarget(const QString& text) {
    if (!m_base) return;
    const Vec2 base = *m_base;
    const Vec2 towards = m_cursor ? *m_cursor - base : Vec2{};
    const auto typed = ParseTypedOffset(text.toStdString(), towards.x, towards.y);
    if (!typed.ok) {
        emit failed(QString::fromStdString(typed.error));
        return;
    }
    Target(base + Vec2{typed.value.dx, typed.value.dy});
}

void EditController::Target(Vec2 p) {
    const Vec2 delta = p - (m_mode == EditMode::PasteTarget ? m_clipBase : *m_base);
    switch (m_mode) {
        case EditMode::PasteTarget: {
            if (m_pasteFromOther) {
                PasteFromOther(p);
                break;
            }
            const Selection clip = m_clip;
            Run([&](BoardDocument& d) { return CopySelection(d, clip, delta); });
            break;
        }
        case EditMode::MoveTarget:
            Run([&](BoardDocument& d) { return MoveSelection(d, m_selection, delta); });
            break;
        case EditMode::CopyTarget:
            Run([&](BoardDocument& d) { return CopySelection(d, m_selection, delta); });
            break;
        case EditMode::Select:
        case EditMode::MoveBase:
        case EditMode::CopyBase:
        case EditMode::RotatePivot:
        case EditMode::RotateAngle:
        case EditMode::ClipBase:
        case EditMode::MirrorFirst:
        case EditMode::MirrorSecond:
        case EditMode::ScaleBase:
        case EditMode::ScaleFactor:
            break;
    }
}

bool EditController::ToolPicking() const {
    const auto tool = m_application->RunningTool();
    return tool && tool->IsStarted();
}

void EditController::SetSelection(Selection selection) {
    m_selection = std::move(selection);
    ++m_selectionSerial;
    m_box = BoxOfSelection(*m_canvas->Document(), m_selection);
    Announce();
    m_overlay->update();
}

void EditController::DrawingChanged() {
    const Selection shown = StillShown(*m_canvas->Document(), m_selection);
    if (shown == m_selection) {
        m_box = BoxOfSelection(*m_canvas->Document(), m_selection);
        m_overlay->update();
    } else {
        SetSelection(shown);
    }
}

const Selection& EditController::Moving() const noexcept {
    return m_mode == EditMode::PasteTarget ? m_clip : m_selection;
}

void EditController::Announce() {
    emit message(QString::fromStdString(DescribeSelection(*m_canvas->Document(), m_selection)));
}

void EditController::SelectAll() {
    if (ToolPicking()) return;
    Finish();
    SetSelection(PickAll(*m_canvas->Document()));
}

void EditController::ClearSelection() {
    Finish();
    SetSelection({});
}

void EditController::Finish() {
    m_mode = EditMode::Select;
    m_base.reset();
    m_reference.reset();
    if (m_angleInput->isVisible()) {
        m_angleInput->hide();
        m_angleInput->clear();
        m_canvas->setFocus();
    }
    m_overlay->update();
}

void EditController::CancelCommand() {
    if (m_mode == EditMode::Select) return;
    Finish();
    Announce();
}

template <typename Edit>
void EditController::Run(Edit&& edit) {
    try {
        Selection next = edit(*m_canvas->Document());
        Finish();
        SetSelection(StillShown(*m_canvas->Document(), next));
    } catch (const std::exception& error) {
        Finish();
        emit failed(QString::fromUtf8(error.what()));
    }
}

void EditController::EraseSelected() {
    if (m_selection.Empty() || ToolPicking()) return;
    Run([&](BoardDocument& d) { return EraseSelection(d, m_selection); });
}

void EditController::ChangeLayer(std::int32_t layer) {
    if (m_selection.Empty() || ToolPicking()) return;
    Run([&](BoardDocument& d) { return ChangeLayerOfSelection(d, m_selection, layer); });
}

void EditController::Prompt(EditMode mode, const QString& text) {
    m_mode = mode;
    m_overlay->update();
    emit message(text);
}

void EditController::StartMove() {
    if (m_selection.Empty() || ToolPicking()) return;
    Prompt(EditMode::MoveBase, QStringLiteral("移動: 基点をクリックして下さい (Esc で中止)"));
}

void EditController::StartCopy() {
    if (m_selection.Empty() || ToolPicking()) return;
    Prompt(EditMode::CopyBase, QStringLiteral("複写: 基点をクリックして下さい (Esc で中止)"));
}

void EditController::StartRotate() {
    if (m_selection.Empty() || ToolPicking()) return;
    Prompt(EditMode::RotatePivot, QStringLiteral("回転: 中心をクリックして下さい (Esc で中止)"));
}

void EditController::StartClip() {
    if (m_selection.Empty() || ToolPicking()) return;
    Prompt(EditMode::ClipBase,
           QStringLiteral("コピー: 貼り付けの基準点をクリックして下さい (Esc で中止)"));
}

void EditController::StartPaste() {
    if (ToolPicking()) return;
    m_clip = StillShown(*m_canvas->Document(), m_clip);
    // What was copied last, in any tab: from another one, it comes through real millimetres.
    m_pasteFromOther = ClipFromOtherDrawing(*m_canvas->Document());
    if (m_clip.Empty() && !m_pasteFromOther) {
        emit message(
            QStringLiteral("貼り付け: コピーした図形がありません (Ctrl+C で基準点と共にコピー)"));
        return;
    }
    m_clipBox = BoxOfSelection(*m_canvas->Document(), m_clip);
    if (m_pasteFromOther) {
        m_clipBase = ClipBaseIn(*m_canvas->Document());
        m_clipBox = ClipBoxIn(*m_canvas->Document());
    }
    m_base = m_clipBase;
    Prompt(EditMode::PasteTarget,
           QStringLiteral("貼り付け: 基準点を置く位置をクリックするか、@X,Y / @距離<角度 / 距離 "
                          "を入力して Enter (Esc で中止)"));
    ShowInput(false);
}

void EditController::PasteFromOther(Vec2 at) {
    // The drawings as they were stay recoverable should a huge paste go wrong.
    if (KeptClipSize() > kBigPaste) emit bigPasteComing();
    std::string report;
    Run([&](BoardDocument& d) {
        const PasteResult result = PasteKeptClip(d, at);
        report = PasteReport(result);
        return result.pasted;
    });
    if (!report.empty()) emit message(QString::fromStdString(report));
}

void EditController::RotateBy(double degrees) {
    if (m_mode != EditMode::RotateAngle || !m_base) return;
    const Vec2 pivot = *m_base;
    Run([&](BoardDocument& d) { return RotateSelection(d, m_selection, pivot, degrees); });
}

void EditController::MirrorBy(Vec2 first, Vec2 second) {
    Run([&](BoardDocument& d) { return MirrorSelection(d, m_selection, first, second); });
}

void EditController::ScaleBy(double factor) {
    if (m_mode != EditMode::ScaleFactor || !m_base) return;
    const Vec2 base = *m_base;
    Run([&](BoardDocument& d) { return ScaleSelection(d, m_selection, base, factor); });
}

Vec2 EditController::Snapped(QPointF screen) const {
    const Vec2 p = m_canvas->ToDrawing(screen);
    const BoardDocument& document = *m_canvas->Document();
    const auto target = document.SnapModel()->FindTarget(p, m_canvas->Transform());
    return target ? target->point : p;
}

void EditController::Pick(QPointF screen) {
    const Vec2 p = Snapped(screen);
    switch (m_mode) {
        case EditMode::MoveBase:
            m_base = p;
            m_mode = EditMode::MoveTarget;
            ShowInput(false);
            emit message(
                QStringLiteral("移動: 移動先をクリックするか、@X,Y / @距離<角度 / "
                               "距離 (カーソルの向き) を入力して Enter"));
            break;
        case EditMode::CopyBase:
            m_base = p;
            m_mode = EditMode::CopyTarget;
            ShowInput(false);
            emit message(
                QStringLiteral("複写: 複写先をクリックするか、@X,Y / @距離<角度 / "
                               "距離 (カーソルの向き) を入力して Enter"));
            break;
        case EditMode::RotatePivot:
            m_base = p;
            m_mode = EditMode::RotateAngle;
            ShowInput(true);
            emit message(QStringLiteral(
                "回転: 角度の向きをクリックするか、角度を入力して Enter (右向きが 0 度)"));
            break;
        case EditMode::ClipBase:
            m_clip = m_selection;
            m_clipBase = p;
            KeepForOtherDrawings(m_canvas->Document(), m_selection, p);
            Finish();
            emit message(
                QStringLiteral("%1 個の図形を基準点と共にコピーしました (Ctrl+V で貼り付け)")
                    .arg(m_clip.entities.size() + m_clip.records.size()));
            break;
        case EditMode::PasteTarget:
        case EditMode::MoveTarget:
        case EditMode::CopyTarget:
            Target(p);
            break;
        case EditMode::RotateAngle: {
            const Vec2 pivot = *m_base;
            const double degrees = AngleDegrees(pivot, p);
            Run([&](BoardDocument& d) { return RotateSelection(d, m_selection, pivot, degrees); });
            break;
        }
        case EditMode::MirrorFirst:
        case EditMode::MirrorSecond:
        case EditMode::ScaleBase:
        case EditMode::ScaleFactor:
            PickMirrorOrScale(p);
            break;
        case EditMode::Select:
            break;
    }
}

void EditController::Press(QPointF screen, bool /*shift*/) {
    if (m_mode != EditMode::Select) {
        Pick(screen);
        return;
    }
    m_pressAt = screen;
    m_dragTo.reset();
}

void EditController::Release(QPointF screen, bool shift) {
    if (!m_pressAt) return;
    const QPointF from = *m_pressAt;
    m_pressAt.reset();
    m_dragTo.reset();
    const BoardDocument& document = *m_canvas->Document();
    Selection picked;
    const QPointF d = screen - from;
    if (std::hypot(d.x(), d.y()) < kDragPixels) {
        const double radius = document.SnapModel()->Settings().captureRadiusPixels /
                              m_canvas->Transform().pixelsPerUnit;
        if (auto hit = PickAt(document, m_canvas->ToDrawing(from), radius)) picked = *hit;
    } else {
        const Vec2 a = m_canvas->ToDrawing(from);
        const Vec2 b = m_canvas->ToDrawing(screen);
        const Box window{{std::min(a.x, b.x), std::min(a.y, b.y)},
                         {std::max(a.x, b.x), std::max(a.y, b.y)}};
        // Dragged to the right: what lies wholly inside; to the left: what it crosses.
        picked = PickInWindow(document, window, screen.x() < from.x());
    }
    SetSelection(shift ? SymmetricDifference(m_selection, picked) : picked);
}

void EditController::DoubleClick(QPointF screen) {
    const BoardDocument& document = *m_canvas->Document();
    const double radius =
        document.SnapModel()->Settings().captureRadiusPixels / m_canvas->Transform().pixelsPerUnit;
    if (auto hit = PickAt(document, m_canvas->ToDrawing(screen), radius)) {
        SetSelection(WholeStepOf(document, *hit));
    }
}

// The event types are checked before each cast: Qt delivers these classes for them.
// NOLINTBEGIN(cppcoreguidelines-pro-type-static-cast-downcast)
bool EditController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_angleInput) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            CancelCommand();
            return true;
        }
        return false;
    }
    if (watched != m_canvas) return false;
    switch (event->type()) {
        case QEvent::Resize:
            m_overlay->setGeometry(m_canvas->rect());
            return false;
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || ToolPicking()) return false;
            Press(mouse->position(), (mouse->modifiers() & Qt::ShiftModifier) != 0);
            return false;  // the canvas still notes the click (its tool ignores it)
        }
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || ToolPicking()) return false;
            if (m_mode == EditMode::Select) DoubleClick(mouse->position());
            return false;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            // A command's cursor snaps as its pick will.
            m_cursor = m_base ? Snapped(mouse->position()) : m_canvas->ToDrawing(mouse->position());
            if (m_pressAt) m_dragTo = mouse->position();
            if (m_pressAt || m_base) m_overlay->update();
            return false;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || ToolPicking()) return false;
            Release(mouse->position(), (mouse->modifiers() & Qt::ShiftModifier) != 0);
            return false;
        }
        case QEvent::KeyPress: {
            if (ToolPicking()) return false;
            auto* key = static_cast<QKeyEvent*>(event);
            // Esc ends a running command first, then clears the selection.
            if (key->key() == Qt::Key_Escape && m_mode != EditMode::Select) {
                CancelCommand();
                return true;
            }
            if (key->key() == Qt::Key_Escape && !m_selection.Empty()) {
                ClearSelection();
                return true;
            }
            if (key->key() == Qt::Key_Delete && !m_selection.Empty()) {
                EraseSelected();
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}
// NOLINTEND(cppcoreguidelines-pro-type-static-cast-downcast)

std::optional<RecordPlacement> EditController::BandPlacement() const {
    if (!m_base || !m_cursor) return std::nullopt;
    if (m_mode == EditMode::MoveTarget || m_mode == EditMode::CopyTarget ||
        m_mode == EditMode::PasteTarget) {
        return RecordPlacement{{}, 0.0, *m_cursor - *m_base};
    }
    if (m_mode == EditMode::RotateAngle) {
        return RecordPlacement{*m_base, AngleDegrees(*m_base, *m_cursor), {}};
    }
    return MirrorOrScaleBand();
}

void EditController::DrawOutlines(QPainter& painter, const Selection& selection,
                                  const std::optional<RecordPlacement>& placement) const {
    const BoardDocument& document = *m_canvas->Document();
    const BoardDrawing& drawing = *document.DrawingModel();
    const double tolerance = 0.5 / m_canvas->Transform().pixelsPerUnit;
    const auto toScreen = [&](Vec2 p) {
        return m_canvas->ToScreen(placement ? PlacePoint(*placement, p) : p);
    };
    QPolygonF line;  // reused for every entity
    for (const std::size_t i : selection.entities) {
        if (i >= drawing.Count()) continue;
        line.clear();
        for (const Vec2 p : FlattenEntity(drawing.Entities()[i], tolerance)) line << toScreen(p);
        painter.drawPolyline(line);
    }
    const UnderlayPtr& u = document.UnderlayModel();
    if (!u || selection.records.empty()) return;
    for (const UnderlayItem& item : u->items) {
        if (!std::binary_search(selection.records.begin(), selection.records.end(), item.record)) {
            continue;
        }
        if (item.kind == UnderlayKind::Text || item.count == 0) {
            painter.drawPolygon(BoxOnScreen(*m_canvas, item.box, placement));
            continue;
        }
        line.clear();
        for (std::uint32_t k = 0; k < item.count; ++k) line << toScreen(u->points[item.first + k]);
        painter.drawPolyline(line);
    }
}

void EditController::PaintHighlight(QPainter& painter) const {
    if (CountOf(m_selection) <= kHighlightEntityLimit) {
        // Drawn once into a picture kept while the selection, the drawing and the view stay as
        // they are: a mouse move repaints only the band over it.
        const HighlightKey key{
            m_selectionSerial, m_canvas->Document()->DrawingModel()->ChangeCount(),
            m_canvas->Transform().pixelsPerUnit, m_canvas->Transform().origin, m_canvas->size()};
        if (!(key == m_highlightKey) || m_highlight.isNull()) {
            m_highlight = QImage(m_canvas->size(), QImage::Format_ARGB32_Premultiplied);
            m_highlight.fill(Qt::transparent);
            QPainter picture(&m_highlight);
            picture.setRenderHint(QPainter::Antialiasing, false);
            picture.setBrush(Qt::NoBrush);
            picture.setPen(QPen(QColor(255, 140, 0), 3));
            DrawOutlines(picture, m_selection, std::nullopt);
            m_highlightKey = key;
        }
        painter.drawImage(0, 0, m_highlight);
    } else if (m_box) {
        // Too many to draw again on every repaint: their box, in the highlight's colour.
        painter.setPen(QPen(QColor(255, 140, 0), 2, Qt::DashLine));
        painter.drawPolygon(BoxOnScreen(*m_canvas, *m_box, std::nullopt));
    }
}

void EditController::PaintBand(QPainter& painter, const RecordPlacement& band) const {
    painter.setPen(QPen(QColor(0, 160, 255), 1, Qt::DashLine));
    const Selection& moving = Moving();
    const std::optional<Box>& box = m_mode == EditMode::PasteTarget ? m_clipBox : m_box;
    const bool other = m_mode == EditMode::PasteTarget && m_pasteFromOther;
    if (!other && CountOf(moving) <= kBandEntityLimit) {
        DrawOutlines(painter, moving, band);
    } else if (box) {
        // Many entities: the box of the selection stands for them.
        painter.drawPolygon(BoxOnScreen(*m_canvas, *box, band));
    }
    painter.drawLine(m_canvas->ToScreen(*m_base), m_canvas->ToScreen(*m_cursor));
}

void EditController::PaintWindow(QPainter& painter) const {
    const bool crossing = m_dragTo->x() < m_pressAt->x();
    painter.setPen(QPen(crossing ? QColor(0, 170, 0) : QColor(0, 90, 255), 1,
                        crossing ? Qt::DashLine : Qt::SolidLine));
    painter.drawRect(QRectF(*m_pressAt, *m_dragTo).normalized());
}

void EditController::Paint(QPainter& painter) const {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    if (!m_selection.Empty()) PaintHighlight(painter);
    if (const std::optional<RecordPlacement> band = BandPlacement()) PaintBand(painter, *band);
    if (m_pressAt && m_dragTo) PaintWindow(painter);
}

}  // namespace pelimator::board

namespace pelimator::board {

EditController* EditControllerOf(const Canvas* canvas) {
    return canvas != nullptr ? canvas->findChild<EditController*>() : nullptr;
}

void AttachEditController(const BoardApplicationPtr& application, Canvas* canvas,
                          QStatusBar* statusBar, const std::function<void(const QString&)>& fail) {
    auto* controller = new EditController(application, canvas);
    QObject::connect(controller, &EditController::message, statusBar,
                     [statusBar](const QString& text) { statusBar->showMessage(text); });
    QObject::connect(controller, &EditController::failed, canvas, fail, Qt::QueuedConnection);
    // After an undo or redo the selection keeps only what is still shown.
    QObject::connect(canvas, &Canvas::documentChanged, controller, &EditController::DrawingChanged);
}

namespace {

// Asks which layer the canvas's selection goes on, and puts it there.
void AskLayer(QWidget* window, Canvas* canvas) {
    EditController* controller = EditControllerOf(canvas);
    if (controller == nullptr || controller->Current().Empty()) return;
    const BoardLayers& layers = *canvas->Document()->LayerTable();
    QStringList names;
    for (std::size_t i = 0; i < layers.Count(); ++i) {
        names << QString::fromStdString(layers.At(i).name);
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        window, QStringLiteral("レイヤ変更"), QStringLiteral("移すレイヤ:"), names, 0, false, &ok);
    if (!ok) return;
    const auto index = static_cast<std::size_t>(names.indexOf(chosen));
    if (index < layers.Count()) controller->ChangeLayer(layers.At(index).number);
}

}  // namespace

void AddEditCommands(QMenu* menu, QWidget* window, const std::function<Canvas*()>& current) {
    menu->addSeparator();
    const auto add = [&](const QString& text, const QString& name, const QList<QKeySequence>& keys,
                         void (EditController::*command)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setShortcuts(keys);
        QObject::connect(action, &QAction::triggered, window, [current, command] {
            if (EditController* controller = EditControllerOf(current())) (controller->*command)();
        });
    };
    add(QStringLiteral("すべて選択(&A)"), QStringLiteral("selectAllAction"),
        {QKeySequence(Qt::CTRL | Qt::Key_A)}, &EditController::SelectAll);
    add(QStringLiteral("削除(&D)"), QStringLiteral("eraseAction"), {QKeySequence(Qt::Key_Delete)},
        &EditController::EraseSelected);
    add(QStringLiteral("移動(&M)"), QStringLiteral("moveAction"), {QKeySequence(Qt::Key_M)},
        &EditController::StartMove);
    add(QStringLiteral("複写(&C)"), QStringLiteral("copyAction"), {QKeySequence(Qt::Key_C)},
        &EditController::StartCopy);
    add(QStringLiteral("回転(&R)"), QStringLiteral("rotateAction"), {QKeySequence(Qt::Key_R)},
        &EditController::StartRotate);
    add(QStringLiteral("基準点を付けてコピー(&B)"), QStringLiteral("clipAction"),
        {QKeySequence(Qt::CTRL | Qt::Key_C)}, &EditController::StartClip);
    add(QStringLiteral("貼り付け(&P)"), QStringLiteral("pasteAction"),
        {QKeySequence(Qt::CTRL | Qt::Key_V)}, &EditController::StartPaste);
    add(QStringLiteral("鏡像(&I)"), QStringLiteral("mirrorAction"), {QKeySequence(Qt::Key_I)},
        &EditController::StartMirror);
    add(QStringLiteral("拡大縮小(&S)"), QStringLiteral("scaleAction"), {QKeySequence(Qt::Key_S)},
        &EditController::StartScale);
    QAction* layer = menu->addAction(QStringLiteral("レイヤ変更(&L)..."));
    layer->setObjectName(QStringLiteral("changeLayerAction"));
    QObject::connect(layer, &QAction::triggered, window,
                     [current, window] { AskLayer(window, current()); });
}

}  // namespace pelimator::board
