// Progress output: the bar's throttling and percentages on a terminal, plain lines elsewhere.
#include "batch/progress.h"

#include <algorithm>
#include <ostream>
#include <sstream>

#include <gtest/gtest.h>

namespace pelimator::batch {
namespace {

using namespace std::chrono_literals;

struct PercentRow {
    const char* name;
    std::size_t index, count;
    const char* text;
    int expected;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const PercentRow& row, std::ostream* out) { *out << row.name; }

class OverallPercentRows : public ::testing::TestWithParam<PercentRow> {};

TEST_P(OverallPercentRows, CountsWholePathsAndTheStep) {
    const PercentRow& row = GetParam();
    EXPECT_EQ(OverallPercent(row.index, row.count, row.text), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OverallPercentRows,
    ::testing::Values(PercentRow{"FirstOfFourHalfDone", 0, 4, "波線を追加中...(50%)", 12},
                      PercentRow{"ThirdOfFourNoText", 2, 4, "", 50},
                      PercentRow{"LastDone", 3, 4, "ジグザグ線を追加中...(100%)", 100},
                      PercentRow{"TextWithoutPercent", 1, 2, "開始点", 50},
                      PercentRow{"NoPaths", 0, 0, "", 100}),
    [](const ::testing::TestParamInfo<PercentRow>& row) { return std::string(row.param.name); });

TEST(Progress, TerminalBarIsRedrawnInPlaceAtMostEveryInterval) {
    std::ostringstream out;
    auto now = std::chrono::steady_clock::time_point{};
    Progress progress(out, true, 2, [&now] { return now; });
    const auto sink = progress.Sink();
    progress.StartPath(0);
    for (int i = 0; i < 10000; ++i) sink("座標計算中...(10%)");  // the clock stands still
    const auto redraws = [&out] {
        const std::string text = out.str();
        return std::count(text.begin(), text.end(), '\r');
    };
    EXPECT_EQ(redraws(), 1);
    now += 150ms;
    for (int i = 0; i < 64; ++i) sink("波線を追加中...(50%)");
    EXPECT_EQ(redraws(), 2);
    EXPECT_NE(out.str().find("25% 経路 1/2 波線を追加中...(50%)"), std::string::npos) << out.str();
    progress.FinishPath(0, 3);
    progress.StartPath(1);
    progress.FinishPath(1, 3);
    progress.Close();
    EXPECT_NE(out.str().find("[########################] 100% 経路 2/2"), std::string::npos);
    EXPECT_EQ(out.str().back(), '\n');
}

TEST(Progress, PlainOutputIsOneLinePerPath) {
    std::ostringstream out;
    Progress progress(out, false, 2);
    const auto sink = progress.Sink();
    progress.StartPath(0);
    sink("波線を追加中...(100%)");
    progress.FinishPath(0, 7);
    progress.StartPath(1);
    progress.FinishPath(1, 0);
    progress.Close();
    EXPECT_EQ(out.str(), "経路 1/2: 図形 7 個\n経路 2/2: 図形 0 個\n");
}

}  // namespace
}  // namespace pelimator::batch
