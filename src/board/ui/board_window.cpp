// The board window: tabs kept in step with the documents, menus, status bar and closing.
#include "board/ui/board_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <array>
#include <exception>

#include "board/model/units.h"
#include "board/ui/canvas.h"
#include "board/ui/edit_controller.h"
#include "board/ui/layer_dialog.h"

namespace pelimator::board {

namespace {

const QString kProgramName = QStringLiteral("Pelimator");

QString TabTitle(const BoardDocument& document) {
    QString title = QString::fromStdString(document.Name());
    if (document.DrawingModel()->IsModified()) title += QStringLiteral(" *");
    return title;
}

// The スナップ menu's entries, in menu order.
struct SnapEntry {
    SnapKind kind;
    const char* text;
    const char* objectName;
};
constexpr std::array<SnapEntry, 7> kSnapEntries = {{
    {SnapKind::EndPoint, "端点(&E)", "snapEndPoint"},
    {SnapKind::MidPoint, "中点(&M)", "snapMidPoint"},
    {SnapKind::Center, "中心(&C)", "snapCenter"},
    {SnapKind::Insertion, "挿入点(&S)", "snapInsertion"},
    {SnapKind::Intersection, "交点(&I)", "snapIntersection"},
    {SnapKind::Nearest, "近接点(&N)", "snapNearest"},
    {SnapKind::Grid, "グリッド(&G)", "snapGrid"},
}};

// Holds the tab bar's change signal off the document model while the window itself moves tabs.
class SyncGuard {
public:
    explicit SyncGuard(bool& syncing) : m_syncing(syncing), m_was(syncing) { m_syncing = true; }
    ~SyncGuard() { m_syncing = m_was; }
    SyncGuard(const SyncGuard&) = delete;
    SyncGuard& operator=(const SyncGuard&) = delete;
    SyncGuard(SyncGuard&&) = delete;
    SyncGuard& operator=(SyncGuard&&) = delete;

private:
    bool& m_syncing;
    bool m_was;
};

}  // namespace

QString WindowTitle(const BoardDocument* document) {
    if (document == nullptr) return kProgramName;
    // "[*]" is where Qt shows the modified mark while the window is marked modified.
    return QString::fromStdString(document->Name()) + QStringLiteral("[*] — ") + kProgramName;
}

BoardWindow::BoardWindow(BoardApplicationPtr application, QWidget* parent)
    : QMainWindow(parent), m_application(std::move(application)) {
    setObjectName(QStringLiteral("boardWindow"));
    setWindowTitle(kProgramName);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("drawingTabs"));
    m_tabs->setDocumentMode(true);
    m_tabs->setMovable(false);
    // While no drawing is open the board says what a drafter can do, instead of a grey nothing.
    m_emptyHint = new QLabel(this);
    m_emptyHint->setObjectName(QStringLiteral("emptyBoardHint"));
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->setTextFormat(Qt::RichText);
    m_emptyHint->setWordWrap(true);
    // The hint never makes the window larger than a drawing would.
    m_emptyHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_pages = new QStackedWidget(this);
    m_pages->addWidget(m_emptyHint);
    m_pages->addWidget(m_tabs);
    setCentralWidget(m_pages);
    setAcceptDrops(true);
    SetEmptyHint(QStringLiteral("<p style='font-size:15pt'>図面が開いていません</p>"
                                "<p>ファイル → 開く... (Ctrl+O) で DXF か JWW の図面を開くか、<br>"
                                "図面のファイルをこのウィンドウにドロップして下さい。<br>"
                                "ファイル → 新規 (Ctrl+N) で新しい図面を作ります。</p>"),
                 QStringLiteral("開く... (Ctrl+O) で図面を開くか、ファイルをドロップして下さい"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int) { OnTabChanged(); });

    BuildMenus();

