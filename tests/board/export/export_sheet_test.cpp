// The export's sheets: which sheet holds a drawing at scale, and where it lands on the page.
#include "board/export/export_sheet.h"

#include <cmath>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "board/model/application.h"

namespace pelimator::board {
namespace {

constexpr PaperOrientation kLandscape = PaperOrientation::Landscape;
constexpr PaperOrientation kPortrait = PaperOrientation::Portrait;

struct SheetRow {
    const char* name;
    double widthMm;
    double heightMm;
    PaperOrientation preferred;
    std::optional<Sheet> expected;  // none: no sheet holds it, fitting is the way out
};

void PrintTo(const SheetRow& row, std::ostream* os) { *os << row.name; }

class SmallestSheet : public ::testing::TestWithParam<SheetRow> {};

// Margins of 5 mm on every side.
TEST_P(SmallestSheet, IsTheFirstFromA4UpThatHoldsTheDrawing) {
    const SheetRow& row = GetParam();
    const auto sheet = SmallestSheetThatFits(row.widthMm, row.heightMm, 5.0, row.preferred);
    ASSERT_EQ(sheet.has_value(), row.expected.has_value());
    if (!sheet) return;
    EXPECT_EQ(static_cast<int>(sheet->paper), static_cast<int>(row.expected->paper));
    EXPECT_EQ(static_cast<int>(sheet->orientation), static_cast<int>(row.expected->orientation));
    EXPECT_TRUE(FitsSheet(row.widthMm, row.heightMm, *sheet, 5.0));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SmallestSheet,
    ::testing::Values(
        SheetRow{"FitsA4AtScale", 250, 150, kLandscape, Sheet{PaperSize::A4, kLandscape}},
        SheetRow{"PortraitPreferredButOnlyLandscapeHoldsIt", 250, 150, kPortrait,
                 Sheet{PaperSize::A4, kLandscape}},
        SheetRow{"PortraitKeptWhenItFits", 150, 250, kPortrait, Sheet{PaperSize::A4, kPortrait}},
        SheetRow{"ExactlyA4LessTheMargins", 287, 200, kLandscape, Sheet{PaperSize::A4, kLandscape}},
        SheetRow{"JustOverA4NeedsA3", 287.01, 200, kLandscape, Sheet{PaperSize::A3, kLandscape}},
        SheetRow{"NeedsA2", 500, 300, kLandscape, Sheet{PaperSize::A2, kLandscape}},
        SheetRow{"TallNeedsA2Portrait", 300, 500, kLandscape, Sheet{PaperSize::A2, kPortrait}},
        SheetRow{"NeedsA1", 700, 500, kLandscape, Sheet{PaperSize::A1, kLandscape}},
        SheetRow{"LargestThatA0Holds", 1179, 831, kLandscape, Sheet{PaperSize::A0, kLandscape}},
        SheetRow{"FitsNoSheet", 2000, 1000, kLandscape, std::nullopt},
        SheetRow{"TooTallForA0", 100, 1200, kPortrait, std::nullopt},
        SheetRow{"EmptyDrawing", 0, 0, kLandscape, Sheet{PaperSize::A4, kLandscape}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ExportSheet, SizesAreIso216EitherWayRound) {
    const SheetMm a4 = SheetSize(PaperSize::A4, kPortrait);
    EXPECT_EQ(a4.width, 210.0);
    EXPECT_EQ(a4.height, 297.0);
    const SheetMm a0 = SheetSize(PaperSize::A0, kLandscape);
    EXPECT_EQ(a0.width, 1189.0);
    EXPECT_EQ(a0.height, 841.0);
    // Each size is the next larger one halved across its long side.
    for (std::size_t i = 0; i + 1 < kPaperSizes.size(); ++i) {
        const SheetMm small = SheetSize(kPaperSizes[i], kLandscape);
        const SheetMm large = SheetSize(kPaperSizes[i + 1], kPortrait);
        EXPECT_EQ(small.width, large.width) << i;
        EXPECT_NEAR(small.height, large.height / 2.0, 1.0) << i;
    }
}

struct LayoutRow {
    const char* name;
    Box extent;
    PdfPlacement placement;
    bool fits;
    double zoom;
};

void PrintTo(const LayoutRow& row, std::ostream* os) { *os << row.name; }

class PdfLayoutRows : public ::testing::TestWithParam<LayoutRow> {};

// A4 landscape (297 x 210), 5 mm margins.
TEST_P(PdfLayoutRows, CentresTheDrawingAtScaleOrFitted) {
    const LayoutRow& row = GetParam();
    PdfOptions options;
    options.placement = row.placement;
    const PdfLayout layout = LayOutPdf(row.extent, options);
    EXPECT_EQ(layout.fits, row.fits);
    EXPECT_NEAR(layout.zoom, row.zoom, 1e-12);
    // The drawing's middle lands in the page's middle.
    const Vec2 middle = 0.5 * (row.extent.min + row.extent.max);
    EXPECT_NEAR((middle.x - layout.originMm.x) * layout.zoom, 297.0 / 2.0, 1e-9);
    EXPECT_NEAR((layout.originMm.y - middle.y) * layout.zoom, 210.0 / 2.0, 1e-9);
    if (row.placement == PdfPlacement::FitToSheet) {
        // Fitted: it touches the margins one way and stays within them the other.
        const double width = (row.extent.max.x - row.extent.min.x) * layout.zoom;
        const double height = (row.extent.max.y - row.extent.min.y) * layout.zoom;
        EXPECT_LE(width, 287.0 + 1e-9);
        EXPECT_LE(height, 200.0 + 1e-9);
        EXPECT_TRUE(std::abs(width - 287.0) < 1e-9 || std::abs(height - 200.0) < 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PdfLayoutRows,
    ::testing::Values(
        LayoutRow{"FitsAtScale", {{10, 20}, {110, 80}}, PdfPlacement::AtScale, true, 1.0},
        LayoutRow{"TooLargeAtScale", {{0, 0}, {600, 100}}, PdfPlacement::AtScale, false, 1.0},
        LayoutRow{"FittedDownWiderThanTheSheet",
                  {{0, 0}, {574, 100}},
                  PdfPlacement::FitToSheet,
                  true,
                  0.5},
        LayoutRow{"FittedUpTallerThanTheSheet",
                  {{-5, -5}, {5, 15}},
                  PdfPlacement::FitToSheet,
                  true,
                  10.0},
        LayoutRow{"FarFromTheOrigin",
                  {{1e6, 2e6}, {1e6 + 100, 2e6 + 50}},
                  PdfPlacement::AtScale,
                  true,
                  1.0}),
    [](const auto& row) { return std::string(row.param.name); });

struct OwnPaperRow {
    const char* name;
    Box paper;   // the drawing's own sheet
    Box extent;  // what is shown
    Sheet chosen;
    PdfPlacement placement;
    bool onItsPaper;  // laid as its program lays it, else centred
};

void PrintTo(const OwnPaperRow& row, std::ostream* os) { *os << row.name; }

class OwnPaperRows : public ::testing::TestWithParam<OwnPaperRow> {};

// A drawing on its own paper lands where its program lays it (the paper's corner on the page's),
// as long as it lies on that paper and that paper is the page at scale; otherwise it is centred.
TEST_P(OwnPaperRows, LaysTheDrawingOnItsOwnPaperOnlyWhenItLiesOnIt) {
    const OwnPaperRow& row = GetParam();
    PdfOptions options;
    options.paper = row.chosen.paper;
    options.orientation = row.chosen.orientation;
    options.placement = row.placement;
    const PdfLayout layout = LayOutPdf(row.extent, options, row.paper);
    const PdfLayout centred = LayOutPdf(row.extent, options);
    if (row.onItsPaper) {
        EXPECT_TRUE(layout.fits);
        EXPECT_EQ(layout.zoom, 1.0);
        EXPECT_EQ(layout.originMm.x, row.paper.min.x);
        EXPECT_EQ(layout.originMm.y, row.paper.max.y);
        EXPECT_EQ(OwnSheetHolding(row.extent, row.paper), row.chosen);
    } else {
        EXPECT_EQ(layout.fits, centred.fits);
        EXPECT_EQ(layout.zoom, centred.zoom);
        EXPECT_EQ(layout.originMm.x, centred.originMm.x);
        EXPECT_EQ(layout.originMm.y, centred.originMm.y);
    }
}

constexpr Box kA2Paper{{-297, -210}, {297, 210}};
constexpr Box kLiesOnA2{{-290, -205}, {284, 195}};  // as a real Jw_cad plan on A2

INSTANTIATE_TEST_SUITE_P(Rows, OwnPaperRows,
                         ::testing::Values(
                             // Too wide for A2 with the margin, so centring would ask for A1.
                             OwnPaperRow{"LiesOnItsA2",
                                         kA2Paper,
                                         kLiesOnA2,
                                         {PaperSize::A2, kLandscape},
                                         PdfPlacement::AtScale,
                                         true},
                             OwnPaperRow{"ReachesPastItsPaper",
                                         kA2Paper,
                                         {{-290, -205}, {299.5, 195}},
                                         {PaperSize::A2, kLandscape},
                                         PdfPlacement::AtScale,
                                         false},
                             OwnPaperRow{"AnotherSheetChosen",
                                         kA2Paper,
                                         kLiesOnA2,
                                         {PaperSize::A1, kLandscape},
                                         PdfPlacement::AtScale,
                                         false},
                             OwnPaperRow{"SameSheetTurned",
                                         kA2Paper,
                                         {{-100, -100}, {100, 100}},
                                         {PaperSize::A2, kPortrait},
                                         PdfPlacement::AtScale,
                                         false},
                             OwnPaperRow{"Fitted",
                                         kA2Paper,
                                         kLiesOnA2,
                                         {PaperSize::A2, kLandscape},
                                         PdfPlacement::FitToSheet,
                                         false},
                             OwnPaperRow{"PaperOfNoIsoSize",
                                         {{-841, -594.5}, {841, 594.5}},
                                         kLiesOnA2,
                                         {PaperSize::A0, kLandscape},
                                         PdfPlacement::AtScale,
                                         false},
                             OwnPaperRow{"PortraitA4",
                                         {{-105, -148.5}, {105, 148.5}},
                                         {{-100, -140}, {0, 140}},
                                         {PaperSize::A4, kPortrait},
                                         PdfPlacement::AtScale,
                                         true}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ExportSheet, ShownExtentIsInPaperMillimetresAndLeavesHiddenLayersOut) {
    const auto application = BoardApplication::Create();
    const auto document = application->AddDocument("見本");
    document->ScaleModel()->SetDenominator(100);
    document->LayerTable()->Put({2, "隠し", {}, false});
    document->DrawingModel()->AddEntity(MakeLine({1000, 2000}, {31000, 4000}));
    document->DrawingModel()->AddEntity(MakeLine({-90000, 0}, {0, 0}, 2));
    // An upper half circle of radius 1000 about (0, 5000): its top at y 6000.
    document->DrawingModel()->AddEntity(MakeArc({0, 5000}, {1000, 5000}, {-1000, 5000}));
    const auto extent = ShownExtentMm(*document);
    ASSERT_TRUE(extent.has_value());
    EXPECT_NEAR(extent->min.x, -10.0, 1e-9);
    EXPECT_NEAR(extent->min.y, 20.0, 1e-9);
    EXPECT_NEAR(extent->max.x, 310.0, 1e-9);
    EXPECT_NEAR(extent->max.y, 60.0, 1e-3);
    EXPECT_FALSE(ShownExtentMm(*application->AddDocument("空")).has_value());
}

}  // namespace
}  // namespace pelimator::board
