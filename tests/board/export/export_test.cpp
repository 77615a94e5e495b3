// SVG, PNG and PDF export: sizes in millimetres at the drawing's scale, hidden layers left out.
#include "board/export/export.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "base/errors.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"

using namespace pelimator::board;

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

// A 1:50 drawing: a 250-unit line (5 mm on paper) along X on a red layer, a 100-unit line
// (2 mm) up Y, and a blue line on a hidden layer far away.
BoardDocumentPtr SampleDocument(const BoardApplicationPtr& application, std::int32_t denominator) {
    BoardDocumentPtr document = application->AddDocument("見本");
    document->ScaleModel()->SetDenominator(denominator);
    document->LayerTable()->Put({1, "赤", kRed, true});
    document->LayerTable()->Put({2, "隠し", kBlue, false});
    BoardDrawing& drawing = *document->DrawingModel();
    drawing.AddEntity(MakeLine({0, 0}, {250, 0}, 1));
    drawing.AddEntity(MakeLine({0, 0}, {0, 100}, 1));
    drawing.AddEntity(MakeLine({-5000, -5000}, {-4000, -5000}, 2));
    return document;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// Runs an independent tool to the end; empty when it ran well, else why not.
QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted()) return program + " is not installed";
    if (!process.waitForFinished(60'000) || process.exitCode() != 0) {
        return program + " failed: " + QString::fromLocal8Bit(process.readAllStandardError());
    }
    return {};
}

// A pixel with ink: some channel well below white.
bool Inked(QRgb pixel) { return std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 200; }

// The share of a's inked pixels within `radius` pixels of an inked pixel of b (1 when a has no
// ink), the pictures laid over each other from their top left corners.
double InkNear(const QImage& a, const QImage& b, int radius) {
    long inked = 0;
    long near = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (!Inked(a.pixel(x, y))) continue;
            ++inked;
            bool found = false;
            for (int dy = -radius; dy <= radius && !found; ++dy) {
                for (int dx = -radius; dx <= radius && !found; ++dx) {
                    const QPoint p(x + dx, y + dy);
                    found = dx * dx + dy * dy <= radius * radius && b.rect().contains(p) &&
                            Inked(b.pixel(p));
                }
            }
            if (found) ++near;
        }
    }
    return inked == 0 ? 1.0 : static_cast<double>(near) / static_cast<double>(inked);
}

// Where and how large the sample's two visible lines should come out: the drawing's origin at
// `originMm` from the picture's top left (Y down), `paperMmPerUnit` of paper per drawing unit.
struct SamplePlace {
    QSize pixels;
    double pxPerMm = 1;
    QPointF originMm;
    double paperMmPerUnit = 1;
    double lineMm = 0.25;
};

// The sample's visible lines painted straight from their coordinates: the picture an export
// should give.
QImage ExpectedSample(const SamplePlace& place) {
    QImage image(place.pixels, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(
        QPen(QColor(255, 0, 0), place.lineMm * place.pxPerMm, Qt::SolidLine, Qt::FlatCap));
    const auto at = [&](double x, double y) {
        return QPointF(place.originMm.x() + x * place.paperMmPerUnit,
                       place.originMm.y() - y * place.paperMmPerUnit) *
               place.pxPerMm;
    };
    painter.drawLine(at(0, 0), at(250, 0));
    painter.drawLine(at(0, 0), at(0, 100));
    return image;
}

// An exported picture judged against the expected one: 95 % of each one's ink within 2 pixels
// of the other's, and no ink of any colour but the red layer's (the hidden layer is blue).
void CompareWithExpected(const QImage& picture, const SamplePlace& place) {
    const QImage expected = ExpectedSample(place);
    const double ours = InkNear(picture, expected, 2);
    const double theirs = InkNear(expected, picture, 2);
    QVERIFY2(ours >= 0.95 && theirs >= 0.95,
             qPrintable(QStringLiteral("export's ink near the expected %1, expected's near the "
                                       "export's %2")
                            .arg(ours)
                            .arg(theirs)));
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (Inked(p) && qBlue(p) > qRed(p)) QFAIL("ink of the hidden layer's colour");
        }
    }
}

// The export's SVG as rsvg-convert draws it on white at pxPerMm.
QImage RasterisedSvg(const QString& svg, double pxPerMm, QString* why) {
    const QString png = svg + ".png";
    const QString dpi = QString::number(pxPerMm * 25.4);
    *why =
        Run(QStringLiteral("rsvg-convert"), {"-d", dpi, "-p", dpi, "-b", "white", "-o", png, svg});
    return why->isEmpty() ? QImage(png).convertToFormat(QImage::Format_RGB32) : QImage();
}

