// Exporting the drawing of a document as SVG, PNG or PDF at the drawing's scale.
#include "board/export/export.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QSvgGenerator>
#include <cmath>
#include <optional>

#include "base/errors.h"
#include "base/file.h"
#include "board/render/entity_index.h"
#include "board/render/scene_painter.h"

namespace pelimator::board {

namespace {

constexpr double kMmPerInch = 25.4;

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw FileError("ファイル「" + FileNameOf(path) + "」にエクスポートできません: " + what);
}

void CheckStyle(const ExportStyle& style, const std::string& path) {
    if (!(style.lineWidthMm > 0.0) || !std::isfinite(style.lineWidthMm) ||
        !(style.marginMm >= 0.0) || !std::isfinite(style.marginMm)) {
        Fail(path, "線の太さか余白が正しくありません");
    }
}

// Where the drawing lands on the picture: the point at scale (mm, Y up) at the picture's top-left
// corner, the picture's size in its own millimetres, and its millimetres per millimetre at scale.
struct Page {
    Vec2 originMm;
    double widthMm = 0.0;
    double heightMm = 0.0;
    double zoom = 1.0;
};

// Draws what the window shows of the drawing (without grid and overlays) with painter
// coordinates in the page's millimetres, Y down, through the window's own painter in units of
// 1/kSteps page mm, so its thresholds (text under a few pixels as a box) stay far below what
// paper shows. The page's zoom goes into the view, not the painter: the painter's units stay
// those of the page however large the drawing is, as the window's pixels do.
void Paint(QPainter& painter, const BoardDocument& document, const Page& page,
           const ExportStyle& style, const std::string& path) {
    constexpr double kSteps = 20.0;
    const double factor = document.UnitsPerPaperMillimetre();
    ViewTransform transform;
    transform.pixelsPerUnit = kSteps * page.zoom / factor;
    transform.origin = {page.originMm.x * factor, page.originMm.y * factor};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(1.0 / kSteps, 1.0 / kSteps);
    ScenePainter scene;
    scene.Palette().background = Qt::white;
    EntityIndex index;
    scene.PaintDrawing(painter,
                       QSize(static_cast<int>(std::ceil(page.widthMm * kSteps)),
                             static_cast<int>(std::ceil(page.heightMm * kSteps))),
                       document, transform, index,
                       DrawingStyle{style.lineWidthMm * kSteps, /*exact=*/true});
    painter.restore();
    // The page holds what is shown, so the painter must have found some of it there; none found
    // means the page missed the drawing, and a blank picture is never written as the drawing.
    if (scene.Stats().candidates + scene.UnderlayStatsOfLastPaint().candidates == 0) {
        Fail(path, "図面が用紙の上にありません (何も描かれませんでした)");
    }
}

QPageSize::PageSizeId PageSizeId(PaperSize paper) {
    switch (paper) {
        case PaperSize::A4:
            return QPageSize::A4;
        case PaperSize::A3:
            return QPageSize::A3;
        case PaperSize::A2:
            return QPageSize::A2;
        case PaperSize::A1:
            return QPageSize::A1;
        case PaperSize::A0:
            return QPageSize::A0;
    }
    return QPageSize::A4;
}

// The page of a picture: the drawing's frame (the drawing plus the margin) at scale, or a sheet
// with the drawing at scale or fitted, as the PDF's page. A drawing with nothing shown has no
// page: its picture would be blank.
Page PageOf(const BoardDocument& document, const ExportStyle& style,
            const std::optional<SheetPlacement>& onSheet, const std::string& path) {
    const std::optional<Box> extent = ShownExtentMm(document);
    if (!extent) {
        Fail(path, "図面に表示されるものがありません (表示中の画層に図形がありません)");
    }
    if (!onSheet) {
        return {{extent->min.x - style.marginMm, extent->max.y + style.marginMm},
                extent->max.x - extent->min.x + 2 * style.marginMm,
                extent->max.y - extent->min.y + 2 * style.marginMm,
                1.0};
    }
    PdfOptions options;
    options.paper = onSheet->sheet.paper;
    options.orientation = onSheet->sheet.orientation;
    options.placement = onSheet->placement;
    options.style = style;
    const PdfLayout layout = LayOutPdf(extent, options);
    if (!layout.fits) {
        Fail(path,
             "図面がこの縮尺では用紙に収まりません。大きな用紙を選ぶか、用紙に合わせて下さい");
    }
    return {layout.originMm, layout.sheet.width, layout.sheet.height, layout.zoom};
}

}  // namespace

