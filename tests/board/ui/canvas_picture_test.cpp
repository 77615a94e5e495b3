// The canvas's kept picture against a direct paint of the same view: after the view moved and
// stopped, after edits, and after mouse moves that repaint only the overlay.
#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>
#include <functional>
#include <memory>

#include "board/dxf/dxf_file.h"
#include "board/model/application.h"
#include "board/model/curve.h"
#include "board/model/entity.h"
#include "board/model/tool_object.h"
#include "board/render/entity_index.h"
#include "board/render/scene_painter.h"
#include "board/ui/canvas.h"
#include "board/ui/recording_sink.h"
#include "host/point_list.h"

using namespace pelimator::board;
using pelimator::board::test::RecordingSink;

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

// Text and a rotated block insert beneath, as a file shows them.
const char* const kUnderlay =
    "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1021\n0\nENDSEC\n"
    "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nSYM\n70\n0\n10\n0\n20\n0\n"
    "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n8\n21\n0\n0\nCIRCLE\n8\n0\n10\n4\n20\n4\n40\n3\n"
    "0\nENDBLK\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
    "0\nINSERT\n8\n0\n2\nSYM\n10\n60\n20\n30\n50\n30\n"
    "0\nTEXT\n8\n0\n62\n5\n10\n20\n20\n70\n40\n6\n1\n平面図 第1号\n"
    "0\nENDSEC\n0\nEOF\n";

// A drawing with lines and arcs of every size on three coloured layers over the underlay, shown
// by a 400 x 300 canvas.
struct Shown {
    RecordingSink sink;
    BoardApplicationPtr app = BoardApplication::Create();
    BoardDocumentPtr document = app->AddDocument("絵");
    std::shared_ptr<BoardToolObject> tool;
    std::unique_ptr<Canvas> canvas;

    Shown() {
        BoardLayers& layers = *document->LayerTable();
        layers.Add(1, "赤", 0);
        layers.SetColour(1, {200, 0, 0});
        layers.Add(2, "緑", 0);
        layers.SetColour(2, {0, 140, 0});
        BoardDrawing& drawing = *document->DrawingModel();
        drawing.BeginEdit("図形");
        for (int i = 0; i < 60; ++i) {
            const double x = i * 2.0;
            drawing.AddEntity(MakeLine({x, 0.0}, {x + 1.5, 90.0 - i}, i % 3));
            drawing.AddEntity(MakeArc({x + 1.0, 40.0}, {x + 1.0 + 0.05 * i, 40.0},
                                      {x + 1.0 - 0.05 * i, 40.0}, (i + 1) % 3));
        }
        drawing.AddEntity(MakeArc({60.0, 45.0}, {110.0, 45.0}, {10.0, 45.0}, 1));
        drawing.EndEdit(true);
        document->SetUnderlay(ReadDxfText(kUnderlay, "beneath.dxf").underlay);
        canvas = std::make_unique<Canvas>(app, document);
        canvas->resize(kWidth, kHeight);
        canvas->show();
        if (!QTest::qWaitForWindowExposed(canvas.get())) qWarning("canvas not exposed");
    }
    ~Shown() {
        canvas.reset();
        if (tool) tool->SetEventSink(nullptr);
    }
    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;

    void StartTool() {
        tool = app->CreateTool();
        tool->SetEventSink(&sink);
        tool->Start();
    }

    // What a canvas would paint now, through a fresh painter and index.
    [[nodiscard]] QImage Direct(SceneOverlay overlay = {}) const {
        const SnapSettings& snap = document->SnapModel()->Settings();
        overlay.gridVisible = snap.gridVisible;
        overlay.gridSpacing = snap.gridSpacing;
        QImage image(canvas->size(), QImage::Format_ARGB32_Premultiplied);
        ScenePainter painter;
        EntityIndex index;
        QPainter target(&image);
        painter.Paint(target, image.size(), *document, canvas->Transform(), overlay, index);
        target.end();
        return image.convertToFormat(QImage::Format_RGB32);
    }
    [[nodiscard]] QImage Picture() const {
        return canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    void Wheel(QPoint at, int notches) const {
        for (int i = 0; i < std::abs(notches); ++i) {
            QWheelEvent wheel(QPointF(at), canvas->mapToGlobal(QPointF(at)), QPoint(),
                              QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(canvas.get(), &wheel);
            canvas->repaint();
        }
    }
    void Pan(QPointF step, int times) const {
        for (int i = 0; i < times; ++i) {
            canvas->PanByPixels(step);
            canvas->repaint();
        }
    }
};

int Differing(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) count += rowA[x] != rowB[x] ? 1 : 0;
    }
    return count;
}

// Records the area each paint of a widget covered.
class PaintAreas final : public QObject {
public:
    explicit PaintAreas(QWidget& widget) { widget.installEventFilter(this); }
    std::vector<long> areas;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            long area = 0;
            for (const QRect& rect : static_cast<QPaintEvent*>(event)->region()) {
                area += static_cast<long>(rect.width()) * rect.height();
            }
            areas.push_back(area);
        }
        return false;
    }
};

using Steps = std::function<void(Shown&)>;

}  // namespace

Q_DECLARE_METATYPE(Steps)

