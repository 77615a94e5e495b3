// The board window with the real model: tabs and documents in step, undo and redo texts,
// closing with modified drawings, and the window outliving the tool.
#include "board/ui/board_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <cmath>
#include <memory>

#include "board/dxf/dxf_file.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/model/edits.h"
#include "board/model/entity.h"
#include "board/model/tool_object.h"
#include "board/ui/canvas.h"
#include "board/ui/layer_dialog.h"
#include "board/ui/recording_sink.h"
#include "board/ui/window_file_menu.h"
#include "host/point_list.h"

using namespace pelimator::board;
using pelimator::board::test::RecordingSink;

namespace {

// Clicks the button named answer in the message box that opens while it lives, and keeps the
// box's text. Polls, since the box opens inside a call the test is waiting on.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QString answer) : m_answer(std::move(answer)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            m_timer.stop();
            seen = box->text();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == m_answer) button->click();
            }
        });
        m_timer.start(10);
    }
    QString seen;

private:
    QString m_answer;
    QTimer m_timer;
};

void AddStep(BoardDocument& document, const std::string& title) {
    BoardDrawing& drawing = *document.DrawingModel();
    drawing.BeginEdit(title);
    drawing.AddEntity(MakeLine({0.0, 0.0}, {10.0, 5.0}));
    drawing.EndEdit(true);
}

// Answers the message box that opens while it lives with its standard button, and keeps the
// box's texts in the order they opened.
class StandardAnswerer {
public:
    explicit StandardAnswerer(QMessageBox::StandardButton answer) : m_answer(answer) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || box == m_last) return;
            m_last = box;
            seen << box->text();
            if (QAbstractButton* button = box->button(m_answer)) button->click();
        });
        m_timer.start(10);
    }
    QStringList seen;

private:
    QMessageBox::StandardButton m_answer;
    QPointer<QMessageBox> m_last;
    QTimer m_timer;
};

struct Board {
    RecordingSink sink;
    BoardApplicationPtr app = BoardApplication::Create();
    std::unique_ptr<BoardWindow> window;

    explicit Board(bool visible = true) {
        app->AddDocument("図面A");
        window = std::make_unique<BoardWindow>(app);
        if (visible) {
            app->SetVisible(true);
            if (!QTest::qWaitForWindowExposed(window.get())) qWarning("window not exposed");
        }
    }
    std::shared_ptr<BoardToolObject> StartTool() {
        auto tool = app->CreateTool();
        tool->SetEventSink(&sink);
        tool->Start();
        return tool;
    }
};

}  // namespace

class BoardWindowTest : public QObject {
    Q_OBJECT

private slots:
    void showsWhenApplicationBecomesVisible();
    void tabsFollowDocuments();
    void newDrawingsGetFreeNames();
    void tabTitleMarksModified();
    void undoRedoTextsFollowSteps();
    void undoRedoShortcuts_data();
    void undoRedoShortcuts();
    void closingModifiedAsks_data();
    void closingModifiedAsks();
    void closingUnmodifiedDoesNotAsk();
    void saveHookDecidesForEachModifiedDrawing();
    void windowOutlivesTheTool();
    void drawAlongEntryShiftClicksAtTheLastClick();
    void drawingWithPickedPointsStaysOpen();
    void tabChangeWhilePickingIsRefusedWithAWord();
    void emptyBoardSaysWhatToDoUntilTheFirstDrawing();
    void droppedFilesAreHandedToBeOpened();
    void statusBarShowsTheShownDrawingsMessage();
    void layerDialogAppliesOnlyOnOk();
    void titleNamesTheDrawingAndTheProgram_data();
    void titleNamesTheDrawingAndTheProgram();
    void snapMenuSwitchesEachKindForTheSession_data();
    void snapMenuSwitchesEachKindForTheSession();
    void openedDrawingFarFromTheOriginShowsWhole();
    void undoBackToTheSavedStateDropsTheMark();
    void statusBarShowsTheFilesCurrentLayerAndUnit();
    void escapeGivesUpAnOpenWhilePicking();
    void jwwSaveThatCannotKeepAnEditKeepsTheMark();
};

void BoardWindowTest::showsWhenApplicationBecomesVisible() {
    Board board(false);
    QVERIFY(!board.window->isVisible());
    board.app->SetVisible(true);
    QVERIFY(board.window->isVisible());
}

