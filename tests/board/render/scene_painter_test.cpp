// Painting checked on pixels (layers, colours, arcs, tiny entities, overlays) and the culling
// index checked against a plain search.
#include "board/render/scene_painter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "board/model/application.h"
#include "board/model/entity.h"
#include "board/model/underlay.h"
#include "board/render/entity_index.h"

using namespace pelimator::board;

Q_DECLARE_METATYPE(pelimator::board::Rgb)

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 100;

SceneOverlay NoGrid() {
    SceneOverlay overlay;
    overlay.gridVisible = false;
    return overlay;
}

// Renders document at one pixel per unit with drawing (0, 0) at pixel (0, kHeight / 2) and no
// grid, unless overlay says otherwise.
QImage Render(const BoardDocument& document, ScenePainter& painter, EntityIndex& index,
              const ViewTransform& transform = {1.0, {0.0, kHeight / 2.0}},
              SceneOverlay overlay = NoGrid(), QImage::Format format = QImage::Format_RGB32) {
    // RGB32 is written pixel by pixel where that is faster; RGB888 makes the painter do it all.
    QImage image(kWidth, kHeight, format);
    QPainter qp(&image);
    painter.Paint(qp, image.size(), document, transform, overlay, index);
    return image;
}

bool IsBackground(QRgb pixel) { return pixel == qRgb(255, 255, 255); }

int CountPixels(const QImage& image, const std::function<bool(QColor)>& wanted) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) n += wanted(image.pixelColor(x, y)) ? 1 : 0;
    }
    return n;
}

// Every layer drawn in one dash pattern, as a file's linetype would give it.
class DashedLayers final : public DocumentSource {
public:
    explicit DashedLayers(std::vector<double> pattern) : m_patterns{std::move(pattern)} {}
    [[nodiscard]] std::uint32_t LayerDash(std::int32_t /*layer*/) const override { return 0; }
    [[nodiscard]] std::span<const std::vector<double>> DashPatterns() const override {
        return m_patterns;
    }

private:
    std::vector<std::vector<double>> m_patterns;
};

bool Reddish(QColor c) { return c.red() - c.green() > 60 && c.red() - c.blue() > 60; }

}  // namespace

class ScenePainterTest : public QObject {
    Q_OBJECT

private slots:
    void entitiesOwnColoursOverTheLayers();
    void layerVisibilityDecidesDrawing_data();
    void layerVisibilityDecidesDrawing();
    void lightColoursStandOut_data();
    void lightColoursStandOut();
    void arcRunsCounterClockwiseWithYUp();
    void entitiesUnderAPixelStillShow();
    void manyLinesAreAllDrawn();
    void overlaysUseTheirColours();
    void farAwayCoordinatesAreClipped();
    void farDashedLinesKeepTheirCourse_data();
    void farDashedLinesKeepTheirCourse();
    void eachSnapKindHasItsOwnGlyphAndName();
    void clipSegment_data();
    void clipSegment();
    void indexFindsWhatAPlainSearchFinds();
    void indexAppendsWithoutRebuilding();
};

void ScenePainterTest::layerVisibilityDecidesDrawing_data() {
    QTest::addColumn<bool>("layerVisible");
    QTest::addColumn<bool>("entityVisible");
    QTest::addColumn<int>("entityLayer");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("shown layer") << true << true << 1 << true;
    QTest::newRow("hidden layer") << false << true << 1 << false;
    QTest::newRow("hidden entity on shown layer") << true << false << 1 << false;
    QTest::newRow("layer missing from the table draws in black") << false << true << 7 << true;
}

void ScenePainterTest::layerVisibilityDecidesDrawing() {
    QFETCH(bool, layerVisible);
    QFETCH(bool, entityVisible);
    QFETCH(int, entityLayer);
    QFETCH(bool, drawn);
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("層");
    BoardLayers& layers = *document->LayerTable();
    layers.Add(1, "赤", 0);
    layers.SetColour(1, {255, 0, 0});
    layers.SetVisible(1, layerVisible);
    EntityData line = MakeLine({10.0, 0.0}, {190.0, 0.0}, entityLayer);
    line.visible = entityVisible;
    document->DrawingModel()->AddEntity(line);
    EntityData arc = MakeArc({100.0, 0.0}, {130.0, 0.0}, {70.0, 0.0}, entityLayer);
    arc.visible = entityVisible;
    document->DrawingModel()->AddEntity(arc);

    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
        ScenePainter painter;
        EntityIndex index;
        const QImage image =
            Render(*document, painter, index, {1.0, {0.0, kHeight / 2.0}}, NoGrid(), format);
        const int inked = CountPixels(image, [](QColor c) { return c != QColor(Qt::white); });
        if (drawn) {
            QVERIFY2(inked > 180, qPrintable(QString::number(inked)));
            const bool red = entityLayer == 1;
            QCOMPARE(CountPixels(image, Reddish) > 100, red);
        } else {
            QCOMPARE(inked, 0);
        }
    }
}

