// Canvas input with the real widget and board model: where clicks land, zoom about the cursor,
// double clicks, back requests, keys and the rubber-band request.
#include "board/ui/canvas.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <memory>
#include <random>

#include "board/model/application.h"
#include "board/model/curve.h"
#include "board/model/entity.h"
#include "board/model/tool_object.h"
#include "board/ui/key_codes.h"
#include "board/ui/recording_sink.h"
#include "host/point_list.h"

using namespace pelimator::board;
using pelimator::board::test::RecordingSink;

Q_DECLARE_METATYPE(pelimator::board::ViewTransform)

namespace {

// A started tool on one drawing shown by a canvas of 400 x 300 pixels.
struct Board {
    RecordingSink sink;
    BoardApplicationPtr app = BoardApplication::Create();
    BoardDocumentPtr document = app->AddDocument("テスト図面");
    std::shared_ptr<BoardToolObject> tool = app->CreateTool();
    std::unique_ptr<Canvas> canvas;

    Board() {
        tool->SetEventSink(&sink);
        tool->Start();
        canvas = std::make_unique<Canvas>(app, document);
        canvas->resize(400, 300);
        canvas->show();
        if (!QTest::qWaitForWindowExposed(canvas.get())) qWarning("canvas not exposed");
        sink.events.clear();
    }
    ~Board() {
        canvas.reset();
        tool->SetEventSink(nullptr);
    }
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), canvas->mapToGlobal(QPointF(at)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(canvas.get(), &event);
    }
};

bool Near(Vec2 a, Vec2 b, double tolerance) {
    return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance;
}

}  // namespace

class CanvasTest : public QObject {
    Q_OBJECT

private slots:
    void clickLandsOnDrawingPoint_data();
    void clickLandsOnDrawingPoint();
    void clickSnapsWhenToolAsks();
    void wheelZoomKeepsPointUnderCursor();
    void doubleClickIsClickThenDoubleClick();
    void backRequests_data();
    void backRequests();
    void keysCarryWindowsCodes_data();
    void keysCarryWindowsCodes();
    void movesAndRepaintsReachTool();
    void inputIsDroppedWithoutRunningTool();
    void middleDragAndArrowsPan();
    void hoverNearACrossingHighlightsIt();
    void zoomToFitShowsEverything();
    void snapTargetIsHighlightedBeforeClick();
    void marksAndBandShowInTheirDrawingOnly();
};

void CanvasTest::clickLandsOnDrawingPoint_data() {
    QTest::addColumn<ViewTransform>("transform");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    // screen = ((x - origin.x) * zoom, (origin.y - y) * zoom), worked out by hand per row.
    QTest::newRow("one pixel per unit at origin")
        << ViewTransform{1.0, {0.0, 0.0}} << QPoint(30, 40) << 30.0 << -40.0;
    QTest::newRow("zoomed in 4x") << ViewTransform{4.0, {0.0, 0.0}} << QPoint(200, 100) << 50.0
                                  << -25.0;
    QTest::newRow("zoomed out to 0.5x")
        << ViewTransform{0.5, {0.0, 0.0}} << QPoint(100, 60) << 200.0 << -120.0;
    QTest::newRow("panned, y up") << ViewTransform{2.0, {-10.0, 50.0}} << QPoint(30, 40) << 5.0
                                  << 30.0;
    QTest::newRow("panned far, zoomed 10x")
        << ViewTransform{10.0, {1000.0, -500.0}} << QPoint(395, 295) << 1039.5 << -529.5;
    QTest::newRow("drawing scale of 1/100")
        << ViewTransform{0.01, {-20000.0, 15000.0}} << QPoint(200, 150) << 0.0 << 0.0;
}

void CanvasTest::clickLandsOnDrawingPoint() {
    QFETCH(ViewTransform, transform);
    QFETCH(QPoint, pixel);
    QFETCH(double, x);
    QFETCH(double, y);
    Board board;
    board.canvas->SetTransform(transform);
    QTest::mouseClick(board.canvas.get(), Qt::LeftButton, Qt::NoModifier, pixel);
    QCOMPARE(board.sink.Actions(), std::vector<std::string>{"LButtonDown"});
    const Vec2 got = board.sink.events.back().point;
    QVERIFY2(Near(got, {x, y}, 1e-9),
             qPrintable(QStringLiteral("got %1, %2").arg(got.x).arg(got.y)));
}