    m_positionLabel = new QLabel(this);
    m_positionLabel->setMinimumWidth(220);
    m_layerLabel = new QLabel(this);
    m_layerLabel->setObjectName(QStringLiteral("currentLayerLabel"));
    m_scaleLabel = new QLabel(this);
    m_scaleLabel->setObjectName(QStringLiteral("scaleLabel"));
    m_toolLabel = new QLabel(this);
    statusBar()->addWidget(m_positionLabel);
    statusBar()->addPermanentWidget(m_toolLabel);
    statusBar()->addPermanentWidget(m_layerLabel);
    statusBar()->addPermanentWidget(m_scaleLabel);

    for (std::size_t i = 0; i < m_application->DocumentCount(); ++i) {
        AddTab(m_application->DocumentAt(i));
    }
    SelectTab(m_application->Active().get());
    m_applicationObserver = m_application->AddObserver(
        [this](ApplicationChange change, const BoardDocumentPtr& document) {
            OnApplicationChange(change, document);
        });
    WatchTool();
    Refresh();
    resize(1100, 760);
    if (m_application->Visible()) show();
}

BoardWindow::~BoardWindow() {
    m_application->RemoveObserver(m_applicationObserver);
    if (const auto tool = m_watchedTool.lock()) tool->RemoveObserver(m_toolObserver);
}

void BoardWindow::BuildMenus() {
    BuildFileMenu();
    BuildEditMenu();
    BuildViewMenu();
    BuildDrawingMenu();
    BuildSnapMenu();
}

void BoardWindow::BuildFileMenu() {
    m_fileMenu = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    QAction* newDocument = m_fileMenu->addAction(QStringLiteral("新規(&N)"));
    newDocument->setShortcut(QKeySequence::New);
    connect(newDocument, &QAction::triggered, this, &BoardWindow::NewDocument);
    m_fileMenu->addSeparator();
    m_closeDocument = m_fileMenu->addAction(QStringLiteral("閉じる(&C)"));
    m_closeDocument->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(m_closeDocument, &QAction::triggered, this, [this] { CloseCurrentDocument(); });
    QAction* quit = m_fileMenu->addAction(QStringLiteral("終了(&X)"));
    connect(quit, &QAction::triggered, this, &QWidget::close);
}

void BoardWindow::BuildEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    m_undo = edit->addAction(QStringLiteral("元に戻す"));
    m_undo->setObjectName(QStringLiteral("undoAction"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(m_undo, &QAction::triggered, this, &BoardWindow::Undo);
    m_redo = edit->addAction(QStringLiteral("やり直し"));
    m_redo->setObjectName(QStringLiteral("redoAction"));
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    connect(m_redo, &QAction::triggered, this, &BoardWindow::Redo);
    AddEditCommands(edit, this, [this] { return CurrentCanvas(); });
}

void BoardWindow::BuildViewMenu() {
    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    m_viewMenu = view;
    QAction* zoomIn = view->addAction(QStringLiteral("拡大(&I)"));
    zoomIn->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence::ZoomIn});
    connect(zoomIn, &QAction::triggered, this, [this] {
        if (Canvas* canvas = CurrentCanvas()) canvas->ZoomIn();
    });
    QAction* zoomOut = view->addAction(QStringLiteral("縮小(&O)"));
    zoomOut->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Minus), QKeySequence::ZoomOut});
    connect(zoomOut, &QAction::triggered, this, [this] {
        if (Canvas* canvas = CurrentCanvas()) canvas->ZoomOut();
    });
    QAction* fit = view->addAction(QStringLiteral("全体表示(&A)"));
    fit->setObjectName(QStringLiteral("zoomFitAction"));
    fit->setShortcut(QKeySequence(Qt::Key_Home));
    connect(fit, &QAction::triggered, this, [this] {
        if (Canvas* canvas = CurrentCanvas()) canvas->ZoomToFit();
    });
    view->addSeparator();
    m_gridVisible = view->addAction(QStringLiteral("グリッド表示(&G)"));
    m_gridVisible->setCheckable(true);
    connect(m_gridVisible, &QAction::triggered, this, [this](bool on) {
        if (Canvas* canvas = CurrentCanvas()) {
            Guarded(QStringLiteral("グリッドの表示を変えられませんでした。"), [canvas, on] {
                SnapSettings settings = canvas->Document()->SnapModel()->Settings();
                settings.gridVisible = on;
                canvas->Document()->SnapModel()->SetSettings(settings);
            });
            canvas->update();
        }
    });
}

