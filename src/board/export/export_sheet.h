// Paper sheets for export (A4 to A0, either way round), whether a drawing fits one at its
// scale, the smallest sheet that holds it, and where it lands on the page. No Qt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "board/model/document.h"
#include "board/model/types.h"

namespace pelimator::board {

enum class PaperSize : std::uint8_t { A4, A3, A2, A1, A0 };
enum class PaperOrientation : std::uint8_t { Portrait, Landscape };
// From the smallest sheet to the largest.
inline constexpr std::array<PaperSize, 5> kPaperSizes = {
    PaperSize::A4, PaperSize::A3, PaperSize::A2, PaperSize::A1, PaperSize::A0};

// At scale: paper millimetres = drawing units / (Denominator / Numerator). Fitted: the drawing
// is enlarged or reduced so that it fills the sheet within the margin.
enum class PdfPlacement : std::uint8_t { AtScale, FitToSheet };

// Every export draws the shown entities on shown layers in their layer colours.
struct ExportStyle {
    double lineWidthMm = 0.25;  // plotted line width on paper
    double marginMm = 5.0;      // kept free around the drawing
};

struct PdfOptions {
    PaperSize paper = PaperSize::A4;
    PaperOrientation orientation = PaperOrientation::Landscape;
    PdfPlacement placement = PdfPlacement::AtScale;
    ExportStyle style;
};

// A sheet's width and height in millimetres as it lies.
struct SheetMm {
    double width = 0.0;
    double height = 0.0;
};
[[nodiscard]] SheetMm SheetSize(PaperSize paper, PaperOrientation orientation) noexcept;

struct Sheet {
    PaperSize paper = PaperSize::A4;
    PaperOrientation orientation = PaperOrientation::Landscape;
    friend constexpr bool operator==(Sheet, Sheet) noexcept = default;
};

// Whether a drawing of widthMm x heightMm (on paper, at scale) fits the sheet with marginMm free
// on every side.
[[nodiscard]] bool FitsSheet(double widthMm, double heightMm, Sheet sheet,
                             double marginMm) noexcept;

// The smallest sheet, A4 first, that holds the drawing at scale: for each size the preferred
// orientation first, then the other. None when not even A0 does.
[[nodiscard]] std::optional<Sheet> SmallestSheetThatFits(double widthMm, double heightMm,
                                                         double marginMm,
                                                         PaperOrientation preferred) noexcept;

// The part of the document that is shown (entities on shown layers, arcs as drawn), in paper
// millimetres at the drawing's scale, Y up; none when nothing is shown.
[[nodiscard]] std::optional<Box> ShownExtentMm(const BoardDocument& document);

// The sheet the drawing's own program lays it on (a Jw_cad drawing's paper, centred on the
// origin), in paper millimetres at the drawing's scale; none when its file names none.
[[nodiscard]] std::optional<Box> DrawingPaperMm(const BoardDocument& document);
// The sheet of A4-A0, either way round, of paperMm's size (to half a millimetre); none for
// another size.
[[nodiscard]] std::optional<Sheet> SheetOfPaper(const Box& paperMm) noexcept;
// The drawing's own sheet when everything shown lies on it (to 2 mm): what a PDF at scale is
// printed on when no other sheet is chosen. None when it has none or the drawing reaches past it.
[[nodiscard]] std::optional<Sheet> OwnSheetHolding(const std::optional<Box>& extentMm,
                                                   const std::optional<Box>& paperMm) noexcept;

// Where the drawing lands on a PDF page.
struct PdfLayout {
    SheetMm sheet;
    bool fits = true;   // at scale: the drawing fits within the margins (always when fitted)
    double zoom = 1.0;  // page millimetres per millimetre at scale (1 at scale)
    Vec2 originMm;      // the point at scale (Y up) that lands on the page's top-left corner
};
// Centres extent (ShownExtentMm) on the sheet of options, at scale or fitted. No extent: the
// page's middle is the drawing's origin. At scale on the drawing's own sheet (paperMm, holding
// the extent), the drawing lands where its program lays it: the page is that paper, the margin
// not asked for (the drafter placed the drawing on it).
[[nodiscard]] PdfLayout LayOutPdf(const std::optional<Box>& extentMm, const PdfOptions& options,
                                  const std::optional<Box>& paperMm = std::nullopt);

}  // namespace pelimator::board
