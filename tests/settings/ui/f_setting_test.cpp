// F_Setting on the offscreen platform: defaults, the radius check, typed text, keys, persistence.
#include "settings/ui/f_setting.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QToolButton>

#include "settings/profile_file.h"
#include "settings/settings_file.h"
#include "settings/ui/setting_pictures.h"
#include "settings/ui/up_down.h"
#include "support/temp_dir.h"

using pelimator::settings::F_Setting;
using pelimator::settings::UpDown;
using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;

namespace {

// Equality passes (W 6, R 3), so the message asks for "at least", not "more than".
const QString kRadiusMessage = QStringLiteral("半径(R)は幅(W)÷２以上に設定して下さい。");

// Records message boxes instead of showing them.
class RecordingSetting : public F_Setting {
public:
    using F_Setting::F_Setting;
    QStringList messages;

protected:
    void ShowStopMessage(const QString& text) override { messages << text; }
};

template <typename T>
T* Find(QWidget& dialog, const QString& name) {
    T* widget = dialog.findChild<T*>(name);
    if (widget == nullptr) qFatal("no control named %s", qPrintable(name));
    return widget;
}

QLineEdit* Box(QWidget& d, int i) { return Find<QLineEdit>(d, QStringLiteral("txtSet%1").arg(i)); }
UpDown* Spin(QWidget& d, int i) { return Find<UpDown>(d, QStringLiteral("updSet%1").arg(i)); }

void Retype(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// What OK writes on a fresh file: the values the drawing run uses when the file lacks them.
const char* const kDefaultFile =
    "[Wave]\nWidth=5\nRadius=4\n[Zigzag]\nWidth=5\nHeight=3\n[Layer]\nChange=1\nNumber=200\n";

}  // namespace

class FSettingTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_dir;
    std::string m_path;

private slots:
    void init() {
        m_dir = std::make_unique<TempDir>();
        m_path = m_dir->File("Korvane.ini");
    }
    void cleanup() {
        pelimator::settings::SetProfileWriteHooks({});
        m_dir.reset();
    }

