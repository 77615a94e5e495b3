// One instance per user: a second start is refused and hands its drawings to the first; the lock
// is released; the lock's folder is private to the user, never the current folder.
#include "tool/single_instance.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using pelimator::DecodeActivation;
using pelimator::EncodeActivation;
using pelimator::PrivateRuntimeDirectory;
using pelimator::SingleInstance;

namespace {

mode_t ModeOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

// A later start, run in a thread of its own: it waits for the first one's answer, which needs
// the test thread's event loop.
struct LaterStart {
    bool primary = true;
    bool delivered = false;
    void Run(const QString& key, const QString& directory, const QStringList& files) {
        QThread* thread = QThread::create([&] {
            SingleInstance instance(key, directory);
            primary = instance.TryBecomePrimary(files);
            delivered = instance.Delivered();
        });
        thread->start();
        while (!thread->wait(10)) QCoreApplication::processEvents();
        delete thread;
    }
};

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void SecondStartIsRefusedAndWakesTheFirst() {
        QTemporaryDir dir;
        SingleInstance first(QStringLiteral("pelimator-test"), dir.path());
        QVERIFY(first.TryBecomePrimary());
        QSignalSpy woken(&first, &SingleInstance::ActivationRequested);
        LaterStart second;
        second.Run(QStringLiteral("pelimator-test"), dir.path(), {});
        QVERIFY(!second.primary);
        QVERIFY(second.delivered);
        QTRY_COMPARE(woken.count(), 1);
        QCOMPARE(woken[0][0].toStringList(), QStringList{});
    }

    void SecondStartHandsOverItsFiles() {
        QTemporaryDir dir;
        SingleInstance first(QStringLiteral("pelimator-test"), dir.path());
        QVERIFY(first.TryBecomePrimary());
        QSignalSpy woken(&first, &SingleInstance::ActivationRequested);
        // Names that would break a line-based message: a line end, a percent sign, kanji.
        const QStringList files{QStringLiteral("/図面/平面図.dxf"), QStringLiteral("/a b/100%.dxf"),
                                QStringLiteral("/x/two\nlines.dxf")};
        LaterStart second;
        second.Run(QStringLiteral("pelimator-test"), dir.path(), files);
        QVERIFY(!second.primary);
        QVERIFY(second.delivered);
        QTRY_COMPARE(woken.count(), 1);
        QCOMPARE(woken[0][0].toStringList(), files);
    }

    // An older start sends only "activate" and goes: still an activation, without files.
    void UnfinishedMessageIsAnActivationWithoutFiles() {
        QTemporaryDir dir;
        SingleInstance first(QStringLiteral("pelimator-test"), dir.path());
        QVERIFY(first.TryBecomePrimary());
        QSignalSpy woken(&first, &SingleInstance::ActivationRequested);
        QLocalSocket socket;
        socket.connectToServer(dir.filePath(QStringLiteral("pelimator-test.socket")));
        QVERIFY(socket.waitForConnected(1000));
        socket.write("activate\nopen %2Fhalf.dxf\n");
        QVERIFY(socket.waitForBytesWritten(1000));
        socket.disconnectFromServer();
        QTRY_COMPARE(woken.count(), 1);
        QCOMPARE(woken[0][0].toStringList(), QStringList{});
    }

    void MessageRoundTrip_data() {
        QTest::addColumn<QStringList>("files");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("one") << QStringList{QStringLiteral("/home/u/平面図.dxf")};
        QTest::newRow("line ends and blanks") << QStringList{
            QStringLiteral("/a\nb.dxf"), QStringLiteral("/c\r\nd .dxf"), QStringLiteral(" /lead")};
        QTest::newRow("looks like the framing")
            << QStringList{QStringLiteral("end"), QStringLiteral("open x"), QStringLiteral("%0A")};
    }
    void MessageRoundTrip() {
        QFETCH(QStringList, files);
        const QByteArray message = EncodeActivation(files);
        QCOMPARE(message.count('\n'), files.size() + 2);
        QCOMPARE(DecodeActivation(message), std::optional<QStringList>(files));
        // Any cut before the last line end is incomplete, never a shorter list.
        for (qsizetype cut = 0; cut < message.size(); ++cut) {
            QVERIFY2(!DecodeActivation(message.left(cut)), qPrintable(QString::number(cut)));
        }
    }