void BoardWindow::BuildDrawingMenu() {
    QMenu* drawing = menuBar()->addMenu(QStringLiteral("図面(&D)"));
    m_drawingMenu = drawing;
    connect(drawing->addAction(QStringLiteral("縮尺(&S)...")), &QAction::triggered, this,
            &BoardWindow::EditScale);
    connect(drawing->addAction(QStringLiteral("レイヤ一覧(&L)...")), &QAction::triggered, this,
            &BoardWindow::EditLayers);
    drawing->addSeparator();
    // The board has no selection: the entity is the one at the last click, as a Shift+click
    // there would take it.
    QAction* along = drawing->addAction(QStringLiteral("クリックした線に沿って描く(&A)"));
    along->setObjectName(QStringLiteral("drawAlongAction"));
    connect(along, &QAction::triggered, this, [this] {
        Canvas* canvas = CurrentCanvas();
        if (canvas == nullptr || !canvas->ShiftClickAtLastClick()) {
            statusBar()->showMessage(QStringLiteral(
                "ツールを開始し、点を指示する前に、沿って描く線をクリックして下さい。"));
        }
    });
}

void BoardWindow::BuildSnapMenu() {
    QMenu* snap = menuBar()->addMenu(QStringLiteral("スナップ(&S)"));
    for (const SnapEntry& entry : kSnapEntries) {
        QAction* action = snap->addAction(QString::fromUtf8(entry.text));
        action->setObjectName(QString::fromUtf8(entry.objectName));
        action->setCheckable(true);
        action->setChecked(m_snapKinds.Has(entry.kind));
        const SnapKind kind = entry.kind;
        connect(action, &QAction::triggered, this, [this, kind](bool on) {
            m_snapKinds.Set(kind, on);
            ApplySnapKinds();
        });
        m_snapActions.push_back(action);
    }
    snap->addSeparator();
    connect(snap->addAction(QStringLiteral("グリッド間隔(&I)...")), &QAction::triggered, this,
            &BoardWindow::EditGridSpacing);
}

Canvas* BoardWindow::CurrentCanvas() const {
    return qobject_cast<Canvas*>(m_tabs->currentWidget());
}

Canvas* BoardWindow::CanvasOf(const BoardDocument* document) const {
    for (Canvas* canvas : Canvases()) {
        if (canvas->Document().get() == document) return canvas;
    }
    return nullptr;
}

std::vector<Canvas*> BoardWindow::Canvases() const {
    std::vector<Canvas*> canvases;
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (auto* canvas = qobject_cast<Canvas*>(m_tabs->widget(i))) canvases.push_back(canvas);
    }
    return canvases;
}

void BoardWindow::ToolChangedInAllCanvases() {
    for (Canvas* canvas : Canvases()) canvas->ToolChanged();
}

void BoardWindow::Refresh() {
    RefreshTitles();
    RefreshActions();
    RefreshEmptyHint();
}

void BoardWindow::SetEmptyHint(const QString& text, const QString& status) {
    const bool showing = m_tabs->count() == 0 && statusBar()->currentMessage() == m_emptyStatus;
    m_emptyHint->setText(text);
    m_emptyStatus = status;
    if (showing) statusBar()->showMessage(m_emptyStatus);
    RefreshEmptyHint();
}

void BoardWindow::RefreshEmptyHint() {
    const bool empty = m_tabs->count() == 0;
    QWidget* page = empty ? static_cast<QWidget*>(m_emptyHint) : m_tabs;
    if (m_pages->currentWidget() == page) return;
    m_pages->setCurrentWidget(page);
    if (empty) {
        statusBar()->showMessage(m_emptyStatus);
    } else if (statusBar()->currentMessage() == m_emptyStatus) {
        statusBar()->clearMessage();
    }
}

void BoardWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    const bool files =
        openDropped && !urls.isEmpty() &&
        std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    if (files) event->acceptProposedAction();
}