void ScenePainterTest::entitiesOwnColoursOverTheLayers() {
    // Two lines on a black layer: the first red of its own (as a file gave it), the second by
    // layer; a third, added in the board, past the file's colours.
    struct FileColours final : DocumentSource {
        std::vector<std::uint32_t> colours{kOwnColour | 0xFF0000U, 0};
        [[nodiscard]] std::span<const std::uint32_t> OwnColours() const override { return colours; }
    };
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("色");
    document->DrawingModel()->AddEntity(MakeLine({10.0, 20.0}, {190.0, 20.0}));
    document->DrawingModel()->AddEntity(MakeLine({10.0, 0.0}, {190.0, 0.0}));
    document->DrawingModel()->AddEntity(MakeLine({10.0, -20.0}, {190.0, -20.0}));
    document->SetSource(std::make_shared<FileColours>());
    ScenePainter painter;
    EntityIndex index;
    const QImage image = Render(*document, painter, index);
    const auto redOnRow = [&](int y) {
        int n = 0;
        for (int x = 0; x < kWidth; ++x) n += Reddish(image.pixelColor(x, y)) ? 1 : 0;
        return n;
    };
    QVERIFY(redOnRow(kHeight / 2 - 20) > 150);
    QCOMPARE(redOnRow(kHeight / 2), 0);
    QCOMPARE(redOnRow(kHeight / 2 + 20), 0);
}

void ScenePainterTest::lightColoursStandOut_data() {
    QTest::addColumn<Rgb>("colour");
    QTest::newRow("white") << Rgb{255, 255, 255};
    QTest::newRow("yellow") << Rgb{255, 255, 0};
    QTest::newRow("pale grey") << Rgb{235, 235, 235};
    QTest::newRow("light cyan") << Rgb{160, 255, 255};
    QTest::newRow("black stays black") << Rgb{0, 0, 0};
    QTest::newRow("dark blue stays") << Rgb{0, 0, 160};
}

void ScenePainterTest::lightColoursStandOut() {
    QFETCH(Rgb, colour);
    const QColor original(colour.r, colour.g, colour.b);
    const QColor shown = ColourOnBackground(colour, Qt::white);
    QVERIFY2(PerceivedLightness(shown) <= 0.61, qPrintable(shown.name()));
    if (PerceivedLightness(original) <= 0.6) {
        QCOMPARE(shown, original);  // dark enough already: untouched
    } else if (original.hsvSaturationF() > 0.1) {
        QVERIFY(std::abs(shown.hsvHueF() - original.hsvHueF()) < 0.02);  // same hue, darker
    }
    // On a dark background the colour is lifted instead.
    QVERIFY(PerceivedLightness(ColourOnBackground(colour, Qt::black)) >= 0.39);
}

void ScenePainterTest::arcRunsCounterClockwiseWithYUp() {
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("円弧");
    // A quarter from (140, 0) to (100, 40) about (100, 0): the upper right quarter.
    document->DrawingModel()->AddEntity(MakeArc({100.0, 0.0}, {140.0, 0.0}, {100.0, 40.0}));
    ScenePainter painter;
    EntityIndex index;
    const ViewTransform transform{1.0, {0.0, 50.0}};
    const QImage image = Render(*document, painter, index, transform);
    const auto inkNear = [&](double angle) {
        const Vec2 s = transform.ToScreen({100.0 + 40.0 * std::cos(angle), 40.0 * std::sin(angle)});
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (!IsBackground(image.pixel(int(s.x) + dx, int(s.y) + dy))) return true;
            }
        }
        return false;
    };
    QVERIFY(inkNear(M_PI / 4));  // on the arc
    QVERIFY(inkNear(M_PI / 8));
    QVERIFY(!inkNear(-M_PI / 4));     // the lower right quarter is not part of it
    QVERIFY(!inkNear(3 * M_PI / 4));  // nor the upper left
}