void ExportSvg(const BoardDocument& document, const std::string& path, const SvgOptions& options) {
    CheckStyle(options.style, path);
    const Page page = PageOf(document, options.style, options.onSheet, path);
    // 0.01 mm per SVG pixel, so the width and height attributes keep two decimals of a mm.
    constexpr double kDpi = 2540.0;
    const double pixelsPerMm = kDpi / kMmPerInch;
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        QSvgGenerator generator;
        generator.setFileName(QString::fromStdString(tempPath));
        generator.setResolution(static_cast<int>(kDpi));
        generator.setSize(QSize(static_cast<int>(std::ceil(page.widthMm * pixelsPerMm)),
                                static_cast<int>(std::ceil(page.heightMm * pixelsPerMm))));
        generator.setViewBox(QRectF(0, 0, page.widthMm, page.heightMm));
        generator.setTitle(QString::fromStdString(document.Name()));
        QPainter painter;
        if (!painter.begin(&generator)) Fail(path, "SVG を作れません");
        Paint(painter, document, page, options.style, path);
        if (!painter.end()) Fail(path, "SVG を書き込めません");
    });
}

std::pair<double, double> PngPixels(const BoardDocument& document, const PngOptions& options) {
    const Page page = PageOf(document, options.style, options.onSheet, document.Name());
    return {std::ceil(page.widthMm * options.pixelsPerMm),
            std::ceil(page.heightMm * options.pixelsPerMm)};
}

void ExportPng(const BoardDocument& document, const std::string& path, const PngOptions& options) {
    CheckStyle(options.style, path);
    if (!(options.pixelsPerMm > 0.0) || !std::isfinite(options.pixelsPerMm)) {
        Fail(path, "解像度が正しくありません");
    }
    const Page page = PageOf(document, options.style, options.onSheet, path);
    const double width = std::ceil(page.widthMm * options.pixelsPerMm);
    const double height = std::ceil(page.heightMm * options.pixelsPerMm);
    if (width > kMaxPngSide || height > kMaxPngSide) {
        Fail(path, "画像が大きすぎます (" + std::to_string(static_cast<long long>(width)) + " x " +
                       std::to_string(static_cast<long long>(height)) +
                       " ピクセル)。解像度を下げるか、用紙に合わせて下さい");
    }
    QImage image(std::max(1, static_cast<int>(width)), std::max(1, static_cast<int>(height)),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) Fail(path, "画像のためのメモリが足りません");
    image.fill(Qt::white);
    const int dotsPerMetre = static_cast<int>(std::lround(options.pixelsPerMm * 1000.0));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    {
        QPainter painter(&image);
        painter.scale(options.pixelsPerMm, options.pixelsPerMm);
        Paint(painter, document, page, options.style, path);
    }
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        if (!image.save(QString::fromStdString(tempPath), "PNG"))
            Fail(path, "PNG を書き込めません");
    });
}

void ExportPdf(const BoardDocument& document, const std::string& path, const PdfOptions& options) {
    CheckStyle(options.style, path);
    const Page page =
        PageOf(document, options.style,
               SheetPlacement{{options.paper, options.orientation}, options.placement}, path);
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        QPdfWriter writer(QString::fromStdString(tempPath));
        writer.setCreator(QStringLiteral("Pelimator"));
        writer.setTitle(QString::fromStdString(document.Name()));
        writer.setPageLayout(QPageLayout(QPageSize(PageSizeId(options.paper)),
                                         options.orientation == PaperOrientation::Portrait
                                             ? QPageLayout::Portrait
                                             : QPageLayout::Landscape,
                                         QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        writer.setResolution(1200);
        QPainter painter;
        if (!painter.begin(&writer)) Fail(path, "PDF を作れません");
        const double pixelsPerMm = writer.resolution() / kMmPerInch;
        painter.scale(pixelsPerMm, pixelsPerMm);
        Paint(painter, document, page, options.style, path);
        if (!painter.end()) Fail(path, "PDF を書き込めません");
    });
}

}  // namespace pelimator::board