    void defaultsWithNoFile() {
        RecordingSetting d(m_path);
        QCOMPARE(d.windowTitle(), QStringLiteral("設定(単位：mm)"));
        QVERIFY(d.isModal());
        QVERIFY(d.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        // What the drawing run uses on a fresh file: wave W 5, R 4; zigzag W 5, H 3.
        const QStringList expected{"5", "4", "5", "3", "200"};
        for (int i = 0; i < 5; ++i) QCOMPARE(Box(d, i)->text(), expected[i]);
        QCOMPARE(Spin(d, 4)->Value(), 200);
        QVERIFY(Find<QCheckBox>(d, "chkSet")->isChecked());
        QVERIFY(Box(d, 4)->isEnabled());
        QCOMPARE(d.focusWidget(), Find<QPushButton>(d, "cmdOK"));
        QVERIFY(Find<QPushButton>(d, "cmdOK")->isDefault());
        QCOMPARE(Find<QPushButton>(d, "cmdOK")->text(), QStringLiteral("了　解"));
        QCOMPARE(Find<QPushButton>(d, "cmdCancel")->text(), QStringLiteral("取　消"));
        QCOMPARE(Box(d, 0)->maxLength(), 2);
        QCOMPARE(Box(d, 4)->maxLength(), 9);
        QVERIFY(!QFile::exists(QString::fromStdString(m_path)));
    }

    // OK without a change writes what was shown, and the next line is drawn as before it.
    void okWritesTheSixValues() {
        pelimator::settings::clsIniEdit ini;
        ini.IniFilePath(m_path);
        const auto before = pelimator::settings::ReadRunSettings(ini);
        RecordingSetting d(m_path);
        QTest::mouseClick(Find<QPushButton>(d, "cmdOK"), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(d.messages.isEmpty());
        QCOMPARE(ReadBytes(m_path), std::string(kDefaultFile));
        const auto after = pelimator::settings::ReadRunSettings(ini);
        QCOMPARE(after.WaveWidth, before.WaveWidth);
        QCOMPARE(after.WaveRadius, before.WaveRadius);
        QCOMPARE(after.ZigzagWidth, before.ZigzagWidth);
        QCOMPARE(after.ZigzagHeight, before.ZigzagHeight);
        QCOMPARE(after.LayerChange, before.LayerChange);
        QCOMPARE(after.LayerNumber, before.LayerNumber);
    }

    void radiusCheck_data() {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("radius");
        QTest::addColumn<bool>("passes");
        QTest::newRow("W6 R3 equal to half passes") << "6"
                                                    << "3" << true;
        QTest::newRow("W5 R2 below half fails") << "5"
                                                << "2" << false;
        QTest::newRow("W5 R3 above half passes") << "5"
                                                 << "3" << true;
        QTest::newRow("W50 R24 fails") << "50"
                                       << "24" << false;
        QTest::newRow("W1 R1 passes") << "1"
                                      << "1" << true;
    }
    void radiusCheck() {
        QFETCH(QString, width);
        QFETCH(QString, radius);
        QFETCH(bool, passes);
        RecordingSetting d(m_path);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        Retype(Box(d, 0), width);
        Retype(Box(d, 1), radius);
        Find<QPushButton>(d, "cmdOK")->setFocus();
        QTest::mouseClick(Find<QPushButton>(d, "cmdOK"), Qt::LeftButton);
        if (passes) {
            QVERIFY(d.messages.isEmpty());
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QVERIFY(ReadBytes(m_path).find("Width=" + width.toStdString() + "\nRadius=" +
                                           radius.toStdString() + "\n") != std::string::npos);
        } else {
            QCOMPARE(d.messages, QStringList{kRadiusMessage});
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget(), Box(d, 1));
            QVERIFY(!QFile::exists(QString::fromStdString(m_path)));
        }
    }

    void typedLayerAbove32767IsSaved() {
        RecordingSetting d(m_path);
        Retype(Box(d, 4), "40000");
        QTest::mouseClick(Find<QPushButton>(d, "cmdOK"), Qt::LeftButton);
        QCOMPARE(pelimator::settings::GetProfileInt("Layer", "Number", 0, m_path), 40000);
        Retype(Box(d, 4), "999999999");
        QTest::mouseClick(Find<QPushButton>(d, "cmdOK"), Qt::LeftButton);
        QCOMPARE(pelimator::settings::GetProfileInt("Layer", "Number", 0, m_path), 999999999);
    }

    void unusableTextKeepsTheSpinnersValue_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("empty radius keeps the stored 7") << 1 << ""
                                                         << "Radius=7";
        QTest::newRow("leading zeros accepted") << 3 << "07"
                                                << "Height=7";
    }
    void unusableTextKeepsTheSpinnersValue() {
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        WriteBytes(m_path, "[Wave]\nRadius=7\n");
        RecordingSetting d(m_path);
        Retype(Box(d, index), typed);
        QTest::mouseClick(Find<QPushButton>(d, "cmdOK"), Qt::LeftButton);
        QVERIFY(d.messages.isEmpty());
        QVERIFY2(ReadBytes(m_path).find(saved.toStdString() + "\n") != std::string::npos,
                 ReadBytes(m_path).c_str());
    }

