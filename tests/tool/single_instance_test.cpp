// One instance per desktop session: a second start on the same display is refused and hands its
// drawings to the first; the lock is released; the lock's folder is private to the user, never the
// current folder.
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
using pelimator::DisplayPlace;
using pelimator::EncodeActivation;
using pelimator::InstanceKey;
using pelimator::PrivateRuntimeDirectory;
using pelimator::SingleInstance;

Q_DECLARE_METATYPE(DisplayPlace)

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

    // Which starts meet: the same display hands over, another display, login or remote session
    // runs its own. Each row: two starts, and whether they share the key.
    void InstanceKeys_data() {
        QTest::addColumn<DisplayPlace>("a");
        QTest::addColumn<DisplayPlace>("b");
        QTest::addColumn<bool>("same");
        const auto x11 = [](const char* display, const char* session = "2") {
            return DisplayPlace{QStringLiteral("xcb"),
                                {},
                                QString::fromLatin1(display),
                                QString::fromLatin1(session)};
        };
        const auto wayland = [](const char* display, const char* session = "2") {
            return DisplayPlace{QStringLiteral("wayland"), QString::fromLatin1(display),
                                QStringLiteral(":1"), QString::fromLatin1(session)};
        };
        const DisplayPlace offscreen{QStringLiteral("offscreen"), {}, QStringLiteral(":0"), {}};
        QTest::newRow("x11 same display") << x11(":0") << x11(":0") << true;
        QTest::newRow("x11 screen 0 spelled out") << x11(":0") << x11(":0.0") << true;
        QTest::newRow("x11 unix host is the local one") << x11("unix:0") << x11(":0") << true;
        QTest::newRow("x11 second login") << x11(":0") << x11(":1") << false;
        QTest::newRow("x11 display 1 is not 10") << x11(":1") << x11(":10") << false;
        QTest::newRow("x11 other screen") << x11(":0.0") << x11(":0.1") << false;
        QTest::newRow("x11 forwarded by ssh") << x11(":10") << x11("localhost:10.0") << false;
        QTest::newRow("x11 another host") << x11("a:0") << x11("b:0") << false;
        QTest::newRow("x11 terminal without session id") << x11(":0") << x11(":0", "") << true;
        QTest::newRow("wayland same compositor")
            << wayland("wayland-0") << wayland("wayland-0") << true;
        QTest::newRow("wayland second login")
            << wayland("wayland-0") << wayland("wayland-1") << false;
        QTest::newRow("wayland beside its xwayland") << wayland("wayland-0") << x11(":1") << false;
        QTest::newRow("offscreen beside x11 of the same DISPLAY")
            << offscreen << x11(":0") << false;
        QTest::newRow("offscreen twice") << offscreen << offscreen << true;
        QTest::newRow("console logins")
            << DisplayPlace{QStringLiteral("linuxfb"), {}, {}, QStringLiteral("3")}
            << DisplayPlace{QStringLiteral("linuxfb"), {}, {}, QStringLiteral("4")} << false;
    }
    void InstanceKeys() {
        QFETCH(DisplayPlace, a);
        QFETCH(DisplayPlace, b);
        QFETCH(bool, same);
        const QString keyA = InstanceKey(QStringLiteral("pelimator"), a);
        const QString keyB = InstanceKey(QStringLiteral("pelimator"), b);
        QCOMPARE(keyA == keyB, same);
        for (const QString& key : {keyA, keyB}) {
            QVERIFY2(key.startsWith(QStringLiteral("pelimator-")), qPrintable(key));
            QVERIFY2(!key.contains(QLatin1Char('/')) && key.size() <= 60, qPrintable(key));
        }
    }

    // A display name that is a path or very long still gives a short file name, one per name.
    void InstanceKeyOfOddDisplays() {
        const QString longName(300, QLatin1Char('w'));
        const DisplayPlace path{
            QStringLiteral("wayland"), QStringLiteral("/run/x/../wayland-9"), {}, {}};
        const DisplayPlace long1{QStringLiteral("wayland"), longName, {}, {}};
        const DisplayPlace long2{QStringLiteral("wayland"), longName + QLatin1Char('x'), {}, {}};
        for (const DisplayPlace& place : {path, long1, long2}) {
            const QString key = InstanceKey(QStringLiteral("pelimator"), place);
            QVERIFY2(!key.contains(QLatin1Char('/')) && key.size() <= 60, qPrintable(key));
        }
        QVERIFY(InstanceKey(QStringLiteral("p"), long1) != InstanceKey(QStringLiteral("p"), long2));
    }

    // Two servers in one private folder: a start on the first display hands over to the first,
    // a start on the second display runs its own and the first hears nothing of it.
    void StartsOnTwoDisplaysEachRunTheirOwn() {
        QTemporaryDir dir;
        const DisplayPlace one{QStringLiteral("xcb"), {}, QStringLiteral(":0"), {}};
        const DisplayPlace two{QStringLiteral("xcb"), {}, QStringLiteral(":1"), {}};
        const QString keyOne = InstanceKey(QStringLiteral("pelimator-test"), one);
        const QString keyTwo = InstanceKey(QStringLiteral("pelimator-test"), two);
        SingleInstance first(keyOne, dir.path());
        QVERIFY(first.TryBecomePrimary());
        QSignalSpy firstWoken(&first, &SingleInstance::ActivationRequested);

        SingleInstance other(keyTwo, dir.path());
        QVERIFY(other.TryBecomePrimary({QStringLiteral("/b.dxf")}));
        QSignalSpy otherWoken(&other, &SingleInstance::ActivationRequested);

        LaterStart onOne;
        onOne.Run(
            InstanceKey(QStringLiteral("pelimator-test"),
                        DisplayPlace{QStringLiteral("xcb"), {}, QStringLiteral("unix:0.0"), {}}),
            dir.path(), {QStringLiteral("/a.dxf")});
        QVERIFY(!onOne.primary);
        QVERIFY(onOne.delivered);
        QTRY_COMPARE(firstWoken.count(), 1);
        QCOMPARE(firstWoken[0][0].toStringList(), QStringList{QStringLiteral("/a.dxf")});

        LaterStart onTwo;
        onTwo.Run(keyTwo, dir.path(), {QStringLiteral("/c.dxf")});
        QVERIFY(!onTwo.primary);
        QTRY_COMPARE(otherWoken.count(), 1);
        QCOMPARE(otherWoken[0][0].toStringList(), QStringList{QStringLiteral("/c.dxf")});
        QCoreApplication::processEvents();
        QCOMPARE(firstWoken.count(), 1);
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