class CanvasPictureTest : public QObject {
    Q_OBJECT

private slots:
    void pictureAfterStoppingIsTheDirectOne_data();
    void pictureAfterStoppingIsTheDirectOne();
    void mouseMovesRepaintOnlyTheOverlay();
};

void CanvasPictureTest::pictureAfterStoppingIsTheDirectOne_data() {
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<bool>("moved");  // the view moved: the picture waits to be refined
    QTest::newRow("at fit") << Steps([](Shown&) {}) << false;
    QTest::newRow("wheel in 10x about a point") << Steps([](Shown& s) {
        s.Wheel({130, 90}, 10);
    }) << true;
    QTest::newRow("wheel in 100x, then panned") << Steps([](Shown& s) {
        s.Wheel({200, 150}, 21);
        s.Pan({17.0, -9.0}, 6);
    }) << true;
    QTest::newRow("panned by whole pixels") << Steps([](Shown& s) {
        s.Pan({40.0, 0.0}, 3);
        s.Pan({0.0, -25.0}, 3);
    }) << true;
    QTest::newRow("panned by fractions of a pixel") << Steps([](Shown& s) {
        s.Pan({3.4, -1.7}, 7);
    }) << true;
    QTest::newRow("wheel out past the picture") << Steps([](Shown& s) {
        s.Wheel({40, 250}, 4);
        s.Wheel({300, 60}, -9);
    }) << true;
    QTest::newRow("entity added after a pan") << Steps([](Shown& s) {
        s.Pan({31.0, 12.0}, 2);
        s.document->DrawingModel()->AddEntity(MakeLine({0.0, 0.0}, {120.0, 90.0}, 1));
    }) << false;
    QTest::newRow("undone after a zoom") << Steps([](Shown& s) {
        s.Wheel({100, 100}, 3);
        s.document->DrawingModel()->Undo();
    }) << false;
    QTest::newRow("layer colour changed after a zoom") << Steps([](Shown& s) {
        s.Wheel({100, 100}, -2);
        s.document->LayerTable()->SetColour(2, {0, 0, 230});
    }) << false;
    QTest::newRow("layer hidden after a pan") << Steps([](Shown& s) {
        s.Pan({-50.0, 5.0}, 1);
        s.document->LayerTable()->SetVisible(1, false);
    }) << false;
    QTest::newRow("grid switched off") << Steps([](Shown& s) {
        SnapSettings settings = s.document->SnapModel()->Settings();
        settings.gridVisible = false;
        s.document->SnapModel()->SetSettings(settings);
        s.canvas->update();
    }) << false;
}

void CanvasPictureTest::pictureAfterStoppingIsTheDirectOne() {
    QFETCH(Steps, steps);
    QFETCH(bool, moved);
    Shown shown;
    shown.canvas->repaint();
    steps(shown);
    shown.canvas->repaint();
    // While the view moves, the picture is made from the last one; it is refined once the view
    // keeps still, and then it is the full picture.
    QCOMPARE(!shown.canvas->PictureIsExact(), moved);
    QTRY_VERIFY_WITH_TIMEOUT(shown.canvas->PictureIsExact(), 5000);
    QCOMPARE(Differing(shown.Picture(), shown.Direct()), 0);
}

void CanvasPictureTest::mouseMovesRepaintOnlyTheOverlay() {
    Shown shown;
    shown.StartTool();
    shown.canvas->SetTransform({3.0, {-5.0, 95.0}});
    // Two picks and a band from the second to the cursor's last place.
    shown.tool->AddMark(1, pelimator::host::PlainPoint(10.0, 80.0), shown.document);
    shown.tool->AddMark(1, pelimator::host::PlainPoint(40.0, 60.0), shown.document);
    pelimator::host::PlainPointList points;
    points.Add(10.0, 80.0);
    points.Add(40.0, 60.0);
    points.Add(70.0, 75.0);
    const auto band = std::make_shared<BoardCurve>();
    band->SetTolerance(0.1);
    band->SetPoints(0, points);
    shown.tool->ShowRubber(band);
    shown.canvas->repaint();
    QTRY_VERIFY(shown.canvas->PictureIsExact());

    PaintAreas paints(*shown.canvas);
    const QPoint route[] = {{60, 200}, {250, 40}, {251, 41}, {120, 170}};
    for (const QPoint at : route) {
        QTest::mouseMove(shown.canvas.get(), at);
        QCoreApplication::processEvents();
    }
    QVERIFY(!paints.areas.empty());
    // The crosshair's row and column, the marks, the band and the snap glyph: far less than the
    // whole canvas.
    for (const long area : paints.areas) QVERIFY2(area < kWidth * kHeight / 2, "whole repaint");

    // And nothing of the overlay's earlier places is left behind.
    SceneOverlay overlay;
    overlay.cursor = shown.canvas->ToDrawing(QPointF(route[3]));
    overlay.marks = {{10.0, 80.0}, {40.0, 60.0}};
    overlay.rubber = band->Polyline();
    overlay.snap = shown.canvas->HighlightedSnap();
    QCOMPARE(Differing(shown.Picture(), shown.Direct(overlay)), 0);
}

QTEST_MAIN(CanvasPictureTest)
#include "canvas_picture_test.moc"