// A part of a PDF's first page as pdftoppm draws it at pxPerMm: `area` in mm from the page's
// top left (the whole page when empty).
QImage RasterisedPdf(const QString& pdf, double pxPerMm, const QRectF& area, QString* why) {
    const QString prefix = pdf + ".page";
    QStringList arguments{"-r", QString::number(pxPerMm * 25.4), "-png", "-singlefile"};
    if (!area.isEmpty()) {
        const QRect px(QPointF(area.topLeft() * pxPerMm).toPoint(),
                       QSizeF(area.size() * pxPerMm).toSize());
        arguments << "-x" << QString::number(px.x()) << "-y" << QString::number(px.y()) << "-W"
                  << QString::number(px.width()) << "-H" << QString::number(px.height());
    }
    *why = Run(QStringLiteral("pdftoppm"), arguments << pdf << prefix);
    return why->isEmpty() ? QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32)
                          : QImage();
}

constexpr double kPointsPerMm = 72.0 / 25.4;

}  // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    // The SVG's page in mm, read as XML; its picture judged as an independent renderer draws it.
    void SvgIsInMillimetresAtTheDrawingScale() {
        QTemporaryDir dir;
        const auto application = BoardApplication::Create();
        const auto document = SampleDocument(application, 50);
        const QString path = dir.filePath("見本.svg");
        ExportSvg(*document, path.toStdString(), {});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QStringLiteral("svg"));
        // 5 x 2 mm of drawing plus 5 mm margins.
        const QXmlStreamAttributes page = xml.attributes();
        QCOMPARE(page.value("width").toString(), QStringLiteral("15mm"));
        QCOMPARE(page.value("height").toString(), QStringLiteral("12mm"));
        QCOMPARE(page.value("viewBox").toString().simplified(), QStringLiteral("0 0 15 12"));
        file.close();

        // The X line from the margin's corner, (5, 7) to (10, 7) mm, Y down, 0.25 mm wide.
        constexpr double kPxPerMm = 20.0;
        QString why;
        const QImage picture = RasterisedSvg(path, kPxPerMm, &why);
        if (!why.isEmpty()) QSKIP(qPrintable("picture not compared: " + why));
        QCOMPARE(picture.size(), QSize(300, 240));
        CompareWithExpected(picture, {picture.size(), kPxPerMm, {5.0, 7.0}, 1.0 / 50.0});
    }

    void PngHasTheChosenResolution() {
        QTemporaryDir dir;
        const auto application = BoardApplication::Create();
        const auto document = SampleDocument(application, 1);
        document->ScaleModel()->SetDenominator(50);
        const QString path = dir.filePath("x.png");
        PngOptions options;
        options.pixelsPerMm = 20.0;
        options.style.lineWidthMm = 0.5;
        ExportPng(*document, path.toStdString(), options);
        QImage image(path);
        QVERIFY(!image.isNull());
        QCOMPARE(image.width(), 300);  // 15 mm x 20 px/mm
        QCOMPARE(image.height(), 240);
        QCOMPARE(image.dotsPerMeterX(), 20000);
        // The X line runs at y = 7 mm from (5, 7) to (10, 7) mm: 140 px down, 100..200 across.
        QCOMPARE(image.pixelColor(150, 140), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(150, 120), QColor(Qt::white));
        QCOMPARE(image.pixelColor(220, 140), QColor(Qt::white));
        // Nothing of the hidden layer: no blue anywhere.
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.blue() > 200 && c.red() < 50) QFAIL("hidden layer drawn");
            }
        }
    }

    void WhatTheFileDrawsBeneathIsExportedAndCounted() {
        // A line of the board's own and a red filled square that only the file draws.
        QTemporaryDir dir;
        const QString dxf = dir.filePath("plan.dxf");
        QFile file(dxf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const char* tags[] = {"0",  "SECTION", "2",  "ENTITIES", "0",  "LINE", "8",  "0",  "10",
                              "0",  "20",      "0",  "11",       "10", "21",   "0",  "0",  "SOLID",
                              "8",  "0",       "62", "1",        "10", "20",   "20", "0",  "11",
                              "30", "21",      "0",  "12",       "20", "22",   "10", "13", "30",
                              "23", "10",      "0",  "ENDSEC",   "0",  "EOF"};
        for (const char* tag : tags) file.write(QByteArray(tag) + "\n");
        file.close();
        const auto application = BoardApplication::Create();
        const auto document = OpenDrawing(*application, dxf.toStdString()).document;
        const QString png = dir.filePath("plan.png");
        PngOptions options;
        options.pixelsPerMm = 10.0;
        ExportPng(*document, png.toStdString(), options);
        const QImage image(png);
        QVERIFY(!image.isNull());
        QCOMPARE(image.width(), 400);  // 0..30 mm and the margins: the square counts
        QCOMPARE(image.height(), 200);
        const QColor inside = image.pixelColor(300, 100);  // the square's middle, (25, 5) mm
        QVERIFY2(inside.red() > 150 && inside.green() < 100, qPrintable(inside.name()));
    }

    void PngTooLargeIsRefusedAndWritesNothing() {
        QTemporaryDir dir;
        const auto application = BoardApplication::Create();
        const auto document = SampleDocument(application, 1);
        PngOptions options;
        options.pixelsPerMm = 1000.0;
        const QString path = dir.filePath("big.png");
        QVERIFY_THROWS_EXCEPTION(pelimator::FileError,
                                 ExportPng(*document, path.toStdString(), options));
        QVERIFY(!QFile::exists(path));
    }

    void PdfPrintsAtScaleCentredOnThePage_data() {
        QTest::addColumn<int>("paper");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<double>("pageWidthPt");
        QTest::addColumn<double>("pageHeightPt");
        QTest::newRow("A4 landscape") << 0 << 1 << 842.0 << 595.0;
        QTest::newRow("A4 portrait") << 0 << 0 << 595.0 << 842.0;
        QTest::newRow("A3 landscape") << 1 << 1 << 1191.0 << 842.0;
    }

    void PdfPrintsAtScaleCentredOnThePage() {
        QFETCH(int, paper);
        QFETCH(int, orientation);
        QFETCH(double, pageWidthPt);
        QFETCH(double, pageHeightPt);
        QTemporaryDir dir;
        const auto application = BoardApplication::Create();
        const auto document = SampleDocument(application, 50);
        PdfOptions options;
        options.paper = paper == 0 ? PaperSize::A4 : PaperSize::A3;
        options.orientation =
            orientation == 0 ? PaperOrientation::Portrait : PaperOrientation::Landscape;
        const QString path = dir.filePath("x.pdf");
        ExportPdf(*document, path.toStdString(), options);
        // The page's size: in points, a pixel each at 72 dpi.
        QString why;
        const QImage page = RasterisedPdf(path, 72.0 / 25.4, {}, &why);
        if (!why.isEmpty()) QSKIP(qPrintable("page not drawn: " + why));
        QVERIFY2(std::abs(page.width() - pageWidthPt) <= 1.0,
                 qPrintable(QString::number(page.width())));
        QVERIFY(std::abs(page.height() - pageHeightPt) <= 1.0);
        // 250 drawing units at 1:50 measure 5 mm on paper, 100 units 2 mm; the drawing's middle
        // (2.5, 1) mm sits at the middle of the page. Drawn at 20 px/mm around it.
        const QPointF middle(pageWidthPt / kPointsPerMm / 2, pageHeightPt / kPointsPerMm / 2);
        const QRectF area(middle - QPointF(10, 10), QSizeF(20, 20));
        constexpr double kPxPerMm = 20.0;
        const QImage picture = RasterisedPdf(path, kPxPerMm, area, &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const QPointF origin = middle + QPointF(-2.5, 1.0) - area.topLeft();
        CompareWithExpected(picture, {picture.size(), kPxPerMm, origin, 1.0 / 50.0});
    }

    void PdfFittedFillsTheSheetWithinTheMargins() {
        QTemporaryDir dir;
        const auto application = BoardApplication::Create();
        const auto document = SampleDocument(application, 50);
        PdfOptions options;
        options.paper = PaperSize::A2;
        options.placement = PdfPlacement::FitToSheet;
        const QString path = dir.filePath("fit.pdf");
        ExportPdf(*document, path.toStdString(), options);
        // 5 x 2 mm at scale on A2 landscape (594 x 420, 584 x 410 within the margins): the
        // width decides, 5 mm become 584, and the drawing is centred: its origin at
        // (5, 210 + 233.6 / 2) mm.
        constexpr double kPxPerMm = 4.0;
        QString why;
        const QImage picture = RasterisedPdf(path, kPxPerMm, {}, &why);
        if (!why.isEmpty()) QSKIP(qPrintable("page not drawn: " + why));
        QVERIFY(std::abs(picture.width() - 594 * kPxPerMm) <= 1.0);
        CompareWithExpected(picture,
                            {picture.size(), kPxPerMm, {5.0, 210.0 + 116.8}, 584.0 / 250.0});
    }

    void PdfThatDoesNotFitAtScaleIsRefusedNotCut() {
        QTemporaryDir dir;
        const auto application = BoardApplication::Create();
        const auto document = SampleDocument(application, 1);
        document->DrawingModel()->AddEntity(MakeLine({0, 0}, {1000, 0}, 1));  // a metre at 1:1
        const QString path = dir.filePath("cut.pdf");
        QVERIFY_THROWS_EXCEPTION(pelimator::FileError,
                                 ExportPdf(*document, path.toStdString(), {}));
        QVERIFY(!QFile::exists(path));
        PdfOptions a0;  // 1189 mm across
        a0.paper = PaperSize::A0;
        ExportPdf(*document, path.toStdString(), a0);
        QVERIFY(QFile::exists(path));
    }

    void FailedExportKeepsTheOldFile() {
        QTemporaryDir dir;
        const auto application = BoardApplication::Create();
        const auto document = SampleDocument(application, 50);
        const QString path = dir.filePath("keep.svg");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        SvgOptions options;
        options.style.lineWidthMm = -1.0;
        QVERIFY_THROWS_EXCEPTION(pelimator::FileError,
                                 ExportSvg(*document, path.toStdString(), options));
        QCOMPARE(ReadAll(path), QByteArray("old"));
    }
};

QTEST_MAIN(ExportTest)
#include "export_test.moc"