void BoardWindow::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) files.append(url.toLocalFile());
    }
    if (files.isEmpty() || !openDropped) return;
    event->acceptProposedAction();
    openDropped(files);
}

void BoardWindow::ApplySnapKinds() {
    for (Canvas* canvas : Canvases()) {
        BoardSnap& snap = *canvas->Document()->SnapModel();
        SnapSettings settings = snap.Settings();
        if (settings.kinds == m_snapKinds) continue;
        settings.kinds = m_snapKinds;
        Guarded(QStringLiteral("スナップの設定を変えられませんでした。"),
                [&snap, &settings] { snap.SetSettings(settings); });
        canvas->update();
    }
    RefreshActions();
}

void BoardWindow::AddTab(const BoardDocumentPtr& document) {
    if (CanvasOf(document.get()) != nullptr) return;
    auto* canvas = new Canvas(m_application, document, m_tabs);
    connect(canvas, &Canvas::cursorMoved, this, [this](double x, double y) {
        m_positionLabel->setText(QStringLiteral("X %1   Y %2")
                                     .arg(QString::number(x, 'f', 3), QString::number(y, 'f', 3)));
    });
    connect(canvas, &Canvas::cursorLeft, m_positionLabel, &QLabel::clear);
    // Many changes arrive during one edit step: refresh titles and menus once afterwards.
    connect(canvas, &Canvas::documentChanged, this, [this] {
        if (m_refreshPending) return;
        m_refreshPending = true;
        QTimer::singleShot(0, this, [this] {
            m_refreshPending = false;
            Refresh();
        });
    });
    connect(
        canvas, &Canvas::failed, this,
        [this](const QString& text) {
            ShowFailure(QStringLiteral("ツールの処理に失敗しました。"), text);
        },
        Qt::QueuedConnection);
    AttachEditController(m_application, canvas, statusBar(), [this](const QString& text) {
        ShowFailure(QStringLiteral("編集できませんでした。"), text);
    });
    QObject::connect(EditControllerOf(canvas), &EditController::bigPasteComing, this,
                     [this] { AutosaveNow(); });
    // The session's snap switches hold for every drawing it opens.
    SnapSettings settings = document->SnapModel()->Settings();
    settings.kinds = m_snapKinds;
    Guarded(QStringLiteral("スナップの設定を変えられませんでした。"),
            [&document, &settings] { document->SnapModel()->SetSettings(settings); });
    const SyncGuard guard(m_syncingTabs);
    m_tabs->addTab(canvas, TabTitle(*document));
}

void BoardWindow::RemoveTab(const BoardDocument* document) {
    Canvas* canvas = CanvasOf(document);
    if (canvas == nullptr) return;
    {
        const SyncGuard guard(m_syncingTabs);
        m_tabs->removeTab(m_tabs->indexOf(canvas));
    }
    delete canvas;
    std::erase_if(m_messages, [document](const auto& entry) { return entry.first == document; });
    Refresh();
}

const BoardDocument* BoardWindow::PickingDocument() const {
    const auto tool = m_application->RunningTool();
    if (!tool || tool->Marks().empty()) return nullptr;
    return dynamic_cast<const BoardDocument*>(tool->Marks().front().document.lock().get());
}

void BoardWindow::OnTabChanged() {
    Canvas* canvas = CurrentCanvas();
    if (!m_syncingTabs && canvas != nullptr) {
        const BoardDocument* picking = PickingDocument();
        if (picking != nullptr && picking != canvas->Document().get() &&
            CanvasOf(picking) != nullptr) {
            // The picks belong to their drawing: a click in another would be ignored, so the
            // change is refused and the drafter told how to leave the picking.
            SelectTab(picking);
            statusBar()->showMessage(
                QStringLiteral("図面「%1」で線の点を指示しています。別の図面に切り替えるには、"
                               "Enter かダブルクリックで描くか、Esc で指示をやめて下さい。")
                    .arg(QString::fromStdString(picking->Name())));
            return;
        }
        Guarded(QStringLiteral("図面を切り替えられませんでした。"),
                [canvas] { canvas->Document()->Activate(); });
    }
    // The shown drawing's own message, or none.
    const BoardDocument* shown = canvas != nullptr ? canvas->Document().get() : nullptr;
    const auto found = std::find_if(m_messages.begin(), m_messages.end(),
                                    [shown](const auto& entry) { return entry.first == shown; });
    if (found != m_messages.end()) {
        statusBar()->showMessage(found->second);
    } else {
        statusBar()->clearMessage();
    }
    Refresh();
}

