// Multiline text codes and the text control codes, as the underlay draws them.
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_underlay.h"
#include "board/dxf/dxf_underlay_builder.h"

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

// Stacked fractions and changed heights make runs of a line: each its bytes, height factor and
// stack (where its denominator starts), the line's text still reading a/b.
TEST(MText, StacksAndHeightsAreRunsOfTheirOwn) {
    struct Run {
        std::uint32_t from;
        std::uint32_t to;
        double height;
        char stack;
        std::uint32_t split;
    };
    struct Row {
        const char* name;
        const char* text;
        std::string line;
        std::vector<Run> runs;
    };
    const std::vector<Row> rows = {
        {"diagonal in a group",
         "2{\\H0.7x;\\S1#4;}\" x",
         "21/4\" x",
         {{0, 1, 1.0, 0, 0}, {1, 4, 0.7, '#', 3}, {4, 7, 1.0, 0, 0}}},
        {"over a bar, at the line's start",
         "\\S10/32;mm",
         "10/32mm",
         {{0, 5, 1.0, '/', 3}, {5, 7, 1.0, 0, 0}}},
        {"tolerance without its space, escaped slash",
         "\\S+0.1^ -0.2;\\S1\\/2;",
         "+0.1/-0.21/2",
         {{0, 9, 1.0, '^', 5}, {9, 12, 1.0, 0, 0}}},
        {"height changed mid-line", "ab\\H2x;cd", "abcd", {{0, 2, 1.0, 0, 0}, {2, 4, 2.0, 0, 0}}},
        {"one height: no runs", "\\H2x;abcd", "abcd", {}},
    };
    for (const Row& row : rows) {
        const auto lines = ParseMText(row.text, 1.0);
        ASSERT_EQ(lines.size(), 1U) << row.name;
        EXPECT_EQ(lines[0].text, row.line) << row.name;
        ASSERT_EQ(lines[0].runs.size(), row.runs.size()) << row.name;
        for (std::size_t i = 0; i < row.runs.size(); ++i) {
            const MTextRun& got = lines[0].runs[i];
            const Run& want = row.runs[i];
            EXPECT_EQ(got.from, want.from) << row.name << " " << i;
            EXPECT_EQ(got.to, want.to) << row.name << " " << i;
            EXPECT_DOUBLE_EQ(got.height, want.height) << row.name << " " << i;
            EXPECT_EQ(got.stack, want.stack) << row.name << " " << i;
            if (want.stack != 0) {
                EXPECT_EQ(got.split, want.split) << row.name << " " << i;
            }
        }
    }
    // A stack is never cut where a line wraps: "21/4" (1.2 text heights) in 1.
    const auto wrapped = WrapMText(ParseMText("2\\S1/4;", 1.0), 1.0, 1.0);
    ASSERT_EQ(wrapped.size(), 2U);
    EXPECT_EQ(wrapped[1].text, "1/4");
    ASSERT_EQ(wrapped[1].runs.size(), 1U);
    EXPECT_EQ(wrapped[1].runs[0].stack, '/');
    EXPECT_EQ(wrapped[1].runs[0].split, 2U);
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

// Under- and overlines as byte ranges of each line's text: %%u / %%o turn theirs on and off, an
// MTEXT's \L \O on and \l \o off (a group's end undoes them; a new line goes on with them), and
// a line wrapped splits them with its text.
TEST(MText, UnderAndOverlinesKeepTheirCharacters) {
    using Rules = std::vector<std::tuple<std::uint32_t, std::uint32_t, bool>>;
    const auto rules = [](const std::vector<TextRule>& in) {
        Rules out;
        for (const TextRule& r : in) out.emplace_back(r.from, r.to, r.over);
        return out;
    };
    std::vector<TextRule> got;
    EXPECT_EQ(TextSpecials("%%uAB%%uC%%o%%dD", &got), "ABC\u00B0D");
    EXPECT_EQ(rules(got), (Rules{{0, 2, false}, {3, 6, true}}));
    struct Row {
        const char* name;
        const char* text;
        double width;  // drawing units, text height 2; 0: not wrapped
        std::vector<Rules> lines;
    };
    const std::vector<Row> rows = {
        {"on and off", "前\\L下線\\l後\\O上\\o", 0.0, {{{3, 9, false}, {12, 15, true}}}},
        {"over a new line", "\\L一\\P二", 0.0, {{{0, 3, false}}, {{0, 3, false}}}},
        {"a group's end", "{\\O上}下", 0.0, {{{0, 3, true}}}},
        {"wrapped", "\\L一二三四五", 6.0, {{{0, 9, false}}, {{0, 6, false}}}},
    };
    for (const Row& row : rows) {
        const auto lines = WrapMText(ParseMText(row.text, 2.0), 2.0, row.width);
        std::vector<Rules> found;
        for (const MTextLine& line : lines) found.push_back(rules(line.rules));
        EXPECT_EQ(found, row.lines) << row.name;
    }
}

// Strike-throughs (%%k, \K \k) as byte ranges of their own beside the under- and overlines: each
// code turns its line on or off, a group's end undoes it, a new line goes on with it, a wrapped
// line splits it with its text.
TEST(MText, StrikeThroughsKeepTheirCharactersApart) {
    using Ranges = std::vector<std::tuple<std::uint32_t, std::uint32_t, bool>>;
    const auto ranges = [](const std::vector<TextRule>& in) {
        Ranges out;
        for (const TextRule& r : in) out.emplace_back(r.from, r.to, r.over);
        return out;
    };
    std::vector<TextRule> rules;
    std::vector<TextRule> strikes;
    EXPECT_EQ(TextSpecials("%%kA%%uB%%kC%%oD", &rules, &strikes), "ABCD");
    EXPECT_EQ(ranges(strikes), (Ranges{{0, 2, false}}));
    EXPECT_EQ(ranges(rules), (Ranges{{1, 4, false}, {3, 4, true}}));
    struct Row {
        const char* name;
        const char* text;
        double width;  // drawing units, text height 2; 0: not wrapped
        std::vector<std::pair<Ranges, Ranges>> lines;  // strikes, rules
    };
    const std::vector<Row> rows = {
        {"a group's end",
         "{\\K一\\L二}三\\K四",
         0.0,
         {{{{0, 6, false}, {9, 12, false}}, {{3, 6, false}}}}},
        {"over a new line", "\\K一\\P二\\k三", 0.0, {{{{0, 3, false}}, {}}, {{{0, 3, false}}, {}}}},
        {"wrapped",
         "\\L\\K一二三四五",
         6.0,
         {{{{0, 9, false}}, {{0, 9, false}}}, {{{0, 6, false}}, {{0, 6, false}}}}},
    };
    for (const Row& row : rows) {
        const auto lines = WrapMText(ParseMText(row.text, 2.0), 2.0, row.width);
        std::vector<std::pair<Ranges, Ranges>> found;
        for (const MTextLine& line : lines) {
            found.emplace_back(ranges(line.strikes), ranges(line.rules));
        }
        EXPECT_EQ(found, row.lines) << row.name;
    }
}

// Seen from below (extrusion 0, 0, -1): its point is the drawing's; its direction the drawing's
// (11), else its angle's in its plane, whose x is the drawing's -x, else the drawing's x (the
// mirrored pairs of a real drawing, brx_2013_mtext_inline, show it); its letters face the other
// way (up is the extrusion across the direction).
TEST(MText, SeenFromBelow) {
    struct Row {
        const char* name;
        std::string groups;  // after its point
        Vec2 along;
        Vec2 up;
    };
    const double c30 = std::sqrt(3.0) / 2.0;
    const std::vector<Row> rows = {
        {"neither", "", {1, 0}, {0, -1}},
        {"direction", "11\n-1\n21\n0\n", {-1, 0}, {0, 1}},
        {"angle", "50\n30\n", {-c30, 0.5}, {0.5, c30}},
    };
    for (const Row& row : rows) {
        const std::string text = "0\nSECTION\n2\nENTITIES\n0\nMTEXT\n8\n0\n10\n140\n20\n300\n" +
                                 row.groups +
                                 "40\n2\n71\n7\n1\nT\n210\n0\n220\n0\n230\n-1\n0\nENDSEC\n0\nEOF\n";
        const DxfReadResult read = ReadDxfText(text, "t.dxf");
        ASSERT_TRUE(read.underlay != nullptr) << row.name;
        ASSERT_EQ(read.underlay->texts.size(), 1U) << row.name;
        const UnderlayText& got = read.underlay->texts[0];
        // Attached at its bottom left: the one baseline through its point.
        EXPECT_NEAR(got.origin.x, 140.0, 1e-9) << row.name;
        EXPECT_NEAR(got.origin.y, 300.0, 1e-9) << row.name;
        EXPECT_NEAR(got.xAxis.x / 2.0, row.along.x, 1e-9) << row.name;
        EXPECT_NEAR(got.xAxis.y / 2.0, row.along.y, 1e-9) << row.name;
        EXPECT_NEAR(got.yAxis.x / 2.0, row.up.x, 1e-9) << row.name;
        EXPECT_NEAR(got.yAxis.y / 2.0, row.up.y, 1e-9) << row.name;
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

// An MTEXT's embedded object (101, as AutoCAD 2018 writes with its columns) holds its own 10,
// 11, 40 and 41: the text stays at its own point, height and width (a real drawing's long text,
// acad_2018_sample_acadsharp's 779, was drawn 15.7 times too big at the origin, unwrapped).
TEST(MText, AnEmbeddedObjectKeepsItsOwnGroups) {
    const std::string text =
        "0\nSECTION\n2\nENTITIES\n0\nMTEXT\n8\n0\n10\n183.5\n20\n-1.5\n40\n1\n41\n8\n"
        "71\n1\n1\nbla bla bla bla bla bla\n101\nEmbedded Object\n70\n1\n10\n1\n20\n0\n11\n"
        "183.5\n21\n-1.5\n40\n8\n41\n0\n0\nENDSEC\n0\nEOF\n";
    const DxfReadResult read = ReadDxfText(text, "t.dxf");
    ASSERT_TRUE(read.underlay != nullptr);
    // Six words at 0.6 a character wrapped at width 8: three a line (their 11 characters 6.6).
    ASSERT_EQ(read.underlay->texts.size(), 2U);
    const UnderlayText& first = read.underlay->texts[0];
    EXPECT_EQ(first.utf8, "bla bla bla");
    EXPECT_NEAR(first.xAxis.x, 1.0, 1e-9);
    EXPECT_NEAR(first.xAxis.y, 0.0, 1e-9);
    EXPECT_NEAR(first.origin.x, 183.5, 1e-9);
    EXPECT_NEAR(first.origin.y, -1.5 - 1.0, 1e-9);  // top left: the baseline a height down
}

// A face changed partway along a line starts where its first character stands in the decoded
// text, whatever run markers, stacks or height changes came before it; each drawn piece of the
// line carries the faces within it, from its own first byte.
TEST(MText, FaceRunsFollowTheLinesRunsAndPieces) {
    struct Row {
        const char* name;
        const char* text;
        std::string line;
        std::uint32_t faceFrom;  // where the second face starts in the line
        std::size_t piece;       // the piece it falls in, and where there
        std::uint32_t pieceFrom;
    };
    const std::vector<Row> rows = {
        {"after a height change", "ab\\H2x;c{\\fArial|b1;de}", "abcde", 3, 1, 1},
        {"after a stack", "\\S1/2;{\\fArial;x}", "1/2x", 3, 2, 0},
        {"after a diagonal stack in a group", "2{\\H0.7x;\\S1#4;}{\\fArial;y}", "21/4y", 4, 3, 0},
        {"in one plain line", "ab{\\fArial;cd}", "abcd", 2, 0, 2},
    };
    for (const Row& row : rows) {
        const auto lines = ParseMText(row.text, 1.0);
        ASSERT_EQ(lines.size(), 1U) << row.name;
        const MTextLine& line = lines[0];
        EXPECT_EQ(line.text, row.line) << row.name;
        ASSERT_EQ(line.faces.size(), 2U) << row.name;
        EXPECT_FALSE(line.faces[0].faceCoded) << row.name;
        EXPECT_EQ(line.faces[1].family, "Arial") << row.name;
        EXPECT_EQ(line.faces[1].from, row.faceFrom) << row.name;
        const underlay::MTextLineLayout laid = underlay::LayOutMTextLine(line, 1.0);
        ASSERT_LT(row.piece, laid.pieces.size()) << row.name;
        const std::vector<MTextFaceRun>& faces = laid.pieces[row.piece].faces;
        ASSERT_FALSE(faces.empty()) << row.name;
        EXPECT_EQ(faces.back().family, "Arial") << row.name;
        EXPECT_EQ(faces.back().from, row.pieceFrom) << row.name;
        for (std::size_t p = 0; p < row.piece; ++p) {
            for (const MTextFaceRun& face : laid.pieces[p].faces)
                EXPECT_NE(face.family, "Arial") << row.name << " piece " << p;
        }
    }
}

}  // namespace
}  // namespace pelimator::board