void BoardWindowTest::tabsFollowDocuments() {
    Board board;
    QTabWidget* tabs = board.window->Tabs();
    const auto second = board.app->AddDocument("図面B");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(1), QStringLiteral("図面B"));
    QCOMPARE(board.window->CurrentCanvas()->Document(), second);

    tabs->setCurrentIndex(0);  // the user picks the first tab
    QCOMPARE(board.app->Active(), board.app->DocumentAt(0));

    second->Activate();  // the model activates the second
    QCOMPARE(tabs->currentIndex(), 1);

    board.app->RemoveDocument(1);
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(board.window->CurrentCanvas()->Document(), board.app->DocumentAt(0));
}

void BoardWindowTest::newDrawingsGetFreeNames() {
    Board board;
    board.app->AddDocument("図面1");
    QTest::keyClick(board.window.get(), Qt::Key_N, Qt::ControlModifier);
    board.window->NewDocument();
    QCOMPARE(board.window->Tabs()->count(), 4);
    QCOMPARE(QString::fromStdString(board.app->DocumentAt(2)->Name()), QStringLiteral("図面2"));
    QCOMPARE(QString::fromStdString(board.app->DocumentAt(3)->Name()), QStringLiteral("図面3"));
    QCOMPARE(board.app->Active(), board.app->DocumentAt(3));
}

void BoardWindowTest::tabTitleMarksModified() {
    Board board;
    const auto document = board.app->DocumentAt(0);
    AddStep(*document, "波線追加");
    QTRY_COMPARE(board.window->Tabs()->tabText(0), QStringLiteral("図面A *"));
    document->DrawingModel()->MarkSaved();
    QTRY_COMPARE(board.window->Tabs()->tabText(0), QStringLiteral("図面A"));
}

void BoardWindowTest::undoRedoTextsFollowSteps() {
    Board board;
    QAction* undo = board.window->UndoAction();
    QAction* redo = board.window->RedoAction();
    QCOMPARE(undo->text(), QStringLiteral("元に戻す"));
    QVERIFY(!undo->isEnabled());
    QCOMPARE(redo->text(), QStringLiteral("やり直し"));
    QVERIFY(!redo->isEnabled());

    const auto document = board.app->DocumentAt(0);
    AddStep(*document, "波線追加");
    AddStep(*document, "ジグザグ線追加");
    QTRY_COMPARE(undo->text(), QStringLiteral("元に戻す: ジグザグ線追加"));
    QVERIFY(undo->isEnabled());

    undo->trigger();
    QCOMPARE(undo->text(), QStringLiteral("元に戻す: 波線追加"));
    QCOMPARE(redo->text(), QStringLiteral("やり直し: ジグザグ線追加"));
    QVERIFY(redo->isEnabled());
    QCOMPARE(document->DrawingModel()->Count(), std::size_t{1});

    undo->trigger();
    QCOMPARE(undo->text(), QStringLiteral("元に戻す"));
    QVERIFY(!undo->isEnabled());
    QCOMPARE(redo->text(), QStringLiteral("やり直し: 波線追加"));

    redo->trigger();
    QCOMPARE(undo->text(), QStringLiteral("元に戻す: 波線追加"));
    QCOMPARE(redo->text(), QStringLiteral("やり直し: ジグザグ線追加"));
    QCOMPARE(document->DrawingModel()->Count(), std::size_t{1});
}

void BoardWindowTest::undoRedoShortcuts_data() {
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("countAfter");
    QTest::newRow("Ctrl+Z undoes") << QKeySequence(Qt::CTRL | Qt::Key_Z) << 0;
    QTest::newRow("Ctrl+Y redoes") << QKeySequence(Qt::CTRL | Qt::Key_Y) << 1;
    QTest::newRow("Ctrl+Shift+Z redoes") << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z) << 1;
}

void BoardWindowTest::undoRedoShortcuts() {
    QFETCH(QKeySequence, keys);
    QFETCH(int, countAfter);
    Board board;
    board.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(board.window.get()));
    const auto document = board.app->DocumentAt(0);
    AddStep(*document, "波線追加");
    if (countAfter == 1) document->DrawingModel()->Undo();  // something to redo
    QTest::qWait(0);
    QTest::keySequence(board.window->CurrentCanvas(), keys);
    QCOMPARE(static_cast<int>(document->DrawingModel()->Count()), countAfter);
}

