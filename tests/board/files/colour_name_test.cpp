// The status bar names a selected record's colour as the file names it, with its RGB.
#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "board/dxf/dxf_test_support.h"
#include "board/files/drawing_file.h"
#include "board/model/selection.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using testing::TempDir;

struct ColourRow {
    const char* name;
    const char* record;    // groups after "0\nKIND\n8\nL\n"
    const char* expected;  // what the status bar says after "色 "
};

// Layer L is colour 3 (green). Lines are the board's entities; the text is drawn beneath.
constexpr ColourRow kRows[] = {
    {"ByLayerUnnamed", "0\nLINE\n8\nL\n11\n1\n", "BYLAYER (0, 255, 0)"},
    {"ByLayer256", "0\nLINE\n8\nL\n62\n256\n11\n1\n", "BYLAYER (0, 255, 0)"},
    {"Number", "0\nLINE\n8\nL\n62\n1\n11\n1\n", "1 (255, 0, 0)"},
    {"ByBlock", "0\nLINE\n8\nL\n62\n0\n11\n1\n", "BYBLOCK (0, 0, 0)"},
    {"TrueColour", "0\nLINE\n8\nL\n62\n5\n420\n1193046\n11\n1\n", "トゥルーカラー (18, 52, 86)"},
    {"NegativeNumber", "0\nLINE\n8\nL\n62\n-4\n11\n1\n", "BYLAYER (0, 255, 0)"},
    {"TextNumber", "0\nTEXT\n8\nL\n62\n6\n10\n0\n20\n5\n40\n1\n1\nAB\n", "6 (255, 0, 255)"},
    {"TextByLayer", "0\nTEXT\n8\nL\n10\n0\n20\n5\n40\n1\n1\nAB\n", "BYLAYER (0, 255, 0)"},
};

class ColourName : public ::testing::TestWithParam<ColourRow> {};

TEST_P(ColourName, StatusBarNamesTheColourAndItsRgb) {
    const ColourRow& row = GetParam();
    TempDir dir;
    testing::WriteText(dir.File("c.dxf"),
                       std::string("0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n1\n"
                                   "0\nLAYER\n2\nL\n70\n0\n62\n3\n6\nCONTINUOUS\n"
                                   "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n") +
                           row.record + "0\nENDSEC\n0\nEOF\n");
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = OpenDrawing(*application, dir.File("c.dxf")).document;
    const auto picked = PickAll(*document);
    ASSERT_FALSE(picked.Empty());
    const std::string text = DescribeSelection(*document, picked);
    EXPECT_NE(text.find(std::string("色 ") + row.expected + "  "), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Records, ColourName, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator::board
