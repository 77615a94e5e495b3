// The selection and edit commands in the board's window: clicks, windows and keys reach the right
// edit, and nothing of it happens while the tool picks points.
#include "board/ui/edit_controller.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <functional>
#include <memory>

#include "board/model/application.h"
#include "board/model/edits.h"
#include "board/model/entity.h"
#include "board/model/tool_object.h"
#include "board/ui/board_window.h"
#include "board/ui/canvas.h"
#include "board/ui/recording_sink.h"

using namespace pelimator::board;
using pelimator::board::test::RecordingSink;

namespace {

// Line A (0,0)-(100,0) and line B (0,50)-(100,50) in an active board window, zoomed to fit.
struct Board {
    RecordingSink sink;
    BoardApplicationPtr app = BoardApplication::Create();
    BoardDocumentPtr document = app->AddDocument("編集");
    std::unique_ptr<BoardWindow> window;

    Board() {
        document->DrawingModel()->AddEntity(MakeLine({0, 0}, {100, 0}));
        document->DrawingModel()->AddEntity(MakeLine({0, 50}, {100, 50}));
        document->DrawingModel()->ClearHistory();
        window = std::make_unique<BoardWindow>(app);
        app->SetVisible(true);
        if (!QTest::qWaitForWindowExposed(window.get())) qWarning("window not exposed");
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) qWarning("window not active");
        Canvas()->ZoomToFit();
        Canvas()->setFocus();
    }
    [[nodiscard]] pelimator::board::Canvas* Canvas() const { return window->CurrentCanvas(); }
    [[nodiscard]] EditController* Controller() const { return EditControllerOf(Canvas()); }
    [[nodiscard]] const EntityData& At(std::size_t i) const {
        return document->DrawingModel()->At(i);
    }

    void Mouse(QEvent::Type type, Vec2 at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPointF screen = Canvas()->ToScreen(at);
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, screen, Canvas()->mapToGlobal(screen), button, held, modifiers);
        QApplication::sendEvent(Canvas(), &event);
    }
    void Click(Vec2 at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Mouse(QEvent::MouseButtonPress, at, modifiers);
        Mouse(QEvent::MouseButtonRelease, at, modifiers);
    }
    void Drag(Vec2 from, Vec2 to) {
        Mouse(QEvent::MouseButtonPress, from);
        Mouse(QEvent::MouseMove, to);
        Mouse(QEvent::MouseButtonRelease, to);
    }
    void Keys(const QKeySequence& keys) { QTest::keySequence(Canvas(), keys); }
};

using Script = std::function<void(Board&)>;
using Check = std::function<void(const Board&)>;

}  // namespace

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Check)

class EditControllerTest : public QObject {
    Q_OBJECT

private slots:
    void keysAndClicksReachEdits_data();
    void keysAndClicksReachEdits();
    void inactiveWhileTheToolPicks();
    void pastesIntoAnotherTabAtTrueSize();
};