void BoardWindowTest::closingModifiedAsks_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("cancel keeps the window") << QStringLiteral("キャンセル") << false;
    QTest::newRow("discard closes and stops the tool") << QStringLiteral("破棄") << true;
}

void BoardWindowTest::closingModifiedAsks() {
    QFETCH(QString, answer);
    QFETCH(bool, closes);
    Board board;
    const auto tool = board.StartTool();
    AddStep(*board.app->DocumentAt(0), "波線追加");
    QSignalSpy closed(board.window.get(), &BoardWindow::closed);
    BoxAnswerer answerer(answer);
    QCOMPARE(board.window->close(), closes);
    QCOMPARE(answerer.seen, QStringLiteral("変更を破棄して閉じますか?"));
    QCOMPARE(board.window->isVisible(), !closes);
    QCOMPARE(tool->IsStarted(), !closes);
    QCOMPARE(board.sink.CountOf("DisConnect"), closes ? std::size_t{1} : std::size_t{0});
    QCOMPARE(closed.count(), closes ? 1 : 0);
    QCOMPARE(board.app->DocumentCount(), std::size_t{1});  // nothing thrown away unasked
    tool->SetEventSink(nullptr);
}

void BoardWindowTest::closingUnmodifiedDoesNotAsk() {
    Board board;
    BoxAnswerer answerer(QStringLiteral("キャンセル"));
    QVERIFY(board.window->close());
    QVERIFY(answerer.seen.isEmpty());
}

void BoardWindowTest::saveHookDecidesForEachModifiedDrawing() {
    Board board;
    board.app->AddDocument("図面B");
    board.app->AddDocument("図面C");
    AddStep(*board.app->DocumentAt(0), "波線追加");
    AddStep(*board.app->DocumentAt(2), "波線追加");
    std::vector<std::string> asked;
    bool allow = false;
    board.window->saveDocument = [&](BoardDocument& document) {
        asked.push_back(document.Name());
        return allow;
    };
    // Refusing the first keeps the window and asks no further.
    QVERIFY(!board.window->close());
    QCOMPARE(asked, std::vector<std::string>{"図面A"});
    QVERIFY(board.window->isVisible());
    asked.clear();
    allow = true;
    QVERIFY(board.window->close());
    QCOMPARE(asked, (std::vector<std::string>{"図面A", "図面C"}));
}

void BoardWindowTest::windowOutlivesTheTool() {
    Board board;
    const auto tool = board.StartTool();
    tool->Stop();
    QVERIFY(board.window->isVisible());
    QCOMPARE(board.window->Tabs()->count(), 1);
    tool->SetEventSink(nullptr);
}

void BoardWindowTest::drawAlongEntryShiftClicksAtTheLastClick() {
    Board board;
    const auto tool = board.StartTool();
    auto* along = board.window->findChild<QAction*>(QStringLiteral("drawAlongAction"));
    QVERIFY(along != nullptr);
    along->trigger();  // no click yet: nothing reaches the tool
    QCOMPARE(board.sink.CountOf("LButtonDown"), std::size_t{0});
    Canvas* canvas = board.window->CurrentCanvas();
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(120, 90));
    const Vec2 clicked = *canvas->LastClick();
    // The tool took that click as its first point: the entry takes it back, then Shift+clicks.
    tool->AddMark(1, pelimator::host::PlainPoint(clicked.x, clicked.y), board.app->DocumentAt(0));
    board.sink.events.clear();
    along->trigger();
    QCOMPARE(board.sink.Actions(), (std::vector<std::string>{"BackOperation", "LButtonDown"}));
    QCOMPARE(board.sink.events.back().point, clicked);
    // With points picked the entry does nothing but say how it is used.
    tool->AddMark(1, pelimator::host::PlainPoint(0, 0), board.app->DocumentAt(0));
    tool->AddMark(1, pelimator::host::PlainPoint(5, 0), board.app->DocumentAt(0));
    board.sink.events.clear();
    along->trigger();
    QVERIFY(board.sink.Actions().empty());
    QVERIFY(board.window->statusBar()->currentMessage().contains(QStringLiteral("沿って描く")));
    tool->SetEventSink(nullptr);
}

