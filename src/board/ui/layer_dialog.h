// The layer list of a drawing: number, name, colour and visibility of each layer, and the
// current layer; edits apply together when the dialog is accepted.
#pragma once

#include <QDialog>
#include <vector>

#include "board/model/document.h"
#include "board/model/layers.h"

class QComboBox;
class QTableWidget;

namespace pelimator::board {

class LayerDialog final : public QDialog {
    Q_OBJECT

public:
    // Columns of the table, in order.
    enum Column { NumberColumn = 0, NameColumn, ColourColumn, VisibleColumn };

    LayerDialog(BoardDocumentPtr document, QWidget* parent = nullptr);

    [[nodiscard]] QTableWidget* Table() const noexcept { return m_table; }
    [[nodiscard]] QComboBox* CurrentLayerBox() const noexcept { return m_current; }
    // The layers as edited so far.
    [[nodiscard]] std::vector<LayerData> EditedLayers() const;
    // Adds a row for the next free layer number.
    void AddLayer();
    // Removes the selected row (layer 0 stays).
    void RemoveSelectedLayer();
    // Sets the colour of a row.
    void SetRowColour(int row, Rgb colour);
    // Writes the edits into the document; false (with a message shown) when the model refused
    // one, in which case what was applied before it stays.
    bool Apply();

    void accept() override;

private:
    void AddRow(const LayerData& layer);
    void RefreshCurrentBox(std::int32_t current);
    void ChooseColour(int row);

    BoardDocumentPtr m_document;
    QTableWidget* m_table = nullptr;
    QComboBox* m_current = nullptr;
    std::vector<Rgb> m_colours;  // per row
};

}  // namespace pelimator::board
