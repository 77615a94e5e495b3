// Exporting the drawing of a document as SVG, PNG or PDF at the drawing's scale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "board/export/export_sheet.h"
#include "board/model/document.h"

namespace pelimator::board {

// A picture on a sheet, as the PDF's page: the sheet's size, the drawing at scale or fitted.
struct SheetPlacement {
    Sheet sheet;
    PdfPlacement placement = PdfPlacement::AtScale;
};

struct PngOptions {
    double pixelsPerMm = 10.0;  // of paper: 10 is about 254 dpi
    ExportStyle style;
    std::optional<SheetPlacement> onSheet;  // none: the drawing plus the margin, at scale
};

struct SvgOptions {
    ExportStyle style;
    std::optional<SheetPlacement> onSheet;  // none: the drawing plus the margin, at scale
};

// The largest PNG exported: kMaxPngSide pixels a side and kMaxPngPixels in all (A0 at 300 dpi
// has 140 million). The image alone takes 4 bytes a pixel while it is drawn, and writing it takes
// about a second per 15 million pixels, so a larger image raises FileError.
inline constexpr int kMaxPngSide = 20000;
inline constexpr double kMaxPngPixels = 150e6;
// The limits as the messages say them.
inline constexpr const char* kPngLimitsText =
    "1 辺 20000 ピクセル、全体で 1 億 5000 万ピクセルまで";

[[nodiscard]] constexpr bool PngWithinLimits(double width, double height) {
    return width <= kMaxPngSide && height <= kMaxPngSide && width * height <= kMaxPngPixels;
}

// Each writes path atomically (a temporary file beside it, then a rename) and raises FileError
// naming the file when it cannot. SVG and PNG are sized to the drawing plus the margin, or to a
// sheet when one is given; the PDF is one page. On a sheet the drawing is centred, at scale or
// fitted (LayOutPdf). A drawing that does not fit its sheet at scale is refused with FileError
// rather than cut off: the export dialog offers a larger sheet or fitting first. A drawing with
// nothing shown, or a picture on which nothing was drawn, is refused too: never a blank file.
void ExportSvg(const BoardDocument& document, const std::string& path, const SvgOptions& options);
void ExportPng(const BoardDocument& document, const std::string& path, const PngOptions& options);
void ExportPdf(const BoardDocument& document, const std::string& path, const PdfOptions& options);

// The PNG's width and height in pixels for options (FileError as ExportPng when nothing is shown
// or the drawing does not fit its sheet at scale), for a caller that says what to change first.
[[nodiscard]] std::pair<double, double> PngPixels(const BoardDocument& document,
                                                  const PngOptions& options);

}  // namespace pelimator::board
