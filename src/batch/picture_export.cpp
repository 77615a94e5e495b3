// The batch command's picture writer through the board's export.
#include "batch/picture_export.h"

#include <QGuiApplication>
#include <array>
#include <cstdlib>
#include <memory>

#include "board/export/export.h"

namespace pelimator::batch {

namespace {

void EnsureGuiApplication() {
    if (QGuiApplication::instance() != nullptr) return;
    // No window is shown: the offscreen platform needs no display, unless one was chosen.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static std::array<char, 16> name{"pelimator-batch"};
    static std::array<char*, 2> argv{name.data(), nullptr};
    static const std::unique_ptr<QGuiApplication> application =
        std::make_unique<QGuiApplication>(argc, argv.data());
}

}  // namespace

void WritePicture(const board::BoardDocument& document, const PictureRequest& picture) {
    EnsureGuiApplication();
    switch (picture.format) {
        case PictureFormat::Svg:
            board::ExportSvg(document, picture.path, {});
            return;
        case PictureFormat::Png: {
            board::PngOptions options;
            options.pixelsPerMm = picture.dpi / 25.4;
            board::ExportPng(document, picture.path, options);
            return;
        }
        case PictureFormat::Pdf: {
            board::PdfOptions options;
            if (picture.sheet) {
                options.paper = picture.sheet->paper;
                options.orientation = picture.sheet->orientation;
            }
            options.placement =
                picture.fit ? board::PdfPlacement::FitToSheet : board::PdfPlacement::AtScale;
            board::ExportPdf(document, picture.path, options);
            return;
        }
    }
}

}  // namespace pelimator::batch