    // The folder of the lock: the runtime folder when it is private, else our own under the
    // temporary folder; never a folder someone else could enter or own, never the current one.
    void PrivateFolder() {
        QTemporaryDir root;
        const uid_t uid = ::getuid();
        const QString runtime = root.filePath(QStringLiteral("runtime"));
        const QString temp = root.filePath(QStringLiteral("tmp"));
        const QString own = temp + QStringLiteral("/pelimator-%1").arg(uid);
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(QDir().mkpath(temp));

        ::chmod(QFile::encodeName(runtime).constData(), 0700);
        QCOMPARE(PrivateRuntimeDirectory(runtime, temp, uid), runtime);

        // Runtime folder open to others: not used, and not changed either.
        ::chmod(QFile::encodeName(runtime).constData(), 0755);
        QCOMPARE(PrivateRuntimeDirectory(runtime, temp, uid), own);
        QCOMPARE(ModeOf(runtime), mode_t{0755});
        QCOMPARE(ModeOf(own), mode_t{0700});

        // No runtime folder, a relative one, or a file instead.
        QCOMPARE(PrivateRuntimeDirectory(QString(), temp, uid), own);
        QCOMPARE(PrivateRuntimeDirectory(QStringLiteral("runtime"), temp, uid), own);
        QFile file(root.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(PrivateRuntimeDirectory(file.fileName(), temp, uid), own);

        // Our own folder, widened by someone: brought back to 0700.
        ::chmod(QFile::encodeName(own).constData(), 0777);
        QCOMPARE(PrivateRuntimeDirectory(QString(), temp, uid), own);
        QCOMPARE(ModeOf(own), mode_t{0700});

        // Owned by another user (as the folders look to someone else): nothing usable.
        QCOMPARE(PrivateRuntimeDirectory(runtime, temp, uid + 1), QString());

        // A link planted in our folder's place is refused, and what it points at is untouched.
        QVERIFY(QDir(own).removeRecursively());
        const QString elsewhere = root.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));
        ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
        QVERIFY(QFile::link(elsewhere, own));
        QCOMPARE(PrivateRuntimeDirectory(QString(), temp, uid), QString());
        QCOMPARE(ModeOf(elsewhere), mode_t{0755});

        // No temporary folder to fall back to: empty rather than the current folder.
        QCOMPARE(PrivateRuntimeDirectory(QString(), QString(), uid), QString());
        QCOMPARE(PrivateRuntimeDirectory(QString(), QStringLiteral("tmp"), uid), QString());
    }

    // With an unusable runtime folder the real start puts its lock under TMPDIR, and a second
    // start from another current folder still meets the first.
    void UnusableRuntimeFolderFallsBackToThePrivateTemporaryOne() {
        QTemporaryDir root;
        const QString runtime = root.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime));
        ::chmod(QFile::encodeName(runtime).constData(), 0777);
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray savedTemp = qgetenv("TMPDIR");
        const QString savedCurrent = QDir::currentPath();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("TMPDIR", QFile::encodeName(root.path()));
        QDir::setCurrent(runtime);

        SingleInstance first(QStringLiteral("pelimator-test"));
        QVERIFY(first.IsUnique());
        QVERIFY(first.TryBecomePrimary());
        const QString own = root.filePath(QStringLiteral("pelimator-%1").arg(::getuid()));
        QVERIFY(QFileInfo::exists(own + QStringLiteral("/pelimator-test.lock")));
        QVERIFY(QDir(runtime).isEmpty());
        QDir::setCurrent(root.path());
        LaterStart second;
        second.Run(QStringLiteral("pelimator-test"), QString(), {});
        QVERIFY(!second.primary);

        QDir::setCurrent(savedCurrent);
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("TMPDIR", savedTemp);
    }

    void LockIsFreeAgainWhenTheFirstEnds() {
        QTemporaryDir dir;
        {
            SingleInstance first(QStringLiteral("pelimator-test"), dir.path());
            QVERIFY(first.TryBecomePrimary());
        }
        SingleInstance next(QStringLiteral("pelimator-test"), dir.path());
        QVERIFY(next.TryBecomePrimary());
    }

    void StaleLockOfADeadProcessIsTakenOver() {
        QTemporaryDir dir;
        // A lock file naming a process that does not exist, as a crash leaves it.
        QFile lock(dir.filePath(QStringLiteral("pelimator-test.lock")));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray("999999\npelimator\n") + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        SingleInstance next(QStringLiteral("pelimator-test"), dir.path());
        QVERIFY(next.TryBecomePrimary());
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