// A click in another drawing is ignored while points are picked in one: the tab change is
// refused, saying where the picks are and how to leave them; once given up, the change goes.
void BoardWindowTest::tabChangeWhilePickingIsRefusedWithAWord() {
    Board board;
    board.app->AddDocument("図面B");
    QTabWidget* tabs = board.window->Tabs();
    QCOMPARE(tabs->count(), 2);
    const auto tool = board.StartTool();
    tabs->setCurrentIndex(0);
    const auto picking = board.app->DocumentAt(0);
    QCOMPARE(board.window->CurrentCanvas()->Document(), picking);
    tool->AddMark(1, pelimator::host::PlainPoint(1.0, 2.0), picking);
    tabs->setCurrentIndex(1);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(board.window->CurrentCanvas()->Document(), picking);
    QCOMPARE(board.app->Active(), picking);
    const QString message = board.window->statusBar()->currentMessage();
    QVERIFY2(message.contains(QStringLiteral("図面「図面A」で線の点を指示しています")),
             qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("Esc")), qPrintable(message));
    tool->ClearMarks();
    tabs->setCurrentIndex(1);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(board.app->Active(), board.app->DocumentAt(1));
    tool->SetEventSink(nullptr);
}

// The first start: no drawing, and the board says what to do (opening, dropping, new) in its
// middle and its status bar; the first drawing takes its place, and closing the last brings
// it back.
void BoardWindowTest::emptyBoardSaysWhatToDoUntilTheFirstDrawing() {
    const BoardApplicationPtr app = BoardApplication::Create();
    BoardWindow window(app);
    app->SetVisible(true);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* hint = window.findChild<QLabel*>(QStringLiteral("emptyBoardHint"));
    QVERIFY(hint != nullptr);
    QVERIFY(hint->isVisible());
    QVERIFY(!window.Tabs()->isVisible());
    for (const char* part : {"開く", "Ctrl+O", "ドロップ", "新規", "Ctrl+N"}) {
        QVERIFY2(hint->text().contains(QString::fromUtf8(part)), part);
    }
    QVERIFY2(window.statusBar()->currentMessage().contains(QStringLiteral("Ctrl+O")),
             qPrintable(window.statusBar()->currentMessage()));
    window.NewDocument();
    QVERIFY(!hint->isVisible());
    QVERIFY(window.Tabs()->isVisible());
    QVERIFY(window.CurrentCanvas() != nullptr);
    QCOMPARE(window.statusBar()->currentMessage(), QString());
    QVERIFY(window.CloseCurrentDocument());
    QVERIFY(hint->isVisible());
    QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("Ctrl+O")));
}