void EditControllerTest::keysAndClicksReachEdits_data() {
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("title");  // of the step made, "" for none
    QTest::addColumn<Check>("check");

    QTest::newRow("click_delete") << Script([](Board& b) {
        b.Click({50, 0});
        b.Keys(QKeySequence(Qt::Key_Delete));
    }) << QString::fromUtf8(kEraseTitle)
                                  << Check([](const Board& b) {
                                         QVERIFY(b.document->DrawingModel()->IsErased(0));
                                         QVERIFY(!b.document->DrawingModel()->IsErased(1));
                                     });
    QTest::newRow("window_move_to_snapped_end") << Script([](Board& b) {
        b.Drag({-5, -5}, {105, 5});  // left to right: line A lies inside
        b.Keys(QKeySequence(Qt::Key_M));
        b.Click({0, 0});
        b.Mouse(QEvent::MouseMove, {100.4, 50.3});
        b.Click({100.4, 50.3});  // snaps to B's end
    }) << QString::fromUtf8(kMoveTitle) << Check([](const Board& b) {
        QCOMPARE(b.At(0).start, (Vec2{100, 50}));
        QCOMPARE(b.At(0).end, (Vec2{200, 50}));
        QCOMPARE(b.At(1).start, (Vec2{0, 50}));
    });
    QTest::newRow("crossing_copy") << Script([](Board& b) {
        b.Drag({60, 55}, {40, 45});  // right to left: crosses line B only
        b.Keys(QKeySequence(Qt::Key_C));
        b.Click({0, 50});
        b.Click({100, 0});
    }) << QString::fromUtf8(kCopyTitle)
                                   << Check([](const Board& b) {
                                          QCOMPARE(b.document->DrawingModel()->Count(), 3U);
                                          QCOMPARE(b.At(2).start, (Vec2{100, 0}));
                                          QCOMPARE(b.At(1).start, (Vec2{0, 50}));
                                      });
    QTest::newRow("rotate_by_typed_angle") << Script([](Board& b) {
        b.Click({50, 0});
        b.Keys(QKeySequence(Qt::Key_R));
        b.Click({0, 0});
        QLineEdit* angle = b.Controller()->AngleInput();
        QVERIFY(angle->isVisible());
        QTest::keyClicks(angle, QStringLiteral("90"));
        QTest::keyClick(angle, Qt::Key_Return);
        QVERIFY(!angle->isVisible());
    }) << QString::fromUtf8(kRotateTitle) << Check([](const Board& b) {
        QCOMPARE(b.At(0).end, (Vec2{0, 100}));
    });
    const auto type = [](Board& b, const char* text) {
        QLineEdit* field = b.Controller()->AngleInput();
        QVERIFY(field->isVisible());
        field->insert(QString::fromUtf8(text));  // as an input method commits it
        QTest::keyClick(field, Qt::Key_Return);
    };
    QTest::newRow("move_by_typed_distance_at_angle") << Script([type](Board& b) {
        b.Click({50, 0});
        b.Keys(QKeySequence(Qt::Key_M));
        b.Click({0, 0});
        type(b, "@25<90");
    }) << QString::fromUtf8(kMoveTitle) << Check([](const Board& b) {
        QCOMPARE(b.At(0).start, (Vec2{0, 25}));
        QCOMPARE(b.At(0).end, (Vec2{100, 25}));
    });
    QTest::newRow("copy_by_distance_along_cursor") << Script([type](Board& b) {
        b.Click({50, 0});
        b.Keys(QKeySequence(Qt::Key_C));
        b.Click({0, 0});
        b.Mouse(QEvent::MouseMove, {-30, 0});
        type(b, "10");
    }) << QString::fromUtf8(kCopyTitle) << Check([](const Board& b) {
        QCOMPARE(b.document->DrawingModel()->Count(), 3U);
        QCOMPARE(b.At(2).start, (Vec2{-10, 0}));
    });
    QTest::newRow("paste_by_typed_offset") << Script([type](Board& b) {
        b.Click({50, 0});
        b.Keys(QKeySequence(Qt::CTRL | Qt::Key_C));
        b.Click({100, 0});
        b.Keys(QKeySequence(Qt::CTRL | Qt::Key_V));
        type(b, "＠５，－５");
    }) << QString::fromUtf8(kCopyTitle) << Check([](const Board& b) {
        QCOMPARE(b.At(2).start, (Vec2{5, -5}));
        QCOMPARE(b.At(2).end, (Vec2{105, -5}));
    });
    QTest::newRow("bad_typed_offset_moves_nothing") << Script([type](Board& b) {
        b.Click({50, 0});
        b.Keys(QKeySequence(Qt::Key_M));
        b.Click({0, 0});
        type(b, "@1e999,0");
        QCOMPARE(b.Controller()->Mode(), EditMode::MoveTarget);
    }) << QString() << Check([](const Board& b) {
        QCOMPARE(b.At(0).start, (Vec2{0, 0}));
    });
    QTest::newRow("ctrl_c_then_ctrl_v_by_reference_point") << Script([](Board& b) {
        b.Click({50, 0});
        b.Keys(QKeySequence(Qt::CTRL | Qt::Key_C));
        b.Click({100, 0});  // the reference point
        QCOMPARE(b.document->DrawingModel()->Count(), 2U);
        b.Keys(QKeySequence(Qt::CTRL | Qt::Key_V));
        b.Click({100, 50});
    }) << QString::fromUtf8(kCopyTitle) << Check([](const Board& b) {
        QCOMPARE(b.At(2).start, (Vec2{0, 50}));
        QCOMPARE(b.At(2).end, (Vec2{100, 50}));
    });
    QTest::newRow("escape_ends_command_then_clears") << Script([](Board& b) {
        b.Click({50, 0});
        b.Keys(QKeySequence(Qt::Key_M));
        b.Keys(QKeySequence(Qt::Key_Escape));
        QCOMPARE(b.Controller()->Mode(), EditMode::Select);
        QCOMPARE(b.Controller()->Current().entities.size(), 1U);
        b.Keys(QKeySequence(Qt::Key_Escape));
        QVERIFY(b.Controller()->Current().Empty());
        b.Keys(QKeySequence(Qt::Key_Delete));
    }) << QString() << Check([](const Board& b) {
        QVERIFY(!b.document->DrawingModel()->IsErased(0));
    });
    QTest::newRow("shift_click_adds_then_delete") << Script([](Board& b) {
        b.Click({50, 0});
        b.Click({50, 50}, Qt::ShiftModifier);
        b.Keys(QKeySequence(Qt::Key_Delete));
    }) << QString::fromUtf8(kEraseTitle) << Check([](const Board& b) {
        QVERIFY(b.document->DrawingModel()->IsErased(0));
        QVERIFY(b.document->DrawingModel()->IsErased(1));
    });
    QTest::newRow("ctrl_a_selects_all") << Script([](Board& b) {
        b.Keys(QKeySequence(Qt::CTRL | Qt::Key_A));
        QCOMPARE(b.Controller()->Current().entities.size(), 2U);
        QVERIFY(b.Controller()->SelectionBox().has_value());
        b.Keys(QKeySequence(Qt::Key_Delete));
    }) << QString::fromUtf8(kEraseTitle) << Check([](const Board& b) {
        QVERIFY(b.document->DrawingModel()->IsErased(1));
    });
}