void ScenePainterTest::entitiesUnderAPixelStillShow() {
    const unsigned seed = 4242;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(0.5, kWidth - 1.5);
    std::uniform_real_distribution<double> y(-kHeight / 2.0 + 1.5, kHeight / 2.0 - 1.5);
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("点");
    std::vector<Vec2> spots;
    for (int i = 0; i < 400; ++i) {
        const Vec2 p{x(random), y(random)};
        spots.push_back(p);
        if (i % 2 == 0) {
            document->DrawingModel()->AddEntity(MakeLine(p, p + Vec2{0.01, 0.02}));
        } else {
            document->DrawingModel()->AddEntity(
                MakeArc(p, p + Vec2{0.05, 0.0}, p + Vec2{0.0, 0.05}));
        }
    }
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
        ScenePainter painter;
        EntityIndex index;
        const ViewTransform transform{1.0, {0.0, kHeight / 2.0}};
        const QImage image = Render(*document, painter, index, transform, NoGrid(), format);
        QVERIFY(painter.Stats().points > 0);
        for (std::size_t i = 0; i < spots.size(); ++i) {
            const Vec2 s = transform.ToScreen(spots[i]);
            bool inked = false;
            for (int dy = -1; dy <= 1 && !inked; ++dy) {
                for (int dx = -1; dx <= 1 && !inked; ++dx) {
                    inked = !IsBackground(image.pixel(int(s.x) + dx, int(s.y) + dy));
                }
            }
            QVERIFY2(inked, qPrintable(QStringLiteral("seed %1: entity %2 at %3,%4 not drawn")
                                           .arg(seed)
                                           .arg(i)
                                           .arg(spots[i].x)
                                           .arg(spots[i].y)));
        }
    }
}

void ScenePainterTest::manyLinesAreAllDrawn() {
    // More segments than are smoothed: drawn plainly, straight into the image where it can be.
    const unsigned seed = 9157;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(0.0, kWidth);
    std::uniform_real_distribution<double> y(-kHeight / 2.0, kHeight / 2.0);
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("多数");
    std::vector<std::pair<Vec2, Vec2>> lines;
    for (int i = 0; i < 6000; ++i) {
        const Vec2 a{x(random), y(random)};
        const Vec2 b{x(random), y(random)};
        if (Distance(a, b) < 5.0) continue;
        lines.emplace_back(a, b);
        document->DrawingModel()->AddEntity(MakeLine(a, b));
    }
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
        ScenePainter painter;
        EntityIndex index;
        const ViewTransform transform{1.0, {0.0, kHeight / 2.0}};
        const QImage image = Render(*document, painter, index, transform, NoGrid(), format);
        for (std::size_t i = 0; i < lines.size(); i += 37) {
            for (const double t : {0.0, 0.5, 1.0}) {
                const Vec2 p =
                    transform.ToScreen(lines[i].first + t * (lines[i].second - lines[i].first));
                bool inked = false;
                for (int dy = -1; dy <= 1 && !inked; ++dy) {
                    for (int dx = -1; dx <= 1 && !inked; ++dx) {
                        const int px = std::clamp(int(p.x) + dx, 0, kWidth - 1);
                        const int py = std::clamp(int(p.y) + dy, 0, kHeight - 1);
                        inked = image.pixelColor(px, py) != QColor(Qt::white);
                    }
                }
                QVERIFY2(inked, qPrintable(QStringLiteral("seed %1 format %2: line %3 at t=%4")
                                               .arg(seed)
                                               .arg(int(format))
                                               .arg(i)
                                               .arg(t)));
            }
        }
    }
}

void ScenePainterTest::overlaysUseTheirColours() {
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("重ね");
    ScenePainter painter;
    EntityIndex index;
    SceneOverlay overlay = NoGrid();
    overlay.marks = {{50.0, 0.0}};
    overlay.rubber = {{10.0, 30.0}, {190.0, 30.0}};
    overlay.snap = SnapTarget{{150.0, -20.0}, SnapKind::EndPoint, 0};
    const ViewTransform transform{1.0, {0.0, 50.0}};
    const QImage image = Render(*document, painter, index, transform, overlay);
    const BoardPalette& palette = painter.Palette();
    const auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
               std::abs(a.blue() - b.blue()) < 40;
    };
    // The mark is a cross: its middle pixel.
    QVERIFY(near(image.pixelColor(50, 50), palette.mark));
    // The band is dashed: along its row some pixels are the band's colour and some are not.
    int band = 0;
    const auto pink = [](QColor c) {
        return c.red() - c.green() > 60 && c.blue() - c.green() > 40;
    };
    for (int x = 10; x < 190; ++x) band += pink(image.pixelColor(x, 20)) ? 1 : 0;
    QVERIFY2(band > 40 && band < 170, qPrintable(QString::number(band)));
    // The snap square's edge 6 pixels left of its middle.
    QVERIFY(near(image.pixelColor(144, 70), palette.snap));
}

