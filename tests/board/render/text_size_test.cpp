// A DXF text and the Jw_cad text it converts to are drawn alike at every zoom: glyphs, their
// band, a pixel or nothing, by the size of their glyphs on screen.
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "board/convert/jww_text_run.h"
#include "board/model/application.h"
#include "board/model/underlay.h"
#include "board/render/text_drawing.h"
#include "board/render/underlay_painter.h"

using namespace pelimator::board;

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 100;

enum class Drawn { Nothing, Pixel, Band, Glyphs };

const char* NameOf(Drawn drawn) {
    switch (drawn) {
        case Drawn::Nothing:
            return "nothing";
        case Drawn::Pixel:
            return "a pixel";
        case Drawn::Band:
            return "a band";
        case Drawn::Glyphs:
            return "glyphs";
    }
    return "?";
}

// What the painter makes of the drawing at pixelsPerUnit, its point at well inside the picture.
Drawn Paint(const BoardDocument& document, Vec2 at, double pixelsPerUnit) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const ViewTransform transform{pixelsPerUnit,
                                  {at.x - 20.0 / pixelsPerUnit, at.y + 60.0 / pixelsPerUnit}};
    UnderlayPainter painter;
    QPainter qp(&image);
    painter.Paint(qp, image.size(), document, transform, Qt::white);
    qp.end();
    const UnderlayStats& stats = painter.Stats();
    if (stats.texts > 0) return Drawn::Glyphs;
    if (stats.boxes > 0) return Drawn::Band;
    return stats.pixels > 0 ? Drawn::Pixel : Drawn::Nothing;
}

// The Jw_cad text a DXF text becomes at paper size 1:1, as the Jw_cad reader shows it: its cells
// from the run's start, as wide and high as the run's.
UnderlayText JwwTextOf(const UnderlayText& dxf) {
    const std::optional<JwwTextRun> run = JwwRunOf(dxf, {0.0, 0.0}, 1.0);
    if (!run) return {};
    const double radians = run->degrees * std::numbers::pi / 180.0;
    const Vec2 along{std::cos(radians), std::sin(radians)};
    const Vec2 up{-along.y, along.x};
    UnderlayText jww;
    jww.utf8 = dxf.utf8;
    jww.origin = run->start;
    jww.xAxis = run->width * along;
    jww.yAxis = run->height * up;
    jww.vAlign = 1;
    jww.cells = true;
    jww.face = run->italic ? kFaceItalic : 0;
    return jww;
}

}  // namespace

class TextSizeTest : public QObject {
    Q_OBJECT

private slots:
    void TextAndItsConversionDrawnAlike_data() {
        QTest::addColumn<double>("height");          // cap height, drawing units
        QTest::addColumn<double>("widthFactor");     // DXF group 41
        QTest::addColumn<double>("degrees");         // rotation
        QTest::addColumn<double>("obliqueDegrees");  // DXF group 51
        QTest::newRow("upright") << 2.5 << 1.0 << 0.0 << 0.0;
        QTest::newRow("narrow, turned") << 350.0 << 0.7 << 30.0 << 0.0;
        QTest::newRow("wide, upside down") << 0.18 << 1.6 << 180.0 << 0.0;
        QTest::newRow("oblique as Jw_cad's italic") << 3.0 << 1.0 << 0.0 << 11.309932474020215;
        QTest::newRow("steeply oblique, turned") << 5.0 << 0.9 << -75.0 << 40.0;
    }
    // The DXF text's cap height swept across a few pixels on screen, in steps of 1/40 pixel:
    // both it and its conversion are drawn the same way at every step, and the sweep passes
    // through every way.
    void TextAndItsConversionDrawnAlike() {
        QFETCH(double, height);
        QFETCH(double, widthFactor);
        QFETCH(double, degrees);
        QFETCH(double, obliqueDegrees);
        const double radians = degrees * std::numbers::pi / 180.0;
        const Vec2 along{std::cos(radians), std::sin(radians)};
        const Vec2 up{-along.y, along.x};
        const double slant = std::tan(obliqueDegrees * std::numbers::pi / 180.0);
        UnderlayText dxf;
        dxf.utf8 = "部屋 A-12";
        dxf.origin = {1000.0, -40.0};
        dxf.xAxis = (height * widthFactor) * along;
        dxf.yAxis = height * (up + slant * along);
        const UnderlayText jww = JwwTextOf(dxf);
        QVERIFY(jww.cells);
        const auto app = BoardApplication::Create();
        const auto dxfDrawing = TextDrawing(*app, dxf);
        const auto jwwDrawing = TextDrawing(*app, jww);
        bool seen[4] = {};
        for (int step = 0; step <= 320; ++step) {
            const double capPixels = 0.5 + step / 40.0;
            const double zoom = capPixels / height;
            const Drawn asDxf = Paint(*dxfDrawing, dxf.origin, zoom);
            const Drawn asJww = Paint(*jwwDrawing, dxf.origin, zoom);
            seen[static_cast<int>(asDxf)] = true;
            QVERIFY2(asDxf == asJww,
                     qPrintable(QStringLiteral("cap %1 px: the DXF text as %2, the JWW one as %3")
                                    .arg(capPixels)
                                    .arg(QString::fromLatin1(NameOf(asDxf)),
                                         QString::fromLatin1(NameOf(asJww)))));
        }
        QVERIFY2(seen[static_cast<int>(Drawn::Nothing)] && seen[static_cast<int>(Drawn::Band)] &&
                     seen[static_cast<int>(Drawn::Glyphs)],
                 "the sweep crosses both thresholds");
    }
};

QTEST_MAIN(TextSizeTest)
#include "text_size_test.moc"