void CanvasTest::clickSnapsWhenToolAsks() {
    Board board;
    board.sink.snapAnswer = -1;
    board.document->DrawingModel()->AddEntity(MakeLine({10.0, 10.0}, {60.0, 10.0}));
    board.canvas->SetTransform({2.0, {0.0, 100.0}});
    // (10, 10) is at pixel (20, 180); click 3 pixels off, inside the capture radius.
    QTest::mouseClick(board.canvas.get(), Qt::LeftButton, Qt::NoModifier, QPoint(23, 178));
    QCOMPARE(board.sink.CountOf("LButtonDown"), std::size_t{1});
    QCOMPARE(board.sink.events.back().point, (Vec2{10.0, 10.0}));
}

void CanvasTest::wheelZoomKeepsPointUnderCursor() {
    Board board;
    const unsigned seed = 20261207;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> zoom(0.001, 1000.0);
    std::uniform_real_distribution<double> coordinate(-1e5, 1e5);
    std::uniform_int_distribution<int> px(0, 399);
    std::uniform_int_distribution<int> py(0, 299);
    std::uniform_int_distribution<int> notches(-3, 3);
    for (int round = 0; round < 200; ++round) {
        board.canvas->SetTransform({zoom(random), {coordinate(random), coordinate(random)}});
        const QPoint at(px(random), py(random));
        const Vec2 before = board.canvas->ToDrawing(QPointF(at));
        const double oldZoom = board.canvas->Transform().pixelsPerUnit;
        const int steps = notches(random);
        QWheelEvent wheel(QPointF(at), board.canvas->mapToGlobal(QPointF(at)), QPoint(),
                          QPoint(0, 120 * steps), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(board.canvas.get(), &wheel);
        const Vec2 after = board.canvas->ToDrawing(QPointF(at));
        const double scale = std::max(1.0, std::max(std::abs(before.x), std::abs(before.y)));
        QVERIFY2(Near(before, after, 1e-9 * scale),
                 qPrintable(QStringLiteral("seed %1 round %2: moved from %3,%4 to %5,%6")
                                .arg(seed)
                                .arg(round)
                                .arg(before.x)
                                .arg(before.y)
                                .arg(after.x)
                                .arg(after.y)));
        const double newZoom = board.canvas->Transform().pixelsPerUnit;
        // Up the wheel zooms in, down zooms out, no notch keeps the zoom.
        QVERIFY2(steps > 0   ? newZoom > oldZoom
                 : steps < 0 ? newZoom < oldZoom
                             : newZoom == oldZoom,
                 qPrintable(QStringLiteral("seed %1 round %2").arg(seed).arg(round)));
    }
}

void CanvasTest::doubleClickIsClickThenDoubleClick() {
    Board board;
    board.canvas->SetTransform({1.0, {0.0, 0.0}});
    const QPoint at(50, 60);
    // The order a platform delivers a double click in.
    board.Send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    board.Send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    board.Send(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    board.Send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(board.sink.Actions(), (std::vector<std::string>{"LButtonDown", "LButtonDblck"}));
    QCOMPARE(board.sink.events.back().point, (Vec2{50.0, -60.0}));
}

void CanvasTest::backRequests_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Backspace") << 0;
    QTest::newRow("right click") << 1;
    QTest::newRow("right double click") << 2;
}

void CanvasTest::backRequests() {
    QFETCH(int, way);
    Board board;
    std::size_t expected = 1;
    if (way == 0) {
        QTest::keyClick(board.canvas.get(), Qt::Key_Backspace);
    } else if (way == 1) {
        QTest::mouseClick(board.canvas.get(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    } else {
        // Two quick right clicks take two points back.
        board.Send(QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
        board.Send(QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton, Qt::NoButton);
        board.Send(QEvent::MouseButtonDblClick, {10, 10}, Qt::RightButton, Qt::RightButton);
        board.Send(QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton, Qt::NoButton);
        expected = 2;
    }
    QCOMPARE(board.sink.Actions(), std::vector<std::string>(expected, "BackOperation"));
}

void CanvasTest::keysCarryWindowsCodes_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("shift");
    QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << 13 << 0;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 13 << 0;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << 0 << 27 << 0;
    QTest::newRow("letter a") << int(Qt::Key_A) << 0 << 65 << 0;
    QTest::newRow("Shift+Z") << int(Qt::Key_Z) << int(Qt::ShiftModifier) << 90 << 1;
    QTest::newRow("digit 7") << int(Qt::Key_7) << 0 << 55 << 0;
    QTest::newRow("F1") << int(Qt::Key_F1) << 0 << 112 << 0;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << 46 << 0;
    QTest::newRow("Space with Alt") << int(Qt::Key_Space) << int(Qt::AltModifier) << 32 << 4;
    QTest::newRow("Tab stays on the canvas") << int(Qt::Key_Tab) << 0 << 9 << 0;
}

void CanvasTest::keysCarryWindowsCodes() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, code);
    QFETCH(int, shift);
    Board board;
    QTest::keyClick(board.canvas.get(), static_cast<Qt::Key>(key),
                    Qt::KeyboardModifiers(modifiers));
    // A modifier is a key of its own first (Shift 16, Alt 18), as on Windows.
    const std::size_t presses = modifiers & (Qt::ShiftModifier | Qt::AltModifier) ? 2 : 1;
    QCOMPARE(board.sink.Actions(), std::vector<std::string>(presses, "KeyDown"));
    if (presses == 2)
        QVERIFY(board.sink.events.front().keyCode == 16 || board.sink.events.front().keyCode == 18);
    QCOMPARE(int(board.sink.events.back().keyCode), code);
    QCOMPARE(int(board.sink.events.back().shift), shift);
}

void CanvasTest::movesAndRepaintsReachTool() {
    Board board;
    board.canvas->SetTransform({2.0, {0.0, 0.0}});
    QTest::mouseMove(board.canvas.get(), QPoint(40, 20));
    QVERIFY(board.sink.CountOf("MouseMove") >= 1);
    const auto& move =
        board.sink.events[0].name == "MouseMove" ? board.sink.events[0] : board.sink.events.back();
    QCOMPARE(move.point, (Vec2{20.0, -10.0}));
    board.sink.events.clear();
    board.canvas->repaint();
    QCOMPARE(board.sink.CountOf("RubberDisp"), std::size_t{1});
}

void CanvasTest::inputIsDroppedWithoutRunningTool() {
    Board board;
    board.tool->Stop();
    board.sink.events.clear();
    QTest::mouseClick(board.canvas.get(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::keyClick(board.canvas.get(), Qt::Key_Return);
    QTest::keyClick(board.canvas.get(), Qt::Key_Backspace);
    board.canvas->repaint();
    QVERIFY(board.sink.events.empty());
}

void CanvasTest::middleDragAndArrowsPan() {
    Board board;
    board.canvas->SetTransform({2.0, {0.0, 0.0}});
    const Vec2 grabbed = board.canvas->ToDrawing(QPointF(100, 100));
    board.Send(QEvent::MouseButtonPress, {100, 100}, Qt::MiddleButton, Qt::MiddleButton);
    QMouseEvent move(QEvent::MouseMove, QPointF(130, 80),
                     board.canvas->mapToGlobal(QPointF(130, 80)), Qt::NoButton, Qt::MiddleButton,
                     Qt::NoModifier);
    QApplication::sendEvent(board.canvas.get(), &move);
    board.Send(QEvent::MouseButtonRelease, {130, 80}, Qt::MiddleButton, Qt::NoButton);
    // The grabbed drawing point follows the cursor.
    QVERIFY(Near(board.canvas->ToDrawing(QPointF(130, 80)), grabbed, 1e-9));
    QCOMPARE(board.sink.CountOf("LButtonDown"), std::size_t{0});

    const Vec2 left = board.canvas->ToDrawing(QPointF(0, 0));
    QTest::keyClick(board.canvas.get(), Qt::Key_Right);
    QVERIFY(board.canvas->ToDrawing(QPointF(0, 0)).x > left.x);
    QTest::keyClick(board.canvas.get(), Qt::Key_Up);
    QVERIFY(board.canvas->ToDrawing(QPointF(0, 0)).y > left.y);
    QCOMPARE(board.sink.CountOf("KeyDown"), std::size_t{0});
}

void CanvasTest::zoomToFitShowsEverything() {
    Board board;
    BoardDrawing& drawing = *board.document->DrawingModel();
    drawing.AddEntity(MakeLine({-500.0, 20.0}, {300.0, 40.0}));
    drawing.AddEntity(MakeArc({1000.0, 0.0}, {1100.0, 0.0}, {900.0, 0.0}));
    board.canvas->SetTransform({50.0, {123.0, 456.0}});
    board.canvas->ZoomToFit();
    for (const Vec2 p :
         {Vec2{-500.0, 20.0}, Vec2{300.0, 40.0}, Vec2{1100.0, 0.0}, Vec2{1000.0, 100.0}}) {
        const QPointF s = board.canvas->ToScreen(p);
        QVERIFY2(s.x() >= 0 && s.x() <= 400 && s.y() >= 0 && s.y() <= 300,
                 qPrintable(QStringLiteral("%1,%2 off screen at %3,%4")
                                .arg(p.x)
                                .arg(p.y)
                                .arg(s.x())
                                .arg(s.y())));
    }
    // Tight: the drawing spans most of the width.
    QVERIFY(board.canvas->ToScreen({1100.0, 0.0}).x() - board.canvas->ToScreen({-500.0, 0.0}).x() >
            300.0);
}

void CanvasTest::snapTargetIsHighlightedBeforeClick() {
    Board board;
    board.document->DrawingModel()->AddEntity(MakeLine({10.0, 10.0}, {60.0, 10.0}));
    board.canvas->SetTransform({2.0, {0.0, 100.0}});
    QTest::mouseMove(board.canvas.get(), QPoint(118, 182));  // near (60, 10) at (120, 180)
    QVERIFY(board.canvas->HighlightedSnap().has_value());
    QCOMPARE(board.canvas->HighlightedSnap()->point, (Vec2{60.0, 10.0}));
    QTest::mouseMove(board.canvas.get(), QPoint(300, 40));  // far from both ends
    QVERIFY(!board.canvas->HighlightedSnap().has_value());
}

void CanvasTest::hoverNearACrossingHighlightsIt() {
    Board board;
    board.document->DrawingModel()->AddEntity(MakeLine({0.0, 0.0}, {100.0, 100.0}));
    board.document->DrawingModel()->AddEntity(MakeLine({0.0, 80.0}, {100.0, 20.0}));
    board.canvas->SetTransform({2.0, {0.0, 100.0}});
    // The lines cross at (50, 50), on screen (100, 100).
    QTest::mouseMove(board.canvas.get(), QPoint(104, 97));
    QVERIFY(board.canvas->HighlightedSnap().has_value());
    QCOMPARE(board.canvas->HighlightedSnap()->kind, SnapKind::Intersection);
    QVERIFY(Near(board.canvas->HighlightedSnap()->point, {50.0, 50.0}, 1e-9));
    // With crossings switched off the middle of the first line, the same point, takes over.
    SnapSettings settings = board.document->SnapModel()->Settings();
    settings.kinds.Set(SnapKind::Intersection, false);
    board.document->SnapModel()->SetSettings(settings);
    QTest::mouseMove(board.canvas.get(), QPoint(103, 98));
    QVERIFY(board.canvas->HighlightedSnap().has_value());
    QCOMPARE(board.canvas->HighlightedSnap()->kind, SnapKind::MidPoint);
}

void CanvasTest::marksAndBandShowInTheirDrawingOnly() {
    Board board;
    board.canvas->SetTransform({1.0, {0.0, 0.0}});
    const auto other = board.app->AddDocument("別の図面");
    Canvas otherCanvas(board.app, other);
    otherCanvas.resize(400, 300);
    otherCanvas.SetTransform({1.0, {0.0, 0.0}});
    SnapSettings noGrid = board.document->SnapModel()->Settings();
    noGrid.gridVisible = false;
    board.document->SnapModel()->SetSettings(noGrid);
    other->SnapModel()->SetSettings(noGrid);

    // Two picks in the first drawing, and a band through them.
    board.tool->AddMark(1, pelimator::host::PlainPoint(100.0, -100.0), board.document);
    board.tool->AddMark(1, pelimator::host::PlainPoint(300.0, -200.0), board.document);
    pelimator::host::PlainPointList points;
    points.Add(100.0, -100.0);
    points.Add(300.0, -200.0);
    const auto band = std::make_shared<BoardCurve>();
    band->SetTolerance(0.1);
    band->SetPoints(0, points);
    board.tool->ShowRubber(band);

    const auto count = [](const QImage& image, auto wanted) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) n += wanted(image.pixelColor(x, y)) ? 1 : 0;
        }
        return n;
    };
    const auto red = [](QColor c) { return c.red() > 150 && c.green() < 80 && c.blue() < 80; };
    const auto pink = [](QColor c) { return c.red() > 150 && c.green() < 80 && c.blue() > 80; };

    board.sink.events.clear();
    const QImage shown = board.canvas->grab().toImage();
    QCOMPARE(board.sink.CountOf("RubberDisp"), std::size_t{1});  // asked on the repaint
    QVERIFY(red(shown.pixelColor(100, 100)));                    // the middle of mark 1
    QVERIFY(red(shown.pixelColor(300, 200)));                    // the middle of mark 2
    QVERIFY(count(shown, pink) > 60);                            // the dashed band

    const QImage elsewhere = otherCanvas.grab().toImage();
    QCOMPARE(count(elsewhere, red), 0);
    QCOMPARE(count(elsewhere, pink), 0);
}

QTEST_MAIN(CanvasTest)
#include "canvas_test.moc"