// The glyph area (the 13 x 13 pixels about the point) as a pattern of snap-coloured pixels: each
// kind must leave a pattern of its own, and its name beside it.
void ScenePainterTest::eachSnapKindHasItsOwnGlyphAndName() {
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("スナップ");
    const ViewTransform transform{1.0, {0.0, 50.0}};
    QList<QByteArray> patterns;
    QStringList names;
    for (const SnapKind kind : kAllSnapKinds) {
        ScenePainter painter;
        EntityIndex index;
        SceneOverlay overlay = NoGrid();
        overlay.snap = SnapTarget{{100.0, 0.0}, kind, 0};
        const QImage image = Render(*document, painter, index, transform, overlay);
        QByteArray pattern;
        int inked = 0;
        for (int y = 50 - 6; y <= 50 + 6; ++y) {
            for (int x = 100 - 6; x <= 100 + 6; ++x) {
                const QColor c = image.pixelColor(x, y);
                const bool orange =
                    c.red() > 180 && c.green() > 60 && c.green() < 200 && c.blue() < 120;
                pattern.append(orange ? '#' : '.');
                inked += orange ? 1 : 0;
            }
        }
        QVERIFY2(inked >= 8, qPrintable(SnapKindLabel(kind)));
        QVERIFY2(!patterns.contains(pattern), qPrintable(SnapKindLabel(kind)));
        patterns.append(pattern);
        // The name is drawn below right of the glyph: dark pixels on the pale plate there.
        int text = 0;
        for (int y = 58; y < 75; ++y) {
            for (int x = 110; x < 150; ++x)
                text += image.pixelColor(x, y).lightness() < 160 ? 1 : 0;
        }
        QVERIFY2(text > 5, qPrintable(SnapKindLabel(kind)));
        names.append(SnapKindLabel(kind));
    }
    QCOMPARE(names, (QStringList{"端点", "中点", "中心", "交点", "近接点", "グリッド", "挿入点"}));
}

void ScenePainterTest::farAwayCoordinatesAreClipped() {
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("遠方");
    // A line from far left to far right through the middle row, at a huge zoom.
    document->DrawingModel()->AddEntity(MakeLine({-1e6, 0.0}, {1e6, 0.0}));
    ScenePainter painter;
    EntityIndex index;
    const ViewTransform transform{1e4, {-0.01, 0.005}};
    const QImage image = Render(*document, painter, index, transform);
    int row = 0;
    for (int x = 0; x < kWidth; ++x) row += IsBackground(image.pixel(x, 50)) ? 0 : 1;
    QVERIFY2(row > kWidth - 4, qPrintable(QString::number(row)));
}

void ScenePainterTest::farDashedLinesKeepTheirCourse_data() {
    QTest::addColumn<double>("reach");  // how far the ends lie off the view, in pixels
    QTest::addColumn<double>("slope");  // of the line in drawing units (Y up)
    QTest::addColumn<bool>("beneath");  // a line the file draws beneath, not the board's own
    QTest::newRow("just outside") << 300.0 << 0.3 << false;
    QTest::newRow("a site plan zoomed in") << 1e7 << 0.3 << false;
    QTest::newRow("steep, far") << 1e9 << -2.0 << false;
    QTest::newRow("level, far") << 1e8 << 0.0 << false;
    QTest::newRow("beneath, just outside") << 300.0 << 0.3 << true;
    QTest::newRow("beneath, far") << 1e9 << 0.3 << true;
}

