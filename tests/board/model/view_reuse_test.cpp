// What a canvas can reuse of a picture when the view moves: the mapping agrees with the
// transforms, a shift is found only for the same zoom, and the moved picture and the strips it
// uncovers tile the view exactly.
#include "board/model/view_reuse.h"

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pelimator::board {
namespace {

TEST(ViewReuse, MappingAgreesWithBothTransforms) {
    const unsigned seed = 20261208;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(-1e4, 1e4);
    std::uniform_real_distribution<double> zoomExponent(-3.0, 3.0);
    for (int i = 0; i < 1000; ++i) {
        const ViewTransform from{std::pow(10.0, zoomExponent(random)),
                                 {coordinate(random), coordinate(random)}};
        const ViewTransform to{std::pow(10.0, zoomExponent(random)),
                               {coordinate(random), coordinate(random)}};
        const Vec2 p{coordinate(random), coordinate(random)};
        const ViewMapping mapping = MappingBetween(from, to);
        const Vec2 s = from.ToScreen(p);
        const Vec2 expected = to.ToScreen(p);
        const double tolerance = 1e-9 * (1.0 + std::abs(expected.x) + std::abs(expected.y));
        EXPECT_NEAR(s.x * mapping.scale + mapping.offset.x, expected.x, tolerance)
            << "seed " << seed;
        EXPECT_NEAR(s.y * mapping.scale + mapping.offset.y, expected.y, tolerance)
            << "seed " << seed;
    }
}

struct ShiftRow {
    std::string name;
    ViewTransform to;
    std::optional<PixelShift> expected;
};

class WholePixelShiftTest : public ::testing::TestWithParam<ShiftRow> {};

TEST_P(WholePixelShiftTest, FindsTheMove) {
    const ViewTransform from{2.0, {100.0, 50.0}};
    EXPECT_EQ(WholePixelShift(from, GetParam().to, 400, 300), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WholePixelShiftTest,
    ::testing::Values(
        ShiftRow{"same_view", {2.0, {100.0, 50.0}}, PixelShift{0, 0}},
        // The view's origin 5 units left and 3 up: the content moves 10 px right, 6 px down.
        ShiftRow{"whole_pixels", {2.0, {95.0, 53.0}}, PixelShift{10, 6}},
        ShiftRow{"rounded_to_the_nearest_pixel", {2.0, {100.2, 49.8}}, PixelShift{0, 0}},
        ShiftRow{"rounded_up", {2.0, {99.7, 50.0}}, PixelShift{1, 0}},
        ShiftRow{"other_zoom", {2.5, {100.0, 50.0}}, std::nullopt},
        ShiftRow{"moved_off_the_view", {2.0, {300.0, 50.0}}, std::nullopt},
        ShiftRow{"just_inside", {2.0, {100.0 - 199.5, 50.0}}, PixelShift{399, 0}}),
    [](const auto& row) { return row.param.name; });

TEST(ViewReuse, MovedPictureAndStripsTileTheView) {
    const unsigned seed = 7;
    std::mt19937 random(seed);
    for (int i = 0; i < 300; ++i) {
        const int width = std::uniform_int_distribution<int>(1, 40)(random);
        const int height = std::uniform_int_distribution<int>(1, 30)(random);
        const PixelShift shift{std::uniform_int_distribution<int>(-width + 1, width - 1)(random),
                               std::uniform_int_distribution<int>(-height + 1, height - 1)(random)};
        std::vector<int> cover(static_cast<std::size_t>(width * height), 0);
        // Pixels the moved picture still covers.
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int sx = x - shift.dx;
                const int sy = y - shift.dy;
                if (sx >= 0 && sx < width && sy >= 0 && sy < height) ++cover[y * width + x];
            }
        }
        for (const PixelRect& strip : UncoveredStrips(shift, width, height)) {
            ASSERT_FALSE(strip.Empty());
            for (int y = strip.y; y < strip.y + strip.height; ++y) {
                for (int x = strip.x; x < strip.x + strip.width; ++x) {
                    ASSERT_TRUE(x >= 0 && x < width && y >= 0 && y < height);
                    ++cover[y * width + x];
                }
            }
        }
        for (const int count : cover) {
            ASSERT_EQ(count, 1) << "seed " << seed << ", " << width << " x " << height << " moved "
                                << shift.dx << ", " << shift.dy;
        }
    }
}

TEST(ViewReuse, StripTransformPaintsTheSamePlaces) {
    const ViewTransform view{3.5, {-20.0, 40.0}};
    const PixelRect strip{120, 30, 50, 200};
    const ViewTransform part = StripTransform(view, strip);
    const Vec2 p{7.25, 12.5};
    const Vec2 whole = view.ToScreen(p);
    const Vec2 inPart = part.ToScreen(p);
    EXPECT_NEAR(inPart.x + strip.x, whole.x, 1e-9);
    EXPECT_NEAR(inPart.y + strip.y, whole.y, 1e-9);
}

}  // namespace
}  // namespace pelimator::board
