// The board window with the real model: tabs and documents in step, undo and redo texts,
// closing with modified drawings, and the window outliving the tool.
#include "board/ui/board_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "board/model/application.h"
#include "board/model/entity.h"
#include "board/model/tool.h"
#include "board/ui/canvas.h"
#include "board/ui/layer_dialog.h"
#include "board/ui/recording_sink.h"
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
    std::shared_ptr<BoardTool> StartTool() {
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
    void drawingWithPickedPointsStaysOpen();
    void layerDialogAppliesOnlyOnOk();
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

QTEST_MAIN(BoardWindowTest)
#include "board_window_test.moc"