void EditControllerTest::keysAndClicksReachEdits() {
    QFETCH(Script, script);
    QFETCH(QString, title);
    QFETCH(Check, check);
    Board board;
    QVERIFY(board.Controller() != nullptr);
    script(board);
    QCOMPARE(QString::fromStdString(board.document->DrawingModel()->UndoTitle()), title);
    check(board);
    if (!title.isEmpty()) {
        // One step: an undo brings both lines back as they were.
        board.document->DrawingModel()->Undo();
        QCOMPARE(board.document->DrawingModel()->Count(), 2U);
        QCOMPARE(board.At(0), MakeLine({0, 0}, {100, 0}));
        QVERIFY(!board.document->DrawingModel()->IsErased(0));
    }
}

void EditControllerTest::inactiveWhileTheToolPicks() {
    Board board;
    auto tool = board.app->CreateTool();
    tool->SetEventSink(&board.sink);
    tool->Start();
    board.sink.events.clear();
    board.Click({50, 0});
    QVERIFY(board.Controller()->Current().Empty());
    QVERIFY(!board.sink.events.empty());  // the click went to the tool
    board.Keys(QKeySequence(Qt::CTRL | Qt::Key_A));
    QVERIFY(board.Controller()->Current().Empty());
    board.Controller()->SetSelection(Selection{{0}, {}});
    board.Keys(QKeySequence(Qt::Key_Delete));
    board.Keys(QKeySequence(Qt::Key_M));
    QCOMPARE(board.Controller()->Mode(), EditMode::Select);
    QVERIFY(!board.document->DrawingModel()->IsErased(0));
    tool->SetEventSink(nullptr);
}

// Ctrl+C in one tab (millimetres), Ctrl+V in another (metres) at the same place typed as @0,0:
// the line comes at its true size on a layer of its name, one step, and the source is untouched.
void EditControllerTest::pastesIntoAnotherTabAtTrueSize() {
    Board board;
    board.document->LayerTable()->SetName(0, "壁");
    board.Click({50, 0});
    board.Keys(QKeySequence(Qt::CTRL | Qt::Key_C));
    board.Click({100, 0});  // the reference point
    const BoardDocumentPtr other = board.app->AddDocument("他");
    other->SetUnitCode(6);
    QCOMPARE(board.Canvas()->Document(), other);
    board.Canvas()->setFocus();
    board.Keys(QKeySequence(Qt::CTRL | Qt::Key_V));
    QCOMPARE(board.Controller()->Mode(), EditMode::PasteTarget);
    QLineEdit* field = board.Controller()->AngleInput();
    QVERIFY(field->isVisible());
    field->insert(QStringLiteral("@0,0"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(other->DrawingModel()->Count(), 1U);
    const EntityData& pasted = other->DrawingModel()->At(0);
    QCOMPARE(pasted.start, (Vec2{0.0, 0.0}));
    QCOMPARE(pasted.end, (Vec2{0.1, 0.0}));
    QCOMPARE(other->LayerTable()->Find(pasted.layer)->name, std::string("壁"));
    QCOMPARE(QString::fromStdString(other->DrawingModel()->UndoTitle()),
             QStringLiteral("貼り付け"));
    QCOMPARE(board.document->DrawingModel()->Count(), 2U);
}

QTEST_MAIN(EditControllerTest)
#include "edit_controller_test.moc"
