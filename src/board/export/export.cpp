// Exporting the drawing of a document as SVG, PNG or PDF at the drawing's scale.
#include "board/export/export.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QString>
#include <QSvgGenerator>
#include <cmath>
#include <numbers>
#include <optional>

#include "base/errors.h"
#include "base/file.h"
#include "board/render/underlay_painter.h"

namespace pelimator::board {

namespace {

constexpr double kMmPerInch = 25.4;

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw FileError("ファイル「" + FileNameOf(path) + "」に書き出せません: " + what);
}

void CheckStyle(const ExportStyle& style, const std::string& path) {
    if (!(style.lineWidthMm > 0.0) || !std::isfinite(style.lineWidthMm) ||
        !(style.marginMm >= 0.0) || !std::isfinite(style.marginMm)) {
        Fail(path, "線の太さか余白が正しくありません");
    }
}

// What the file draws besides the board's lines and arcs (text, blocks, hatches, ...), beneath
// them as on screen. The underlay painter works in pixels: here each is 1/kUnderlaySteps mm, so
// its thresholds (text under a few pixels as a box) stay far below what paper shows.
void PaintUnderlay(QPainter& painter, const BoardDocument& document, Vec2 originMm, QSizeF areaMm) {
    if (!document.UnderlayModel()) return;
    constexpr double kUnderlaySteps = 20.0;
    const double factor = document.ScaleModel()->Factor();
    ViewTransform transform;
    transform.pixelsPerUnit = kUnderlaySteps / factor;
    transform.origin = {originMm.x * factor, originMm.y * factor};
    painter.save();
    painter.scale(1.0 / kUnderlaySteps, 1.0 / kUnderlaySteps);
    UnderlayPainter underlay;
    underlay.Paint(painter,
                   QSize(static_cast<int>(std::ceil(areaMm.width() * kUnderlaySteps)),
                         static_cast<int>(std::ceil(areaMm.height() * kUnderlaySteps))),
                   document, transform, Qt::white);
    painter.restore();
}

// Draws what is shown with painter coordinates in paper millimetres, Y down, where originMm
// (Y up) lands at the painter's (0, 0) and areaMm is the part of the page drawn on.
void Paint(QPainter& painter, const BoardDocument& document, Vec2 originMm, QSizeF areaMm,
           const ExportStyle& style) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    PaintUnderlay(painter, document, originMm, areaMm);
    const BoardLayers& layers = *document.LayerTable();
    const double factor = document.ScaleModel()->Factor();
    const auto toPaper = [&](Vec2 p) {
        return QPointF(p.x / factor - originMm.x, originMm.y - p.y / factor);
    };
    QPen pen;
    pen.setWidthF(style.lineWidthMm);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCosmetic(false);
    painter.setBrush(Qt::NoBrush);
    const auto& source = document.Source();
    const std::span<const std::uint32_t> ownColours =
        source ? source->OwnColours() : std::span<const std::uint32_t>{};
    const std::span<const EntityData> entities = document.DrawingModel()->Entities();
    for (std::size_t i = 0; i < entities.size(); ++i) {
        const EntityData& entity = entities[i];
        if (!entity.visible || !layers.IsShown(entity.layer)) continue;
        const LayerData* layer = layers.Find(entity.layer);
        Rgb colour = layer != nullptr ? layer->colour : Rgb{};
        if (i < ownColours.size() && ownColours[i] != 0) {
            const std::uint32_t own = ownColours[i];
            colour = {static_cast<std::uint8_t>(own >> 16U), static_cast<std::uint8_t>(own >> 8U),
                      static_cast<std::uint8_t>(own)};
        }
        pen.setColor(QColor(colour.r, colour.g, colour.b));
        painter.setPen(pen);
        if (entity.kind == EntityKind::Line) {
            painter.drawLine(toPaper(entity.start), toPaper(entity.end));
            continue;
        }
        // Arcs as Qt arcs on their bounding square: angles in degrees, counter-clockwise on
        // paper, which is counter-clockwise in the drawing too (both flip Y once).
        const ArcAngles angles = AnglesOf(entity);
        const QPointF centre = toPaper(entity.center);
        const double r = entity.radius / factor;
        const QRectF square(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
        const double startDegrees = angles.start * 180.0 / std::numbers::pi;
        const double sweepDegrees = angles.sweep * 180.0 / std::numbers::pi;
        QPainterPath path;
        path.arcMoveTo(square, startDegrees);
        path.arcTo(square, startDegrees, sweepDegrees);
        painter.drawPath(path);
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
