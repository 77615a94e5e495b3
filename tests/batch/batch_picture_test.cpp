// --export of the batch command through the board's export: the files written, their kind and
// size (SVG view box, PNG pixels, PDF page), and the refusal of a drawing that does not fit its
// sheet at scale. What the pictures show is judged against other renderers elsewhere.
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "batch/batch.h"
#include "batch/picture_export.h"
#include "board/dxf/dxf_file.h"
#include "board/jww/jww_raw_reading.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::batch {
namespace {

using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;

struct PictureRow {
    const char* name;
    std::vector<std::string> args;  // "@x" is the file x of the row's folder
    const char* picture;            // the file the row asks for, in its folder
    int exitCode;
    // What the file must hold (a regular expression on its bytes; for a PNG its width x height),
    // or the message when refused.
    std::string expected;
};

void PrintTo(const PictureRow& row, std::ostream* out) { *out << row.name; }

class BatchPicture : public ::testing::TestWithParam<PictureRow> {};

std::string PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return "not a PNG";
    const auto word = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v = (v << 8U) | static_cast<std::uint8_t>(bytes[at + i]);
        return v;
    };
    return std::to_string(word(16)) + "x" + std::to_string(word(20));
}

TEST_P(BatchPicture, WritesThePictureTheWindowWould) {
    const PictureRow& row = GetParam();
    TempDir dir;
    // 100 x 40 units with a text; long.dxf is 1000 wide; empty.dxf has nothing to show. None
    // stores a scale: 1:1.
    board::DrawingContent drawing;
    drawing.layers = {{0, "0", {}, true}};
    drawing.entities = {board::MakeLine({0, 0}, {100, 0}), board::MakeLine({0, 40}, {100, 40})};
    board::WriteDxfFile(dir.File("in.dxf"), drawing);
    drawing.entities = {board::MakeLine({0, 0}, {1000, 0})};
    board::WriteDxfFile(dir.File("long.dxf"), drawing);
    drawing.entities = {};
    board::WriteDxfFile(dir.File("empty.dxf"), drawing);

    std::vector<std::string> argv{"pelimator-batch"};
    for (const std::string& arg : row.args) {
        argv.push_back(arg.starts_with("@") ? dir.File(arg.substr(1)) : arg);
    }
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    BatchStreams streams{in, out, err, false};
    const int code = RunBatch(argv, streams, dir.Path().string(), WritePicture);
    ASSERT_EQ(code, row.exitCode) << err.str();
    const std::string path = dir.File(row.picture);
    if (code != kExitOk) {
        EXPECT_NE(err.str().find(row.expected), std::string::npos) << err.str();
        EXPECT_EQ(dir.EntryCount(), 3U) << "a picture or a temporary file was left";
        return;
    }
    const std::string bytes = ReadBytes(path);
    if (path.ends_with(".png")) {
        EXPECT_EQ(PngSize(bytes), row.expected);
    } else {
        EXPECT_TRUE(std::regex_search(bytes, std::regex(row.expected)))
            << "expected /" << row.expected << "/ in " << row.picture;
    }
}

// 100 x 40 mm plus 5 mm all round at 1:1: 110 x 50 mm; A4 is 842 x 595 points, A3 842 x 1191
// (whole points in Qt's page box).
const std::vector<PictureRow> kRows = {
    {"Svg", {"--export", "@p.svg", "@in.dxf"}, "p.svg", 0, R"(viewBox="0 0 110 50")"},
    {"PngAt254Dpi", {"--export", "@p.png", "@in.dxf"}, "p.png", 0, "1100x500"},
    {"PngAt127Dpi", {"--export", "@p.png", "--dpi", "127", "@in.dxf"}, "p.png", 0, "550x250"},
    {"PdfOnA4Landscape",
     {"--export", "@p.pdf", "@in.dxf"},
     "p.pdf",
     0,
     R"(^%PDF[^]*/MediaBox \[0 0 842(\.0*)? 595(\.0*)?\])"},
    {"PdfOnA3Portrait",
     {"--export", "@p.pdf", "--sheet", "A3,portrait", "@in.dxf"},
     "p.pdf",
     0,
     R"(/MediaBox \[0 0 842(\.0*)? 1191(\.0*)?\])"},
    {"PdfOfALongDrawingFitted",
     {"--export", "@p.pdf", "--fit", "--sheet", "A4", "@long.dxf"},
     "p.pdf",
     0,
     R"(/MediaBox \[0 0 842(\.0*)? 595(\.0*)?\])"},
    {"SvgFittedToA3",
     {"--export", "@p.svg", "--sheet", "A3", "--fit", "@long.dxf"},
     "p.svg",
     0,
     R"(viewBox="0 0 420 297")"},
    {"PngFittedToA4At127Dpi",
     {"--export", "@p.png", "--fit", "--dpi", "127", "@long.dxf"},
     "p.png",
     0,
     "1485x1050"},
    // 1010 mm at 2400 dpi is 95433 pixels; 502 dpi gives 19962, within the 20000 allowed.
    {"PngTooLargeSaysWhatMakesItFit",
     {"--export", "@p.png", "--dpi", "2400", "@long.dxf"},
     "p.png",
     1,
     "--dpi 502 以下にするか、--fit"},
    // A4 at 1600 dpi is 18709 x 13228 pixels: each side allowed, 247 million in all not; 1245
    // dpi gives 14558 x 10294, 150 million.
    {"PngOfTooManyPixelsSaysWhatMakesItFit",
     {"--export", "@p.png", "--sheet", "A4", "--fit", "--dpi", "1600", "@in.dxf"},
     "p.png",
     1,
     "全体で 1 億 5000 万ピクセルまで)。--dpi 1245 以下にするか、--sheet"},
    {"EmptyDrawingIsRefusedNotWrittenBlank",
     {"--export", "@p.svg", "@empty.dxf"},
     "p.svg",
     1,
     "表示されるものがありません"},
    {"PdfThatDoesNotFitAtScaleIsRefused",
     {"--export", "@p.pdf", "--sheet", "A3", "@long.dxf"},
     "p.pdf",
     1,
     "この縮尺では用紙に収まりません"},
};