void BoardWindow::ShowDocumentStatus(const QString& message) {
    const BoardDocument* active = m_application->Active().get();
    const auto found = std::find_if(m_messages.begin(), m_messages.end(),
                                    [active](const auto& entry) { return entry.first == active; });
    if (found != m_messages.end()) {
        found->second = message;
    } else {
        m_messages.emplace_back(active, message);
    }
    statusBar()->showMessage(message);
}

void BoardWindow::SelectTab(const BoardDocument* document) {
    Canvas* canvas = CanvasOf(document);
    if (canvas == nullptr) return;
    {
        const SyncGuard guard(m_syncingTabs);
        m_tabs->setCurrentWidget(canvas);
    }
    Refresh();
}

void BoardWindow::OnApplicationChange(ApplicationChange change, const BoardDocumentPtr& document) {
    switch (change) {
        case ApplicationChange::Visibility:
            if (m_application->Visible()) {
                show();
                raise();
            } else {
                hide();
            }
            break;
        case ApplicationChange::DocumentAdded:
            AddTab(document);
            break;
        case ApplicationChange::DocumentActivated:
            SelectTab(document.get());
            break;
        case ApplicationChange::DocumentRemoved:
            RemoveTab(document.get());
            break;
        case ApplicationChange::Tool:
            WatchTool();
            ToolChangedInAllCanvases();
            RefreshActions();
            break;
    }
}

void BoardWindow::WatchTool() {
    const auto running = m_application->RunningTool();
    const auto watched = m_watchedTool.lock();
    if (running == watched) return;
    if (watched) watched->RemoveObserver(m_toolObserver);
    m_watchedTool = running;
    m_toolObserver = 0;
    if (!running) return;
    m_toolObserver = running->AddObserver([this](ToolChange change) {
        if (change == ToolChange::Marks || change == ToolChange::Rubber ||
            change == ToolChange::Preview) {
            ToolChangedInAllCanvases();
        } else {
            RefreshActions();
        }
    });
}

void BoardWindow::RefreshTitles() {
    for (Canvas* canvas : Canvases()) {
        const int i = m_tabs->indexOf(canvas);
        const QString title = TabTitle(*canvas->Document());
        if (m_tabs->tabText(i) != title) m_tabs->setTabText(i, title);
    }
    const Canvas* canvas = CurrentCanvas();
    const BoardDocument* document = canvas != nullptr ? canvas->Document().get() : nullptr;
    setWindowTitle(WindowTitle(document));
    setWindowModified(document != nullptr && document->DrawingModel()->IsModified());
}

void BoardWindow::RefreshActions() {
    const Canvas* canvas = CurrentCanvas();
    const BoardDocument* document = canvas != nullptr ? canvas->Document().get() : nullptr;
    const BoardDrawing* drawing = document != nullptr ? document->DrawingModel().get() : nullptr;

    const bool canUndo = drawing != nullptr && drawing->CanUndo();
    const bool canRedo = drawing != nullptr && drawing->CanRedo();
    m_undo->setEnabled(canUndo);
    m_undo->setText(canUndo ? QStringLiteral("元に戻す: ") +
                                  QString::fromStdString(drawing->UndoTitle())
                            : QStringLiteral("元に戻す"));
    m_redo->setEnabled(canRedo);
    m_redo->setText(canRedo ? QStringLiteral("やり直し: ") +
                                  QString::fromStdString(drawing->RedoTitle())
                            : QStringLiteral("やり直し"));
    m_closeDocument->setEnabled(document != nullptr);

    if (document != nullptr) {
        const SnapSettings& snap = document->SnapModel()->Settings();
        m_gridVisible->setChecked(snap.gridVisible);
        const std::int32_t layer = document->CurrentAttributesModel()->Layer();
        m_scaleLabel->setText(QString::fromStdString(ScaleText(*document, layer)));
        const LayerData* layerData = document->LayerTable()->Find(layer);
        // The name only when it says more than the number.
        QString layerText = QStringLiteral("現在のレイヤ %1").arg(layer);
        if (layerData != nullptr && layerData->name != std::to_string(layer)) {
            layerText += QStringLiteral(": ") + QString::fromStdString(layerData->name);
        }
        m_layerLabel->setText(layerText);
    } else {
        m_scaleLabel->clear();
        m_layerLabel->clear();
    }
    const auto tool = m_application->RunningTool();
    for (std::size_t i = 0; i < m_snapActions.size(); ++i) {
        m_snapActions[i]->setChecked(m_snapKinds.Has(kSnapEntries[i].kind));
    }
    m_toolLabel->setText(tool ? QStringLiteral("ツール: ") + QString::fromStdString(tool->Caption())
                              : QString());
}

template <typename Edit>
void BoardWindow::Guarded(const QString& what, Edit&& edit) {
    try {
        edit();
    } catch (const std::exception& error) {
        ShowFailure(what, QString::fromUtf8(error.what()));
    }
}

void BoardWindow::ShowFailure(const QString& what, const QString& detail) {
    QMessageBox::warning(this, kProgramName, what + QStringLiteral("\n") + detail);
}

void BoardWindow::NewDocument() {
    // The first free name 図面1, 図面2, ...
    QString name;
    bool taken = true;
    while (taken) {
        name = QStringLiteral("図面%1").arg(++m_newCount);
        taken = false;
        for (std::size_t i = 0; i < m_application->DocumentCount(); ++i) {
            if (QString::fromStdString(m_application->DocumentAt(i)->Name()) == name) taken = true;
        }
    }
    Guarded(QStringLiteral("図面を追加できませんでした。"),
            [this, &name] { m_application->AddDocument(name.toStdString()); });
}

void BoardWindow::Undo() {
    Canvas* canvas = CurrentCanvas();
    if (canvas == nullptr || !canvas->Document()->DrawingModel()->CanUndo()) return;
    Guarded(QStringLiteral("元に戻せませんでした。"),
            [canvas] { canvas->Document()->DrawingModel()->Undo(); });
    Refresh();
}

void BoardWindow::Redo() {
    Canvas* canvas = CurrentCanvas();
    if (canvas == nullptr || !canvas->Document()->DrawingModel()->CanRedo()) return;
    Guarded(QStringLiteral("やり直せませんでした。"),
            [canvas] { canvas->Document()->DrawingModel()->Redo(); });
    Refresh();
}

