// Exporting the drawing of a document as SVG, PNG or PDF at the drawing's scale.
#pragma once

#include <cstdint>
#include <string>

#include "board/model/document.h"

namespace pelimator::board {

enum class PaperSize : std::uint8_t { A4, A3 };
enum class PaperOrientation : std::uint8_t { Portrait, Landscape };

// Every export draws the shown entities on shown layers in their layer colours, at the drawing's
// scale: paper millimetres = drawing units / (Denominator / Numerator).
struct ExportStyle {
    double lineWidthMm = 0.25;  // plotted line width on paper
    double marginMm = 5.0;      // around the drawing (SVG and PNG)
};

struct PdfOptions {
    PaperSize paper = PaperSize::A4;
    PaperOrientation orientation = PaperOrientation::Landscape;
    ExportStyle style;
};

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
// with nothing shown gives just the margin); the PDF is one page with the drawing centred on it
// (what does not fit the page is cut off).
void ExportSvg(const BoardDocument& document, const std::string& path, const SvgOptions& options);
void ExportPng(const BoardDocument& document, const std::string& path, const PngOptions& options);
void ExportPdf(const BoardDocument& document, const std::string& path, const PdfOptions& options);

}  // namespace pelimator::board