// Files dropped on the window go to whoever opens drawings; other drops are refused.
void BoardWindowTest::droppedFilesAreHandedToBeOpened() {
    Board board;
    QStringList handed;
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/平面図.dxf")),
                   QUrl::fromLocalFile(QStringLiteral("/tmp/b.jww"))});
    const QPoint at(200, 200);
    {
        QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(board.window.get(), &enter);
        QVERIFY(!enter.isAccepted());  // nobody to open them yet
    }
    board.window->openDropped = [&handed](const QStringList& paths) { handed = paths; };
    QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(board.window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(board.window.get(), &drop);
    QCOMPARE(handed,
             (QStringList{QStringLiteral("/tmp/平面図.dxf"), QStringLiteral("/tmp/b.jww")}));
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.com/a.dxf"))});
    QDragEnterEvent remote(at, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(board.window.get(), &remote);
    QVERIFY(!remote.isAccepted());
}

// A message about a drawing (opened, saved, exported) stays with it: another tab shows its own.
void BoardWindowTest::statusBarShowsTheShownDrawingsMessage() {
    Board board;
    board.app->AddDocument("図面B");
    QTabWidget* tabs = board.window->Tabs();
    tabs->setCurrentIndex(0);
    board.window->ShowDocumentStatus(QStringLiteral("「A.dxf」を保存しました"));
    tabs->setCurrentIndex(1);
    QCOMPARE(board.window->statusBar()->currentMessage(), QString());
    board.window->ShowDocumentStatus(QStringLiteral("「B.pdf」にエクスポートしました"));
    tabs->setCurrentIndex(0);
    QCOMPARE(board.window->statusBar()->currentMessage(),
             QStringLiteral("「A.dxf」を保存しました"));
    tabs->setCurrentIndex(1);
    QCOMPARE(board.window->statusBar()->currentMessage(),
             QStringLiteral("「B.pdf」にエクスポートしました"));
}

void BoardWindowTest::drawingWithPickedPointsStaysOpen() {
    Board board;
    const auto tool = board.StartTool();
    const auto document = board.app->DocumentAt(0);
    tool->AddMark(1, pelimator::host::PlainPoint(1.0, 2.0), document);
    {
        BoxAnswerer answerer(QStringLiteral("OK"));
        QVERIFY(!board.window->CloseCurrentDocument());
        QVERIFY(!answerer.seen.isEmpty());
    }
    QCOMPARE(board.app->DocumentCount(), std::size_t{1});
    tool->ClearMarks();
    QVERIFY(board.window->CloseCurrentDocument());  // unmodified: closes without asking
    QCOMPARE(board.app->DocumentCount(), std::size_t{0});
    QCOMPARE(board.window->Tabs()->count(), 0);
    tool->SetEventSink(nullptr);
}

void BoardWindowTest::layerDialogAppliesOnlyOnOk() {
    Board board;
    const auto document = board.app->DocumentAt(0);
    BoardLayers& layers = *document->LayerTable();
    layers.Add(1, "外形", 0);
    for (const bool accept : {false, true}) {
        LayerDialog dialog(document);
        QTableWidget* table = dialog.Table();
        QCOMPARE(table->rowCount(), 2);
        table->item(1, LayerDialog::NameColumn)->setText(QStringLiteral("波線"));
        table->item(1, LayerDialog::VisibleColumn)->setCheckState(Qt::Unchecked);
        dialog.SetRowColour(1, {10, 20, 30});
        dialog.AddLayer();  // number 2, the next free one
        QComboBox* current = dialog.CurrentLayerBox();
        current->setCurrentIndex(current->findData(2));
        if (!accept) {
            dialog.reject();
            QCOMPARE(layers.Count(), std::size_t{2});
            QCOMPARE(layers.Find(1)->name, std::string("外形"));
            QVERIFY(layers.Find(1)->visible);
            continue;
        }
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(layers.Count(), std::size_t{3});
    const LayerData* edited = layers.Find(1);
    QCOMPARE(edited->name, std::string("波線"));
    QVERIFY(!edited->visible);
    QCOMPARE(edited->colour, (Rgb{10, 20, 30}));
    QVERIFY(layers.Find(2) != nullptr);
    QCOMPARE(document->CurrentAttributesModel()->Layer(), 2);
    // A second dialog shows what the first one stored.
    LayerDialog again(document);
    QCOMPARE(again.Table()->item(1, LayerDialog::NameColumn)->text(), QStringLiteral("波線"));
    QCOMPARE(again.Table()->item(1, LayerDialog::VisibleColumn)->checkState(), Qt::Unchecked);
    QCOMPARE(again.CurrentLayerBox()->currentData().toInt(), 2);
    // Layer 0 cannot be removed.
    again.Table()->setCurrentCell(0, 0);
    {
        BoxAnswerer answerer(QStringLiteral("OK"));
        again.RemoveSelectedLayer();
        QCOMPARE(answerer.seen, QStringLiteral("レイヤ 0 は削除できません。"));
    }
    QCOMPARE(again.Table()->rowCount(), 3);
}

void BoardWindowTest::titleNamesTheDrawingAndTheProgram_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");  // with Qt's placeholder resolved
    QTest::newRow("no drawing") << QString() << false << "Pelimator"
                                << "Pelimator";
    QTest::newRow("saved drawing") << "平面図.dxf" << false << "平面図.dxf[*] — Pelimator"
                                   << "平面図.dxf — Pelimator";
    QTest::newRow("modified drawing") << "平面図.dxf" << true << "平面図.dxf[*] — Pelimator"
                                      << "平面図.dxf* — Pelimator";
}

void BoardWindowTest::titleNamesTheDrawingAndTheProgram() {
    QFETCH(QString, name);
    QFETCH(bool, modified);
    QFETCH(QString, title);
    QFETCH(QString, shown);
    Board board;
    if (name.isEmpty()) {
        board.app->RemoveDocument(0);
    } else {
        board.app->DocumentAt(0)->SetName(name.toStdString());
        if (modified) AddStep(*board.app->DocumentAt(0), "波線追加");
        board.window->NewDocument();  // a title refresh, then back to the named drawing
        board.app->DocumentAt(0)->Activate();
    }
    QTRY_COMPARE(board.window->windowTitle(), title);
    QCOMPARE(board.window->isWindowModified(), modified);
    // What the title bar shows: Qt resolves the placeholder for the platform window.
    QVERIFY(board.window->windowHandle() != nullptr);
    QTRY_COMPARE(board.window->windowHandle()->title(), shown);
    QVERIFY(!board.window->windowTitle().contains(QStringLiteral("ボード")));
}

void BoardWindowTest::snapMenuSwitchesEachKindForTheSession_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("onAtStart");
    QTest::newRow("end points") << "snapEndPoint" << int(SnapKind::EndPoint) << true;
    QTest::newRow("midpoints") << "snapMidPoint" << int(SnapKind::MidPoint) << true;
    QTest::newRow("centres") << "snapCenter" << int(SnapKind::Center) << true;
    QTest::newRow("intersections") << "snapIntersection" << int(SnapKind::Intersection) << true;
    QTest::newRow("insertion points") << "snapInsertion" << int(SnapKind::Insertion) << true;
    QTest::newRow("nearest") << "snapNearest" << int(SnapKind::Nearest) << false;
    QTest::newRow("grid") << "snapGrid" << int(SnapKind::Grid) << false;
}

