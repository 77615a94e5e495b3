// Typed offsets and factors: each accepted form gives the displacement written by hand, each
// bad entry a message; a polar entry keeps its length and angle for every angle.
#include "geometry/typed_offset.h"

#include <cmath>
#include <numbers>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace pelimator {
namespace {

struct OffsetRow {
    const char* name;
    const char* text;
    double cursorDx;
    double cursorDy;
    bool ok;
    double dx;
    double dy;
};

void PrintTo(const OffsetRow& row, std::ostream* out) { *out << row.name; }

class TypedOffsetRows : public ::testing::TestWithParam<OffsetRow> {};

TEST_P(TypedOffsetRows, GivesTheDisplacementOrAMessage) {
    const OffsetRow& row = GetParam();
    const auto got = ParseTypedOffset(row.text, row.cursorDx, row.cursorDy);
    ASSERT_EQ(got.ok, row.ok) << got.error;
    if (!row.ok) {
        EXPECT_FALSE(got.error.empty());
        return;
    }
    EXPECT_DOUBLE_EQ(got.value.dx, row.dx);
    EXPECT_DOUBLE_EQ(got.value.dy, row.dy);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TypedOffsetRows,
    ::testing::Values(OffsetRow{"Relative", "@10,-2.5", 0, 0, true, 10, -2.5},
                      OffsetRow{"RelativeSpaced", "  @ 3 , 4 ", 0, 0, true, 3, 4},
                      OffsetRow{"RelativeSigned", "@+1,-0", 0, 0, true, 1, 0},
                      OffsetRow{"RelativeExponent", "@1e2,.5", 0, 0, true, 100, 0.5},
                      OffsetRow{"FullWidth", "＠１０，２０", 0, 0, true, 10, 20},
                      OffsetRow{"FullWidthPolar", "＠５＜９０", 0, 0, true, 0, 5},
                      OffsetRow{"PolarUp", "@10<90", 0, 0, true, 0, 10},
                      OffsetRow{"PolarLeft", "@10<180", 0, 0, true, -10, 0},
                      OffsetRow{"PolarMinusQuarter", "@10<-90", 0, 0, true, 0, -10},
                      OffsetRow{"PolarWholeTurns", "@2<450", 0, 0, true, 0, 2},
                      OffsetRow{"Polar30", "@2<30", 0, 0, true, std::sqrt(3.0), 1},
                      OffsetRow{"AlongCursor", "5", 3, 4, true, 3, 4},
                      OffsetRow{"AlongCursorBackwards", "-10", 0, 2, true, 0, -10},
                      OffsetRow{"AlongTinyCursor", "1", 1e-300, 0, true, 1, 0},
                      OffsetRow{"CursorOnBase", "5", 0, 0, false, 0, 0},
                      OffsetRow{"Empty", "  ", 1, 0, false, 0, 0},
                      OffsetRow{"Word", "abc", 1, 0, false, 0, 0},
                      OffsetRow{"Infinity", "inf", 1, 0, false, 0, 0},
                      OffsetRow{"NotANumber", "@nan,1", 1, 0, false, 0, 0},
                      OffsetRow{"Overflow", "@1e999,0", 1, 0, false, 0, 0},
                      OffsetRow{"TrailingJunk", "@1,2x", 1, 0, false, 0, 0},
                      OffsetRow{"MissingY", "@1,", 1, 0, false, 0, 0},
                      OffsetRow{"AtAlone", "@", 1, 0, false, 0, 0},
                      OffsetRow{"DoubleSign", "+-1", 1, 0, false, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

// Every angle from -720 to 720 in steps of 7.5 degrees: the offset has the length typed and
// points at the angle typed.
TEST(TypedOffset, PolarKeepsLengthAndAngle) {
    for (int step = -192; step <= 192; ++step) {
        const double degrees = step * 7.5;
        const auto got = ParseTypedOffset("@12.5<" + std::to_string(degrees), 0, 0);
        ASSERT_TRUE(got.ok) << degrees;
        EXPECT_NEAR(std::hypot(got.value.dx, got.value.dy), 12.5, 1e-12) << degrees;
        const double turned = std::remainder(
            std::atan2(got.value.dy, got.value.dx) - degrees * std::numbers::pi / 180.0,
            2 * std::numbers::pi);
        EXPECT_NEAR(turned, 0.0, 1e-12) << degrees;
    }
}

struct FactorRow {
    const char* name;
    const char* text;
    bool ok;
    double factor;
};

void PrintTo(const FactorRow& row, std::ostream* out) { *out << row.name; }

class TypedFactorRows : public ::testing::TestWithParam<FactorRow> {};

TEST_P(TypedFactorRows, GivesTheFactorOrAMessage) {
    const auto got = ParseTypedFactor(GetParam().text);
    ASSERT_EQ(got.ok, GetParam().ok) << got.error;
    if (got.ok) {
        EXPECT_DOUBLE_EQ(got.value, GetParam().factor);
    } else {
        EXPECT_FALSE(got.error.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TypedFactorRows,
    ::testing::Values(FactorRow{"Whole", "2", true, 2}, FactorRow{"Fraction", " 0.25 ", true, 0.25},
                      FactorRow{"Ratio", "1/4", true, 0.25},
                      FactorRow{"FullWidthRatio", "３／２", true, 1.5},
                      FactorRow{"Zero", "0", false, 0}, FactorRow{"Negative", "-2", false, 0},
                      FactorRow{"RatioByZero", "1/0", false, 0},
                      FactorRow{"Infinite", "1e999", false, 0}, FactorRow{"Word", "x2", false, 0}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator
