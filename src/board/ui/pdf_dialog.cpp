// The PDF export dialog: the sheet, the placement, and the warning when it does not fit.
#include "board/ui/pdf_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

namespace pelimator::board {

namespace {

QString PaperName(PaperSize paper) {
    switch (paper) {
        case PaperSize::A4:
            return QStringLiteral("A4");
        case PaperSize::A3:
            return QStringLiteral("A3");
        case PaperSize::A2:
            return QStringLiteral("A2");
        case PaperSize::A1:
            return QStringLiteral("A1");
        case PaperSize::A0:
            return QStringLiteral("A0");
    }
    return {};
}

}  // namespace

QString SheetName(Sheet sheet) {
    return PaperName(sheet.paper) + (sheet.orientation == PaperOrientation::Landscape
                                         ? QStringLiteral(" 横")
                                         : QStringLiteral(" 縦"));
}

PdfDialog::PdfDialog(std::optional<Box> extentMm, const QString& scaleText,
                     const PdfOptions& options, QWidget* parent)
    : QDialog(parent), m_extent(extentMm), m_scaleText(scaleText), m_options(options) {
    setObjectName(QStringLiteral("pdfDialog"));
    setWindowTitle(QStringLiteral("PDF にエクスポート"));

    m_paper = new QComboBox(this);
    m_paper->setObjectName(QStringLiteral("paperBox"));
    for (const PaperSize paper : kPaperSizes) {
        m_paper->addItem(PaperName(paper), static_cast<int>(paper));
    }
    m_landscape = new QRadioButton(QStringLiteral("横"), this);
    m_landscape->setObjectName(QStringLiteral("landscape"));
    m_portrait = new QRadioButton(QStringLiteral("縦"), this);
    m_portrait->setObjectName(QStringLiteral("portrait"));
    auto* orientation = new QButtonGroup(this);
    orientation->addButton(m_landscape);
    orientation->addButton(m_portrait);
    m_atScale = new QRadioButton(QStringLiteral("縮尺どおり (%1)").arg(scaleText), this);
    m_atScale->setObjectName(QStringLiteral("atScale"));
    m_fit = new QRadioButton(QStringLiteral("用紙に合わせる"), this);
    m_fit->setObjectName(QStringLiteral("fitToSheet"));
    m_drawingSize = new QRadioButton(QStringLiteral("図面の大きさ (用紙なし)"), this);
    m_drawingSize->setObjectName(QStringLiteral("drawingSize"));
    m_drawingSize->setVisible(false);
    auto* placement = new QButtonGroup(this);
    placement->addButton(m_atScale);
    placement->addButton(m_fit);
    placement->addButton(m_drawingSize);

    m_warning = new QLabel(this);
    m_warning->setObjectName(QStringLiteral("fitWarning"));
    m_warning->setWordWrap(true);
    m_warning->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_useSmallest = new QPushButton(this);
    m_useSmallest->setObjectName(QStringLiteral("useSmallestSheet"));
    m_useFit = new QPushButton(QStringLiteral("用紙に合わせる"), this);
    m_useFit->setObjectName(QStringLiteral("useFit"));
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("エクスポート"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    // Enter exports once the sheet fits, whichever button was pressed last; the way-out buttons
    // hide themselves when used, and the focus must not fall to キャンセル.
    m_useSmallest->setAutoDefault(false);
    m_useFit->setAutoDefault(false);
    OkButton()->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("用紙:"), m_paper);
    auto* orientationRow = new QHBoxLayout;
    orientationRow->addWidget(m_landscape);
    orientationRow->addWidget(m_portrait);
    orientationRow->addStretch();
    form->addRow(QStringLiteral("向き:"), orientationRow);
    auto* placementRow = new QHBoxLayout;
    placementRow->addWidget(m_atScale);
    placementRow->addWidget(m_fit);
    placementRow->addWidget(m_drawingSize);
    placementRow->addStretch();
    form->addRow(QStringLiteral("大きさ:"), placementRow);
    auto* wayOut = new QHBoxLayout;
    wayOut->addWidget(m_useSmallest);
    wayOut->addWidget(m_useFit);
    wayOut->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_warning);
    layout->addLayout(wayOut);
    layout->addWidget(m_buttons);

    m_paper->setCurrentIndex(m_paper->findData(static_cast<int>(options.paper)));
    (options.orientation == PaperOrientation::Landscape ? m_landscape : m_portrait)
        ->setChecked(true);
    (options.placement == PdfPlacement::AtScale ? m_atScale : m_fit)->setChecked(true);