void BoardWindowTest::snapMenuSwitchesEachKindForTheSession() {
    QFETCH(QString, action);
    QFETCH(int, kind);
    QFETCH(bool, onAtStart);
    const auto snapKind = static_cast<SnapKind>(kind);
    Board board;
    board.app->AddDocument("図面B");
    auto* entry = board.window->findChild<QAction*>(action);
    QVERIFY(entry != nullptr);
    QVERIFY(entry->isCheckable());
    QCOMPARE(entry->isChecked(), onAtStart);
    const auto kindIn = [&](std::size_t i) {
        return board.app->DocumentAt(i)->SnapModel()->Settings().kinds.Has(snapKind);
    };
    QCOMPARE(kindIn(0), onAtStart);

    entry->trigger();
    QCOMPARE(entry->isChecked(), !onAtStart);
    QCOMPARE(board.window->SessionSnapKinds().Has(snapKind), !onAtStart);
    // Every open drawing, the one shown and the one behind, and a drawing opened later.
    QCOMPARE(kindIn(0), !onAtStart);
    QCOMPARE(kindIn(1), !onAtStart);
    board.window->NewDocument();
    QCOMPARE(kindIn(2), !onAtStart);
    // Only this kind changed.
    for (const SnapKind other : kAllSnapKinds) {
        if (other == snapKind) continue;
        QCOMPARE(board.window->SessionSnapKinds().Has(other), kDefaultSnapKinds.Has(other));
    }
    // Switching tabs keeps the check mark; a second trigger switches back.
    board.window->Tabs()->setCurrentIndex(0);
    QCOMPARE(entry->isChecked(), !onAtStart);
    entry->trigger();
    QCOMPARE(kindIn(1), onAtStart);
    QCOMPARE(board.window->SessionSnapKinds(), kDefaultSnapKinds);
}

