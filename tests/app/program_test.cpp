// The program as a desktop user meets it: drawings named on the command line open in the board,
// which shows from the start beside the tool; a later start hands its drawings over; the tool
// comes back from the board with the options it had.
#include "app/program.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include "app/arguments.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/model/entity.h"
#include "board/model/tool_object.h"
#include "board/recovery/autosaver.h"
#include "board/recovery/recovery_store.h"
#include "board/ui/autosave.h"
#include "board/ui/board_window.h"
#include "board/ui/canvas.h"
#include "tool/f_main.h"
#include "tool/single_instance.h"

using pelimator::SingleInstance;
using pelimator::app::Arguments;
using pelimator::app::ParseArguments;
using pelimator::app::Program;

namespace {

// An empty drawing written by the board itself, so that it opens.
QString WriteDrawing(const QTemporaryDir& dir, const QString& name) {
    const auto application = pelimator::board::BoardApplication::Create();
    const auto document = application->AddDocument("x");
    const QString path = dir.filePath(name);
    pelimator::board::SaveDrawing(*document, path.toStdString());
    return path;
}

// Pixels of the preview's light, see-through blue (on the board's white), far from any layer
// colour the test drawing uses.
int PreviewPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > 200 && c.blue() - c.red() > 60 && c.blue() - c.green() > 20) ++count;
        }
    }
    return count;
}

