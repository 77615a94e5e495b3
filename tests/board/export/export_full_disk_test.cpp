// Exports when the disk fills up mid-write: a file-size limit (as a full disk would) cuts every
// write past it; the export must fail with a message and leave the file it would replace as it
// was, and the same export without the limit must give a whole file.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>
#include <random>

#include <sys/resource.h>

#include "base/errors.h"
#include "board/export/export.h"
#include "board/model/application.h"

using namespace pelimator::board;

namespace {

// A 1:1 drawing of 20,000 random lines over 200 x 200 mm: far more than the limit in any format.
BoardDocumentPtr BusyDocument(const BoardApplicationPtr& application) {
    BoardDocumentPtr document = application->AddDocument("満杯");
    std::mt19937 random(36);
    std::uniform_real_distribution<double> coordinate(0.0, 200.0);
    BoardDrawing& drawing = *document->DrawingModel();
    for (int i = 0; i < 20000; ++i) {
        drawing.AddEntity(MakeLine({coordinate(random), coordinate(random)},
                                   {coordinate(random), coordinate(random)}));
    }
    return document;
}

// While it lives, no file of this process may grow past limit bytes; writes past it fail with
// EFBIG instead of ending the process by SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        m_previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit cut = m_previous;
        cut.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &cut);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousSignal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousSignal)(int) = nullptr;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

using Exporter = std::function<void(const BoardDocument&, const std::string&)>;

}  // namespace

Q_DECLARE_METATYPE(Exporter)

class ExportFullDiskTest : public QObject {
    Q_OBJECT

private slots:
    void FullDiskFailsAndKeepsTheOldFile_data() {
        QTest::addColumn<Exporter>("exporter");
        QTest::addColumn<QString>("name");
        QTest::newRow("SVG") << Exporter([](const BoardDocument& d, const std::string& p) {
            ExportSvg(d, p, {});
        }) << QStringLiteral("図.svg");
        QTest::newRow("PDF") << Exporter([](const BoardDocument& d, const std::string& p) {
            PdfOptions options;
            options.placement = PdfPlacement::FitToSheet;
            ExportPdf(d, p, options);
        }) << QStringLiteral("図.pdf");
        QTest::newRow("PNG") << Exporter([](const BoardDocument& d, const std::string& p) {
            PngOptions options;
            options.pixelsPerMm = 1.0;  // 200 x 200 pixels: painting 20,000 lines stays quick
            ExportPng(d, p, options);
        }) << QStringLiteral("図.png");
    }
    void FullDiskFailsAndKeepsTheOldFile() {
        QFETCH(Exporter, exporter);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("the export before");
        }
        const auto application = BoardApplication::Create();
        const BoardDocumentPtr document = BusyDocument(application);

        QString failure;
        {
            const FileSizeLimit limit(8 * 1024);
            try {
                exporter(*document, path.toStdString());
            } catch (const pelimator::FileError& error) {
                failure = QString::fromStdString(error.what());
            }
        }
        QVERIFY2(!failure.isEmpty(), "a cut file was reported written");
        QVERIFY2(failure.contains(name), qPrintable(failure));
        QCOMPARE(ReadAll(path), QByteArray("the export before"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name});  // no temporary

        exporter(*document, path.toStdString());
        const QByteArray whole = ReadAll(path);
        QVERIFY(whole.size() > 8 * 1024);
        if (name.endsWith(QStringLiteral(".svg"))) {
            QVERIFY(whole.trimmed().endsWith("</svg>"));
        } else if (name.endsWith(QStringLiteral(".pdf"))) {
            QVERIFY(whole.contains("\nxref"));
            QVERIFY(whole.trimmed().endsWith("%%EOF"));
        } else {
            QVERIFY(!QImage::fromData(whole, "PNG").isNull());
        }
    }
};

QTEST_MAIN(ExportFullDiskTest)
#include "export_full_disk_test.moc"
