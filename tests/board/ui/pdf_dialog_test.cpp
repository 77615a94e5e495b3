// The PDF export dialog: the warning when the drawing does not fit at scale, and its two ways
// out (the smallest sheet that holds it, or fitting), as rows.
#include "board/ui/pdf_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace pelimator::board;

class PdfDialogTest : public QObject {
    Q_OBJECT

private slots:
    void warnsAndOffersAWayOut_data();
    void warnsAndOffersAWayOut();
    void aSheetTooSmallBringsTheWarningBack();
    void chosenOptionsComeBack();
    void imagesMayKeepTheDrawingsSize();
    void startsOnTheDrawingsOwnPaper_data();
    void startsOnTheDrawingsOwnPaper();
};

void PdfDialogTest::warnsAndOffersAWayOut_data() {
    QTest::addColumn<double>("widthMm");
    QTest::addColumn<double>("heightMm");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<QString>("offered");  // the sheet offered, "" for none
    QTest::newRow("fits A4 at scale") << 250.0 << 150.0 << false << "";
    QTest::newRow("empty drawing") << 0.0 << 0.0 << false << "";
    QTest::newRow("fits A4 the other way round") << 150.0 << 250.0 << true << "A4 縦";
    QTest::newRow("needs A2") << 500.0 << 300.0 << true << "A2 横";
    QTest::newRow("fits no sheet") << 2000.0 << 1000.0 << true << "";
}