QStringList TabNames(const Program& program) {
    QStringList names;
    const QTabWidget* tabs = program.Board().Tabs();
    for (int i = 0; i < tabs->count(); ++i) names.append(tabs->tabText(i));
    return names;
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);  // recent files go to a test folder
        QVERIFY(m_dir.isValid());
        m_settings = m_dir.filePath(QStringLiteral("Korvane.ini"));
        // Autosave's recovery files go to a test folder, not the user's.
        qputenv("XDG_STATE_HOME", m_dir.filePath(QStringLiteral("state")).toLocal8Bit());
    }

    void Arguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("request");
        QTest::addColumn<QStringList>("files");
        const auto run = static_cast<int>(Arguments::Request::Run);
        const auto invalid = static_cast<int>(Arguments::Request::Invalid);
        QTest::newRow("none") << QStringList{} << run << QStringList{};
        QTest::newRow("one relative file")
            << QStringList{"平面図.dxf"} << run << QStringList{"/work/図面/平面図.dxf"};
        QTest::newRow("several, in order, each once")
            << QStringList{"b.dxf", "/abs/a.dxf", "../c.dxf", "b.dxf"} << run
            << QStringList{"/work/図面/b.dxf", "/abs/a.dxf", "/work/c.dxf"};
        QTest::newRow("dot segments cleaned")
            << QStringList{"./sub/../d.dxf"} << run << QStringList{"/work/図面/d.dxf"};
        QTest::newRow("file URL from a file manager")
            << QStringList{"file:///tmp/%E5%9B%B3.dxf"} << run << QStringList{"/tmp/図.dxf"};
        QTest::newRow("help") << QStringList{"x.dxf", "--help"}
                              << static_cast<int>(Arguments::Request::Help) << QStringList{};
        QTest::newRow("version") << QStringList{"-v"}
                                 << static_cast<int>(Arguments::Request::Version) << QStringList{};
        QTest::newRow("unknown option") << QStringList{"--zoom"} << invalid << QStringList{};
        QTest::newRow("remote URL") << QStringList{"file://host/x.dxf"} << invalid << QStringList{};
        QTest::newRow("after --, a dash starts a name")
            << QStringList{"--", "-x.dxf", "--help"} << run
            << QStringList{"/work/図面/-x.dxf", "/work/図面/--help"};
        QTest::newRow("lone dash is a name")
            << QStringList{"-"} << run << QStringList{"/work/図面/-"};
    }
    void Arguments() {
        QFETCH(QStringList, arguments);
        QFETCH(int, request);
        QFETCH(QStringList, files);
        const pelimator::app::Arguments parsed =
            ParseArguments(arguments, QStringLiteral("/work/図面"));
        QCOMPARE(static_cast<int>(parsed.request), request);
        QCOMPARE(parsed.files, files);
        QCOMPARE(parsed.error.isEmpty(), request != static_cast<int>(Arguments::Request::Invalid));
    }

    void BoardAndToolShowFromTheStart() {
        Program program(m_settings);
        program.Start({});
        QVERIFY(program.Board().isVisible());
        QVERIFY(program.Tool().isVisible());
        QCOMPARE(program.Board().Tabs()->count(), 0);
        // Beside, not on top of each other.
        QVERIFY(!program.Board().geometry().intersects(program.Tool().geometry()));
    }

    void StartOpensOneDrawing() {
        const QString plan = WriteDrawing(m_dir, QStringLiteral("平面図.dxf"));
        Program program(m_settings);
        program.Start({plan});
        // Read away from the window's thread: the window answers while it is read.
        QVERIFY(program.IsOpening());
        QTRY_VERIFY(!program.IsOpening());
        QCOMPARE(TabNames(program), QStringList{QStringLiteral("平面図.dxf")});
    }

    void StartOpensSeveralAndNamesTheMissingOnes() {
        const QString a = WriteDrawing(m_dir, QStringLiteral("a.dxf"));
        const QString b = WriteDrawing(m_dir, QStringLiteral("b.dxf"));
        const QString missing = m_dir.filePath(QStringLiteral("無い.dxf"));
        Program program(m_settings);
        QStringList messages;
        program.SetMessagePresenter(
            [&messages](QWidget*, const QString& text) { messages.append(text); });
        program.Start({a, missing, m_dir.path(), b});
        QTRY_VERIFY(!program.IsOpening());
        QCOMPARE(TabNames(program), (QStringList{"a.dxf", "b.dxf"}));
        // One message for the start, naming each file that could not be opened and why.
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QStringLiteral("「%1」が見つかりません").arg(missing)),
                 qPrintable(messages[0]));
        QVERIFY2(messages[0].contains(QStringLiteral("「%1」はフォルダです").arg(m_dir.path())),
                 qPrintable(messages[0]));
    }

    // A file that is there but no drawing is reported by the file menu's own open (a message box,
    // answered here), and the files after it still open.
    void ABrokenDrawingDoesNotStopTheOthers() {
        const QString broken = m_dir.filePath(QStringLiteral("壊れた.dxf"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnot a number\n");
        file.close();
        const QString good = WriteDrawing(m_dir, QStringLiteral("good.dxf"));
        Program program(m_settings);
        QStringList shown;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown.append(box->text());
                box->accept();
            }
        });
        answer.start(20);
        program.Start({broken, good});
        QTRY_VERIFY(!program.IsOpening());
        QCOMPARE(TabNames(program), QStringList{QStringLiteral("good.dxf")});
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QStringLiteral("壊れた.dxf")), qPrintable(shown[0]));
    }

    void TheSameDrawingTwiceOpensOnce() {
        const QString a = WriteDrawing(m_dir, QStringLiteral("same.dxf"));
        Program program(m_settings);
        program.Start({a});
        program.Activate({a});
        QTRY_VERIFY(!program.IsOpening());
        QCOMPARE(program.Board().Tabs()->count(), 1);
    }

    void SecondStartHandsItsDrawingsOver() {
        const QString a = WriteDrawing(m_dir, QStringLiteral("渡す1.dxf"));
        const QString b = WriteDrawing(m_dir, QStringLiteral("渡す2.dxf"));
        QTemporaryDir runtime;
        Program program(m_settings);
        program.Start({});
        program.Tool().close();  // the tool had ended: the later start brings it back
        QVERIFY(program.Tool().isHidden());

        SingleInstance first(QStringLiteral("program-test"), runtime.path());
        QVERIFY(first.TryBecomePrimary());
        connect(&first, &SingleInstance::ActivationRequested, &program, &Program::Activate);

        // The second start runs in a thread of its own: it waits for the first one's answer,
        // which needs this thread's event loop.
        bool primary = true;
        bool delivered = false;
        QThread* second = QThread::create([&] {
            SingleInstance instance(QStringLiteral("program-test"), runtime.path());
            primary = instance.TryBecomePrimary({a, b});
            delivered = instance.Delivered();
        });
        second->start();
        QTRY_COMPARE(program.Board().Tabs()->count(), 2);
        QVERIFY(second->wait(10000));
        delete second;
        QVERIFY(!primary);
        QVERIFY(delivered);
        QCOMPARE(TabNames(program), (QStringList{"渡す1.dxf", "渡す2.dxf"}));
        QVERIFY(program.Tool().isVisible());
    }

    void ToolComesBackFromTheBoardWithItsOptions() {
        Program program(m_settings);
        program.Start({});
        // The command is in the board's ツール menu and on its toolbar.
        QAction* command = program.ShowToolAction();
        QVERIFY(program.Board()
                    .findChild<QMenu*>(QStringLiteral("toolMenu"))
                    ->actions()
                    .contains(command));
        QVERIFY(program.Board()
                    .findChild<QToolBar*>(QStringLiteral("toolBar"))
                    ->actions()
                    .contains(command));

        pelimator::F_Main& tool = program.Tool();
        tool.findChild<QRadioButton*>(QStringLiteral("optType1"))->setChecked(true);
        tool.findChild<QRadioButton*>(QStringLiteral("optPolyLineType0"))->setChecked(true);
        tool.findChild<QRadioButton*>(QStringLiteral("optDir1"))->setChecked(true);
        tool.findChild<QLineEdit*>(QStringLiteral("txtMag"))->setText(QStringLiteral("250"));
        tool.cmdStart_Click();
        QVERIFY(tool.IsConnected());
        QVERIFY(program.Board().Tabs()->count() == 1);  // 開始 made the test drawing
        tool.cmdEnd_Click();  // ends the tool: the panel goes, the board stays
        QVERIFY(!tool.IsConnected());
        QVERIFY(tool.isHidden());
        QVERIFY(program.Board().isVisible());

        command->trigger();
        QVERIFY(tool.isVisible());
        QVERIFY(tool.GetLineKind() == pelimator::settings::LineKind::Zigzag);
        QVERIFY(tool.GetPathKind() == pelimator::settings::PathKind::Polyline);
        QVERIFY(tool.findChild<QRadioButton*>(QStringLiteral("optDir1"))->isChecked());
        QCOMPARE(tool.findChild<QLineEdit*>(QStringLiteral("txtMag"))->text(),
                 QStringLiteral("250"));
        auto* start = tool.findChild<QPushButton*>(QStringLiteral("cmdStart"));
        QVERIFY(start->isEnabled());
        // It starts again, in the drawing that is open (no second test drawing).
        start->click();
        QVERIFY(tool.IsConnected());
        QCOMPARE(program.Board().Tabs()->count(), 1);
        // While it runs, the command only brings it forward: Start stays disabled.
        command->trigger();
        QVERIFY(!start->isEnabled());
    }

    void TheToolsPromptsShowInTheBoardsStatusBarToo() {
        Program program(m_settings);
        program.Start({});
        program.Tool().cmdStart_Click();
        const QString prompt = program.Tool().statusBar()->currentMessage();
        QVERIFY(prompt.endsWith(QStringLiteral("指示して下さい。")));
        QCOMPARE(program.Board().statusBar()->currentMessage(), prompt);
    }

    // Shift+click on a line takes it and the lines joined to it as the path: the path and the
    // line to come are painted at once, and Enter draws exactly the line previewed.
    void DrawingAlongShowsTheLineBeforeEnter() {
        using namespace pelimator::board;
        const QString path = m_dir.filePath(QStringLiteral("道路.dxf"));
        {
            const auto application = BoardApplication::Create();
            const auto document = application->AddDocument("x");
            for (const auto& [a, b] :
                 {std::pair{Vec2{0, 0}, Vec2{100, 0}}, std::pair{Vec2{100, 0}, Vec2{100, 100}},
                  std::pair{Vec2{100, 100}, Vec2{200, 100}}}) {
                document->DrawingModel()->AddEntity(MakeLine(a, b));
            }
            SaveDrawing(*document, path.toStdString());
        }
        Program program(m_settings);
        program.Start({path});
        QTRY_VERIFY(!program.IsOpening());
        program.Tool().cmdStart_Click();
        Canvas* canvas = program.Board().CurrentCanvas();
        QVERIFY(canvas != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(canvas));
        const int before = PreviewPixels(canvas->grab().toImage());

        QTest::mouseClick(canvas, Qt::LeftButton, Qt::ShiftModifier,
                          canvas->ToScreen({100, 50}).toPoint());
        const auto tool = program.BoardApplication()->RunningTool();
        QVERIFY(tool != nullptr);
        const std::vector<EntityData> preview = tool->PreviewEntities();
        QVERIFY(!preview.empty());
        const int shown = PreviewPixels(canvas->grab().toImage());
        QVERIFY2(shown > before + 200,
                 qPrintable(
                     QStringLiteral("preview pixels: %1 before, %2 after").arg(before).arg(shown)));

        QTest::keyClick(canvas, Qt::Key_Return);
        const auto entities = canvas->Document()->DrawingModel()->Entities();
        QCOMPARE(entities.size(), 3 + preview.size());
        for (std::size_t i = 0; i < preview.size(); ++i) {
            EntityData drawn = entities[3 + i];
            drawn.layer = preview[i].layer;  // the run puts its line on the layer chosen
            QVERIFY2(drawn == preview[i], qPrintable(QStringLiteral("entity %1").arg(i)));
        }
    }

    void ClosingTheBoardEndsTheProgram() {
        Program program(m_settings);
        QSignalSpy ended(&program, &Program::ended);
        program.Start({});
        program.Tool().cmdStart_Click();
        QVERIFY(program.Board().close());
        QCOMPARE(ended.count(), 1);
        QVERIFY(!program.Tool().IsConnected());
        QVERIFY(program.Tool().isHidden());
    }

    // After a crash the next start offers what the session autosaved; a drawing opened comes
    // back named and filed as it was, modified; one discarded is gone; a clean close leaves
    // nothing to offer.
    void CrashedSessionsDrawingsAreOfferedAndOpenedAsTheyWere() {
        using namespace pelimator::board;
        const QString plan = WriteDrawing(m_dir, QStringLiteral("復元.dxf"));
        const std::string root = RecoveryRoot();
        QVERIFY(QString::fromStdString(root).startsWith(m_dir.path()));
        const auto crashed = BoardApplication::Create();
        const BoardDocumentPtr opened = OpenDrawing(*crashed, plan.toStdString()).document;
        const BoardDocumentPtr fresh = crashed->AddDocument("図面9");
        for (const auto& document : {opened, fresh}) {
            document->DrawingModel()->AddEntity(MakeLine({1, 2}, {3, 4}));
            document->DrawingModel()->AddEntity(MakeLine({5, 6}, {7, 8}));
        }
        {
            Autosaver saver(std::make_shared<RecoverySession>(root), {});
            QCOMPARE(saver.SaveChanged(*crashed), std::size_t{2});
            saver.Wait();
        }  // ended without cleaning up, as a crash ends it

        Program program(m_settings);
        std::vector<RecoveryEntry> offered;
        program.SetRecoveryAsker([&offered](QWidget*, const std::vector<RecoveryEntry>& entries) {
            offered = entries;
            std::vector<RecoveryChoice> choices;
            for (const RecoveryEntry& entry : entries) {
                choices.push_back(entry.info.name == "図面9" ? RecoveryChoice::Discard
                                                             : RecoveryChoice::Open);
            }
            return choices;
        });
        program.Start({});
        QCOMPARE(offered.size(), std::size_t{2});
        QTRY_COMPARE(TabNames(program), QStringList{QStringLiteral("復元.dxf *")});  // modified
        const BoardDocumentPtr back = program.BoardApplication()->DocumentAt(0);
        QCOMPARE(QString::fromStdString(back->Path()), plan);
        QVERIFY(back->DrawingModel()->IsModified());
        QCOMPARE(ContentOf(*back).entities, ContentOf(*opened).entities);

        // Saved, then closed cleanly: nothing is left for the next start.
        SaveDrawing(*back, back->Path());
        QVERIFY(program.Board().close());
        QVERIFY(FindRecoverable(root).empty());
        QVERIFY(QDir(QString::fromStdString(root))
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                    .isEmpty());
        QCOMPARE(OpenDrawing(*crashed, plan.toStdString()).document->DrawingModel()->Count(),
                 std::size_t{2});
    }

private:
    QTemporaryDir m_dir;
    QString m_settings;
};

QTEST_MAIN(ProgramTest)
#include "program_test.moc"