void BoardWindowTest::openedDrawingFarFromTheOriginShowsWhole() {
    QTemporaryDir dir;
    const QString path = dir.filePath("遠い図面.dxf");
    {
        const auto source = BoardApplication::Create();
        const auto far = source->AddDocument("遠い図面");
        far->DrawingModel()->AddEntity(MakeLine({5.0e6, 3.0e6}, {5.0e6 + 400.0, 3.0e6 + 300.0}));
        far->DrawingModel()->AddEntity(
            MakeArc({5.0e6 + 200.0, 3.0e6}, {5.0e6 + 250.0, 3.0e6}, {5.0e6 + 150.0, 3.0e6}));
        SaveDrawing(*far, path.toStdString());
    }
    Board board;
    WindowFileMenu files(*board.window, std::make_unique<QSettings>(dir.filePath("settings.ini"),
                                                                    QSettings::IniFormat));
    QVERIFY(files.Actions().OpenFile(path));
    Canvas* canvas = board.window->CurrentCanvas();
    QVERIFY(canvas != nullptr);
    QCOMPARE(QString::fromStdString(canvas->Document()->Name()), QStringLiteral("遠い図面.dxf"));
    const auto bounds = canvas->Document()->DrawingModel()->Bounds();
    QVERIFY(bounds.has_value());
    const QRectF shown(QPointF(0, 0), QSizeF(canvas->size()));
    // The first paint fits the drawing to the canvas.
    QTRY_VERIFY(shown.contains(canvas->ToScreen(bounds->min)) &&
                shown.contains(canvas->ToScreen(bounds->max)));
    for (const Vec2 corner : {bounds->min, bounds->max}) {
        const QPointF p = canvas->ToScreen(corner);
        QVERIFY2(shown.contains(p), qPrintable(QStringLiteral("%1, %2").arg(p.x()).arg(p.y())));
    }
    // And not as a speck: the drawing spans most of the canvas one way or the other.
    const QPointF a = canvas->ToScreen(bounds->min);
    const QPointF b = canvas->ToScreen(bounds->max);
    QVERIFY(std::abs(b.x() - a.x()) > canvas->width() / 2.0 ||
            std::abs(b.y() - a.y()) > canvas->height() / 2.0);
}

// A line drawn through the host into a drawing without its layer: the layer is made for it and
// goes again with the line's undo, so the drawing is back at its saved state, without the mark.
void BoardWindowTest::undoBackToTheSavedStateDropsTheMark() {
    Board board;
    const auto document = board.app->DocumentAt(0);
    (void)document->Layers()->Add(200, "地況線", 0);
    BoardDrawing& drawing = *document->DrawingModel();
    drawing.BeginEdit("波線追加");
    drawing.AddEntity(MakeLine({0.0, 0.0}, {10.0, 5.0}, 200));
    drawing.EndEdit(true);
    QTRY_COMPARE(board.window->Tabs()->tabText(0), QStringLiteral("図面A *"));
    QVERIFY(board.window->isWindowModified());
    board.window->UndoAction()->trigger();
    QCOMPARE(board.window->Tabs()->tabText(0), QStringLiteral("図面A"));
    QVERIFY(!board.window->isWindowModified());
    QCOMPARE(document->LayerTable()->Find(200), nullptr);
    board.window->RedoAction()->trigger();
    QCOMPARE(board.window->Tabs()->tabText(0), QStringLiteral("図面A *"));
    QVERIFY(document->LayerTable()->Find(200) != nullptr);
    QCOMPARE(document->LayerTable()->Find(200)->name, std::string("地況線"));
}

// An opened drawing's current layer ($CLAYER) and unit ($INSUNITS) are the board's, shown in
// its status bar.
void BoardWindowTest::statusBarShowsTheFilesCurrentLayerAndUnit() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("平面図.dxf")).toStdString();
    DrawingContent content;
    content.layers = {{0, "0", {}, true}, {3, "道路", {}, true}};
    content.entities = {MakeLine({0, 0}, {100, 0}, 0)};
    content.scaleDenominator = 500;
    content.currentLayer = 3;
    content.unitCode = 6;
    WriteDxfFile(path, content);
    Board board;
    const OpenedDrawing opened = OpenDrawing(*board.app, path);
    QCOMPARE(opened.document->CurrentAttributes()->Layer(), 3);
    QCOMPARE(opened.document->Unit().millimetres, 1000.0);
    auto* layer = board.window->findChild<QLabel*>(QStringLiteral("currentLayerLabel"));
    auto* scale = board.window->findChild<QLabel*>(QStringLiteral("scaleLabel"));
    QTRY_COMPARE(layer->text(), QStringLiteral("現在のレイヤ 3: 道路"));
    QCOMPARE(scale->text(), QStringLiteral("縮尺 1:500  単位 m"));
}