void PdfDialogTest::warnsAndOffersAWayOut() {
    QFETCH(double, widthMm);
    QFETCH(double, heightMm);
    QFETCH(bool, warned);
    QFETCH(QString, offered);
    const std::optional<Box> extent =
        widthMm > 0 ? std::optional<Box>(Box{{100, 100}, {100 + widthMm, 100 + heightMm}})
                    : std::nullopt;
    PdfDialog dialog(extent, QStringLiteral("1:100"), PdfOptions{});  // A4 landscape, at scale
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(dialog.Warning()->isVisible(), warned);
    QCOMPARE(dialog.OkButton()->isEnabled(), !warned);
    QCOMPARE(dialog.UseFitButton()->isVisible(), warned);
    QCOMPARE(dialog.SmallestSheetButton()->isVisible(), !offered.isEmpty());
    if (!warned) return;
    QVERIFY2(dialog.Warning()->text().contains(QStringLiteral("1:100")),
             qPrintable(dialog.Warning()->text()));
    QVERIFY(dialog.Warning()->text().contains(QStringLiteral("A4 横")));
    if (offered.isEmpty()) {
        QVERIFY(dialog.Warning()->text().contains(QStringLiteral("A0 にも収まりません")));
        // The way out is fitting.
        dialog.UseFitButton()->setFocus();  // as a click would
        QTest::mouseClick(dialog.UseFitButton(), Qt::LeftButton);
        QCOMPARE(dialog.Options().placement, PdfPlacement::FitToSheet);
    } else {
        QVERIFY(dialog.Warning()->text().contains(offered));
        QCOMPARE(dialog.SmallestSheetButton()->text(), offered + QStringLiteral(" にする"));
        dialog.SmallestSheetButton()->setFocus();  // as a click would
        QTest::mouseClick(dialog.SmallestSheetButton(), Qt::LeftButton);
        const PdfOptions chosen = dialog.Options();
        QCOMPARE(SheetName({chosen.paper, chosen.orientation}), offered);
        QCOMPARE(chosen.placement, PdfPlacement::AtScale);
    }
    QVERIFY(!dialog.Warning()->isVisible());
    QVERIFY(dialog.OkButton()->isEnabled());
    // Enter now exports, though the button just used has gone from under the focus.
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : &dialog, Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void PdfDialogTest::aSheetTooSmallBringsTheWarningBack() {
    PdfDialog dialog(Box{{0, 0}, {500, 300}}, QStringLiteral("1:100"), PdfOptions{});
    dialog.show();
    QTest::mouseClick(dialog.SmallestSheetButton(), Qt::LeftButton);
    QVERIFY(!dialog.Warning()->isVisible());
    dialog.PaperBox()->setCurrentIndex(0);  // A4 again
    QVERIFY(dialog.Warning()->isVisible());
    QVERIFY(!dialog.OkButton()->isEnabled());
    dialog.FitButton()->setChecked(true);
    QVERIFY(!dialog.Warning()->isVisible());
    QVERIFY(dialog.OkButton()->isEnabled());
}

void PdfDialogTest::chosenOptionsComeBack() {
    PdfOptions options;
    options.paper = PaperSize::A1;
    options.orientation = PaperOrientation::Portrait;
    options.placement = PdfPlacement::FitToSheet;
    options.style.lineWidthMm = 0.35;
    PdfDialog dialog(Box{{0, 0}, {10, 10}}, QStringLiteral("1:1"), options);
    QCOMPARE(dialog.PaperBox()->currentText(), QStringLiteral("A1"));
    QVERIFY(dialog.PortraitButton()->isChecked());
    QVERIFY(dialog.FitButton()->isChecked());
    const PdfOptions back = dialog.Options();
    QCOMPARE(back.paper, PaperSize::A1);
    QCOMPARE(back.orientation, PaperOrientation::Portrait);
    QCOMPARE(back.placement, PdfPlacement::FitToSheet);
    QCOMPARE(back.style.lineWidthMm, 0.35);
}

// An image may keep the drawing's own size: no sheet to fit, so nothing is cut and OK stays on;
// the sheet's choice is kept for the next time (it is the PDF's too).
void PdfDialogTest::imagesMayKeepTheDrawingsSize() {
    PdfDialog dialog(Box{{0, 0}, {500, 300}}, QStringLiteral("1:100"), PdfOptions{});
    dialog.show();
    QVERIFY(!dialog.DrawingSizeButton()->isVisible());
    QVERIFY(!dialog.OkButton()->isEnabled());  // at scale on A4 it does not fit
    dialog.OfferDrawingSize(QStringLiteral("SVG"), false);
    QVERIFY(dialog.DrawingSizeButton()->isVisible());
    QVERIFY(!dialog.OnSheet());
    QVERIFY(dialog.OkButton()->isEnabled());
    QVERIFY(!dialog.Warning()->isVisible());
    QVERIFY(!dialog.PaperBox()->isEnabled());
    QCOMPARE(dialog.Options().placement, PdfPlacement::AtScale);
    dialog.AtScaleButton()->setChecked(true);
    QVERIFY(dialog.OnSheet());
    QVERIFY(!dialog.OkButton()->isEnabled());
    QVERIFY(dialog.PaperBox()->isEnabled());
}

void PdfDialogTest::startsOnTheDrawingsOwnPaper_data() {
    QTest::addColumn<double>("reach");   // the drawing's right end; its paper ends at 297
    QTest::addColumn<bool>("image");     // asked for an SVG that keeps the drawing's size
    QTest::addColumn<QString>("sheet");  // the sheet the dialog starts on
    QTest::addColumn<bool>("warned");
    // Too wide for A2 with the margins: without its paper it would ask for A1.
    QTest::newRow("lies on its A2") << 284.0 << false << "A2" << false;
    QTest::newRow("reaches past it") << 320.0 << false << "A4" << true;
    QTest::newRow("an image at its own size") << 284.0 << true << "A4" << false;
}

// A drawing whose file names its paper (a Jw_cad drawing) starts on that paper at scale, where
// it lies on it whole; otherwise the dialog offers as before.
void PdfDialogTest::startsOnTheDrawingsOwnPaper() {
    QFETCH(double, reach);
    QFETCH(bool, image);
    QFETCH(QString, sheet);
    QFETCH(bool, warned);
    PdfDialog dialog(Box{{-290, -205}, {reach, 195}}, QStringLiteral("1:1"), PdfOptions{});
    if (image) dialog.OfferDrawingSize(QStringLiteral("SVG"), false);
    dialog.StartOnOwnPaper(Box{{-297, -210}, {297, 210}});
    dialog.show();
    QCOMPARE(dialog.PaperBox()->currentText(), sheet);
    QVERIFY(dialog.LandscapeButton()->isChecked());
    QCOMPARE(dialog.OnSheet(), !image);
    QCOMPARE(dialog.Warning()->isVisible(), warned);
    QCOMPARE(dialog.OkButton()->isEnabled(), !warned);
}

QTEST_MAIN(PdfDialogTest)
#include "pdf_dialog_test.moc"
