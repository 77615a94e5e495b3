// Picked points as text: what a block of lines becomes, what is refused and where, and random
// texts read back exactly.
#include "batch/pick_file.h"

#include <array>
#include <functional>
#include <ostream>
#include <random>
#include <sstream>
#include <streambuf>

#include <gtest/gtest.h>

#include "batch/errors.h"
#include "support/temp_dir.h"

namespace pelimator::batch {
namespace {

using board::Vec2;
using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;

std::vector<PickPath> Read(const std::string& text) {
    std::istringstream in(text);
    return ReadPickPaths(in, "p.txt");
}

struct GoodTextRow {
    const char* name;
    const char* text;
    std::vector<std::vector<Vec2>> paths;
    std::vector<std::pair<std::size_t, std::size_t>> lines;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const GoodTextRow& row, std::ostream* out) { *out << row.name; }

class GoodText : public ::testing::TestWithParam<GoodTextRow> {};

TEST_P(GoodText, GivesThePaths) {
    const GoodTextRow& row = GetParam();
    const auto paths = Read(row.text);
    ASSERT_EQ(paths.size(), row.paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(paths[i].points, row.paths[i]) << "path " << i;
        EXPECT_EQ(paths[i].firstLine, row.lines[i].first) << "path " << i;
        EXPECT_EQ(paths[i].lastLine, row.lines[i].second) << "path " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GoodText,
    ::testing::Values(
        GoodTextRow{"BlanksAndCommas",
                    "1 2\n3,4\n5 , 6\n\t7\t8 \n",
                    {{{1, 2}, {3, 4}, {5, 6}, {7, 8}}},
                    {{1, 4}}},
        GoodTextRow{"BlankLinesSeparateOnce",
                    "\n0 0\n1 1\n\n\n  \n2 2\n3 3\n\n",
                    {{{0, 0}, {1, 1}}, {{2, 2}, {3, 3}}},
                    {{2, 3}, {7, 8}}},
        GoodTextRow{
            "CommentLineDoesNotSeparate", "0 0\n# middle\n1 1\n", {{{0, 0}, {1, 1}}}, {{1, 3}}},
        GoodTextRow{
            "TrailingComment", "0 0 # start\n1e1,-2.5E-1#end\n", {{{0, 0}, {10, -0.25}}}, {{1, 2}}},
        GoodTextRow{"ByteOrderMarkAndCrLf",
                    "\xEF\xBB\xBF"
                    "0 0\r\n+1 -1\r\n\r\n2 2\r\n3 3",
                    {{{0, 0}, {1, -1}}, {{2, 2}, {3, 3}}},
                    {{1, 2}, {4, 5}}},
        GoodTextRow{"RepeatedPointKeptWhenAnotherDiffers",
                    "0 0\n0 0\n1 0\n",
                    {{{0, 0}, {0, 0}, {1, 0}}},
                    {{1, 3}}},
        GoodTextRow{"NothingButComments", "# a\n\n# b\n", {}, {}}),
    [](const ::testing::TestParamInfo<GoodTextRow>& row) { return std::string(row.param.name); });

struct BadTextRow {
    const char* name;
    const char* text;
    const char* where;  // the place the message must name
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const BadTextRow& row, std::ostream* out) { *out << row.name; }

class BadText : public ::testing::TestWithParam<BadTextRow> {};

TEST_P(BadText, NamesTheFileAndLine) {
    const BadTextRow& row = GetParam();
    try {
        (void)Read(row.text);
        FAIL() << "accepted";
    } catch (const InputError& error) {
        EXPECT_NE(std::string(error.what()).find(row.where), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadText,
    ::testing::Values(BadTextRow{"OneNumber", "0 0\n5\n", "「p.txt」 2 行目"},
                      BadTextRow{"ThreeNumbers", "1 2 3\n", "「p.txt」 1 行目"},
                      BadTextRow{"TwoCommas", "1,2,3\n", "「p.txt」 1 行目"},
                      BadTextRow{"EmptyAfterComma", "1,\n", "「p.txt」 1 行目"},
                      BadTextRow{"Letters", "0 0\n1 1\n\nx 1\n", "「p.txt」 4 行目"},
                      BadTextRow{"TrailingGarbage", "1 2mm\n", "\"2mm\""},
                      BadTextRow{"HexIsNotADecimal", "0x10 1\n", "\"0x10\""},
                      BadTextRow{"Infinity", "inf 0\n1 1\n", "「p.txt」 1 行目"},
                      BadTextRow{"NotANumber", "1 1\nNaN 0\n", "「p.txt」 2 行目"},
                      BadTextRow{"TooLarge", "1e13 0\n0 0\n", "1e12"},
                      BadTextRow{"OverflowingDouble", "1e400 0\n0 0\n", "「p.txt」 1 行目"},
                      BadTextRow{"SinglePoint", "0 0\n1 1\n\n7 7\n", "「p.txt」 4 行目"},
                      BadTextRow{"SamePointRepeated", "3 3\n3,3\n# x\n3 3\n",
                                 "「p.txt」 1〜4 行目"}),
    [](const ::testing::TestParamInfo<BadTextRow>& row) { return std::string(row.param.name); });

TEST(PickFile, RandomTextsReadBackExactly) {
    constexpr unsigned kSeed = 4242;
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> coordinate(-1e6, 1e6);
    std::uniform_int_distribution<int> pick(0, 3);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::vector<Vec2>> expected(1 + random() % 5);
        std::ostringstream text;
        text.precision(17);
        for (auto& path : expected) {
            const int n = 2 + static_cast<int>(random() % 6);
            for (int i = 0; i < n; ++i) {
                path.push_back({coordinate(random), coordinate(random)});
                if (pick(random) == 0) text << "# note\n";
                text << (pick(random) == 0 ? "  " : "") << path.back().x
                     << (pick(random) < 2 ? " , " : "\t") << path.back().y
                     << (pick(random) == 0 ? " # c" : "") << (pick(random) == 0 ? "\r\n" : "\n");
            }
            text << std::string(1 + static_cast<std::size_t>(pick(random)), '\n');
        }
        const auto paths = Read(text.str());
        ASSERT_EQ(paths.size(), expected.size()) << "seed " << kSeed << ", round " << round;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            ASSERT_EQ(paths[i].points, expected[i])
                << "seed " << kSeed << ", round " << round << ", path " << i;
        }
    }
}

TEST(PickFile, UnopenableFileNamesIt) {
    try {
        (void)ReadPickFile("/nonexistent/picks.txt");
        FAIL() << "accepted";
    } catch (const InputError& error) {
        EXPECT_NE(std::string(error.what()).find("「/nonexistent/picks.txt」を開けません"),
                  std::string::npos);
    }
}

// A stream that never ends, like /dev/zero on standard input.
class EndlessZeros : public std::streambuf {
protected:
    int_type underflow() override {
        m_chunk.fill('\0');
        setg(m_chunk.data(), m_chunk.data(), m_chunk.data() + m_chunk.size());
        return traits_type::to_int_type('\0');
    }

private:
    std::array<char, 4096> m_chunk{};
};

struct LimitRow {
    const char* name;
    std::string text;
    PickLimits limits;
    const char* message;  // empty: read
};

void PrintTo(const LimitRow& row, std::ostream* out) { *out << row.name; }

class PickLimitRows : public ::testing::TestWithParam<LimitRow> {};

TEST_P(PickLimitRows, RefuseBeyondTheLimitFromStreamAndFile) {
    const LimitRow& row = GetParam();
    TempDir dir;
    WriteBytes(dir.File("p.txt"), row.text);
    std::istringstream in(row.text);
    const std::function<void()> readers[] = {
        [&] { (void)ReadPickPaths(in, "p.txt", row.limits); },
        [&] { (void)ReadPickFile(dir.File("p.txt"), row.limits); }};
    for (const auto& read : readers) {
        if (std::string(row.message).empty()) {
            EXPECT_NO_THROW(read());
            continue;
        }
        try {
            read();
            ADD_FAILURE() << "accepted";
        } catch (const InputError& error) {
            EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos)
                << error.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PickLimitRows,
    ::testing::Values(LimitRow{"PointsUpToTheLimit", "0 0\n1 1\n\n2 2\n3 3\n", {4, 1 << 20}, ""},
                      LimitRow{"OnePointBeyondTheLimitNamesItsLine",
                               "0 0\n1 1\n\n2 2\n3 3\n# c\n4 4\n",
                               {4, 1 << 20},
                               "p.txt」 7 行目: 点が多すぎます (1 つのファイルに 4 点まで)"},
                      LimitRow{"CommentsDoNotCount", "# a\n# b\n# c\n0 0\n1 1\n", {2, 1 << 20}, ""},
                      LimitRow{
                          "BytesUpToTheLimit", std::string(60, ' ') + "\n0 0\n1 1\n", {10, 69}, ""},
                      LimitRow{"OneByteBeyondTheLimit",
                               std::string(61, ' ') + "\n0 0\n1 1\n",
                               {10, 69},
                               "p.txt」は大きすぎます"}),
    [](const ::testing::TestParamInfo<LimitRow>& row) { return std::string(row.param.name); });

TEST(PickFile, EndlessInputStopsAtTheByteLimit) {
    EndlessZeros zeros;
    std::istream in(&zeros);
    EXPECT_THROW((void)ReadPickPaths(in, "標準入力", {10, 1 << 20}), InputError);
}

TEST(PickFile, DevicesAreRefusedUnread) {
    try {
        (void)ReadPickFile("/dev/zero");
        FAIL() << "accepted";
    } catch (const InputError& error) {
        EXPECT_NE(std::string(error.what()).find("通常のファイルではありません"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace pelimator::batch
