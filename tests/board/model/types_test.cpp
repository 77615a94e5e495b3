// The view transform (zoom about a point, pan, fit) and the segment distance.
#include "board/model/types.h"

#include <cmath>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace pelimator::board {
namespace {

TEST(ViewTransform, ZoomKeepsTheDrawingPointUnderTheCursorAndScreenRoundTrips) {
    const unsigned seed = 2718;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pixel(0, 2000);
    std::uniform_real_distribution<double> coordinate(-1e5, 1e5);
    std::uniform_real_distribution<double> factor(0.1, 10);
    for (int round = 0; round < 200; ++round) {
        ViewTransform view;
        view.pixelsPerUnit = factor(rng);
        view.origin = {coordinate(rng), coordinate(rng)};
        const Vec2 cursor{pixel(rng), pixel(rng)};
        const Vec2 under = view.ToDrawing(cursor);
        view.ZoomAbout(cursor, factor(rng));
        const Vec2 still = view.ToScreen(under);
        ASSERT_NEAR(still.x, cursor.x, 1e-6) << "seed " << seed << " round " << round;
        ASSERT_NEAR(still.y, cursor.y, 1e-6) << "seed " << seed << " round " << round;
    }
}

TEST(ViewTransform, YGrowsUpInTheDrawingAndDownOnScreen) {
    ViewTransform view;
    view.pixelsPerUnit = 2;
    view.origin = {10, 100};
    EXPECT_EQ(view.ToScreen({10, 100}), (Vec2{0, 0}));
    EXPECT_EQ(view.ToScreen({15, 90}), (Vec2{10, 20}));
    view.PanByPixels({10, 20});  // drag right and down: the content follows the cursor
    EXPECT_EQ(view.ToScreen({15, 90}), (Vec2{20, 40}));
}

TEST(ViewTransform, ZoomIgnoresFactorsThatWouldBreakTheView) {
    ViewTransform view;
    for (double bad : {0.0, -2.0, std::nan(""), HUGE_VAL}) view.ZoomAbout({5, 5}, bad);
    EXPECT_EQ(view.pixelsPerUnit, 1.0);
    EXPECT_EQ(view.origin, (Vec2{0, 0}));
}

struct FitRow {
    const char* name;
    Box box;
    double width;
    double height;
    double expectedZoom;
};

void PrintTo(const FitRow& row, std::ostream* os) { *os << row.name; }

class ViewFit : public ::testing::TestWithParam<FitRow> {};

TEST_P(ViewFit, CentresTheBoxAndKeepsItInsideTheMargins) {
    const FitRow& row = GetParam();
    ViewTransform view;
    view.pixelsPerUnit = 3;
    view.Fit(row.box, row.width, row.height, 10);
    EXPECT_NEAR(view.pixelsPerUnit, row.expectedZoom, 1e-12);
    const Vec2 middle = view.ToScreen(0.5 * (row.box.min + row.box.max));
    EXPECT_NEAR(middle.x, row.width / 2, 1e-9);
    EXPECT_NEAR(middle.y, row.height / 2, 1e-9);
    const Vec2 low = view.ToScreen(row.box.min);
    const Vec2 high = view.ToScreen(row.box.max);
    EXPECT_GE(low.x, 10 - 1e-9);
    EXPECT_LE(high.x, row.width - 10 + 1e-9);
    EXPECT_GE(high.y, 10 - 1e-9);  // max.y is the top of the screen
    EXPECT_LE(low.y, row.height - 10 + 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ViewFit,
    ::testing::Values(FitRow{"WideBoxFillsTheWidth", {{0, 0}, {100, 10}}, 220, 220, 2.0},
                      FitRow{"TallBoxFillsTheHeight", {{-5, -50}, {5, 50}}, 520, 120, 1.0},
                      FitRow{"FlatLineUsesItsLength", {{0, 7}, {50, 7}}, 120, 80, 2.0},
                      FitRow{"SinglePointKeepsTheZoom", {{3, 4}, {3, 4}}, 100, 100, 3.0}),
    [](const auto& row) { return std::string(row.param.name); });

struct SegmentRow {
    const char* name;
    Vec2 p;
    Vec2 a;
    Vec2 b;
    double expected;
};

void PrintTo(const SegmentRow& row, std::ostream* os) { *os << row.name; }

class SegmentDistance : public ::testing::TestWithParam<SegmentRow> {};

TEST_P(SegmentDistance, IsToTheNearestPointOfTheClosedSegment) {
    const SegmentRow& row = GetParam();
    EXPECT_DOUBLE_EQ(DistanceToSegment(row.p, row.a, row.b), row.expected);
    EXPECT_DOUBLE_EQ(DistanceToSegment(row.p, row.b, row.a), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SegmentDistance,
    ::testing::Values(SegmentRow{"AboveTheMiddle", {5, 3}, {0, 0}, {10, 0}, 3},
                      SegmentRow{"BeyondTheEnd", {13, 4}, {0, 0}, {10, 0}, 5},
                      SegmentRow{"BeforeTheStart", {-3, -4}, {0, 0}, {10, 0}, 5},
                      SegmentRow{"OnTheSegment", {7, 0}, {0, 0}, {10, 0}, 0},
                      SegmentRow{"DegenerateSegment", {4, 5}, {1, 1}, {1, 1}, 5}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator::board