    Connect();
    Update();
}

void PdfDialog::Connect() {
    connect(m_paper, &QComboBox::currentIndexChanged, this, &PdfDialog::Update);
    connect(m_landscape, &QRadioButton::toggled, this, &PdfDialog::Update);
    connect(m_atScale, &QRadioButton::toggled, this, &PdfDialog::Update);
    connect(m_drawingSize, &QRadioButton::toggled, this, &PdfDialog::Update);
    connect(m_useSmallest, &QPushButton::clicked, this, [this] {
        if (m_smallest) Choose(*m_smallest);
        OkButton()->setFocus();
    });
    connect(m_useFit, &QPushButton::clicked, this, [this] {
        m_fit->setChecked(true);
        OkButton()->setFocus();
    });
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QPushButton* PdfDialog::OkButton() const noexcept {
    return m_buttons->button(QDialogButtonBox::Ok);
}

void PdfDialog::OfferDrawingSize(const QString& format, bool onSheet) {
    setWindowTitle(QStringLiteral("%1 にエクスポート").arg(format));
    m_drawingSize->setVisible(true);
    if (!onSheet) m_drawingSize->setChecked(true);
    Update();
}

void PdfDialog::StartOnOwnPaper(std::optional<Box> paperMm) {
    m_paperMm = paperMm;
    if (const std::optional<Sheet> own = OwnSheetHolding(m_extent, m_paperMm); own && OnSheet()) {
        Choose(*own);
    }
    Update();
}

bool PdfDialog::OnSheet() const { return !m_drawingSize->isChecked(); }

PdfOptions PdfDialog::Options() const {
    PdfOptions options = m_options;
    options.paper = static_cast<PaperSize>(m_paper->currentData().toInt());
    options.orientation =
        m_landscape->isChecked() ? PaperOrientation::Landscape : PaperOrientation::Portrait;
    if (!m_drawingSize->isChecked()) {
        options.placement =
            m_atScale->isChecked() ? PdfPlacement::AtScale : PdfPlacement::FitToSheet;
    }
    return options;
}

void PdfDialog::Choose(Sheet sheet) {
    m_paper->setCurrentIndex(m_paper->findData(static_cast<int>(sheet.paper)));
    (sheet.orientation == PaperOrientation::Landscape ? m_landscape : m_portrait)->setChecked(true);
    m_atScale->setChecked(true);
    Update();
}

void PdfDialog::Update() {
    const PdfOptions options = Options();
    const PdfLayout layout = LayOutPdf(m_extent, options, m_paperMm);
    m_paper->setEnabled(OnSheet());
    m_landscape->setEnabled(OnSheet());
    m_portrait->setEnabled(OnSheet());
    const bool cut = OnSheet() && options.placement == PdfPlacement::AtScale && !layout.fits;
    const Box extent = m_extent ? *m_extent : Box{};
    const double width = extent.max.x - extent.min.x;
    const double height = extent.max.y - extent.min.y;
    m_smallest = SmallestSheetThatFits(width, height, options.style.marginMm, options.orientation);
    m_warning->setVisible(cut);
    m_useFit->setVisible(cut);
    m_useSmallest->setVisible(cut && m_smallest.has_value());
    OkButton()->setEnabled(!cut);
    if (!cut) {
        m_warning->clear();
        adjustSize();  // no gap where the warning was
        return;
    }
    const QString size = QStringLiteral("%1 × %2 mm").arg(std::ceil(width)).arg(std::ceil(height));
    const QString sheet = SheetName({options.paper, options.orientation});
    const QString margin = QString::number(options.style.marginMm);
    if (m_smallest) {
        m_useSmallest->setText(QStringLiteral("%1 にする").arg(SheetName(*m_smallest)));
        m_warning->setText(QStringLiteral("図面は %1 で %2 になり、%3 (余白 %4 mm) に収まりません。"
                                          "%5 を選ぶか、用紙に合わせて下さい。")
                               .arg(m_scaleText, size, sheet, margin, SheetName(*m_smallest)));
    } else {
        m_warning->setText(QStringLiteral("図面は %1 で %2 になり、%3 にも最大の A0 にも収まり"
                                          "ません (余白 %4 mm)。用紙に合わせて下さい。")
                               .arg(m_scaleText, size, sheet, margin));
    }
    adjustSize();
}

}  // namespace pelimator::board
