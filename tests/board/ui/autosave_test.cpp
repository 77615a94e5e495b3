// Autosave as the board runs it: a failed write reaches the window as a message, a closed
// drawing loses its recovery file at once, and with autosave off nothing is written.
#include "board/ui/autosave.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "base/file.h"
#include "board/model/entity.h"

using namespace pelimator::board;

namespace {

// The recovery (info) files under root, in every session folder.
QStringList InfoFiles(const QString& root) {
    QStringList found;
    const QDir folder(root);
    for (const QString& session : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString& info : QDir(folder.filePath(session)).entryList({"*.info"})) {
            found.append(session + "/" + info);
        }
    }
    return found;
}

}  // namespace

class AutosaveTest : public QObject {
    Q_OBJECT

private slots:
    void AFailedWriteIsReportedAndAClosedDrawingLosesItsFile() {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("Pelimator"));
        const auto application = BoardApplication::Create();
        AutosaveService service(application, root.toStdString(), 300);
        QVERIFY(service.Enabled());
        QSignalSpy failed(&service, &AutosaveService::failed);
        const BoardDocumentPtr document = application->AddDocument("図面1");
        document->DrawingModel()->AddEntity(MakeLine({0, 0}, {1, 1}));

        // The disk refuses the write: the window hears why, nothing is recovered.
        pelimator::SetFileWriteHooks({{}, [](const std::string&) { return false; }});
        service.SaveNow();
        service.Wait();
        pelimator::SetFileWriteHooks({});
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY2(failed.front().front().toString().startsWith(QStringLiteral("自動保存できません")),
                 qPrintable(failed.front().front().toString()));
        QVERIFY(InfoFiles(root).isEmpty());

        // Written at the next tick once the disk takes it again, though the drawing did not
        // change since; gone as soon as the drawing is closed.
        service.SaveNow();
        service.Wait();
        QCOMPARE(InfoFiles(root).size(), 1);
        application->RemoveDocument(0);
        service.Wait();
        QVERIFY(InfoFiles(root).isEmpty());
        QCOMPARE(failed.count(), 1);
    }

    void OffWritesNothing() {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("Pelimator"));
        const auto application = BoardApplication::Create();
        AutosaveService service(application, root.toStdString(), 0);
        QVERIFY(!service.Enabled());
        application->AddDocument("図面1")->DrawingModel()->AddEntity(MakeLine({0, 0}, {1, 1}));
        service.SaveNow();
        service.Wait();
        QVERIFY(!QFileInfo::exists(root));
    }
};

QTEST_MAIN(AutosaveTest)
#include "autosave_test.moc"
