// One instance per user: a second start is refused and wakes the first; the lock is released.
#include "tool/single_instance.h"

#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using pelimator::SingleInstance;

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void SecondStartIsRefusedAndWakesTheFirst() {
        QTemporaryDir dir;
        SingleInstance first(QStringLiteral("pelimator-test"), dir.path());
        QVERIFY(first.TryBecomePrimary());
        QSignalSpy woken(&first, &SingleInstance::ActivationRequested);
        SingleInstance second(QStringLiteral("pelimator-test"), dir.path());
        QVERIFY(!second.TryBecomePrimary());
        QTRY_COMPARE(woken.count(), 1);
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
