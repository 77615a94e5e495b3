// Sheet sizes, the fit test, the smallest fitting sheet and the page layout of a PDF.
#include "board/export/export_sheet.h"

#include <algorithm>
#include <cmath>

#include "board/model/layers.h"
#include "board/model/underlay.h"

namespace pelimator::board {

namespace {

// A drawing that measures a hair over the free area still fits: rounding of the extent.
constexpr double kFitSlackMm = 1e-6;

}  // namespace

SheetMm SheetSize(PaperSize paper, PaperOrientation orientation) noexcept {
    // ISO 216, portrait.
    SheetMm sheet;
    switch (paper) {
        case PaperSize::A4:
            sheet = {210.0, 297.0};
            break;
        case PaperSize::A3:
            sheet = {297.0, 420.0};
            break;
        case PaperSize::A2:
            sheet = {420.0, 594.0};
            break;
        case PaperSize::A1:
            sheet = {594.0, 841.0};
            break;
        case PaperSize::A0:
            sheet = {841.0, 1189.0};
            break;
    }
    if (orientation == PaperOrientation::Landscape) std::swap(sheet.width, sheet.height);
    return sheet;
}

bool FitsSheet(double widthMm, double heightMm, Sheet sheet, double marginMm) noexcept {
    const SheetMm size = SheetSize(sheet.paper, sheet.orientation);
    return widthMm + 2.0 * marginMm <= size.width + kFitSlackMm &&
           heightMm + 2.0 * marginMm <= size.height + kFitSlackMm;
}

std::optional<Sheet> SmallestSheetThatFits(double widthMm, double heightMm, double marginMm,
                                           PaperOrientation preferred) noexcept {
    const PaperOrientation other = preferred == PaperOrientation::Landscape
                                       ? PaperOrientation::Portrait
                                       : PaperOrientation::Landscape;
    for (const PaperSize paper : kPaperSizes) {
        for (const PaperOrientation orientation : {preferred, other}) {
            const Sheet sheet{paper, orientation};
            if (FitsSheet(widthMm, heightMm, sheet, marginMm)) return sheet;
        }
    }
    return std::nullopt;
}

std::optional<Box> ShownExtentMm(const BoardDocument& document) {
    const BoardLayers& layers = *document.LayerTable();
    const double factor = document.UnitsPerPaperMillimetre();
    std::optional<Box> box;
    for (const EntityData& entity : document.DrawingModel()->Entities()) {
        if (!entity.visible || !layers.IsShown(entity.layer)) continue;
        for (const Vec2 p : FlattenEntity(entity, 0.001 * factor)) {
            const Vec2 mm = (1.0 / factor) * p;
            if (!IsFinite(mm)) continue;
            if (!box) {
                box = Box{mm, mm};
            } else {
                box->min = {std::min(box->min.x, mm.x), std::min(box->min.y, mm.y)};
                box->max = {std::max(box->max.x, mm.x), std::max(box->max.y, mm.y)};
            }
        }
    }
    // What the file draws beneath (text, blocks, hatches) counts too, as on screen.
    if (const UnderlayPtr& underlay = document.UnderlayModel(); underlay && underlay->Extents()) {
        const Box units = *underlay->Extents();
        const Box mm{(1.0 / factor) * units.min, (1.0 / factor) * units.max};
        if (IsFinite(mm.min) && IsFinite(mm.max)) box = UnionOf(box, mm);
    }
    return box;
}

std::optional<Box> DrawingPaperMm(const BoardDocument& document) {
    const std::shared_ptr<const DocumentSource>& source = document.Source();
    const std::optional<Box> paper = source ? source->Paper() : std::nullopt;
    if (!paper) return std::nullopt;
    const double factor = document.UnitsPerPaperMillimetre();
    const Box mm{(1.0 / factor) * paper->min, (1.0 / factor) * paper->max};
    if (!IsFiniteBox(mm)) return std::nullopt;
    return mm;
}

std::optional<Sheet> SheetOfPaper(const Box& paperMm) noexcept {
    constexpr double kSlackMm = 0.5;
    const double width = paperMm.max.x - paperMm.min.x;
    const double height = paperMm.max.y - paperMm.min.y;
    for (const PaperSize paper : kPaperSizes) {
        for (const PaperOrientation orientation :
             {PaperOrientation::Landscape, PaperOrientation::Portrait}) {
            const SheetMm size = SheetSize(paper, orientation);
            if (std::abs(size.width - width) <= kSlackMm &&
                std::abs(size.height - height) <= kSlackMm) {
                return Sheet{paper, orientation};
            }
        }
    }
    return std::nullopt;
}

std::optional<Sheet> OwnSheetHolding(const std::optional<Box>& extentMm,
                                     const std::optional<Box>& paperMm) noexcept {
    // Texts are measured by their glyphs, which stand a little past the character cells their
    // program places: a 10 mm text whose cells end at the paper's edge measures 1.2 mm past it.
    constexpr double kSlackMm = 2.0;
    if (!extentMm || !paperMm) return std::nullopt;
    const bool holds = extentMm->min.x >= paperMm->min.x - kSlackMm &&
                       extentMm->min.y >= paperMm->min.y - kSlackMm &&
                       extentMm->max.x <= paperMm->max.x + kSlackMm &&
                       extentMm->max.y <= paperMm->max.y + kSlackMm;
    return holds ? SheetOfPaper(*paperMm) : std::nullopt;
}

PdfLayout LayOutPdf(const std::optional<Box>& extentMm, const PdfOptions& options,
                    const std::optional<Box>& paperMm) {
    PdfLayout layout;
    layout.sheet = SheetSize(options.paper, options.orientation);
    if (options.placement == PdfPlacement::AtScale &&
        OwnSheetHolding(extentMm, paperMm) == Sheet{options.paper, options.orientation}) {
        layout.originMm = {paperMm->min.x, paperMm->max.y};
        return layout;
    }
    const Box extent = extentMm ? *extentMm : Box{};
    const double width = extent.max.x - extent.min.x;
    const double height = extent.max.y - extent.min.y;
    const double margin = options.style.marginMm;
    if (options.placement == PdfPlacement::FitToSheet) {
        const double freeWidth = std::max(layout.sheet.width - 2.0 * margin, 1.0);
        const double freeHeight = std::max(layout.sheet.height - 2.0 * margin, 1.0);
        double zoom = HUGE_VAL;
        if (width > 0.0) zoom = std::min(zoom, freeWidth / width);
        if (height > 0.0) zoom = std::min(zoom, freeHeight / height);
        layout.zoom = std::isfinite(zoom) && zoom > 0.0 ? zoom : 1.0;
    } else {
        layout.fits = FitsSheet(width, height, {options.paper, options.orientation}, margin);
    }
    // The drawing's middle goes to the middle of the page.
    const Vec2 middle = 0.5 * (extent.min + extent.max);
    layout.originMm = {middle.x - 0.5 * layout.sheet.width / layout.zoom,
                       middle.y + 0.5 * layout.sheet.height / layout.zoom};
    return layout;
}

}  // namespace pelimator::board
