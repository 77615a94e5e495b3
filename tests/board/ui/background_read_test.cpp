// Reads in the background given up and started again: at most one given-up read is left running,
// it ends soon after it is told to, and only the last read's drawing is delivered.
#include "board/ui/background_read.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <string>

using namespace pelimator::board;

namespace {

// A DXF of size megabytes of lines: long enough to read that a cancel can come in the middle.
void WriteLines(const std::string& path, std::size_t megabytes) {
    std::ofstream out(path, std::ios::binary);
    out << "0\nSECTION\n2\nENTITIES\n";
    const std::string line = "0\nLINE\n8\n0\n10\n1.5\n20\n2.5\n11\n30.25\n21\n40.75\n";
    for (std::size_t written = 0; written < (megabytes << 20U); written += line.size()) out << line;
    out << "0\nENDSEC\n0\nEOF\n";
}

// Waits until read has no given-up read left running; how long it took, in ms.
qint64 WaitForStaleReads(BackgroundRead& read) {
    QElapsedTimer timer;
    timer.start();
    while (read.StaleReads() > 0 && timer.elapsed() < 60'000) QTest::qWait(5);
    return timer.elapsed();
}

}  // namespace

class BackgroundReadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        WriteLines(m_dir.filePath("big.dxf").toStdString(), 96);
        WriteLines(m_dir.filePath("small.dxf").toStdString(), 1);
    }

    // Esc, open, Esc, open... ten times over a big file: never more than one given-up reader
    // (each holds its file mapped and its memory), the later opens wait for it, and only the
    // last read is delivered.
    void CancelAndOpenAgainLeavesAtMostOneStaleRead() {
        BackgroundRead read;
        QSignalSpy finished(&read, &BackgroundRead::finished);
        for (int round = 0; round < 10; ++round) {
            QVERIFY(read.Start(m_dir.filePath("big.dxf")));
            QVERIFY(read.Running());
            QTest::qWait(20);
            read.Cancel();
            QVERIFY2(read.StaleReads() <= 1,
                     qPrintable(QStringLiteral("round %1: %2 readers given up still run")
                                    .arg(round)
                                    .arg(read.StaleReads())));
        }
        QVERIFY(read.Start(m_dir.filePath("small.dxf")));
        QVERIFY(read.StaleReads() <= 1);
        QVERIFY(finished.wait(60'000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.front().at(0).toString(), m_dir.filePath("small.dxf"));
        QVERIFY(finished.front().at(1).value<std::shared_ptr<DrawingRead>>() != nullptr);
        QCOMPARE(read.StaleReads(), std::size_t{0});
    }

    // A read given up stops reading: it ends well before a whole read would have.
    void AReadGivenUpEndsSoon() {
        BackgroundRead read;
        QSignalSpy finished(&read, &BackgroundRead::finished);
        QElapsedTimer whole;
        whole.start();
        QVERIFY(read.Start(m_dir.filePath("big.dxf")));
        QVERIFY(finished.wait(120'000));
        const qint64 wholeMs = whole.elapsed();

        QVERIFY(read.Start(m_dir.filePath("big.dxf")));
        QTest::qWait(static_cast<int>(wholeMs / 10));
        read.Cancel();
        const qint64 endedMs = WaitForStaleReads(read);
        QVERIFY2(endedMs < wholeMs / 2, qPrintable(QStringLiteral("%1 ms after the cancel; a whole "
                                                                  "read takes %2 ms")
                                                       .arg(endedMs)
                                                       .arg(wholeMs)));
        QCOMPARE(finished.size(), 1);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(BackgroundReadTest)
#include "background_read_test.moc"