// A dashed line running far past the view is drawn where it lies, dashed along all of the view:
// its dashes once were cut at a fixed distance, which bent the line or moved it off its course.
void ScenePainterTest::farDashedLinesKeepTheirCourse() {
    QFETCH(double, reach);
    QFETCH(double, slope);
    QFETCH(bool, beneath);
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("破線");
    // Through drawing (100, 0), the middle of the view (Render puts drawing y 0 on row 50).
    const double run = reach / std::sqrt(1.0 + slope * slope);
    const Vec2 from{100.0 - run, -slope * run};
    const Vec2 to{100.0 + run, slope * run};
    if (beneath) {
        auto underlay = std::make_shared<Underlay>();
        underlay->dashes.push_back({10.0, -5.0});
        UnderlayItem line;
        line.kind = UnderlayKind::Polyline;
        line.colour = {200, 0, 0};
        line.count = 2;
        line.dash = 0;
        underlay->points = {from, to};
        underlay->items.push_back(line);
        underlay->Finish();
        document->SetUnderlay(std::move(underlay));
    } else {
        document->SetSource(std::make_shared<DashedLayers>(std::vector<double>{10.0, -5.0}));
        document->DrawingModel()->AddEntity(MakeLine(from, to));
    }
    ScenePainter painter;
    EntityIndex index;
    // Dash by dash, a line a billion pixels long took minutes; clipped, it takes a moment.
    QElapsedTimer timer;
    timer.start();
    const QImage image = Render(*document, painter, index);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    // Every inked pixel lies on the line (within 2 pixels); along the view's width (or height,
    // for a steep line) the dashes ink about two thirds of it (10 on, 5 off), not none, not all.
    const auto along = std::abs(slope) <= 1.0 ? kWidth : kHeight;
    std::set<int> inkedSteps;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (IsBackground(image.pixel(x, y))) continue;
            // Screen y is down: the line is row 50 - slope * (x + 0.5 - 100).
            const double cx = x + 0.5 - 100.0;
            const double cy = 50.0 - (y + 0.5);
            const double off = std::abs(cy - slope * cx) / std::sqrt(1.0 + slope * slope);
            QVERIFY2(off < 2.0, qPrintable(QStringLiteral("ink at (%1, %2) is %3 px off the line")
                                               .arg(x)
                                               .arg(y)
                                               .arg(off)));
            inkedSteps.insert(std::abs(slope) <= 1.0 ? x : y);
        }
    }
    const double share = static_cast<double>(inkedSteps.size()) / along;
    QVERIFY2(share > 0.5 && share < 0.85, qPrintable(QString::number(share)));
}

void ScenePainterTest::clipSegment_data() {
    QTest::addColumn<double>("ax");
    QTest::addColumn<double>("ay");
    QTest::addColumn<double>("bx");
    QTest::addColumn<double>("by");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<double>("cax");
    QTest::addColumn<double>("cay");
    QTest::addColumn<double>("cbx");
    QTest::addColumn<double>("cby");
    // Box is [0, 10] x [0, 10].
    QTest::newRow("inside") << 1.0 << 1.0 << 9.0 << 5.0 << true << 1.0 << 1.0 << 9.0 << 5.0;
    QTest::newRow("crossing left to right")
        << -10.0 << 5.0 << 20.0 << 5.0 << true << 0.0 << 5.0 << 10.0 << 5.0;
    QTest::newRow("diagonal through corners")
        << -5.0 << -5.0 << 15.0 << 15.0 << true << 0.0 << 0.0 << 10.0 << 10.0;
    QTest::newRow("vertical, leaving the top")
        << 3.0 << 5.0 << 3.0 << 50.0 << true << 3.0 << 5.0 << 3.0 << 10.0;
    QTest::newRow("wholly left") << -5.0 << 0.0 << -1.0 << 10.0 << false << 0.0 << 0.0 << 0.0
                                 << 0.0;
    QTest::newRow("passing the corner outside")
        << -3.0 << 8.0 << 1.0 << 12.0 << false << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("point inside") << 4.0 << 4.0 << 4.0 << 4.0 << true << 4.0 << 4.0 << 4.0 << 4.0;
    QTest::newRow("point outside")
        << 11.0 << 4.0 << 11.0 << 4.0 << false << 0.0 << 0.0 << 0.0 << 0.0;
}

void ScenePainterTest::clipSegment() {
    QFETCH(double, ax);
    QFETCH(double, ay);
    QFETCH(double, bx);
    QFETCH(double, by);
    QFETCH(bool, kept);
    Vec2 a{ax, ay};
    Vec2 b{bx, by};
    QCOMPARE(ClipSegment(a, b, Box{{0.0, 0.0}, {10.0, 10.0}}), kept);
    if (!kept) return;
    QFETCH(double, cax);
    QFETCH(double, cay);
    QFETCH(double, cbx);
    QFETCH(double, cby);
    QVERIFY(std::abs(a.x - cax) < 1e-12 && std::abs(a.y - cay) < 1e-12);
    QVERIFY(std::abs(b.x - cbx) < 1e-12 && std::abs(b.y - cby) < 1e-12);
}

