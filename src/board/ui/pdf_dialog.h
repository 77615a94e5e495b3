// The PDF export dialog: sheet size and orientation, at scale or fitted, and a warning with a
// way out when the drawing does not fit the sheet at scale.
#pragma once

#include <QDialog>
#include <optional>

#include "board/export/export_sheet.h"
#include "board/model/types.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace pelimator::board {

// Name of a sheet as the dialog shows it: "A3 横", "A4 縦".
[[nodiscard]] QString SheetName(Sheet sheet);

// Never lets an export cut the drawing silently: while the drawing (extentMm, paper millimetres
// at scale) does not fit the chosen sheet at scale, the dialog says so, offers the smallest
// sheet that holds it (when one does) and fitting to the sheet, and OK is disabled.
class PdfDialog final : public QDialog {
    Q_OBJECT

public:
    // scaleText names the drawing's scale ("1:100") in the texts.
    PdfDialog(std::optional<Box> extentMm, const QString& scaleText, const PdfOptions& options,
              QWidget* parent = nullptr);

    // The options as chosen now.
    [[nodiscard]] PdfOptions Options() const;

    // For an image (format: "SVG", "PNG"): the dialog also offers the drawing's own size with
    // no sheet (chosen first when onSheet is false); the sheet and its placement stay the ones
    // the PDF uses.
    void OfferDrawingSize(const QString& format, bool onSheet);
    // The drawing's own sheet (DrawingPaperMm): a page at scale on it lays the drawing where its
    // program does, and the dialog starts on it when the drawing lies on it (and a sheet is
    // chosen at all).
    void StartOnOwnPaper(std::optional<Box> paperMm);
    // False when the drawing's own size is chosen.
    [[nodiscard]] bool OnSheet() const;
    [[nodiscard]] QRadioButton* DrawingSizeButton() const noexcept { return m_drawingSize; }

    [[nodiscard]] QComboBox* PaperBox() const noexcept { return m_paper; }
    [[nodiscard]] QRadioButton* LandscapeButton() const noexcept { return m_landscape; }
    [[nodiscard]] QRadioButton* PortraitButton() const noexcept { return m_portrait; }
    [[nodiscard]] QRadioButton* AtScaleButton() const noexcept { return m_atScale; }
    [[nodiscard]] QRadioButton* FitButton() const noexcept { return m_fit; }
    [[nodiscard]] QLabel* Warning() const noexcept { return m_warning; }
    [[nodiscard]] QPushButton* SmallestSheetButton() const noexcept { return m_useSmallest; }
    [[nodiscard]] QPushButton* UseFitButton() const noexcept { return m_useFit; }
    [[nodiscard]] QPushButton* OkButton() const noexcept;

private:
    void Connect();  // the choices update the dialog, the buttons act
    void Choose(Sheet sheet);
    void Update();

    std::optional<Box> m_extent;
    std::optional<Box> m_paperMm;
    QString m_scaleText;
    PdfOptions m_options;
    std::optional<Sheet> m_smallest;
    QComboBox* m_paper = nullptr;
    QRadioButton* m_landscape = nullptr;
    QRadioButton* m_portrait = nullptr;
    QRadioButton* m_atScale = nullptr;
    QRadioButton* m_fit = nullptr;
    QRadioButton* m_drawingSize = nullptr;  // shown for images only
    QLabel* m_warning = nullptr;
    QPushButton* m_useSmallest = nullptr;
    QPushButton* m_useFit = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

}  // namespace pelimator::board
