// The kept picture against a direct paint of the same view, pixel for pixel: moved by whole
// pixels while panning, scaled while zooming, and exact again once refined.
#include "board/ui/raster_cache.h"

#include <QPainter>
#include <QTest>
#include <cmath>
#include <cstdint>
#include <vector>

#include "board/model/types.h"

using namespace pelimator::board;

Q_DECLARE_METATYPE(std::vector<QPoint>)

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr double kCell = 7.0;  // drawing units per chequer cell

// A picture whose every pixel tells where in the drawing it is: cells of kCell units, each of
// its own colour, sampled at the pixel's centre, no smoothing. Any picture moved the wrong way
// or by the wrong amount differs from it in most pixels.
void PaintChequer(QPainter& painter, QSize size, const ViewTransform& view) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const Vec2 at = view.ToDrawing({x + 0.5, y + 0.5});
            const auto cx = static_cast<std::int64_t>(std::floor(at.x / kCell));
            const auto cy = static_cast<std::int64_t>(std::floor(at.y / kCell));
            const auto hash = static_cast<std::uint32_t>(cx * 73856093 ^ cy * 19349663);
            row[x] = qRgb(static_cast<int>(hash & 0xFFU), static_cast<int>((hash >> 8U) & 0xFFU),
                          static_cast<int>((hash >> 16U) & 0xFFU));
        }
    }
    painter.drawImage(0, 0, image);
}

QImage Direct(const ViewTransform& view) {
    QImage image(QSize(kWidth, kHeight), QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    QPainter painter(&image);
    PaintChequer(painter, image.size(), view);
    return image;
}

// The share of pixels in rect (the whole picture by default) two pictures agree on.
double SameShare(const QImage& a, const QImage& b, QRect rect = {}) {
    if (a.size() != b.size()) return 0.0;
    rect = rect.isNull() ? a.rect() : rect.intersected(a.rect());
    std::int64_t same = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            same += a.pixel(x, y) == b.pixel(x, y) ? 1 : 0;
        }
    }
    return static_cast<double>(same) / (static_cast<double>(rect.width()) * rect.height());
}

// Where the picture of one view lands in another.
QRect Landing(const ViewTransform& from, const ViewTransform& to) {
    const Vec2 a = to.ToScreen(from.ToDrawing({0.0, 0.0}));
    const Vec2 b = to.ToScreen(from.ToDrawing({kWidth, kHeight}));
    return QRect(
        QPoint(static_cast<int>(std::ceil(a.x)), static_cast<int>(std::ceil(a.y))),
        QPoint(static_cast<int>(std::floor(b.x)) - 1, static_cast<int>(std::floor(b.y)) - 1));
}

const ContentKey kKey{nullptr, 1, nullptr, false, 0.0, 0xFF000000U, 0xFF000000U};
const QSize kSize(kWidth, kHeight);

ViewTransform Start() {
    ViewTransform view;
    view.pixelsPerUnit = 1.0;
    view.origin = {-40.0, 50.0};
    return view;
}

}  // namespace

class RasterCacheTest : public QObject {
    Q_OBJECT

private slots:
    // A pan moves the kept picture and paints what it uncovers: equal to a direct paint at every
    // step, without painting the whole view again.
    void pansEqualADirectPaint_data() {
        QTest::addColumn<std::vector<QPoint>>("steps");
        QTest::newRow("right") << std::vector<QPoint>{{5, 0}, {13, 0}, {1, 0}};
        QTest::newRow("left") << std::vector<QPoint>{{-5, 0}, {-30, 0}};
        QTest::newRow("down") << std::vector<QPoint>{{0, 9}, {0, 1}};
        QTest::newRow("up") << std::vector<QPoint>{{0, -9}, {0, -40}};
        QTest::newRow("diagonal both ways")
            << std::vector<QPoint>{{7, -3}, {-11, 4}, {3, 3}, {-2, -17}};
        QTest::newRow("back and forth") << std::vector<QPoint>{{20, 10}, {-20, -10}, {20, 10}};
        QTest::newRow("nearly a whole view") << std::vector<QPoint>{{kWidth - 1, kHeight - 1}};
    }
    void pansEqualADirectPaint() {
        QFETCH(std::vector<QPoint>, steps);
        RasterCache cache;
        ViewTransform view = Start();
        cache.Picture(kSize, view, kKey, std::nullopt, PaintChequer);
        int step = 0;
        for (const QPoint& delta : steps) {
            view.PanByPixels({static_cast<double>(delta.x()), static_cast<double>(delta.y())});
            const QImage& shown = cache.Picture(kSize, view, kKey, std::nullopt, PaintChequer);
            QCOMPARE(cache.Made().full, std::size_t{1});
            const double same = SameShare(shown, Direct(view));
            if (same != 1.0) {
                QFAIL(qPrintable(QStringLiteral("step %1: %2 % of the pixels as painted")
                                     .arg(step)
                                     .arg(same * 100.0, 0, 'f', 2)));
            }
            ++step;
        }
        QCOMPARE(cache.Made().shifted, steps.size());
        cache.Refine(PaintChequer);
        QVERIFY(cache.Exact());
        QCOMPARE(
            SameShare(cache.Picture(kSize, view, kKey, std::nullopt, PaintChequer), Direct(view)),
            1.0);
    }

