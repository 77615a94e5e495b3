// --export of the batch command, Qt-free: what reaches the picture writer (format, sheet, fitting,
// resolution, the drawing after its paths), what is saved besides, and the command lines refused.
#include <optional>

#include <gtest/gtest.h>

#include "batch/batch_test_support.h"
#include "board/dxf/dxf_file.h"
#include "board/model/document.h"

namespace pelimator::batch {
namespace {

using board::PaperOrientation;
using board::PaperSize;
using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;

// What the writer was asked for.
struct Written {
    PictureFormat format = PictureFormat::Svg;
    std::optional<board::Sheet> sheet;
    bool fit = false;
    std::int32_t dpi = 0;
    std::size_t entities = 0;  // of the drawing handed over
};

struct ExportRow {
    const char* name;
    std::vector<std::string> args;  // "@x" is the file x of the row's folder
    int exitCode;
    std::optional<Written> written;  // none: the writer is not called
    bool savesDrawing = false;       // in-pelimator.dxf written beside the input
    std::vector<std::string> messageParts;
};

void PrintTo(const ExportRow& row, std::ostream* out) { *out << row.name; }

class BatchExport : public ::testing::TestWithParam<ExportRow> {};

TEST_P(BatchExport, AsksTheWriterForThePictureNamed) {
    const ExportRow& row = GetParam();
    TempDir dir;
    // A 100 x 40 drawing (two lines) at 1:1; long.dxf is a line 1000 long.
    board::DrawingContent drawing;
    drawing.layers = {{0, "0", {}, true}, {3, "道路", {}, true}};
    drawing.entities = {board::MakeLine({0, 0}, {100, 0}, 3), board::MakeLine({0, 40}, {100, 40})};
    board::WriteDxfFile(dir.File("in.dxf"), drawing);
    // long.dxf, as another program might write it, stores no scale: --scale applies.
    WriteBytes(dir.File("long.dxf"),
               "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1000\n21\n0\n"
               "0\nENDSEC\n0\nEOF\n");
    WriteBytes(dir.File("points.txt"), "0 20\n100 20\n");
    const std::size_t entriesBefore = dir.EntryCount();

    std::vector<std::string> argv{"pelimator-batch"};
    for (const std::string& arg : row.args) {
        argv.push_back(arg.starts_with("@") ? dir.File(arg.substr(1)) : arg);
    }
    std::vector<Written> calls;
    const PictureWriter writer = [&](const board::BoardDocument& document,
                                     const PictureRequest& picture) {
        calls.push_back({picture.format, picture.sheet, picture.fit, picture.dpi,
                         document.DrawingModel()->Entities().size()});
    };
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    BatchStreams streams{in, out, err, false};
    const int code = RunBatch(argv, streams, dir.Path().string(), writer);

    EXPECT_EQ(code, row.exitCode) << err.str();
    for (const std::string& part : row.messageParts) {
        EXPECT_NE(err.str().find(part), std::string::npos) << "expected \"" << part << "\" in:\n"
                                                           << err.str();
    }
    if (!row.written) {
        EXPECT_TRUE(calls.empty());
    } else {
        ASSERT_EQ(calls.size(), 1U) << err.str();
        const Written& got = calls.front();
        EXPECT_EQ(got.format, row.written->format);
        EXPECT_EQ(got.sheet, row.written->sheet);
        EXPECT_EQ(got.fit, row.written->fit);
        EXPECT_EQ(got.dpi, row.written->dpi);
        EXPECT_EQ(got.entities, row.written->entities);
    }
    EXPECT_EQ(dir.EntryCount(), entriesBefore + (row.savesDrawing ? 1 : 0));
}

constexpr board::Sheet Sheet(PaperSize paper, PaperOrientation orientation) {
    return {paper, orientation};
}
constexpr PaperOrientation kLandscape = PaperOrientation::Landscape;
constexpr PaperOrientation kPortrait = PaperOrientation::Portrait;

const std::vector<ExportRow> kRows = {
    {"SvgOfTheDrawingAsOpenedSavesNoDxf",
     {"--export", "@p.svg", "@in.dxf"},
     0,
     Written{PictureFormat::Svg, std::nullopt, false, 254, 2},
     false,
     {}},
    {"PngAtTheResolutionGiven",
     {"--export", "@p.PNG", "--dpi", "600", "@in.dxf"},
     0,
     Written{PictureFormat::Png, std::nullopt, false, 600, 2},
     false,
     {}},
    {"PdfOnTheSmallestSheetThatHoldsItAtScale",
     {"--export", "@p.pdf", "@in.dxf"},
     0,
     Written{PictureFormat::Pdf, Sheet(PaperSize::A4, kLandscape), false, 254, 2},
     false,
     {}},
    {"PdfOfALongDrawingOnA0",
     {"--export", "@p.pdf", "@long.dxf"},
     0,
     Written{PictureFormat::Pdf, Sheet(PaperSize::A0, kLandscape), false, 254, 1},
     false,
     {}},
    {"PdfOfALongDrawingAtAScaleGivenOnA4",
     {"--export", "@p.pdf", "--scale", "10", "@long.dxf"},
     0,
     Written{PictureFormat::Pdf, Sheet(PaperSize::A4, kLandscape), false, 254, 1},
     false,
     {}},
    {"SheetNamedAloneLiesLandscapeAsInTheWindow",
     {"--sheet", "a2", "--export", "@p.pdf", "@in.dxf"},
     0,
     Written{PictureFormat::Pdf, Sheet(PaperSize::A2, kLandscape), false, 254, 2},
     false,
     {}},
    {"SheetUpright",
     {"--export", "@p.pdf", "--sheet=A3,portrait", "@in.dxf"},
     0,
     Written{PictureFormat::Pdf, Sheet(PaperSize::A3, kPortrait), false, 254, 2},
     false,
     {}},
    {"FittedOnA4LandscapeUnlessNamed",
     {"--export", "@p.pdf", "--fit", "@long.dxf"},
     0,
     Written{PictureFormat::Pdf, Sheet(PaperSize::A4, kLandscape), true, 254, 1},
     false,
     {}},
    {"FittedOnTheSheetNamed",
     {"--export", "@p.pdf", "--fit", "--sheet", "A1,landscape", "@long.dxf"},
     0,
     Written{PictureFormat::Pdf, Sheet(PaperSize::A1, kLandscape), true, 254, 1},
     false,
     {}},
    {"AfterThePathsAndBesideTheDrawing",
     {"--points", "@points.txt", "--line", "zigzag", "--export", "@p.svg", "@in.dxf"},
     0,
     Written{PictureFormat::Svg, std::nullopt, false, 254, 2 + 20},
     true,
     {}},
    {"UnknownExtension",
     {"--export", "@p.jpg", "@in.dxf"},
     2,
     std::nullopt,
     false,
     {".svg、.pdf、.png"}},
    {"NoInputDrawing", {"--export", "@p.svg"}, 2, std::nullopt, false, {"入力図面"}},
    {"SheetForAnSvg",
     {"--export", "@p.svg", "--sheet", "A3", "@in.dxf"},
     0,
     Written{PictureFormat::Svg, Sheet(PaperSize::A3, kLandscape), false, 254, 2},
     false,
     {}},
    {"PngFittedAtItsResolution",
     {"--export", "@p.png", "--fit", "--dpi", "100", "@long.dxf"},
     0,
     Written{PictureFormat::Png, std::nullopt, true, 100, 1},
     false,
     {}},
    {"DpiForAPdf",
     {"--export", "@p.pdf", "--dpi", "300", "@in.dxf"},
     2,
     std::nullopt,
     false,
     {"PNG のエクスポートにだけ"}},
    {"DpiOutOfRange",
     {"--export", "@p.png", "--dpi", "5", "@in.dxf"},
     2,
     std::nullopt,
     false,
     {"--dpi は 10〜2400"}},
    {"SheetNotKnown",
     {"--export", "@p.pdf", "--sheet", "B4", "@in.dxf"},
     2,
     std::nullopt,
     false,
     {"--sheet の値 \"B4\""}},
    {"FitWithoutExport", {"--fit", "@in.dxf"}, 2, std::nullopt, false, {"--export と一緒に"}},
    {"OutputWithoutPaths",
     {"--export", "@p.svg", "-o", "@o.dxf", "@in.dxf"},
     2,
     std::nullopt,
     false,
     {"経路を描かないとき"}},
    {"MissingFolder",
     {"--export", "@absent/p.svg", "@in.dxf"},
     1,
     std::nullopt,
     false,
     {"absent」がありません"}},
    {"AFailedPathExportsNothing",
     {"--points", "@absent.txt", "--export", "@p.svg", "@in.dxf"},
     1,
     std::nullopt,
     false,
     {"absent.txt"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, BatchExport, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<ExportRow>& row) {
                             return std::string(row.param.name);
                         });

// A batch command built without the picture export (no Qt) refuses --export, and writes nothing.
TEST(BatchExportWithoutPictures, IsRefusedWithAMessage) {
    TempDir dir;
    board::DrawingContent drawing;
    drawing.layers = {{0, "0", {}, true}};
    drawing.entities = {board::MakeLine({0, 0}, {100, 0})};
    board::WriteDxfFile(dir.File("in.dxf"), drawing);
    const auto outcome =
        testing::RunCommand({"--export", dir.File("p.svg"), dir.File("in.dxf")}, dir.Path());
    EXPECT_EQ(outcome.exitCode, kExitUsage);
    EXPECT_NE(outcome.err.find("画像のエクスポート (--export) なしで作られています"),
              std::string::npos)
        << outcome.err;
    EXPECT_EQ(dir.EntryCount(), 1U);
}

}  // namespace
}  // namespace pelimator::batch
