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

// Draws what the window shows of the drawing (without grid and overlays) with painter
// coordinates in paper millimetres, Y down, where originMm (Y up) lands at the painter's (0, 0)
// and areaMm is the part of the page drawn on: through the window's own painter, in units of
// 1/kSteps mm, so its thresholds (text under a few pixels as a box) stay far below what paper
// shows.
void Paint(QPainter& painter, const BoardDocument& document, Vec2 originMm, QSizeF areaMm,
           const ExportStyle& style) {
    constexpr double kSteps = 20.0;
    const double factor = document.UnitsPerPaperMillimetre();
    ViewTransform transform;
    transform.pixelsPerUnit = kSteps / factor;
    transform.origin = {originMm.x * factor, originMm.y * factor};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(1.0 / kSteps, 1.0 / kSteps);
    ScenePainter scene;
    scene.Palette().background = Qt::white;
    EntityIndex index;
    scene.PaintDrawing(painter,
                       QSize(static_cast<int>(std::ceil(areaMm.width() * kSteps)),
                             static_cast<int>(std::ceil(areaMm.height() * kSteps))),
                       document, transform, index,
                       DrawingStyle{style.lineWidthMm * kSteps, /*exact=*/true});
    painter.restore();
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

struct Frame {
    Vec2 originMm;  // top-left corner, Y up
    double widthMm = 0.0;
    double heightMm = 0.0;
};

Frame FrameOf(const BoardDocument& document, const ExportStyle& style) {
    const auto box = ShownExtentMm(document);
    const Box b = box ? *box : Box{{0, 0}, {0, 0}};
    return {{b.min.x - style.marginMm, b.max.y + style.marginMm},
            b.max.x - b.min.x + 2 * style.marginMm,
            b.max.y - b.min.y + 2 * style.marginMm};
}

}  // namespace

void ExportSvg(const BoardDocument& document, const std::string& path, const SvgOptions& options) {
    CheckStyle(options.style, path);
    const Frame frame = FrameOf(document, options.style);
    // 0.01 mm per SVG pixel, so the width and height attributes keep two decimals of a mm.
    constexpr double kDpi = 2540.0;
    const double pixelsPerMm = kDpi / kMmPerInch;
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        QSvgGenerator generator;
        generator.setFileName(QString::fromStdString(tempPath));
        generator.setResolution(static_cast<int>(kDpi));
        generator.setSize(QSize(static_cast<int>(std::ceil(frame.widthMm * pixelsPerMm)),
                                static_cast<int>(std::ceil(frame.heightMm * pixelsPerMm))));
        generator.setViewBox(QRectF(0, 0, frame.widthMm, frame.heightMm));
        generator.setTitle(QString::fromStdString(document.Name()));
        QPainter painter;
        if (!painter.begin(&generator)) Fail(path, "SVG を作れません");
        Paint(painter, document, frame.originMm, QSizeF(frame.widthMm, frame.heightMm),
              options.style);
        if (!painter.end()) Fail(path, "SVG を書き込めません");
    });
}

void ExportPng(const BoardDocument& document, const std::string& path, const PngOptions& options) {
    CheckStyle(options.style, path);
    if (!(options.pixelsPerMm > 0.0) || !std::isfinite(options.pixelsPerMm)) {
        Fail(path, "解像度が正しくありません");
    }
    const Frame frame = FrameOf(document, options.style);
    const double width = std::ceil(frame.widthMm * options.pixelsPerMm);
    const double height = std::ceil(frame.heightMm * options.pixelsPerMm);
    if (width > kMaxPngSide || height > kMaxPngSide) {
        Fail(path, "画像が大きすぎます (" + std::to_string(static_cast<long long>(width)) + " x " +
                       std::to_string(static_cast<long long>(height)) +
                       " ピクセル)。解像度を下げて下さい");
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
        Paint(painter, document, frame.originMm, QSizeF(frame.widthMm, frame.heightMm),
              options.style);
    }
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        if (!image.save(QString::fromStdString(tempPath), "PNG"))
            Fail(path, "PNG を書き込めません");
    });
}

void ExportPdf(const BoardDocument& document, const std::string& path, const PdfOptions& options) {
    CheckStyle(options.style, path);
    const PdfLayout layout = LayOutPdf(ShownExtentMm(document), options);
    if (!layout.fits) {
        Fail(path,
             "図面がこの縮尺では用紙に収まりません。大きな用紙を選ぶか、用紙に合わせて下さい");
    }
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
        // Page millimetres per millimetre at scale; the plotted line keeps its width on paper.
        const double pixelsPerMm = writer.resolution() / kMmPerInch;
        painter.scale(pixelsPerMm * layout.zoom, pixelsPerMm * layout.zoom);
        ExportStyle style = options.style;
        style.lineWidthMm /= layout.zoom;
        Paint(painter, document, layout.originMm,
              QSizeF(layout.sheet.width / layout.zoom, layout.sheet.height / layout.zoom), style);
        if (!painter.end()) Fail(path, "PDF を書き込めません");
    });
}

}  // namespace pelimator::board
