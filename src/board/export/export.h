// Exporting the drawing of a document as SVG, PNG or PDF at the drawing's scale.
#pragma once

#include <cstdint>
#include <string>

#include "board/export/export_sheet.h"
#include "board/model/document.h"

namespace pelimator::board {

struct PngOptions {
    double pixelsPerMm = 10.0;  // of paper: 10 is about 254 dpi
    ExportStyle style;
};

struct SvgOptions {
    ExportStyle style;
};

// The largest PNG side exported, in pixels; a larger image raises FileError.
inline constexpr int kMaxPngSide = 20000;

// Each writes path atomically (a temporary file beside it, then a rename) and raises FileError
// naming the file when it cannot. SVG and PNG are sized to the drawing plus the margin (a drawing
// with nothing shown gives just the margin); the PDF is one page with the drawing centred on it,
// at scale or fitted (LayOutPdf). A drawing that does not fit its sheet at scale is refused with
// FileError rather than cut off: the export dialog offers a larger sheet or fitting first.
void ExportSvg(const BoardDocument& document, const std::string& path, const SvgOptions& options);
void ExportPng(const BoardDocument& document, const std::string& path, const PngOptions& options);
void ExportPdf(const BoardDocument& document, const std::string& path, const PdfOptions& options);

}  // namespace pelimator::board
