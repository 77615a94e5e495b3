// Exporting the drawing of a document as SVG, PNG or PDF at the drawing's scale.
#include "board/export/export.h"

#include <QIODevice>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QSvgGenerator>
#include <cmath>
#include <optional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "base/errors.h"
#include "base/file.h"
#include "base/system_error_text.h"
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
    const PdfLayout layout = LayOutPdf(extent, options, DrawingPaperMm(document));
    if (!layout.fits) {
        Fail(path,
             "図面がこの縮尺では用紙に収まりません。大きな用紙を選ぶか、用紙に合わせて下さい");
    }
    return {layout.originMm, layout.sheet.width, layout.sheet.height, layout.zoom};
}

// Qt's SVG, PDF and image writers drop the errors of the device they write to, and so does QFile
// (a full disk gave a cut file and success): they write to the temporary file through this
// device, which checks every write(2) and the close, so that a failure fails the export and the
// atomic replace keeps the old file.
class CheckedFile final : public QIODevice {
public:
    CheckedFile(const std::string& path, const std::string& tempPath)
        : m_path(path),
          m_fd(::open(tempPath.c_str(),  // NOLINT(cppcoreguidelines-pro-type-vararg): POSIX open
                      O_WRONLY | O_TRUNC | O_CLOEXEC)) {
        if (m_fd < 0) Fail(path, "一時ファイルを開けません: " + SystemErrorText(errno));
        QIODevice::open(QIODevice::WriteOnly);
    }
    ~CheckedFile() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;
    CheckedFile(CheckedFile&&) = delete;
    CheckedFile& operator=(CheckedFile&&) = delete;

    [[nodiscard]] QIODevice* Device() noexcept { return this; }
    [[nodiscard]] bool isSequential() const override { return true; }
    // After the writer ended: FileError unless everything reached the file.
    void Finish() {
        WriteBuffer();
        QIODevice::close();
        if (::close(m_fd) != 0 && m_error == 0) m_error = errno;
        m_fd = -1;
        if (m_error != 0) Fail(m_path, "途中で書き込めなくなりました: " + SystemErrorText(m_error));
    }

protected:
    qint64 readData(char* /*data*/, qint64 /*size*/) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (m_error != 0) return -1;
        m_buffer.append(data, static_cast<std::size_t>(size));
        if (m_buffer.size() >= kBufferBytes) WriteBuffer();
        return m_error != 0 ? -1 : size;
    }

private:
    static constexpr std::size_t kBufferBytes = std::size_t{1} << 16U;
    void WriteBuffer() {
        std::size_t done = 0;
        while (m_error == 0 && done < m_buffer.size()) {
            const ssize_t written = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
            if (written > 0) {
                done += static_cast<std::size_t>(written);
            } else if (written < 0 && errno != EINTR) {
                m_error = errno;
            } else if (written == 0) {
                m_error = EIO;
            }
        }
        m_buffer.clear();
    }

    std::string m_path;
    int m_fd = -1;
    int m_error = 0;  // errno of the first failure
    std::string m_buffer;
};

}  // namespace

void ExportSvg(const BoardDocument& document, const std::string& path, const SvgOptions& options) {
    CheckStyle(options.style, path);
    const Page page = PageOf(document, options.style, options.onSheet, path);
    // 0.01 mm per SVG pixel, so the width and height attributes keep two decimals of a mm.
    constexpr double kDpi = 2540.0;
    const double pixelsPerMm = kDpi / kMmPerInch;
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        CheckedFile file(path, tempPath);
        QSvgGenerator generator;
        generator.setOutputDevice(file.Device());
        generator.setResolution(static_cast<int>(kDpi));
        generator.setSize(QSize(static_cast<int>(std::ceil(page.widthMm * pixelsPerMm)),
                                static_cast<int>(std::ceil(page.heightMm * pixelsPerMm))));
        generator.setViewBox(QRectF(0, 0, page.widthMm, page.heightMm));
        generator.setTitle(QString::fromStdString(document.Name()));
        QPainter painter;
        if (!painter.begin(&generator)) Fail(path, "SVG を作れません");
        Paint(painter, document, page, options.style, path);
        if (!painter.end()) Fail(path, "SVG を書き込めません");
        file.Finish();
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
    if (!PngWithinLimits(width, height)) {
        Fail(path, "画像が大きすぎます (" + std::to_string(static_cast<long long>(width)) + " x " +
                       std::to_string(static_cast<long long>(height)) + " ピクセル、" +
                       kPngLimitsText + ")。解像度を下げるか、用紙に合わせて下さい");
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
        CheckedFile file(path, tempPath);
        if (!image.save(file.Device(), "PNG")) Fail(path, "PNG を書き込めません");
        file.Finish();
    });
}

void ExportPdf(const BoardDocument& document, const std::string& path, const PdfOptions& options) {
    CheckStyle(options.style, path);
    const Page page =
        PageOf(document, options.style,
               SheetPlacement{{options.paper, options.orientation}, options.placement}, path);
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        CheckedFile file(path, tempPath);
        QPdfWriter writer(file.Device());
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
        file.Finish();
    });
}

}  // namespace pelimator::board
