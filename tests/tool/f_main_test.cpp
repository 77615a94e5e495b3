// The main window against the recording fake host: call order of start and picking, the
// drawing run's options and settings, and recovery from failures.
#include "tool/f_main.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "geometry/calc.h"
#include "settings/ini_edit.h"
#include "settings/profile_file.h"
#include "settings/ui/up_down.h"
#include "support/fake_host.h"
#include "tool/board_choices_menu.h"

using namespace pelimator;

namespace {

// A main window on a fresh fake host with its settings file in a temporary directory.
struct Rig {
    explicit Rig(bool withDocument = true) {
        if (withDocument) document = factory->Application()->GetDocuments()->Put("図面");
        window = std::make_unique<F_Main>(factory, SettingsPath());
        window->SetErrorPresenter([this](QWidget*, const QString& text) { errors << text; });
    }
    [[nodiscard]] QString SettingsPath() const {
        return dir.filePath(QStringLiteral("Korvane.ini"));
    }
    void Load() { QVERIFY(window->Form_Load(false)); }
    void Start() {
        Load();
        window->cmdStart_Click();
        QVERIFY(window->IsConnected());
    }
    fake::FakeTool& Tool() const { return *factory->LastTool(); }
    fake::CallLog& Log() const { return *factory->Log(); }
    template <typename T>
    T* Find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    [[nodiscard]] std::vector<fake::EntityState> Entities() const {
        return document->GetDrawing()->Snapshot();
    }
    [[nodiscard]] bool SettingsFileExists() const { return QFile::exists(SettingsPath()); }
    [[nodiscard]] int Stored(const char* section, const char* key) const {
        settings::clsIniEdit ini;
        ini.IniFilePath(SettingsPath().toStdString());
        return ini.GetInt(section, key, -999);
    }
    void WriteSetting(const char* section, const char* key, const char* value) const {
        settings::clsIniEdit ini;
        ini.IniFilePath(SettingsPath().toStdString());
        QVERIFY(ini.WriteString(section, key, value) != 0);
    }

    QTemporaryDir dir;
    std::shared_ptr<fake::FakeFactory> factory = std::make_shared<fake::FakeFactory>();
    fake::FakeDocumentPtr document;
    std::unique_ptr<F_Main> window;
    QStringList errors;
};

// Counts the paint events of the object it filters.
struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

std::vector<std::string> Since(const fake::CallLog& log, std::size_t from) {
    return {log.Calls().begin() + static_cast<std::ptrdiff_t>(from), log.Calls().end()};
}

// One call a line, so a failed comparison shows where the orders part.
QString Lines(const std::vector<std::string>& calls) {
    QString text;
    for (const auto& call : calls) text += QString::fromStdString(call) + QLatin1Char('\n');
    return text;
}

}  // namespace

