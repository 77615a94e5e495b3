// What the painter hands Qt for the drawing's lines: a wide pen's lines one at a time (a batch
// of them is stroked into one shape whose fill grows with lines times area: minutes for a large
// PNG), a hairline's together. Counted with a paint engine that records the calls.
#include <QPaintEngine>
#include <QPainter>
#include <QTest>
#include <vector>

#include "board/model/application.h"
#include "board/model/entity.h"
#include "board/render/entity_index.h"
#include "board/render/scene_painter.h"

using namespace pelimator::board;

namespace {

constexpr int kSide = 4000;

// Records the number of lines of each drawLines call and whether its pen was cosmetic.
class CountingEngine final : public QPaintEngine {
public:
    struct Call {
        int lines = 0;
        bool cosmetic = false;
    };
    std::vector<Call> calls;

    CountingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice* /*device*/) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& changed) override {
        if (changed.state() & QPaintEngine::DirtyPen) m_cosmetic = changed.pen().isCosmetic();
    }
    void drawLines(const QLineF* /*lines*/, int count) override {
        calls.push_back({count, m_cosmetic});
    }
    void drawLines(const QLine* /*lines*/, int count) override {
        calls.push_back({count, m_cosmetic});
    }
    void drawPath(const QPainterPath& /*path*/) override {}
    void drawPolygon(const QPointF* /*points*/, int /*count*/, PolygonDrawMode /*mode*/) override {}
    void drawPixmap(const QRectF& /*r*/, const QPixmap& /*pm*/, const QRectF& /*sr*/) override {}
    [[nodiscard]] Type type() const override { return QPaintEngine::User; }

private:
    bool m_cosmetic = true;
};

class CountingDevice final : public QPaintDevice {
public:
    CountingEngine engine;
    [[nodiscard]] QPaintEngine* paintEngine() const override {
        return const_cast<CountingEngine*>(&engine);
    }

protected:
    [[nodiscard]] int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
            case PdmHeight:
                return kSide;
            case PdmWidthMM:
            case PdmHeightMM:
                return kSide / 4;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 100;
            case PdmDepth:
                return 32;
            case PdmNumColors:
                return 0;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }
};

}  // namespace

class WideLinesTest : public QObject {
    Q_OBJECT
private slots:
    void linesReachQtOneAtATimeOnlyWhenWide_data();
    void linesReachQtOneAtATimeOnlyWhenWide();
};

void WideLinesTest::linesReachQtOneAtATimeOnlyWhenWide_data() {
    QTest::addColumn<double>("widthPixels");
    QTest::addColumn<bool>("wide");
    QTest::newRow("plotted width, 8 px") << 8.0 << true;
    QTest::newRow("plotted width, 1.5 px") << 1.5 << true;
    QTest::newRow("hairline") << 0.0 << false;
}

// A hundred diagonals across the whole picture in two colours, as exported: every line reaches
// Qt exactly once, a wide pen's alone in its call, a hairline's batched.
void WideLinesTest::linesReachQtOneAtATimeOnlyWhenWide() {
    QFETCH(double, widthPixels);
    QFETCH(bool, wide);
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("斜線");
    BoardLayers& layers = *document->LayerTable();
    layers.Add(1, "赤", 0);
    layers.SetColour(1, {255, 0, 0});
    constexpr int kLines = 100;
    for (int i = 0; i < kLines; ++i) {
        document->DrawingModel()->AddEntity(
            MakeLine({0.0, i * 40.0}, {kSide, kSide - i * 40.0}, i % 2));
    }
    CountingDevice device;
    {
        QPainter painter(&device);
        ScenePainter scene;
        EntityIndex index;
        scene.PaintDrawing(painter, QSize(kSide, kSide), *document,
                           ViewTransform{1.0, {0.0, kSide}}, index,
                           DrawingStyle{widthPixels, /*exact=*/true});
    }
    int total = 0;
    int largest = 0;
    for (const CountingEngine::Call& call : device.engine.calls) {
        QCOMPARE(call.cosmetic, !wide);
        total += call.lines;
        largest = std::max(largest, call.lines);
    }
    QCOMPARE(total, kLines);
    if (wide) {
        QCOMPARE(largest, 1);
    } else {
        QVERIFY2(device.engine.calls.size() <= 2, "a hairline's lines go to Qt by colour");
    }
}

QTEST_MAIN(WideLinesTest)
#include "wide_lines_test.moc"
