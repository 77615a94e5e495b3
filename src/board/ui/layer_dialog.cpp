// The layer list dialog.
#include "board/ui/layer_dialog.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

namespace pelimator::board {

namespace {

QIcon Swatch(Rgb colour) {
    QPixmap pixmap(28, 14);
    pixmap.fill(QColor(colour.r, colour.g, colour.b));
    return QIcon(pixmap);
}

QString ColourText(Rgb colour) {
    return QStringLiteral("%1, %2, %3").arg(colour.r).arg(colour.g).arg(colour.b);
}

}  // namespace

LayerDialog::LayerDialog(BoardDocumentPtr document, QWidget* parent)
    : QDialog(parent), m_document(std::move(document)) {
    setWindowTitle(QStringLiteral("レイヤ一覧"));
    setObjectName(QStringLiteral("layerDialog"));

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("layerTable"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("番号"), QStringLiteral("名前"),
                                        QStringLiteral("色"), QStringLiteral("表示")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);

    const BoardLayers& layers = *m_document->LayerTable();
    for (std::size_t i = 0; i < layers.Count(); ++i) AddRow(layers.At(i));

    m_current = new QComboBox(this);
    m_current->setObjectName(QStringLiteral("currentLayer"));
    RefreshCurrentBox(m_document->CurrentAttributesModel()->Layer());

    auto* addButton = new QPushButton(QStringLiteral("追加"), this);
    auto* removeButton = new QPushButton(QStringLiteral("削除"), this);
    connect(addButton, &QPushButton::clicked, this, &LayerDialog::AddLayer);
    connect(removeButton, &QPushButton::clicked, this, &LayerDialog::RemoveSelectedLayer);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        if (column == ColourColumn) ChooseColour(row);
    });
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == NameColumn) {
            RefreshCurrentBox(m_current->currentData().toInt());
        }
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &LayerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LayerDialog::reject);

    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(addButton);
    rowButtons->addWidget(removeButton);
    rowButtons->addStretch();
    rowButtons->addWidget(new QLabel(QStringLiteral("現在のレイヤ:"), this));
    rowButtons->addWidget(m_current);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(
        new QLabel(QStringLiteral("色の欄をダブルクリックすると色を変えられます。"), this));
    layout->addLayout(rowButtons);
    layout->addWidget(buttons);
    resize(460, 340);
}

void LayerDialog::AddRow(const LayerData& layer) {
    const QSignalBlocker blocker(m_table);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    auto* number = new QTableWidgetItem(QString::number(layer.number));
    number->setFlags(number->flags() & ~Qt::ItemIsEditable);
    number->setData(Qt::UserRole, layer.number);
    m_table->setItem(row, NumberColumn, number);
    m_table->setItem(row, NameColumn, new QTableWidgetItem(QString::fromStdString(layer.name)));
    auto* colour = new QTableWidgetItem(Swatch(layer.colour), ColourText(layer.colour));
    colour->setFlags(colour->flags() & ~Qt::ItemIsEditable);
    m_table->setItem(row, ColourColumn, colour);
    auto* visible = new QTableWidgetItem;
    visible->setFlags((visible->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsEditable);
    visible->setCheckState(layer.visible ? Qt::Checked : Qt::Unchecked);
    m_table->setItem(row, VisibleColumn, visible);
    m_colours.push_back(layer.colour);
}

std::vector<LayerData> LayerDialog::EditedLayers() const {
    std::vector<LayerData> layers;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        LayerData layer;
        layer.number = m_table->item(row, NumberColumn)->data(Qt::UserRole).toInt();
        layer.name = m_table->item(row, NameColumn)->text().toStdString();
        layer.colour = m_colours[static_cast<std::size_t>(row)];
        layer.visible = m_table->item(row, VisibleColumn)->checkState() == Qt::Checked;
        layers.push_back(layer);
    }
    return layers;
}

void LayerDialog::RefreshCurrentBox(std::int32_t current) {
    const QSignalBlocker blocker(m_current);
    m_current->clear();
    for (const LayerData& layer : EditedLayers()) {
        m_current->addItem(
            QStringLiteral("%1: %2").arg(layer.number).arg(QString::fromStdString(layer.name)),
            layer.number);
    }
    const int index = m_current->findData(current);
    m_current->setCurrentIndex(index >= 0 ? index : 0);
}

void LayerDialog::AddLayer() {
    std::int32_t next = 0;
    for (const LayerData& layer : EditedLayers()) next = std::max(next, layer.number + 1);
    LayerData layer;
    layer.number = next;
    layer.name = std::to_string(next);
    AddRow(layer);
    RefreshCurrentBox(m_current->currentData().toInt());
    m_table->selectRow(m_table->rowCount() - 1);
}

void LayerDialog::RemoveSelectedLayer() {
    const int row = m_table->currentRow();
    if (row < 0) return;
    if (m_table->item(row, NumberColumn)->data(Qt::UserRole).toInt() == 0) {
        QMessageBox::information(this, windowTitle(),
                                 QStringLiteral("レイヤ 0 は削除できません。"));
        return;
    }
    const int current = m_current->currentData().toInt();
    m_table->removeRow(row);
    m_colours.erase(m_colours.begin() + row);
    RefreshCurrentBox(current);
}

void LayerDialog::SetRowColour(int row, Rgb colour) {
    if (row < 0 || row >= m_table->rowCount()) return;
    m_colours[static_cast<std::size_t>(row)] = colour;
    QTableWidgetItem* item = m_table->item(row, ColourColumn);
    item->setIcon(Swatch(colour));
    item->setText(ColourText(colour));
}

void LayerDialog::ChooseColour(int row) {
    const Rgb old = m_colours[static_cast<std::size_t>(row)];
    const QColor chosen =
        QColorDialog::getColor(QColor(old.r, old.g, old.b), this, QStringLiteral("レイヤの色"));
    if (!chosen.isValid()) return;
    SetRowColour(
        row, {static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
              static_cast<std::uint8_t>(chosen.blue())});
}

bool LayerDialog::Apply() {
    BoardLayers& layers = *m_document->LayerTable();
    const std::vector<LayerData> edited = EditedLayers();
    try {
        // Removed rows first, so a number removed and added again is a fresh layer.
        std::vector<std::int32_t> gone;
        for (std::size_t i = 0; i < layers.Count(); ++i) {
            const std::int32_t number = layers.At(i).number;
            const bool kept =
                std::any_of(edited.begin(), edited.end(),
                            [number](const LayerData& l) { return l.number == number; });
            if (!kept) gone.push_back(number);
        }
        for (const std::int32_t number : gone) layers.Remove(number);
        for (const LayerData& layer : edited) {
            const LayerData* existing = layers.Find(layer.number);
            if (existing == nullptr) {
                layers.Put(layer);
                continue;
            }
            if (existing->name != layer.name) layers.SetName(layer.number, layer.name);
            if (existing->colour != layer.colour) layers.SetColour(layer.number, layer.colour);
            if (existing->visible != layer.visible) layers.SetVisible(layer.number, layer.visible);
        }
        const std::int32_t current = m_current->currentData().toInt();
        if (m_document->CurrentAttributesModel()->Layer() != current) {
            m_document->CurrentAttributesModel()->SetLayer(current);
        }
    } catch (const std::exception& error) {
        QMessageBox::warning(
            this, windowTitle(),
            QStringLiteral("レイヤを変更できませんでした。\n") + QString::fromUtf8(error.what()));
        return false;
    }
    return true;
}

void LayerDialog::accept() {
    if (Apply()) QDialog::accept();
}

}  // namespace pelimator::board
