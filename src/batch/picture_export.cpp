// The batch command's picture writer through the board's export.
#include "batch/picture_export.h"

#include <QGuiApplication>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

#include "base/errors.h"
#include "base/file.h"
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

std::optional<board::SheetPlacement> OnSheet(const PictureRequest& picture) {
    if (!picture.sheet && !picture.fit) return std::nullopt;
    return board::SheetPlacement{
        picture.sheet.value_or(board::Sheet{}),
        picture.fit ? board::PdfPlacement::FitToSheet : board::PdfPlacement::AtScale};
}

board::PngOptions PngOptionsOf(const PictureRequest& picture) {
    board::PngOptions options;
    options.pixelsPerMm = picture.dpi / 25.4;
    options.onSheet = OnSheet(picture);
    return options;
}

// A PNG too large for the export is refused with the options that make it fit: a lower --dpi
// where one is in range, and fitting to a sheet, which always fits at the default resolution.
void CheckPngSize(const board::BoardDocument& document, const PictureRequest& picture) {
    const auto [width, height] = board::PngPixels(document, PngOptionsOf(picture));
    if (board::PngWithinLimits(width, height)) return;
    // Pixels grow with the resolution on both sides; the margin of a pixel or two keeps the
    // advised resolution within the limits after rounding up.
    const double side = std::max(width, height);
    const double shrink = std::min((board::kMaxPngSide - 1) / side,
                                   std::sqrt(board::kMaxPngPixels / ((width + 2) * (height + 2))));
    const auto fitting = static_cast<std::int64_t>(std::floor(picture.dpi * shrink));
    std::string advice;
    if (fitting >= kMinDpi) advice = "--dpi " + std::to_string(fitting) + " 以下にするか、";
    advice += picture.fit ? "--sheet で小さな用紙を選んで下さい"
                          : "--fit (--sheet A3 --fit など) で用紙に合わせて下さい";
    throw FileError("ファイル「" + picture.path +
                    "」にエクスポートできません: 画像が大きすぎます (" +
                    std::to_string(static_cast<std::int64_t>(width)) + " x " +
                    std::to_string(static_cast<std::int64_t>(height)) + " ピクセル、" +
                    board::kPngLimitsText + ")。" + advice);
}

void WritePicture(const board::BoardDocument& document, const PictureRequest& picture) {
    EnsureGuiApplication();
    switch (picture.format) {
        case PictureFormat::Svg: {
            board::SvgOptions options;
            options.onSheet = OnSheet(picture);
            board::ExportSvg(document, picture.path, options);
            return;
        }
        case PictureFormat::Png:
            CheckPngSize(document, picture);
            board::ExportPng(document, picture.path, PngOptionsOf(picture));
            return;
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