// A small file whose block array multiplies a huge MTEXT past the work limit: the picture is
// written with what fits, and the run says what was left out, as the window's status bar does.
TEST(BatchPictureWorkLimit, SaysWhatTheLimitLeftOut) {
    const TempDir dir;
    const std::string dxf =
        "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1021\n0\nENDSEC\n"
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nB\n70\n0\n10\n0\n20\n0\n"
        "0\nMTEXT\n8\n0\n40\n1\n41\n1\n1\n" +
        std::string(300'000, 'a') +
        "\n0\nENDBLK\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
        "0\nINSERT\n8\n0\n2\nB\n10\n0\n20\n0\n70\n10\n71\n10\n44\n2000\n45\n2000\n"
        "0\nENDSEC\n0\nEOF\n";
    {
        std::ofstream out(dir.File("bomb.dxf"), std::ios::binary);
        out << dxf;
    }
    // Fitted to an A4 sheet the texts are dots: the run's time goes to the reading.
    const std::vector<std::string> argv{"pelimator-batch", "--export", dir.File("p.pdf"), "--fit",
                                        dir.File("bomb.dxf")};
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    BatchStreams streams{in, out, err, false};
    ASSERT_EQ(RunBatch(argv, streams, dir.Path().string(), WritePicture), kExitOk) << err.str();
    EXPECT_NE(err.str().find("作業量が上限"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("INSERT 1"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("完了: 画像をエクスポートしました"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("一部を表示していません"), std::string::npos) << err.str();
    EXPECT_EQ(ReadBytes(dir.File("p.pdf")).rfind("%PDF", 0), 0U);
}

INSTANTIATE_TEST_SUITE_P(Rows, BatchPicture, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<PictureRow>& row) {
                             return std::string(row.param.name);
                         });

// Every real Jw_cad drawing exported as SVG is as large as it is on its paper: at least the box
// of its lines, circles, text runs and insert points as the test reads them from the records (in
// paper millimetres), and not much more (what arcs, text heights and blocks add); no character
// XML forbids.
TEST(BatchPictureOfRealJww, IsAtItsPaperSizeAndHoldsNoForbiddenCharacter) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    const std::regex size(R"svg(<svg width="([0-9.]+)mm" height="([0-9.]+)mm")svg");
    for (const auto& path : pelimator::testing::RealDrawings("real-jww", ".jww")) {
        SCOPED_TRACE(path.filename().string());
        std::ostringstream out;
        std::ostringstream err;
        std::istringstream in;
        BatchStreams streams{in, out, err, false};
        const std::vector<std::string> argv{"pelimator-batch", "--export", dir.File("out.svg"),
                                            path.string()};
        ASSERT_EQ(RunBatch(argv, streams, dir.Path().string(), WritePicture), kExitOk) << err.str();
        const std::string svg = ReadBytes(dir.File("out.svg"));
        std::smatch match;
        ASSERT_TRUE(std::regex_search(svg, match, size));
        const double width = std::stod(match[1]);
        const double height = std::stod(match[2]);
        const std::string bytes = ReadBytes(path.string());
        board::rawjww::RawWalker walker(bytes);
        walker.Walk();
        const auto& box = walker.Box();
        const double boxWidth = box.maxX - box.minX;
        const double boxHeight = box.maxY - box.minY;
        EXPECT_GE(width, boxWidth - 0.01);
        EXPECT_GE(height, boxHeight - 0.01);
        EXPECT_LE(width, boxWidth + 250.0);
        EXPECT_LE(height, boxHeight + 250.0);
        for (const std::string_view bad :
             {std::string_view("\0", 1), std::string_view("\x01"), std::string_view("\xEF\xBF\xBE"),
              std::string_view("\xEF\xBF\xBF")}) {
            EXPECT_EQ(svg.find(bad), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace pelimator::batch
