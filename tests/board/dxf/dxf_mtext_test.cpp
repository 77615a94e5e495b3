// Multiline text codes and the text control codes, as the underlay draws them.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "board/dxf/dxf_underlay.h"

namespace pelimator::board {
namespace {

TEST(MText, InlineCodesAreAppliedOrDropped) {
    struct Row {
        const char* name;
        const char* text;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {"paragraphs", "一行目\\P二行目", {"一行目", "二行目"}},
        {"non-breaking space", "A\\~B", {"A B"}},
        {"font and groups", "{\\fMS Gothic|b0|i0;和文}です", {"和文です"}},
        {"height and width", "\\H2.5;大\\W0.8;細", {"大細"}},
        {"colour", "\\C1;赤", {"赤"}},
        {"lines", "\\L下線\\l\\O上線\\o", {"下線上線"}},
        {"stacked", "\\S1/2;と\\S3^4;と\\S5#6;", {"1/2と3/4と5/6"}},
        {"escapes", "\\\\ \\{ \\}", {"\\ { }"}},
        {"specials", "%%c10", {"\u230010"}},
    };
    for (const Row& row : rows) {
        const auto lines = ParseMText(row.text, 2.0);
        std::vector<std::string> texts;
        for (const MTextLine& line : lines) texts.push_back(line.text);
        EXPECT_EQ(texts, row.lines) << row.name;
    }
}

TEST(MText, HeightAndColourHoldWithinTheirGroup) {
    const auto lines = ParseMText("{\\H2x;\\C1;見出し}\\P本文\\P\\H3;大きい", 2.0);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_DOUBLE_EQ(lines[0].height, 2.0);
    EXPECT_EQ(lines[0].colour, 1);
    EXPECT_DOUBLE_EQ(lines[1].height, 1.0);
    EXPECT_EQ(lines[1].colour, -1);
    EXPECT_DOUBLE_EQ(lines[2].height, 1.5);  // 3 drawing units of a 2-unit text
}

TEST(MText, LinesWrapToTheBoxWidth) {
    struct Row {
        const char* name;
        const char* text;
        double width;  // drawing units, text height 2
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {"no width", "長い一行の文章です", 0.0, {"長い一行の文章です"}},
        {"japanese between characters", "長い一行の文章です", 8.0, {"長い一行", "の文章で", "す"}},
        {"latin at spaces", "one two three", 8.0, {"one", "two", "three"}},
        {"a word longer than the box", "abcdefghij", 3.0, {"ab", "cd", "ef", "gh", "ij"}},
        {"paragraphs wrap each", "一二三四五\\P六", 6.0, {"一二三", "四五", "六"}},
    };
    for (const Row& row : rows) {
        const auto lines = WrapMText(ParseMText(row.text, 2.0), 2.0, row.width);
        std::vector<std::string> texts;
        for (const MTextLine& line : lines) texts.push_back(line.text);
        EXPECT_EQ(texts, row.lines) << row.name;
    }
}

TEST(TextSpecials, ControlCodesBecomeTheirCharacters) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"%%c50", "\u230050"}, {"45%%d", "45\u00B0"}, {"%%p0.1", "\u00B10.1"},
        {"100%%%", "100%"},    {"%%uA%%u", "A"},      {"%%065", "A"},
        {"%%", "%%"},          {"50%", "50%"},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(TextSpecials(in), out) << in;
}

}  // namespace
}  // namespace pelimator::board
