// Painting never writes outside its image and never crashes, whatever the view: lines clipped at
// the image's edges, a scripted pan and zoom painted in full at every step (as the window and the
// exports paint), and texts of any size and shape on screen.
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/model/application.h"
#include "board/model/entity.h"
#include "board/model/underlay.h"
#include "board/render/entity_index.h"
#include "board/render/scene_painter.h"
#include "board/render/text_drawing.h"
#include "board/render/underlay_painter.h"

using namespace pelimator::board;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kRows = 300;
constexpr int kGuardRows = 16;
constexpr std::uint32_t kGuard = 0xA5A5A5A5U;

// An image whose pixels sit between guard rows that no paint may touch.
class GuardedImage {
public:
    explicit GuardedImage(int width = kWidth, int height = kHeight)
        : m_width(width),
          m_buffer(static_cast<std::size_t>(width) * (height + 2 * kGuardRows), kGuard),
          m_image(reinterpret_cast<uchar*>(m_buffer.data() + kGuardRows * width), width, height,
                  width * 4, QImage::Format_ARGB32_Premultiplied) {
        m_image.fill(Qt::white);
    }
    QImage& Image() { return m_image; }
    // The guard words that were overwritten.
    [[nodiscard]] int Touched() const {
        int touched = 0;
        const std::size_t rows = static_cast<std::size_t>(kGuardRows) * m_width;
        for (std::size_t i = 0; i < rows; ++i) {
            touched += m_buffer[i] != kGuard ? 1 : 0;
            touched += m_buffer[m_buffer.size() - 1 - i] != kGuard ? 1 : 0;
        }
        return touched;
    }

private:
    int m_width;
    std::vector<std::uint32_t> m_buffer;
    QImage m_image;
};

// Lines (and half-circle arcs) crossing the image's edges at random fractional points: more than
// the painter draws smoothly, so they go straight into the image.
BoardDocumentPtr EdgeCrossingDrawing(BoardApplication& app, std::mt19937& random) {
    auto document = app.AddDocument("縁");
    BoardDrawing& drawing = *document->DrawingModel();
    std::uniform_real_distribution<double> along(-40.0, kWidth + 40.0);
    std::uniform_real_distribution<double> across(-40.0, kHeight + 40.0);
    std::uniform_real_distribution<double> near(-3.0, 3.0);
    drawing.BeginEdit("線");
    for (int i = 0; i < 6000; ++i) {
        // Screen (x, y) is drawing (x, -y) in the view used below.
        const bool horizontalEdge = i % 2 == 0;
        const double edge = (i / 2) % 2 == 0 ? 0.0 : (horizontalEdge ? kHeight : kWidth);
        Vec2 a = horizontalEdge ? Vec2{along(random), edge + near(random)}
                                : Vec2{edge + near(random), across(random)};
        Vec2 b = horizontalEdge ? Vec2{along(random), edge - near(random) * 10.0}
                                : Vec2{edge - near(random) * 10.0, across(random)};
        a.y = -a.y;
        b.y = -b.y;
        if (i % 5 == 0) {
            drawing.AddEntity(MakeArc(0.5 * (a + b), a, b, 0));
        } else {
            drawing.AddEntity(MakeLine(a, b, 0));
        }
    }
    drawing.EndEdit(true);
    return document;
}

SceneOverlay GridOverlay() {
    SceneOverlay overlay;
    overlay.gridVisible = true;
    overlay.gridSpacing = 7.0;
    return overlay;
}

// A drawing with an underlay of lines, fills and texts, as an opened file has.
BoardDocumentPtr PlanDrawing(BoardApplication& app) {
    auto document = app.AddDocument("平面");
    BoardDrawing& drawing = *document->DrawingModel();
    drawing.BeginEdit("波線");
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kRows; ++column) {
            const Vec2 at{column * 10.0, row * 10.0};
            if ((row + column) % 2 == 0) {
                drawing.AddEntity(MakeArc(at + Vec2{5.0, 0.0}, at + Vec2{10.0, 0.0}, at, row % 4));
            } else {
                drawing.AddEntity(MakeLine(at, at + Vec2{8.0, 3.0}, row % 4));
            }
        }
    }
    drawing.EndEdit(true);
    auto underlay = std::make_shared<Underlay>();
    for (int i = 0; i < 400; ++i) {
        const Vec2 at{(i % 20) * 30.0, (i / 20) * 30.0};
        UnderlayItem line;
        line.kind = UnderlayKind::Polyline;
        line.colour = {200, 0, 0};
        line.first = static_cast<std::uint32_t>(underlay->points.size());
        line.count = 3;
        underlay->points.insert(underlay->points.end(),
                                {at, at + Vec2{12.0, 4.0}, at + Vec2{3.0, 20.0}});
        underlay->items.push_back(line);
        UnderlayItem text;
        text.kind = UnderlayKind::Text;
        text.text = static_cast<std::uint32_t>(underlay->texts.size());
        underlay->texts.push_back(
            {"部屋" + std::to_string(i), at + Vec2{2.0, 2.0}, {2.5, 0.0}, {0.0, 2.5}, 0, 0, 0.0});
        underlay->items.push_back(text);
    }
    underlay->Finish();
    document->SetUnderlay(std::move(underlay));
    return document;
}

int InkedPixels(const QImage& image) {
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) inked += image.pixel(x, y) != qRgb(255, 255, 255);
    }
    return inked;
}

}  // namespace

