// Progress texts: whole percent rounded down after dividing first, label kept between steps.
#include "geometry/progress_text.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "base/errors.h"

namespace pelimator {
namespace {

struct PercentRow {
    const char* name;
    std::int32_t step;
    std::int32_t last;
    const char* expected;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const PercentRow& row, std::ostream* out) { *out << row.name; }

class ProgressTextRows : public ::testing::TestWithParam<PercentRow> {};

TEST_P(ProgressTextRows, FormatsTheFlooredPercent) {
    ProgressText text("波線を追加中...(");
    EXPECT_EQ(text.Format(GetParam().step, GetParam().last),
              std::string("波線を追加中...(") + GetParam().expected + "%)");
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgressTextRows,
                         ::testing::Values(PercentRow{"OneThird", 1, 3, "33"},
                                           PercentRow{"TwoThirds", 2, 3, "66"},
                                           PercentRow{"All", 3, 3, "100"},
                                           // (29 / 100) · 100 is 28.999999999999996 in doubles.
                                           PercentRow{"TwentyNinthOfHundredShows28", 29, 100, "28"},
                                           PercentRow{"FirstOfMany", 1, 2147483646, "0"},
                                           PercentRow{"LastOfMany", 2147483646, 2147483646, "100"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ProgressText, LaterStepsDoNotLeaveDigitsBehind) {
    ProgressText text("座標計算中...(");
    EXPECT_EQ(text.Format(3, 3), "座標計算中...(100%)");
    EXPECT_EQ(text.Format(1, 3), "座標計算中...(33%)");
}

TEST(ProgressText, EmptySinkShowsNothingAndDoesNotThrow) {
    ProgressText text("x(");
    EXPECT_NO_THROW(text.Show({}, 1, 2));
}

TEST(ProgressText, OverlongLabelIsRefused) {
    EXPECT_THROW(ProgressText(std::string(200, 'a')), Error);
}

}  // namespace
}  // namespace pelimator