void BoardWindow::EditScale() {
    Canvas* canvas = CurrentCanvas();
    if (canvas == nullptr) return;
    const auto& source = canvas->Document()->Source();
    if (source && source->RealPerPaper(canvas->Document()->CurrentAttributesModel()->Layer())) {
        // Its units are the paper's: a scale of the board's would draw the tool's sizes larger.
        QMessageBox::information(
            this, kProgramName,
            QStringLiteral("この図面 (Jw_cad) の長さは用紙上の mm (図寸) です。"
                           "縮尺はレイヤグループごとにファイルが持っていて、"
                           "ここでは変えられません。"));
        return;
    }
    BoardScale& scale = *canvas->Document()->ScaleModel();
    // A scale that is not 1:N shows as its nearest 1:N.
    const int current = std::max(1, static_cast<int>(std::lround(scale.Factor())));
    bool ok = false;
    const int n = QInputDialog::getInt(this, QStringLiteral("縮尺"),
                                       QStringLiteral("縮尺 1 : N の N を入力して下さい:"), current,
                                       1, 1'000'000'000, 1, &ok);
    if (!ok) return;
    Guarded(QStringLiteral("縮尺を変えられませんでした。"), [&scale, n] {
        scale.SetNumerator(1);
        scale.SetDenominator(n);
    });
    RefreshActions();
}

void BoardWindow::EditLayers() {
    Canvas* canvas = CurrentCanvas();
    if (canvas == nullptr) return;
    LayerDialog dialog(canvas->Document(), this);
    dialog.exec();
    canvas->update();
    RefreshActions();
}

void BoardWindow::EditGridSpacing() {
    Canvas* canvas = CurrentCanvas();
    if (canvas == nullptr) return;
    BoardSnap& snap = *canvas->Document()->SnapModel();
    bool ok = false;
    const double spacing = QInputDialog::getDouble(
        this, QStringLiteral("グリッド間隔"), QStringLiteral("グリッドの間隔 (図面の単位):"),
        snap.Settings().gridSpacing, 0.001, 1.0e6, 3, &ok);
    if (!ok) return;
    Guarded(QStringLiteral("グリッドの間隔を変えられませんでした。"), [&snap, spacing] {
        SnapSettings settings = snap.Settings();
        settings.gridSpacing = spacing;
        snap.SetSettings(settings);
    });
    canvas->update();
}

bool BoardWindow::ConfirmClose(BoardDocument& document) {
    if (!document.DrawingModel()->IsModified()) return true;
    SelectTab(&document);
    if (saveDocument) return saveDocument(document);
    QMessageBox box(QMessageBox::Warning, kProgramName, QStringLiteral("変更を破棄して閉じますか?"),
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("discardQuestion"));
    box.setInformativeText(QStringLiteral("図面「%1」は変更されています。")
                               .arg(QString::fromStdString(document.Name())));
    QPushButton* discard = box.addButton(QStringLiteral("破棄"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == discard;
}

bool BoardWindow::ConfirmCloseAll() {
    // A copy: a hook may open or close documents.
    std::vector<BoardDocumentPtr> documents;
    for (std::size_t i = 0; i < m_application->DocumentCount(); ++i) {
        documents.push_back(m_application->DocumentAt(i));
    }
    return std::ranges::all_of(
        documents, [this](const BoardDocumentPtr& document) { return ConfirmClose(*document); });
}

bool BoardWindow::CloseCurrentDocument() {
    Canvas* canvas = CurrentCanvas();
    if (canvas == nullptr) return false;
    const BoardDocumentPtr document = canvas->Document();
    // The tool keeps its picked points in this drawing: closing it would strand them.
    if (const auto tool = m_application->RunningTool()) {
        for (const ToolMark& mark : tool->Marks()) {
            if (mark.document.lock() == document) {
                QMessageBox::information(this, kProgramName,
                                         QStringLiteral("この図面で点を指示している途中です。指示を"
                                                        "終えるか取り消してから閉じて下さい。"));
                return false;
            }
        }
    }
    if (!ConfirmClose(*document)) return false;
    const std::int64_t index = m_application->IndexOf(document.get());
    if (index < 0) return false;
    bool closed = false;
    Guarded(QStringLiteral("図面を閉じられませんでした。"), [&] {
        m_application->RemoveDocument(static_cast<std::size_t>(index));
        closed = true;
    });
    return closed;
}

void BoardWindow::closeEvent(QCloseEvent* event) {
    if (!ConfirmCloseAll()) {
        event->ignore();
        return;
    }
    if (const auto tool = m_application->RunningTool()) {
        Guarded(QStringLiteral("ツールを終了できませんでした。"), [&tool] { tool->Stop(); });
    }
    event->accept();
    emit closed();
}

void BoardWindow::AddToolCommand(QAction* action) {
    auto* menu = findChild<QMenu*>(QStringLiteral("toolMenu"));
    if (menu == nullptr) {
        menu = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
        menu->setObjectName(QStringLiteral("toolMenu"));
        addToolBar(QStringLiteral("ツール"))->setObjectName(QStringLiteral("toolBar"));
    }
    menu->addAction(action);
    findChild<QToolBar*>(QStringLiteral("toolBar"))->addAction(action);
}

}  // namespace pelimator::board
