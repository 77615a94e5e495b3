// The offer of the drawings a session that did not end cleanly autosaved.
#include "board/ui/recovery_dialog.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace pelimator::board {

namespace {

enum Column : int { kName, kTime, kChanges, kFile, kChoice, kColumns };

QString TimeText(std::int64_t secondsSince1970) {
    return QDateTime::fromSecsSinceEpoch(secondsSince1970)
        .toLocalTime()
        .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QTableWidgetItem* ReadOnlyItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    item->setToolTip(text);
    return item;
}

}  // namespace

RecoveryDialog::RecoveryDialog(const std::vector<RecoveryEntry>& entries, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("図面の復元 — Pelimator"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral(
            "前回 Pelimator が正しく終了しなかったため、自動保存された図面が残って"
            "います。\nそれぞれ、開くか、次の起動まで残すか、破棄するかを選んで下さい。"),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);

    m_table = new QTableWidget(static_cast<int>(entries.size()), kColumns, this);
    m_table->setObjectName(QStringLiteral("recoveryTable"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("図面"), QStringLiteral("自動保存"),
                                        QStringLiteral("変更"), QStringLiteral("元のファイル"),
                                        QStringLiteral("扱い")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const RecoveryInfo& info = entries[i].info;
        const int row = static_cast<int>(i);
        m_table->setItem(row, kName, ReadOnlyItem(QString::fromStdString(info.name)));
        m_table->setItem(row, kTime, ReadOnlyItem(TimeText(info.savedAt)));
        m_table->setItem(row, kChanges, ReadOnlyItem(QString::fromStdString(info.changes)));
        m_table->setItem(
            row, kFile,
            ReadOnlyItem(info.originalPath.empty() ? QStringLiteral("(保存していない新しい図面)")
                                                   : QString::fromStdString(info.originalPath)));
        auto* choice = new QComboBox(m_table);
        choice->setObjectName(QStringLiteral("choice%1").arg(row));
        choice->addItem(QStringLiteral("開く"), static_cast<int>(RecoveryChoice::Open));
        choice->addItem(QStringLiteral("残す"), static_cast<int>(RecoveryChoice::Keep));
        choice->addItem(QStringLiteral("破棄"), static_cast<int>(RecoveryChoice::Discard));
        m_table->setCellWidget(row, kChoice, choice);
    }
    m_table->resizeColumnsToContents();
    if (!entries.empty()) {  // the choices are widgets, which resizing to contents leaves out
        m_table->setColumnWidth(kChoice, m_table->cellWidget(0, kChoice)->sizeHint().width());
    }
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("決定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("後で (すべて残す)"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Wide enough for every column, up to most of a screen.
    int width = 2 * m_table->frameWidth() + 40;
    for (int column = 0; column < kColumns; ++column) width += m_table->columnWidth(column);
    resize(std::clamp(width, 640, 1200),
           160 + 32 * static_cast<int>(std::min<std::size_t>(entries.size(), 10)));
}

std::vector<RecoveryChoice> RecoveryDialog::Choices() const {
    std::vector<RecoveryChoice> choices;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const auto* choice = qobject_cast<QComboBox*>(m_table->cellWidget(row, kChoice));
        choices.push_back(static_cast<RecoveryChoice>(choice->currentData().toInt()));
    }
    return choices;
}

std::vector<RecoveryChoice> AskRecovery(const std::vector<RecoveryEntry>& entries,
                                        QWidget* parent) {
    RecoveryDialog dialog(entries, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return {entries.size(), RecoveryChoice::Keep};
    }
    return dialog.Choices();
}

}  // namespace pelimator::board
