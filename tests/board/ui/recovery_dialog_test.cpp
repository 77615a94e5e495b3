// The recovery offer as the user meets it: every drawing listed with its time and changes, a
// choice each, and closing without 決定 keeps them all.
#include "board/ui/recovery_dialog.h"

#include <QComboBox>
#include <QDateTime>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

using pelimator::board::AskRecovery;
using pelimator::board::RecoveryChoice;
using pelimator::board::RecoveryDialog;
using pelimator::board::RecoveryEntry;

namespace {

std::vector<RecoveryEntry> Entries() {
    const std::int64_t time = QDateTime(QDate(2026, 12, 9), QTime(21, 30, 5)).toSecsSinceEpoch();
    return {
        {"/s/a", "d1", {"平面図.dxf", "/図面/平面図.dxf", time, "保存後の変更 3 回", "d1-1.dxf"}},
        {"/s/a", "d2", {"図面2", "", time + 60, "保存後の変更 1 回", "d2-1.dxf"}},
        {"/s/b", "d1", {"配置.jww", "/図面/配置.jww", time + 120, "保存後の変更 9 回", "d1-4.jww"}},
    };
}

QComboBox* Choice(QWidget& dialog, int row) {
    return dialog.findChild<QComboBox*>(QStringLiteral("choice%1").arg(row));
}

}  // namespace

class RecoveryDialogTest : public QObject {
    Q_OBJECT

private slots:
    void ListsEveryDrawingWithItsTimeAndChanges() {
        RecoveryDialog dialog(Entries());
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("recoveryTable"));
        QVERIFY(table != nullptr);
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("平面図.dxf"));
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("2026/12/09 21:30:05"));
        QCOMPARE(table->item(2, 1)->text(), QStringLiteral("2026/12/09 21:32:05"));
        QCOMPARE(table->item(2, 2)->text(), QStringLiteral("保存後の変更 9 回"));
        QCOMPARE(table->item(0, 3)->text(), QStringLiteral("/図面/平面図.dxf"));
        QVERIFY(table->item(1, 3)->text().contains(QStringLiteral("新しい図面")));
        QVERIFY(!(table->item(0, 0)->flags() & Qt::ItemIsEditable));
    }

    void EachRowKeepsItsOwnChoice_data() {
        QTest::addColumn<QList<int>>("picked");  // combo index per row: 開く, 残す, 破棄
        QTest::newRow("as offered") << QList<int>{0, 0, 0};
        QTest::newRow("one of each") << QList<int>{2, 0, 1};
        QTest::newRow("all discarded") << QList<int>{2, 2, 2};
    }
    void EachRowKeepsItsOwnChoice() {
        QFETCH(QList<int>, picked);
        const std::vector<RecoveryEntry> entries = Entries();
        std::vector<RecoveryChoice> expected;
        const std::vector<RecoveryChoice> byIndex{RecoveryChoice::Open, RecoveryChoice::Keep,
                                                  RecoveryChoice::Discard};
        for (const int index : picked) expected.push_back(byIndex[static_cast<std::size_t>(index)]);
        std::vector<RecoveryChoice> answered;
        QTimer::singleShot(0, [&picked] {
            auto* dialog = qobject_cast<RecoveryDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("図面の復元 — Pelimator"));
            for (int row = 0; row < picked.size(); ++row) {
                QComboBox* choice = Choice(*dialog, row);
                QCOMPARE(choice->currentText(), QStringLiteral("開く"));
                choice->setCurrentIndex(picked[row]);
            }
            const auto buttons = dialog->findChildren<QPushButton*>();
            for (QPushButton* button : buttons) {
                if (button->text() == QStringLiteral("決定")) button->click();
            }
        });
        answered = AskRecovery(entries, nullptr);
        QVERIFY(answered == expected);
    }

    void ClosingWithoutDecidingKeepsEveryDrawing() {
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<RecoveryDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            Choice(*dialog, 0)->setCurrentIndex(2);  // discard chosen, then not confirmed
            dialog->reject();
        });
        const std::vector<RecoveryChoice> answered = AskRecovery(Entries(), nullptr);
        QVERIFY(answered == std::vector<RecoveryChoice>(3, RecoveryChoice::Keep));
    }
};

QTEST_MAIN(RecoveryDialogTest)
#include "recovery_dialog_test.moc"