void ScenePainterTest::indexFindsWhatAPlainSearchFinds() {
    const unsigned seed = 77031;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> position(-1000.0, 1000.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("索引");
    BoardDrawing& drawing = *document->DrawingModel();
    EntityIndex index;
    const auto randomEntity = [&] {
        const Vec2 p{position(random), position(random)};
        // Mostly small, some spanning much of the drawing.
        const double size = unit(random) < 0.9 ? 5.0 * unit(random) : 800.0 * unit(random);
        const Vec2 q = p + Vec2{size * (unit(random) - 0.5), size * (unit(random) - 0.5)};
        return unit(random) < 0.5 ? MakeLine(p, q) : MakeArc(p, q, p + Vec2{0.0, Distance(p, q)});
    };
    for (int step = 0; step < 150; ++step) {
        const double action = unit(random);
        if (action < 0.5) {
            drawing.BeginEdit("追加");
            const int n = 1 + static_cast<int>(unit(random) * 60);
            for (int i = 0; i < n; ++i) drawing.AddEntity(randomEntity());
            drawing.EndEdit(true);
        } else if (action < 0.65 && drawing.CanUndo()) {
            drawing.Undo();
        } else if (action < 0.8 && drawing.CanRedo()) {
            drawing.Redo();
        } else if (drawing.Count() > 0) {
            // A live edit moves an entity somewhere else.
            const auto which = static_cast<std::size_t>(unit(random) * drawing.Count());
            drawing.SetEntity(which, randomEntity());
        }
        index.Update(drawing);
        for (int query = 0; query < 5; ++query) {
            const Vec2 corner{position(random), position(random)};
            const double w = 300.0 * unit(random);
            const double h = 300.0 * unit(random);
            const Box area{corner, corner + Vec2{w, h}};
            std::multiset<std::size_t> found;
            index.Query(area, [&](std::size_t i) { found.insert(i); });
            const auto entities = drawing.Entities();
            for (std::size_t i = 0; i < entities.size(); ++i) {
                const Box box = ConservativeBox(entities[i]);
                const bool overlaps = box.min.x <= area.max.x && area.min.x <= box.max.x &&
                                      box.min.y <= area.max.y && area.min.y <= box.max.y;
                QVERIFY2(found.count(i) == (overlaps ? 1U : 0U),
                         qPrintable(QStringLiteral("seed %1 step %2: entity %3 found %4 times")
                                        .arg(seed)
                                        .arg(step)
                                        .arg(i)
                                        .arg(found.count(i))));
            }
            for (const std::size_t i : found) QVERIFY(i < entities.size());
        }
    }
}

void ScenePainterTest::indexAppendsWithoutRebuilding() {
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("追記");
    BoardDrawing& drawing = *document->DrawingModel();
    EntityIndex index;
    for (int i = 0; i < 5000; ++i) drawing.AddEntity(MakeLine({i * 1.0, 0.0}, {i + 0.5, 1.0}));
    index.Update(drawing);
    const std::size_t rebuilds = index.RebuildCount();
    // A small step and its undo and redo are absorbed without a rebuild.
    drawing.BeginEdit("波線追加");
    for (int i = 0; i < 100; ++i) drawing.AddEntity(MakeLine({i * 1.0, 5.0}, {i + 0.5, 6.0}));
    drawing.EndEdit(true);
    index.Update(drawing);
    drawing.Undo();
    index.Update(drawing);
    drawing.Redo();
    index.Update(drawing);
    QCOMPARE(index.RebuildCount(), rebuilds);
    // A live edit that moves an entity needs one.
    drawing.SetEntity(10, MakeLine({-50.0, -50.0}, {-49.0, -49.0}));
    index.Update(drawing);
    QCOMPARE(index.RebuildCount(), rebuilds + 1);
    std::size_t hits = 0;
    index.Query(Box{{-51.0, -51.0}, {-48.0, -48.0}}, [&](std::size_t i) {
        QCOMPARE(i, std::size_t{10});
        ++hits;
    });
    QCOMPARE(hits, std::size_t{1});
}

QTEST_MAIN(ScenePainterTest)
#include "scene_painter_test.moc"