    // A zoom scales the sharp picture about the anchor: close to the direct paint of the new
    // view (nearest pixel), marked inexact, and the direct paint itself once refined.
    void zoomsScaleAboutTheAnchorThenRefine_data() {
        QTest::addColumn<double>("factor");
        QTest::addColumn<QPoint>("anchor");
        QTest::newRow("in twice about the middle") << 2.0 << QPoint(kWidth / 2, kHeight / 2);
        QTest::newRow("in about a corner") << 1.5 << QPoint(10, 100);
        QTest::newRow("out about the middle") << 0.5 << QPoint(kWidth / 2, kHeight / 2);
    }
    void zoomsScaleAboutTheAnchorThenRefine() {
        QFETCH(double, factor);
        QFETCH(QPoint, anchor);
        RasterCache cache;
        ViewTransform view = Start();
        // Zooming out shows more than the sharp picture holds: the overview fills the rest.
        const Box all{{-1000.0, -1000.0}, {1000.0, 1000.0}};
        ViewTransform wide = view;
        wide.pixelsPerUnit = 0.05;
        wide.origin = {-1600.0, 1200.0};
        cache.Picture(kSize, wide, kKey, all, PaintChequer);
        cache.Picture(kSize, view, kKey, all, PaintChequer);
        cache.Refine(PaintChequer);
        const std::size_t scaledBefore = cache.Made().scaled;
        const ViewTransform before = view;
        view.ZoomAbout({static_cast<double>(anchor.x()), static_cast<double>(anchor.y())}, factor);
        const QImage scaled = cache.Picture(kSize, view, kKey, all, PaintChequer);
        QCOMPARE(cache.Made().scaled, scaledBefore + 1);
        QVERIFY(!cache.Exact());
        // Cells of 7 units are 3.5 to 14 pixels here: nearest-pixel scaling misses only along
        // their edges; a picture scaled about the wrong point or by the wrong factor misses most.
        // (Around it, zoomed out, the coarse overview shows.)
        const double same = SameShare(scaled, Direct(view), Landing(before, view));
        QVERIFY2(same > 0.6, qPrintable(QString::number(same)));
        cache.Refine(PaintChequer);
        QVERIFY(cache.Exact());
        QCOMPARE(SameShare(cache.Picture(kSize, view, kKey, all, PaintChequer), Direct(view)), 1.0);
    }

    // Another drawing, another change count or another size: never a kept picture.
    void aChangedKeyPaintsAgain() {
        RasterCache cache;
        const ViewTransform view = Start();
        cache.Picture(kSize, view, kKey, std::nullopt, PaintChequer);
        ContentKey changed = kKey;
        changed.changeCount = 2;
        int painted = 0;
        const PaintContent count = [&painted](QPainter& painter, QSize size,
                                              const ViewTransform& at) {
            ++painted;
            PaintChequer(painter, size, at);
        };
        cache.Picture(kSize, view, changed, std::nullopt, count);
        QCOMPARE(painted, 1);
        cache.Picture(QSize(kWidth, kHeight + 1), view, changed, std::nullopt, count);
        QCOMPARE(painted, 2);
        cache.Picture(QSize(kWidth, kHeight + 1), view, changed, std::nullopt, count);
        QCOMPARE(painted, 2);
    }
};

QTEST_MAIN(RasterCacheTest)
#include "raster_cache_test.moc"