class PaintSafetyTest : public QObject {
    Q_OBJECT

private slots:
    // Lines clipped at the image's edges land on its pixels, never on a row before or after it
    // (a clipped end a rounding below zero once wrote before the first row).
    void EdgeCrossingLinesStayInTheImage() {
        const unsigned seed = 20261209;
        std::mt19937 random(seed);
        const auto app = BoardApplication::Create();
        const auto document = EdgeCrossingDrawing(*app, random);
        for (int pass = 0; pass < 8; ++pass) {
            GuardedImage guarded;
            ScenePainter painter;
            EntityIndex index;
            // Sub-pixel shifts of the view move every clipped end across pixel boundaries.
            const ViewTransform transform{1.0 + pass * 1e-7, {pass * 0.13, pass * 0.07}};
            QPainter qp(&guarded.Image());
            painter.Paint(qp, guarded.Image().size(), *document, transform, GridOverlay(), index);
            qp.end();
            QVERIFY2(painter.Stats().lines > 4'000, "the lines must go straight into the image");
            QVERIFY2(guarded.Touched() == 0,
                     qPrintable(QStringLiteral("pass %1 (seed %2): %3 words outside the image")
                                    .arg(pass)
                                    .arg(seed)
                                    .arg(guarded.Touched())));
        }
    }

    // The window's pan and zoom, every frame painted in full: from the fit, the wheel in to a
    // hundredfold about off-centre points, pans across, and back out.
    void PanZoomScriptPaintsInsideTheImage() {
        const auto app = BoardApplication::Create();
        const auto document = PlanDrawing(*app);
        ScenePainter painter;
        EntityIndex index;
        ViewTransform transform;
        transform.Fit(*document->DrawingModel()->Bounds(), kScreenWidth, kScreenHeight, 24.0);
        struct Step {
            int wheel;
            Vec2 at;
            int times;
        };
        const Step script[] = {{1, {700.0, 400.0}, 10},  {0, {-40.0, 10.0}, 30},
                               {1, {1100.0, 600.0}, 11}, {0, {35.0, -20.0}, 30},
                               {-1, {960.0, 540.0}, 21}, {0, {25.0, 15.0}, 20}};
        int frame = 0;
        for (const Step& step : script) {
            for (int i = 0; i < step.times; ++i, ++frame) {
                if (step.wheel != 0) {
                    transform.ZoomAbout(step.at, std::pow(1.25, step.wheel));
                } else {
                    transform.PanByPixels(step.at);
                }
                GuardedImage guarded(kScreenWidth, kScreenHeight);
                QPainter qp(&guarded.Image());
                painter.Paint(qp, guarded.Image().size(), *document, transform, GridOverlay(),
                              index);
                qp.end();
                QVERIFY2(guarded.Touched() == 0, qPrintable(QStringLiteral("frame %1").arg(frame)));
            }
        }
    }

    // Texts of any size and shape: squeezed to a sliver, stretched, turned, a thousandfold taller
    // than the view. Each is painted (glyphs or outlines) and nothing crashes.
    void TextOfAnySizeIsPainted_data() {
        QTest::addColumn<double>("height");  // drawing units
        QTest::addColumn<double>("fit");     // fitWidth in text heights; 0 none
        QTest::addColumn<double>("angle");   // degrees
        QTest::addColumn<double>("zoom");    // pixels per unit
        // As a sky-factor table's figures at the fifth wheel step: 677 pixels tall, 1.5 wide.
        QTest::newRow("squeezed, 677 px tall") << 400.0 << 0.0075 << 90.0 << 1.6937669376693765;
        QTest::newRow("squeezed, 5000 px tall") << 400.0 << 0.001 << 0.0 << 12.5;
        QTest::newRow("stretched, 3 px tall") << 2.0 << 400.0 << 0.0 << 1.5;
        QTest::newRow("stretched and turned") << 2.0 << 300.0 << 33.0 << 3.0;
        QTest::newRow("plain, 2000 px tall") << 100.0 << 0.0 << 0.0 << 20.0;
        QTest::newRow("plain, 10^6 px tall") << 1000.0 << 0.0 << 0.0 << 1000.0;
        QTest::newRow("turned, 10^5 px tall") << 1000.0 << 0.0 << 17.0 << 100.0;
        QTest::newRow("ordinary") << 10.0 << 0.0 << 0.0 << 2.0;
    }
    void TextOfAnySizeIsPainted() {
        QFETCH(double, height);
        QFETCH(double, fit);
        QFETCH(double, angle);
        QFETCH(double, zoom);
        const double radians = angle * M_PI / 180.0;
        const Vec2 x{std::cos(radians), std::sin(radians)};
        const Vec2 y{-x.y, x.x};
        const UnderlayText text{"■9.5", {0.0, 0.0}, height * x, height * y, 0, 0, fit};
        const auto app = BoardApplication::Create();
        const auto document = TextDrawing(*app, text);
        // The view centred on a point inside the first character, a full square.
        const Vec2 inside = (fit > 0.0 ? 0.1 * fit : 0.6) * text.xAxis + 0.4 * text.yAxis;
        ViewTransform transform{zoom, {0.0, 0.0}};
        transform.Fit(Box{inside, inside}, kWidth, kHeight, 0.0);
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        ScenePainter painter;
        EntityIndex index;
        QPainter qp(&image);
        SceneOverlay overlay;
        overlay.gridVisible = false;
        painter.Paint(qp, image.size(), *document, transform, overlay, index);
        qp.end();
        const UnderlayStats& stats = painter.UnderlayStatsOfLastPaint();
        QCOMPARE(stats.texts + stats.boxes, std::size_t{1});
        QVERIFY2(InkedPixels(image) > 0, "the text's ink is on the screen");
    }
};

QTEST_MAIN(PaintSafetyTest)
#include "paint_safety_test.moc"
