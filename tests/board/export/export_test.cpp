// SVG, PNG and PDF export: sizes in millimetres at the drawing's scale, hidden layers left out.
#include "board/export/export.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
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

// The page's content streams, inflated.
QList<QByteArray> PdfStreams(const QByteArray& pdf) {
    QList<QByteArray> streams;
    for (qsizetype s = pdf.indexOf("stream\n"); s >= 0; s = pdf.indexOf("stream\n", s + 1)) {
        const qsizetype e = pdf.indexOf("endstream", s);
        if (e < 0) break;
        QByteArray sized;
        const quint32 hint = 1U << 20U;
        for (int shift = 24; shift >= 0; shift -= 8) sized.append(static_cast<char>(hint >> shift));
        sized.append(pdf.mid(s + 7, e - s - 7));
        const QByteArray inflated = qUncompress(sized);
        streams.append(inflated.isEmpty() ? pdf.mid(s + 7, e - s - 7) : inflated);
        s = e;
    }
    return streams;
}

struct PdfSegment {
    QPointF from;
    QPointF to;
};

// Straight segments "x y m / x y l" of a content stream in points, through the scale of every
// "a 0 0 d e f cm" before them (the exporter's transforms only scale and move).
QList<PdfSegment> PdfLines(const QByteArray& content) {
    QList<PdfSegment> segments;
    double sx = 1;
    double sy = 1;
    double tx = 0;
    double ty = 0;
    QPointF current;
    const auto map = [&](double x, double y) { return QPointF(sx * x + tx, sy * y + ty); };
    for (const QByteArray& rawLine : content.split('\n')) {
        const QList<QByteArray> words = rawLine.simplified().split(' ');
        if (words.size() == 7 && words[6] == "cm") {
            const double a = words[0].toDouble();
            const double d = words[3].toDouble();
            const double e = words[4].toDouble();
            const double f = words[5].toDouble();
            tx += sx * e;
            ty += sy * f;
            sx *= a;
            sy *= d;
        } else if (words.size() == 3 && words[2] == "m") {
            current = map(words[0].toDouble(), words[1].toDouble());
        } else if (words.size() == 3 && words[2] == "l") {
            const QPointF next = map(words[0].toDouble(), words[1].toDouble());
            segments.append({current, next});
            current = next;
        }
    }
    return segments;
}

double Length(const PdfSegment& s) {
    return std::hypot(s.to.x() - s.from.x(), s.to.y() - s.from.y());
}

constexpr double kPointsPerMm = 72.0 / 25.4;

}  // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void SvgIsInMillimetresAtTheDrawingScale() {
        QTemporaryDir dir;
        const auto application = BoardApplication::Create();
        const auto document = SampleDocument(application, 50);
        const QString path = dir.filePath("見本.svg");
        ExportSvg(*document, path.toStdString(), {});
        const QString svg = QString::fromUtf8(ReadAll(path));
        // 5 x 2 mm of drawing plus 5 mm margins.
        QVERIFY2(svg.contains(QStringLiteral("width=\"15mm\"")), qPrintable(svg.left(300)));
        QVERIFY(svg.contains(QStringLiteral("height=\"12mm\"")));
        QVERIFY(svg.contains(QStringLiteral("viewBox=\"0 0 15 12\"")));
        // The window's painter draws in twentieths of a mm under a 1/20 transform: the X line
        // from the margin's corner, (5, 7) to (10, 7) in mm, Y down, 0.25 mm wide.
        QVERIFY(svg.contains(QStringLiteral("transform=\"matrix(0.05,0,0,0.05,0,0)\"")));
        QVERIFY2(svg.contains(QStringLiteral("points=\"100,140 200,140 \"")), qPrintable(svg));
        QVERIFY(svg.contains(QStringLiteral("stroke=\"#ff0000\"")));
        QVERIFY2(!svg.contains(QStringLiteral("#0000ff")), "hidden layer exported");
        QVERIFY(svg.contains(QStringLiteral("stroke-width=\"5\"")));
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
        const QByteArray pdf = ReadAll(path);
        const QRegularExpression mediaBox(
            QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"));
        const auto match = mediaBox.match(QString::fromLatin1(pdf));
        QVERIFY(match.hasMatch());
        QCOMPARE(std::round(match.captured(1).toDouble()), pageWidthPt);
        QCOMPARE(std::round(match.captured(2).toDouble()), pageHeightPt);

        QList<PdfSegment> segments;
        for (const QByteArray& stream : PdfStreams(pdf)) segments += PdfLines(stream);
        QCOMPARE(segments.size(), 2);  // the hidden layer's line is left out
        // 250 drawing units at 1:50 measure 5 mm on paper, 100 units 2 mm.
        QVERIFY2(std::abs(Length(segments[0]) - 5.0 * kPointsPerMm) < 0.01,
                 qPrintable(QString::number(Length(segments[0]))));
        QVERIFY(std::abs(Length(segments[1]) - 2.0 * kPointsPerMm) < 0.01);
        // The drawing's middle (2.5, 1) mm sits at the middle of the page.
        const QPointF corner = segments[0].from;  // drawing origin
        QVERIFY(std::abs(corner.x() + 2.5 * kPointsPerMm - pageWidthPt / 2) < 1.0);
        QVERIFY(std::abs(corner.y() + 1.0 * kPointsPerMm - pageHeightPt / 2) < 1.0);
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
        QList<PdfSegment> segments;
        for (const QByteArray& stream : PdfStreams(ReadAll(path))) segments += PdfLines(stream);
        QCOMPARE(segments.size(), 2);
        // 5 x 2 mm at scale on A2 landscape (594 x 420, 584 x 410 within the margins): the
        // width decides, 5 mm become 584.
        QVERIFY2(std::abs(Length(segments[0]) - 584.0 * kPointsPerMm) < 0.5,
                 qPrintable(QString::number(Length(segments[0]) / kPointsPerMm)));
        QVERIFY(std::abs(Length(segments[1]) - 584.0 / 5.0 * 2.0 * kPointsPerMm) < 0.5);
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