class F_MainTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { M_Calc::InitPi(); }

    void StartWithoutDrawingAddsTestDrawingInOrder() {
        Rig rig(false);
        rig.Load();
        rig.window->cmdStart_Click();
        const std::vector<std::string> expected = {
            "Factory.CreateApplication", "Factory.CreateTool", "Tool.SetEventSink(sink)",
            "Application.SetVisible(true)", "Application.Documents", "Documents.Count",
            "Application.Documents", "Documents.Add(テスト図面)", "Application.ActiveDocument",
            "Document.Activate", "Tool.Start()",
            // RapidTool_Connect
            "Tool.SetCaption(Pelimator)", "Tool.ClearMarks()", "View.Document", "Document.Drawing",
            "Drawing.Redraw(false)", "View.Document", "Tool.Attach(0)"};
        QCOMPARE(Lines(rig.Log().Calls()), Lines(expected));
        QVERIFY(!rig.Find<QPushButton>("cmdStart")->isEnabled());
        QCOMPARE(rig.window->StatusText(), QStringLiteral("開始点を指示して下さい。"));
    }

    void StartWithADrawingOpenAddsNone() {
        Rig rig;
        rig.Start();
        const auto& calls = rig.Log().Calls();
        QVERIFY(std::find(calls.begin(), calls.end(), "Documents.Add(テスト図面)") == calls.end());
        QCOMPARE(rig.factory->Application()->GetDocuments()->All().size(), std::size_t{1});
    }

    void ClicksFollowTheHostCallOrder() {
        Rig rig;
        rig.Start();
        std::size_t mark = rig.Log().Calls().size();
        rig.Tool().FireLButtonDown(1, 2);
        const std::vector<std::string> first = {
            "View.Document",           "Document.Snap",          "Snap.SnapPoint", "View.Document",
            "Factory.CreatePointList", "Factory.CreateCurve",    "Point.X",        "Point.Y",
            "PointList.Add(1, 2)",     "Tool.AddMark(1, (1, 2))"};
        QCOMPARE(Lines(Since(rig.Log(), mark)), Lines(first));
        QCOMPARE(rig.window->StatusText(), QStringLiteral("2点目を指示して下さい。"));

        mark = rig.Log().Calls().size();
        rig.Tool().FireLButtonDown(3, 4);
        const std::vector<std::string> second = {"View.Document",
                                                 "View.Document",
                                                 "Document.Snap",
                                                 "Snap.SnapPoint",
                                                 "View.Document",
                                                 "PointList.Item(0)",
                                                 "Point.X",
                                                 "Point.X",
                                                 "Point.Y",
                                                 "Point.Y",
                                                 "Point.X",
                                                 "Point.Y",
                                                 "PointList.Add(3, 4)",
                                                 "Tool.AddMark(1, (3, 4))"};
        QCOMPARE(Lines(Since(rig.Log(), mark)), Lines(second));
        QCOMPARE(rig.window->StatusText(), QStringLiteral("3点目を指示して下さい。"));
    }

    void MouseMoveBuildsTheBandWithTheChosenPathKind() {
        Rig rig;
        rig.WriteSetting("Board", "Preview", "0");  // the band alone
        rig.Start();
        rig.Tool().FireMouseMove(9, 9);  // nothing picked yet: no band
        rig.Tool().FireRubberDisp();
        QVERIFY(!rig.Tool().Rubber());
        rig.Tool().FireLButtonDown(0, 0);
        rig.Find<QRadioButton>("optPolyLineType1")->setChecked(true);
        const std::size_t mark = rig.Log().Calls().size();
        rig.Tool().FireMouseMove(5, 6);
        const std::vector<std::string> expected = {
            "View.Document",       "Point.X",           "Point.Y", "PointList.Add(5, 6)",
            "Factory.CreateCurve", "Curve.SetPoints(1)"};
        auto calls = Since(rig.Log(), mark);
        // Between SetPoints and Remove the host reads the list it was given.
        QCOMPARE(calls.back(), std::string("PointList.Remove(1)"));
        calls.resize(expected.size());
        QCOMPARE(Lines(calls), Lines(expected));
        rig.Tool().FireRubberDisp();
        QVERIFY(rig.Tool().Rubber());
        QCOMPARE(rig.window->PickPoints()->Count(), 1);
    }

    void BackFromNothingOneAndTwoPoints() {
        Rig rig;
        rig.Start();
        std::size_t mark = rig.Log().Calls().size();
        rig.Tool().FireBackOperation();
        QCOMPARE(Since(rig.Log(), mark), std::vector<std::string>{});  // not even RemoveMark

        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDown(1, 0);
        rig.Tool().FireBackOperation();
        QCOMPARE(rig.window->PickCount(), std::int16_t{1});
        QCOMPARE(rig.window->PickPoints()->Count(), 1);
        QCOMPARE(rig.Tool().Marks().size(), std::size_t{1});
        QCOMPARE(rig.window->StatusText(), QStringLiteral("2点目を指示して下さい。"));

        rig.Tool().FireBackOperation();
        QCOMPARE(rig.window->PickCount(), std::int16_t{0});
        QVERIFY(!rig.window->PickPoints());
        QVERIFY(rig.Tool().Marks().empty());
        QCOMPARE(rig.window->StatusText(), QStringLiteral("開始点を指示して下さい。"));
    }

    void SamePointDoubleClickRunsWithThePointsAlreadyPicked() {
        Rig rig;
        rig.Start();
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDown(20, 0);
        rig.Tool().FireLButtonDblck(20, 0);
        QCOMPARE(rig.Entities().size(), std::size_t{4});  // 20 units at pitch 5
        QCOMPARE(rig.window->PickCount(), std::int16_t{0});
        QCOMPARE(rig.window->StatusText(), QStringLiteral("開始点を指示して下さい。"));
        QVERIFY(rig.errors.isEmpty());
    }

    // The board's menu keys, read from the settings file at each move and each run.
    void PreviewFollowsTheBoardKeyAndTheRunFitsWhenAsked() {
        Rig rig;
        rig.Start();
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireMouseMove(21.5, 0);
        // One pick: Enter draws nothing; a double click at the cursor would draw 5.
        QVERIFY(rig.Tool().Preview().empty());
        QCOMPARE(rig.Tool().PreviewAtCursor().size(), std::size_t{5});  // 20 + the short end
        QVERIFY(rig.Entities().empty());
        rig.WriteSetting("Board", "Preview", "0");
        rig.Tool().FireMouseMove(30, 0);
        QVERIFY(rig.Tool().PreviewAtCursor().empty());
        rig.WriteSetting("Board", "Preview", "1");
        rig.WriteSetting("Board", "FitEnd", "1");
        rig.Tool().FireMouseMove(21.5, 0);
        QCOMPARE(rig.Tool().PreviewAtCursor().size(), std::size_t{4});  // 4 chords of 5.375
        rig.Tool().FireLButtonDblck(21.5, 0);
        QCOMPARE(rig.Entities().size(), std::size_t{4});
        QVERIFY(rig.Tool().Preview().empty());
        QVERIFY(rig.Tool().PreviewAtCursor().empty());
        QCOMPARE(rig.Stored("Board", "FitEnd"), 1);  // the run does not write the board's keys
        QVERIFY(rig.errors.isEmpty());
    }

    void BoardMenuEntriesShowAndWriteTheBoardKeys() {
        Rig rig;
        QMenu view;
        QMenu drawing;
        const BoardChoiceActions actions =
            AddBoardChoiceActions(&view, &drawing, rig.SettingsPath(), nullptr);
        QVERIFY(actions.preview->isChecked());  // defaults: preview on, fitting off
        QVERIFY(!actions.fitEnd->isChecked());
        QVERIFY(drawing.actions().contains(actions.fitEnd));
        actions.fitEnd->trigger();
        QCOMPARE(rig.Stored("Board", "FitEnd"), 1);
        QCOMPARE(rig.Stored("Main", "Poly"), -999);  // the main window's keys untouched
        rig.WriteSetting("Board", "Preview", "0");   // changed behind the menu's back
        emit view.aboutToShow();
        QVERIFY(!actions.preview->isChecked());
    }

    void OnePointDoubleClickOrEnterDrawsNothing() {
        Rig rig;
        rig.Start();
        rig.Tool().FireLButtonDblck(3, 3);
        rig.Tool().FireKeyDown(13, 0);
        QCOMPARE(rig.window->PickCount(), std::int16_t{1});
        QVERIFY(rig.Entities().empty());
    }

    void RefusedSnapAndRepeatedPointAddNothing() {
        Rig rig;
        rig.Start();
        rig.document->GetSnap()->Refuse(true);
        rig.Tool().FireLButtonDown(1, 1);
        QCOMPARE(rig.window->PickCount(), std::int16_t{0});
        rig.document->GetSnap()->Refuse(false);
        rig.document->GetSnap()->MoveTo(std::pair{7.0, 7.0});
        rig.Tool().FireLButtonDown(1, 1);
        rig.Tool().FireLButtonDown(2, 2);  // snaps to the same place
        QCOMPARE(rig.window->PickCount(), std::int16_t{1});
        QCOMPARE(rig.window->PickPoints()->Item(0)->X(), 7.0);
    }

    void EventsOfAnotherDrawingAreIgnoredOncePickingStarted() {
        Rig rig;
        rig.Start();
        rig.Tool().FireLButtonDown(0, 0);
        auto other = rig.factory->Application()->GetDocuments()->Put("別の図面");
        rig.Tool().FireLButtonDown(5, 5);
        rig.Tool().FireBackOperation();
        rig.Tool().FireKeyDown(27, 0);  // Esc in another drawing: ignored too
        QVERIFY(rig.window->IsConnected());
        QCOMPARE(rig.window->PickCount(), std::int16_t{1});
        rig.factory->Application()->GetDocuments()->SetActive(rig.document);
        rig.Tool().FireLButtonDown(5, 5);
        QCOMPARE(rig.window->PickCount(), std::int16_t{2});
    }

    void EscStopsTheToolAndClosesTheWindow() {
        Rig rig;
        rig.Start();
        rig.window->show();
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireKeyDown(27, 0);
        QVERIFY(!rig.window->IsConnected());
        QVERIFY(!rig.window->isVisible());
        QVERIFY(rig.Tool().Marks().empty());
    }

    void EndBeforeStartClosesAndAfterStartStops() {
        Rig before;
        before.Load();
        before.window->show();
        before.window->cmdEnd_Click();
        QVERIFY(!before.window->isVisible());

        Rig after;
        after.Start();
        after.window->show();
        after.window->cmdEnd_Click();
        QVERIFY(!after.Tool().Running());
        QVERIFY(!after.window->isVisible());
    }

    void SettingsButtonOpensTheDialogOnTheSettingsFile() {
        Rig rig;
        rig.Load();
        QStringList opened;
        rig.window->SetSettingsOpener([&](const QString& path) { opened << path; });
        rig.Find<QPushButton>("cmdSet")->click();
        QCOMPARE(opened, QStringList{rig.SettingsPath()});
    }

    void AnotherInstanceEndsTheLoad() {
        Rig rig;
        rig.window->show();
        QVERIFY(!rig.window->Form_Load(true));
        QVERIFY(!rig.window->isVisible());
        QVERIFY(rig.Log().Calls().empty());
    }

    void OptionsComeFromTheFileAndOutOfRangeFallsBack() {
        Rig stored;
        stored.WriteSetting("Main", "Poly", "0");
        stored.WriteSetting("Main", "Type", "1");
        stored.WriteSetting("Main", "Mag", "250");
        stored.WriteSetting("Main", "Dir", "1");
        stored.Load();
        QVERIFY(stored.Find<QRadioButton>("optPolyLineType0")->isChecked());
        QVERIFY(stored.Find<QRadioButton>("optType1")->isChecked());
        QCOMPARE(stored.Find<QLineEdit>("txtMag")->text(), QStringLiteral("250"));
        QVERIFY(stored.Find<QRadioButton>("optDir1")->isChecked());

        Rig odd;
        odd.WriteSetting("Main", "Poly", "7");
        odd.WriteSetting("Main", "Mag", "5000");
        odd.Load();
        QVERIFY(odd.Find<QRadioButton>("optPolyLineType2")->isChecked());
        QCOMPARE(odd.Find<QLineEdit>("txtMag")->text(), QStringLiteral("1000"));

        Rig none;
        none.Load();
        QVERIFY(none.Find<QRadioButton>("optPolyLineType2")->isChecked());
        QVERIFY(none.Find<QRadioButton>("optType0")->isChecked());
        QCOMPARE(none.Find<QLineEdit>("txtMag")->text(), QStringLiteral("100"));
        QVERIFY(none.Find<QRadioButton>("optDir0")->isChecked());
    }

    void OptionsAreStoredAfterALineAndNotBefore() {
        Rig rig;
        rig.Start();
        rig.Find<QRadioButton>("optPolyLineType0")->setChecked(true);
        rig.Find<QRadioButton>("optType1")->setChecked(true);
        rig.Find<QRadioButton>("optDir1")->setChecked(true);
        rig.Find<QLineEdit>("txtMag")->setText(QStringLiteral("200"));
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDown(40, 0);
        QVERIFY(!rig.SettingsFileExists());
        rig.Tool().FireKeyDown(13, 0);
        QCOMPARE(rig.Stored("Main", "Poly"), 0);
        QCOMPARE(rig.Stored("Main", "Type"), 1);
        QCOMPARE(rig.Stored("Main", "Mag"), 200);
        QCOMPARE(rig.Stored("Main", "Dir"), 1);
        // 40 units at zigzag width 5 × 2: four legs.
        QCOMPARE(rig.Entities().size(), std::size_t{4});
        QVERIFY(rig.Find<QPushButton>("cmdSet")->isEnabled());
        QVERIFY(!rig.Find<QPushButton>("cmdStart")->isEnabled());
    }

    void ScaleAndMagnificationGiveThePitch() {
        Rig rig;
        rig.document->GetScale()->Put(1, 100);
        rig.Start();
        rig.Find<QRadioButton>("optPolyLineType0")->setChecked(true);
        rig.Find<QLineEdit>("txtMag")->setText(QStringLiteral("50"));
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDblck(1000, 0);
        const auto arcs = rig.Entities();
        QCOMPARE(arcs.size(), std::size_t{4});
        QCOMPARE(arcs[0].endX - arcs[0].startX, 250.0);
    }

    void TypedMagnificationKeys_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("passes");
        QTest::newRow("Backspace") << 8 << true;
        QTest::newRow("Enter") << 13 << true;
        QTest::newRow("Space") << 32 << false;
        QTest::newRow("Minus") << 45 << false;
        QTest::newRow("Slash") << 47 << false;
        QTest::newRow("Zero") << 48 << true;
        QTest::newRow("Nine") << 57 << true;
        QTest::newRow("Colon") << 58 << false;
        QTest::newRow("LetterA") << 65 << false;
        QTest::newRow("FullWidthDigit") << 0xFF11 << false;
        QTest::newRow("Negative") << -3 << true;
    }
    void TypedMagnificationKeys() {
        QFETCH(int, code);
        QFETCH(bool, passes);
        int key = code;
        F_Main::txtMag_KeyPress(key);
        QCOMPARE(key, passes ? code : 0);
    }

    void LettersTypedIntoMagnificationHaveNoEffect() {
        Rig rig;
        rig.Load();
        auto* txtMag = rig.Find<QLineEdit>("txtMag");
        txtMag->setFocus();
        txtMag->selectAll();
        QTest::keyClicks(txtMag, QStringLiteral("a1-b2."));
        QCOMPARE(txtMag->text(), QStringLiteral("12"));
        QTest::keyClick(txtMag, Qt::Key_Backspace);
        QCOMPARE(txtMag->text(), QStringLiteral("1"));
    }

    void SyncMagnificationTakesOnlyUsableText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("value");
        QTest::newRow("Number") << "250" << 250;
        QTest::newRow("Empty") << "" << 100;
        QTest::newRow("NotANumber") << "x" << 100;
        QTest::newRow("BelowRange") << "5" << 10;
        QTest::newRow("AboveRange") << "9999" << 1000;
    }
    void SyncMagnificationTakesOnlyUsableText() {
        QFETCH(QString, typed);
        QFETCH(int, value);
        Rig rig;
        rig.Load();
        rig.Find<QLineEdit>("txtMag")->setText(typed);
        rig.window->SyncMagnification();
        QCOMPARE(rig.Find<settings::UpDown>("updMag")->Value(), value);
        QCOMPARE(rig.Find<QLineEdit>("txtMag")->text(), QString::number(value));
    }

    void RadiusBelowHalfTheWidthIsRefusedAndTheWindowStaysUsable() {
        Rig rig;
        rig.WriteSetting("Wave", "Width", "10");
        rig.WriteSetting("Wave", "Radius", "2");
        rig.Start();
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDblck(50, 0);
        QCOMPARE(rig.errors,
                 QStringList{QStringLiteral("半径(R)は幅(W)÷２以上に設定して下さい。")});
        QVERIFY(rig.Entities().empty());
        QCOMPARE(rig.window->PickCount(), std::int16_t{0});
        QVERIFY(rig.Find<QPushButton>("cmdSet")->isEnabled());
        QVERIFY(!rig.Find<QPushButton>("cmdStart")->isEnabled());
        QCOMPARE(rig.Stored("Main", "Poly"), -999);  // nothing stored
    }

    void EveryInjectedFailureInARunLeavesTheDrawingAndWindowUsable() {
        // Count the calls of one undisturbed run, then fail each of them in turn.
        // Failures after the step was committed (the redraw, the reset) leave the finished
        // line in place; every earlier one leaves the drawing as it was.
        std::size_t runCalls = 0;
        std::size_t commitCall = 0;
        {
            Rig rig;
            rig.Start();
            rig.Tool().FireLButtonDown(0, 0);
            rig.Tool().FireLButtonDown(7, 3);
            const std::size_t mark = rig.Log().Calls().size();
            rig.Tool().FireLButtonDblck(14, 0);
            QVERIFY(rig.errors.isEmpty());
            const auto calls = Since(rig.Log(), mark);
            runCalls = calls.size();
            commitCall = static_cast<std::size_t>(
                std::find(calls.begin(), calls.end(), "Drawing.EndEdit(true)") - calls.begin() + 1);
            QVERIFY(commitCall < runCalls);
        }
        QVERIFY(runCalls > 20);
        for (std::size_t k = 1; k <= runCalls; ++k) {
            Rig rig;
            rig.Start();
            rig.Tool().FireLButtonDown(0, 0);
            rig.Tool().FireLButtonDown(7, 3);
            const auto before = rig.Entities();
            rig.Log().FailAt(static_cast<std::int64_t>(rig.Log().Count() + k));
            rig.Tool().FireLButtonDblck(14, 0);
            const QString row = QStringLiteral("call %1 of %2").arg(k).arg(runCalls);
            QVERIFY2(rig.errors.size() == 1, qPrintable(row));
            if (k < commitCall) QVERIFY2(rig.Entities() == before, qPrintable(row));
            QVERIFY2(rig.window->PickCount() == 0, qPrintable(row));
            QVERIFY2(rig.Find<QPushButton>("cmdSet")->isEnabled(), qPrintable(row));
            QVERIFY2(rig.Find<QLineEdit>("txtMag")->isEnabled(), qPrintable(row));
            QVERIFY2(!rig.Find<QPushButton>("cmdStart")->isEnabled(), qPrintable(row));
            QVERIFY2(rig.Stored("Main", "Type") == -999, qPrintable(row));
        }
    }

    void PathShorterThanThePitchSaysWhyNothingWasDrawn() {
        Rig rig;
        rig.document->GetScale()->Put(1, 10);  // wave width 5 mm: a pitch of 50 units
        rig.Start();
        rig.Find<QRadioButton>("optPolyLineType0")->setChecked(true);
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDblck(30, 0);
        QVERIFY(rig.errors.isEmpty());
        QVERIFY(rig.Entities().empty());
        const QString status = rig.window->StatusText();
        QVERIFY2(status.contains(QStringLiteral("長さは 30")), qPrintable(status));
        QVERIFY2(status.contains(QStringLiteral("間隔 50 (図面の単位)")), qPrintable(status));
        QVERIFY2(status.endsWith(QStringLiteral("開始点を指示して下さい。")), qPrintable(status));
        QCOMPARE(rig.window->PickCount(), std::int16_t{0});
        QCOMPARE(rig.Stored("Main", "Poly"), 0);  // a finished run stores the options as ever
    }

    void LineAboveTheEntityLimitIsRefusedWithItsEstimate() {
        Rig rig;
        rig.Start();
        rig.Find<QLineEdit>("txtMag")->setText(QStringLiteral("10"));
        rig.Find<QRadioButton>("optPolyLineType0")->setChecked(true);
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDblck(1e12, 0);  // a pitch of 0.5: about 2e12 arcs
        QCOMPARE(rig.errors.size(), 1);
        QVERIFY2(rig.errors[0].contains(QStringLiteral("上限の 10000000 個")),
                 qPrintable(rig.errors[0]));
        QVERIFY2(rig.errors[0].contains(QStringLiteral("約 2000000000003 個")),
                 qPrintable(rig.errors[0]));
        QVERIFY(rig.Entities().empty());
        QCOMPARE(rig.window->PickCount(), std::int16_t{0});
        QVERIFY(rig.Find<QPushButton>("cmdSet")->isEnabled());
    }

    void ProgressIsPaintedAtMostOncePerIntervalAndTheLastTextFollows() {
        Rig rig;
        rig.Load();
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        auto* bar = rig.window->findChild<QStatusBar*>(QStringLiteral("StatusBar"));
        PaintCounter paints;
        bar->installEventFilter(&paints);

        // Painted at once, with no event loop running in between, as inside a long run.
        rig.window->SetStatusPaintInterval(0);
        for (int i = 0; i < 200; ++i) rig.window->ProgressSink()("0:" + std::to_string(i));
        QVERIFY2(paints.count >= 200, qPrintable(QString::number(paints.count)));
        QCOMPARE(rig.window->StatusText(), QStringLiteral("0:199"));

        paints.count = 0;
        rig.window->SetStatusPaintInterval(10'000);  // none within the loop
        for (int i = 0; i < 200; ++i) rig.window->ProgressSink()("1:" + std::to_string(i));
        QCOMPARE(paints.count, 0);
        rig.window->SetStatusPaintInterval(20);
        rig.window->ProgressSink()("last");
        QTRY_COMPARE(rig.window->StatusText(), QStringLiteral("last"));
    }

    // Typed into the box, a magnification shows the value the next line will take: above the
    // maximum at once (more digits cannot bring it down), below the minimum when typing ends.
    void TypedMagnificationShowsItsValueInRangeAtOnce() {
        Rig rig;
        rig.Load();
        auto* txtMag = rig.Find<QLineEdit>("txtMag");
        txtMag->setFocus();
        txtMag->selectAll();
        QTest::keyClicks(txtMag, QStringLiteral("500"));
        QCOMPARE(txtMag->text(), QStringLiteral("500"));
        QTest::keyClicks(txtMag, QStringLiteral("0"));
        QCOMPARE(txtMag->text(), QStringLiteral("1000"));
        txtMag->selectAll();
        QTest::keyClicks(txtMag, QStringLiteral("5"));
        QCOMPARE(txtMag->text(), QStringLiteral("5"));  // may become 50
        QTest::keyClick(txtMag, Qt::Key_Return);        // typing ends
        QCOMPARE(txtMag->text(), QStringLiteral("10"));
        QCOMPARE(rig.window->MagnificationToUse(), 10);
    }

    // A pitch that cannot be fitted stays, and the status bar says so and why, before the prompt.
    void KeptPitchIsExplainedInTheStatusBar() {
        Rig rig;
        rig.WriteSetting("Board", "FitEnd", "1");
        rig.Start();
        rig.Find<QRadioButton>("optPolyLineType0")->setChecked(true);
        // A pitch of 5: the path turns back within a pitch of its last cut.
        for (const auto& [x, y] : {std::pair{0.0, 0.0}, {52.5, 0.0}, {52.5, 2.0}}) {
            rig.Tool().FireLButtonDown(x, y);
        }
        rig.Tool().FireLButtonDblck(50.5, 2.0);
        QVERIFY(rig.errors.isEmpty());
        QCOMPARE(rig.Entities().size(), std::size_t{11});
        const QString status = rig.window->StatusText();
        QVERIFY2(status.contains(QStringLiteral("通常の間隔 5 のまま描きました")),
                 qPrintable(status));
        QVERIFY2(status.endsWith(QStringLiteral("開始点を指示して下さい。")), qPrintable(status));
    }

    // In a drawing in metres the pitch is 5 mm × 1:500 = 2.5 m, and the status bar says so.
    void PitchInTheDrawingsUnitIsShown() {
        Rig rig;
        rig.document->GetScale()->Put(1, 500);
        rig.document->SetUnit({1000.0, "m"});
        rig.Start();
        rig.Find<QRadioButton>("optPolyLineType0")->setChecked(true);
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDblck(25, 0);
        QCOMPARE(rig.Entities().size(), std::size_t{10});
        const QString status = rig.window->StatusText();
        QVERIFY2(status.startsWith(QStringLiteral("点の間隔 2.5 m (図面の単位 m) で描きました。")),
                 qPrintable(status));
    }

    // A hand-edited width the run cannot take is named in the status bar with the width used,
    // after the line as well as at start, and the line is drawn with that width.
    void HandEditedValueIsNamedWithTheValueUsed() {
        Rig rig;
        rig.WriteSetting("Wave", "Width", "abc");
        rig.Start();
        const QString note = QStringLiteral("[Wave] Width=abc は使えないので 1 を使います");
        QVERIFY2(rig.window->StatusText().contains(note), qPrintable(rig.window->StatusText()));
        rig.Find<QRadioButton>("optPolyLineType0")->setChecked(true);
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDblck(50, 0);
        QVERIFY(rig.errors.isEmpty());
        QVERIFY(!rig.Entities().empty());
        const QString status = rig.window->StatusText();
        QVERIFY2(status.startsWith(QStringLiteral("設定ファイルの ") + note), qPrintable(status));
        QVERIFY2(status.endsWith(QStringLiteral("開始点を指示して下さい。")), qPrintable(status));
    }

    // A settings file that exists but cannot be read is not replaced by the defaults: the run
    // refuses, naming the file and why; a failed write of the options says why too.
    void UnreadableSettingsFileIsNamedWithItsReason() {
        Rig rig;
        rig.WriteSetting("Wave", "Width", "9");
        QVERIFY(QFile::resize(rig.SettingsPath(), (qint64{64} << 20) + 1));
        rig.Start();
        QCOMPARE(rig.errors.size(), 1);  // said at start
        QVERIFY2(rig.errors[0].contains(QStringLiteral("64 MB")), qPrintable(rig.errors[0]));
        rig.errors.clear();
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDblck(50, 0);
        QCOMPARE(rig.errors.size(), 1);
        QVERIFY2(rig.errors[0].contains(QStringLiteral("「Korvane.ini」は大きすぎて")),
                 qPrintable(rig.errors[0]));
        QVERIFY2(rig.errors[0].contains(rig.SettingsPath()), qPrintable(rig.errors[0]));
        QVERIFY(rig.Entities().empty());
        QCOMPARE(QFileInfo(rig.SettingsPath()).size(), (qint64{64} << 20) + 1);
    }

    void FailedWriteOfTheOptionsSaysWhy() {
        Rig rig;
        rig.Start();
        // The disk fills up while the options are stored after the line.
        settings::SetProfileWriteHooks({[](int, const char*, std::size_t) -> long {
                                            errno = ENOSPC;
                                            return -1;
                                        },
                                        {}});
        rig.Tool().FireLButtonDown(0, 0);
        rig.Tool().FireLButtonDblck(20, 0);
        settings::SetProfileWriteHooks({});
        QCOMPARE(rig.Entities().size(), std::size_t{4});
        QCOMPARE(rig.errors.size(), 1);
        QVERIFY2(rig.errors[0].startsWith(QStringLiteral("線は追加しましたが")),
                 qPrintable(rig.errors[0]));
        QVERIFY2(rig.errors[0].contains(QStringLiteral("ディスクの空きが足りません")),
                 qPrintable(rig.errors[0]));
        QVERIFY2(rig.errors[0].contains(rig.SettingsPath()), qPrintable(rig.errors[0]));
    }

    void PicksBeyondTheLastNumberAreIgnored() {
        Rig rig;
        rig.Start();
        rig.Log().SetRecording(false);
        for (int i = 0; i < 32767; ++i) rig.Tool().FireLButtonDown(i, 0);
        QCOMPARE(rig.window->PickCount(), std::int16_t{32766});
        QCOMPARE(rig.window->PickPoints()->Count(), 32766);
        QCOMPARE(rig.window->StatusText(), QStringLiteral("32767点目を指示して下さい。"));
        QVERIFY(rig.errors.isEmpty());
        rig.Tool().FireBackOperation();
        QCOMPARE(rig.window->PickCount(), std::int16_t{32765});
    }
};

QTEST_MAIN(F_MainTest)
#include "f_main_test.moc"