    // A number outside a spinner's range is not dropped in silence: OK names the box, the value
    // and the range, puts the focus there and leaves the dialog open with nothing saved.
    void outOfRangeValueIsNamedAndTheDialogStaysOpen_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("wave width 99999 (the box takes 99)")
            << 0 << "99999"
            << "波線の幅(W) の 99 は範囲外です。1〜50 の数を入力して下さい。";
        QTest::newRow("wave width 0")
            << 0 << "0"
            << "波線の幅(W) の 0 は範囲外です。1〜50 の数を入力して下さい。";
        QTest::newRow("zigzag height 60")
            << 3 << "60"
            << "ジグザグ線の高さ(H) の 60 は範囲外です。1〜50 の数を入力して下さい。";
        QTest::newRow("layer 0")
            << 4 << "0"
            << "レイヤの番号 の 0 は範囲外です。1〜999999999 の数を入力して下さい。";
    }
    void outOfRangeValueIsNamedAndTheDialogStaysOpen() {
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        RecordingSetting d(m_path);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        Retype(Box(d, index), typed);
        Find<QPushButton>(d, "cmdOK")->setFocus();
        QTest::mouseClick(Find<QPushButton>(d, "cmdOK"), Qt::LeftButton);
        QCOMPARE(d.messages, QStringList{message});
        QVERIFY(d.isVisible());
        QCOMPARE(d.focusWidget(), Box(d, index));
        QVERIFY(!QFile::exists(QString::fromStdString(m_path)));
    }

    void checkBoxDisablesTheLayerNumber() {
        WriteBytes(m_path, "[Layer]\nNumber=321\n");
        {
            RecordingSetting d(m_path);
            auto* check = Find<QCheckBox>(d, "chkSet");
            QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
            QVERIFY(!check->isChecked());
            QVERIFY(!Find<QLabel>(d, "lblSet4")->isEnabled());
            QVERIFY(!Box(d, 4)->isEnabled());
            QVERIFY(!Spin(d, 4)->isEnabled());
            QVERIFY(Box(d, 3)->isEnabled());
            QTest::mouseClick(Find<QPushButton>(d, "cmdOK"), Qt::LeftButton);
        }
        QCOMPARE(pelimator::settings::GetProfileInt("Layer", "Change", -1, m_path), 0);
        QCOMPARE(pelimator::settings::GetProfileInt("Layer", "Number", -1, m_path), 321);
        RecordingSetting again(m_path);
        QVERIFY(!Find<QCheckBox>(again, "chkSet")->isChecked());
        QVERIFY(!Box(again, 4)->isEnabled());
        QVERIFY(!Find<QLabel>(again, "lblSet4")->isEnabled());
        QCOMPARE(Box(again, 4)->text(), QStringLiteral("321"));
    }

    void storedChangeDecidesTheCheckBox_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::newRow("one") << "1" << true;
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("two") << "2" << false;
        QTest::newRow("minus one") << "-1" << false;
        QTest::newRow("text") << "yes" << false;
    }
    void storedChangeDecidesTheCheckBox() {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        WriteBytes(m_path, "[Layer]\nChange=" + stored.toStdString() + "\n");
        RecordingSetting d(m_path);
        QCOMPARE(Find<QCheckBox>(d, "chkSet")->isChecked(), checked);
        QCOMPARE(Box(d, 4)->isEnabled(), checked);
        QCOMPARE(Spin(d, 4)->isEnabled(), checked);
    }

    void outOfRangeFileValuesAreClamped() {
        WriteBytes(m_path, "[Wave]\nWidth=99\nRadius=0\n[Layer]\nNumber=2000000000\n");
        RecordingSetting d(m_path);
        QCOMPARE(Box(d, 0)->text(), QStringLiteral("50"));
        QCOMPARE(Box(d, 1)->text(), QStringLiteral("1"));
        QCOMPARE(Spin(d, 4)->Value(), 999999999);
    }

    void enterActsAsOk() {
        RecordingSetting d(m_path);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        Retype(Box(d, 2), "7");
        QTest::keyClick(Box(d, 2), Qt::Key_Return);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!d.isVisible());
        QCOMPARE(pelimator::settings::GetProfileInt("Zigzag", "Width", 0, m_path), 7);
    }

    void escapeActsAsCancel() {
        RecordingSetting d(m_path);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        Retype(Box(d, 0), "9");
        QTest::keyClick(Box(d, 0), Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!d.isVisible());
        QVERIFY(!QFile::exists(QString::fromStdString(m_path)));
    }

    void cancelButtonSavesNothing() {
        WriteBytes(m_path, kDefaultFile);
        RecordingSetting d(m_path);
        Retype(Box(d, 0), "9");
        QTest::mouseClick(Find<QPushButton>(d, "cmdCancel"), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(ReadBytes(m_path), std::string(kDefaultFile));
    }

    void badCharactersAreDiscarded() {
        RecordingSetting d(m_path);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        for (int i = 0; i < 5; ++i) {
            Retype(Box(d, i), QStringLiteral("a -+.e"));
            QTest::sendKeyEvent(QTest::Click, Box(d, i), Qt::Key_1, QStringLiteral("１"),
                                Qt::NoModifier);
            QTest::keyClicks(Box(d, i), QStringLiteral("2"));
            QCOMPARE(Box(d, i)->text(), QStringLiteral("2"));
        }
        QTest::keyClicks(Box(d, 4), QStringLiteral("x34"));
        QCOMPARE(Box(d, 4)->text(), QStringLiteral("234"));
        QTest::keyClick(Box(d, 4), Qt::Key_Backspace);
        QCOMPARE(Box(d, 4)->text(), QStringLiteral("23"));
    }

    void keyPressFilterRows() {
        struct Row {
            int code;
            int after;
        };
        for (const Row row :
             {Row{'0', '0'}, Row{'9', '9'}, Row{8, 8}, Row{13, 13}, Row{27, 27}, Row{' ', 0},
              Row{'-', 0}, Row{'.', 0}, Row{'/', 0}, Row{':', 0}, Row{'a', 0}, Row{0xFF11, 0}}) {
            int code = row.code;
            F_Setting::txtSet_KeyPress(0, code);
            QCOMPARE(code, row.after);
        }
    }

    void spinnerArrowsStepWithinTheRange() {
        WriteBytes(m_path, "[Wave]\nWidth=49\n");
        RecordingSetting d(m_path);
        auto* up = Spin(d, 0)->findChild<QToolButton*>("up");
        auto* down = Spin(d, 1)->findChild<QToolButton*>("down");
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(Box(d, 0)->text(), QStringLiteral("50"));
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(Box(d, 0)->text(), QStringLiteral("50"));
        for (int i = 0; i < 4; ++i) QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(Box(d, 1)->text(), QStringLiteral("1"));
        QTest::keyClick(Spin(d, 2), Qt::Key_Up);
        QCOMPARE(Box(d, 2)->text(), QStringLiteral("6"));
    }

    void tabOrderFollowsTheLayout() {
        RecordingSetting d(m_path);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        const QStringList expected{"cmdOK",   "cmdCancel", "txtSet0", "updSet0", "txtSet1",
                                   "updSet1", "txtSet2",   "updSet2", "txtSet3", "updSet3",
                                   "chkSet",  "txtSet4",   "updSet4"};
        QCOMPARE(visited, expected);
    }

    void picturesAreMonochromeDrawings() {
        for (const QImage& image :
             {pelimator::settings::WavePicture(), pelimator::settings::ZigzagPicture()}) {
            QCOMPARE(image.size(), QSize(87, 87));
            QSet<QRgb> colours;
            int black = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    colours.insert(image.pixel(x, y));
                    if (qGray(image.pixel(x, y)) < 128) ++black;
                }
            }
            QCOMPARE(colours.size(), 2);
            QVERIFY(black > 150);
            QVERIFY(black < 87 * 87 / 4);
        }
        RecordingSetting d(m_path);
        QCOMPARE(Find<QLabel>(d, "imgSet0")->pixmap().size(), QSize(87, 87));
        QCOMPARE(Find<QLabel>(d, "imgSet1")->pixmap().size(), QSize(87, 87));
    }

    void failedSaveIsReportedAndKeepsTheDialogOpen() {
        WriteBytes(m_path, kDefaultFile);
        pelimator::settings::SetProfileWriteHooks({{}, [](const std::string&) { return false; }});
        RecordingSetting d(m_path);
        d.show();
        Retype(Box(d, 2), "9");
        QTest::mouseClick(Find<QPushButton>(d, "cmdOK"), Qt::LeftButton);
        QCOMPARE(d.messages.size(), 1);
        // What failed, why, and which file.
        QVERIFY2(d.messages[0].contains(QStringLiteral("名前を変更できません")),
                 qPrintable(d.messages[0]));
        QVERIFY2(d.messages[0].contains(QString::fromStdString(m_path)), qPrintable(d.messages[0]));
        QVERIFY(d.isVisible());
        QCOMPARE(ReadBytes(m_path), std::string(kDefaultFile));
    }

    void defaultThenChangeThenPersisted() {
        {
            RecordingSetting first(m_path);
            QCOMPARE(Box(first, 0)->text(), QStringLiteral("5"));
            Retype(Box(first, 0), "8");
            Retype(Box(first, 1), "4");
            Retype(Box(first, 2), "12");
            Retype(Box(first, 3), "9");
            Retype(Box(first, 4), "123456789");
            QTest::mouseClick(Find<QPushButton>(first, "cmdOK"), Qt::LeftButton);
            QCOMPARE(first.result(), int(QDialog::Accepted));
        }
        RecordingSetting second(m_path);
        const QStringList expected{"8", "4", "12", "9", "123456789"};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(Box(second, i)->text(), expected[i]);
            QCOMPARE(Spin(second, i)->Value(), expected[i].toInt());
        }
        QVERIFY(Find<QCheckBox>(second, "chkSet")->isChecked());
    }

    void failedCheckDoesNotSurviveReopening() {
        WriteBytes(m_path, kDefaultFile);
        {
            RecordingSetting first(m_path);
            Retype(Box(first, 0), "20");
            QTest::mouseClick(Find<QPushButton>(first, "cmdOK"), Qt::LeftButton);
            QCOMPARE(first.messages.size(), 1);
            QCOMPARE(Spin(first, 0)->Value(), 20);
        }
        RecordingSetting second(m_path);
        QCOMPARE(Box(second, 0)->text(), QStringLiteral("5"));
        QCOMPARE(ReadBytes(m_path), std::string(kDefaultFile));
    }
};

QTEST_MAIN(FSettingTest)
#include "f_setting_test.moc"