// Esc during an open gives the open up, even with the canvas focused and the tool picking (the
// tool would otherwise take Esc as its end), and nothing is added.
void BoardWindowTest::escapeGivesUpAnOpenWhilePicking() {
    QTemporaryDir dir;
    const QString path = dir.filePath("大きな図面.dxf");
    {
        const auto source = BoardApplication::Create();
        const auto drawing = source->AddDocument("大きな図面");
        drawing->DrawingModel()->AddEntity(MakeLine({0.0, 0.0}, {10.0, 10.0}));
        SaveDrawing(*drawing, path.toStdString());
    }
    Board board;
    const auto tool = board.StartTool();
    WindowFileMenu files(*board.window, std::make_unique<QSettings>(dir.filePath("settings.ini"),
                                                                    QSettings::IniFormat));
    board.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(board.window.get()));
    Canvas* canvas = board.window->CurrentCanvas();
    QVERIFY(canvas != nullptr);
    canvas->setFocus();
    board.sink.events.clear();

    QVERIFY(files.Actions().OpenFileInBackground(path));
    QTest::keyClick(canvas, Qt::Key_Escape);
    QVERIFY(!files.Actions().IsOpening());
    QCOMPARE(board.sink.CountOf("KeyDown"), std::size_t{0});
    QTest::qWait(300);
    QCOMPARE(board.app->DocumentCount(), std::size_t{1});
    QCOMPARE(board.window->Tabs()->count(), 1);
    QVERIFY(board.window->statusBar()->currentMessage().contains(QStringLiteral("中止")));
    // Without an open, Esc is the tool's again.
    QTest::keyClick(canvas, Qt::Key_Escape);
    QCOMPARE(board.sink.CountOf("KeyDown"), std::size_t{1});
}

// A real Jw_cad drawing: a moved line is saved into the file and the mark goes; a changed scale,
// which the file cannot keep, is asked about, and after the save the tab keeps its mark and
// closing still asks (the file holds the move, not the scale).
void BoardWindowTest::jwwSaveThatCannotKeepAnEditKeepsTheMark() {
    const QString real = QStringLiteral(PELIMATOR_REAL_CORPUS "/real-jww/敷地図.jww");
    if (!QFile::exists(real)) QSKIP("skipped: no real drawings at " PELIMATOR_REAL_CORPUS);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("敷地図.jww"));
    QVERIFY(QFile::copy(real, path));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    Board board;
    WindowFileMenu files(*board.window, std::make_unique<QSettings>(dir.filePath("settings.ini"),
                                                                    QSettings::IniFormat));
    QVERIFY(files.Actions().OpenFile(path));
    const BoardDocumentPtr document = board.app->Active();
    const int tab = board.window->Tabs()->currentIndex();
    const EntityData before = document->DrawingModel()->At(0);

    Selection first;
    first.entities = {0};
    (void)MoveSelection(*document, first, {5.0, -2.0});
    QTRY_COMPARE(board.window->Tabs()->tabText(tab), QStringLiteral("敷地図.jww *"));
    {
        StandardAnswerer answerer(QMessageBox::Cancel);
        QVERIFY(files.Actions().Save());
        QVERIFY2(answerer.seen.isEmpty(), qPrintable(answerer.seen.join("\n")));
    }
    QTRY_COMPARE(board.window->Tabs()->tabText(tab), QStringLiteral("敷地図.jww"));
    {
        const auto check = BoardApplication::Create();
        const EntityData saved =
            OpenDrawing(*check, path.toStdString()).document->DrawingModel()->At(0);
        QCOMPARE(saved.start.x, before.start.x + 5.0);
        QCOMPARE(saved.end.y, before.end.y - 2.0);
    }

    const QByteArray moved = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    document->ScaleModel()->SetDenominator(document->ScaleModel()->Denominator() + 100);
    QTRY_COMPARE(board.window->Tabs()->tabText(tab), QStringLiteral("敷地図.jww *"));
    {
        StandardAnswerer answerer(QMessageBox::Save);
        QVERIFY(files.Actions().Save());
        QCOMPARE(answerer.seen.size(), 1);
        QVERIFY(answerer.seen.front().contains(QStringLiteral("縮尺")));
    }
    QTest::qWait(100);  // the tab's title follows the drawing's changes as they are processed
    QCOMPARE(board.window->Tabs()->tabText(tab), QStringLiteral("敷地図.jww *"));
    QVERIFY(board.window->isWindowModified());
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == moved);
    }
    StandardAnswerer answerer(QMessageBox::Cancel);
    QVERIFY(!board.window->close());
    QCOMPARE(answerer.seen.size(), 1);
    QVERIFY(answerer.seen.front().contains(QStringLiteral("敷地図.jww")));
    QVERIFY(board.window->isVisible());
    document->DrawingModel()->MarkSaved();  // let the window go
}

QTEST_MAIN(BoardWindowTest)
#include "board_window_test.moc"
