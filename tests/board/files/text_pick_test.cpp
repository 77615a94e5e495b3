// Picking a text drawn beneath where its glyphs stand: turned, stretched, slanted and aligned.
// Each row a TEXT record of ten letters 10 high (about 60 long), a point at the far end of the
// label, which picks it, and a point well off the label but inside the upright box around it,
// which does not.
#include <string>

#include <gtest/gtest.h>

#include "board/dxf/dxf_test_support.h"
#include "board/files/drawing_file.h"
#include "board/model/selection.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using testing::TempDir;

struct TextPickRow {
    const char* name;
    const char* groups;  // after "0\nTEXT\n8\n0\n40\n10\n1\nABCDEFGHIJ\n"
    Vec2 atEnd;
    Vec2 offText;
};

// Points worked out by hand from each record's frame (angle, width factor, slant, alignment).
constexpr TextPickRow kRows[] = {
    {"Turned45", "10\n0\n20\n0\n50\n45\n", {37.477, 44.548}, {35.355, 7.071}},
    {"Turned30RightAligned",
     "10\n0\n20\n0\n11\n100\n21\n100\n50\n30\n72\n2\n",
     {47.271, 75.330},
     {86.519, 63.349}},
    {"Turned120WideCentredMiddle",
     "10\n0\n20\n0\n11\n0\n21\n0\n41\n2\n50\n120\n72\n1\n73\n2\n",
     {-29.0, 50.229},
     {-21.651, -12.5}},
    {"Turned60Slanted30", "10\n0\n20\n0\n50\n60\n51\n30\n", {24.304, 60.095}, {-6.794, 6.232}},
    {"Turned200", "10\n0\n20\n0\n50\n200\n", {-52.792, -24.536}, {-17.930, -38.451}},
};

class TextPick : public ::testing::TestWithParam<TextPickRow> {};

TEST_P(TextPick, HitBoxFollowsTheTextsFrame) {
    const TextPickRow& row = GetParam();
    TempDir dir;
    testing::WriteText(dir.File("t.dxf"), std::string("0\nSECTION\n2\nENTITIES\n"
                                                      "0\nTEXT\n8\n0\n40\n10\n1\nABCDEFGHIJ\n") +
                                              row.groups + "0\nENDSEC\n0\nEOF\n");
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = OpenDrawing(*application, dir.File("t.dxf")).document;
    ASSERT_FALSE(PickAll(*document).Empty());
    EXPECT_TRUE(PickAt(*document, row.atEnd, 0.5).has_value()) << "the end of the label";
    EXPECT_FALSE(PickAt(*document, row.offText, 0.5).has_value()) << "off the label";
    // A window around the far end crosses the label; one off it does not.
    const Box nearEnd{row.atEnd - Vec2{1.0, 1.0}, row.atEnd + Vec2{1.0, 1.0}};
    const Box offLabel{row.offText - Vec2{1.0, 1.0}, row.offText + Vec2{1.0, 1.0}};
    EXPECT_FALSE(PickInWindow(*document, nearEnd, true).Empty());
    EXPECT_TRUE(PickInWindow(*document, offLabel, true).Empty());
}

INSTANTIATE_TEST_SUITE_P(Records, TextPick, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator::board
