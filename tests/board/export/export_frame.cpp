// Prints where an export puts a drawing, for the picture comparisons (compare_exports.py):
// export_frame IN.dxf PAPER ORIENTATION [N] prints, one value per line as name=value, the frame of
// the SVG and PNG exports (top-left corner and size in paper mm at scale, Y up), the drawing
// units per paper mm (by scale and unit), and the PDF layouts on the named sheet (A4..A0,
// portrait|landscape) at scale and fitted. N gives a drawing that stores no scale the scale 1:N,
// as pelimator-batch --scale N does.
#include <cstdio>
#include <exception>
#include <string>

#include "board/export/export_sheet.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"

using namespace pelimator::board;

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: export_frame IN.dxf A4..A0 portrait|landscape [N]\n");
        return 2;
    }
    try {
        auto application = BoardApplication::Create();
        const OpenedDrawing opened = OpenDrawing(*application, argv[1]);
        BoardDocument& document = *opened.document;
        if (argc == 5 && !opened.scaleStored) {
            document.Scale()->SetNumerator(1);
            document.Scale()->SetDenominator(std::stoi(argv[4]));
        }
        const ExportStyle style;
        const auto extent = ShownExtentMm(document);
        if (!extent) throw std::runtime_error("nothing is shown");
        std::printf("factor=%.12g\n", document.UnitsPerPaperMillimetre());
        std::printf("x0=%.12g\ny0=%.12g\nwidth=%.12g\nheight=%.12g\n",
                    extent->min.x - style.marginMm, extent->max.y + style.marginMm,
                    extent->max.x - extent->min.x + 2 * style.marginMm,
                    extent->max.y - extent->min.y + 2 * style.marginMm);
        const std::string paper = argv[2];
        PdfOptions options;
        for (std::size_t i = 0; i < kPaperSizes.size(); ++i) {
            if (paper == "A" + std::to_string(4 - i)) options.paper = kPaperSizes[i];
        }
        options.orientation = std::string(argv[3]) == "portrait" ? PaperOrientation::Portrait
                                                                 : PaperOrientation::Landscape;
        for (const PdfPlacement placement : {PdfPlacement::AtScale, PdfPlacement::FitToSheet}) {
            options.placement = placement;
            const PdfLayout layout = LayOutPdf(extent, options);
            const char* name = placement == PdfPlacement::AtScale ? "scale" : "fit";
            std::printf("%s_fits=%d\n%s_zoom=%.12g\n%s_x0=%.12g\n%s_y0=%.12g\n", name,
                        layout.fits ? 1 : 0, name, layout.zoom, name, layout.originMm.x, name,
                        layout.originMm.y);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "export_frame: %s\n", error.what());
        return 1;
    }
    return 0;
}
