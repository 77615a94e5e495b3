// The box grid finds exactly the boxes a brute-force overlap test finds, for every kind of layout.
#include "board/model/box_grid.h"

#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pelimator::board {
namespace {

constexpr unsigned kSeed = 20261208;

// A layout of boxes: how the rows below place them, from a random source.
struct LayoutRow {
    const char* name;
    std::function<Box(std::mt19937&)> box;
};

void PrintTo(const LayoutRow& row, std::ostream* out) { *out << row.name; }

Box Square(Vec2 centre, double half) {
    return {centre - Vec2{half, half}, centre + Vec2{half, half}};
}

class BoxGridLayouts : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(BoxGridLayouts, FindsWhatBruteForceFinds) {
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::vector<Box> boxes;
    for (int i = 0; i < 3000; ++i) boxes.push_back(GetParam().box(random));
    BoxGrid grid;
    grid.Build(boxes);

    // Query areas drawn from the boxes' own scale: around random boxes, grown and shrunk.
    std::uniform_int_distribution<std::size_t> pick(0, boxes.size() - 1);
    std::uniform_real_distribution<double> grow(-0.5, 3.0);
    for (int q = 0; q < 300; ++q) {
        const Box& around = boxes[pick(random)];
        const Box& other = boxes[pick(random)];
        Box area{{std::min(around.min.x, other.min.x), std::min(around.min.y, other.min.y)},
                 {std::max(around.max.x, other.min.x), std::max(around.max.y, other.min.y)}};
        if (q % 2 == 0) area = around;
        const double g = grow(random) * (area.max.x - area.min.x);
        if (std::isfinite(g)) {
            area.min.x -= g;
            area.max.x += g;
        }
        std::vector<int> found(boxes.size(), 0);
        grid.Query(area, [&](std::size_t i) { ++found[i]; });
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const bool fileable = IsFiniteBox(boxes[i]) && boxes[i].min.x <= boxes[i].max.x &&
                                  boxes[i].min.y <= boxes[i].max.y;
            const int expected = fileable && BoxesOverlap(boxes[i], area) ? 1 : 0;
            ASSERT_EQ(found[i], expected) << "box " << i << " query " << q;
        }
    }
}

// A grid built again (as the culling index rebuilds its one copy of the boxes) files only the new
// boxes: nothing of the old cell lists or large list is left to be visited.
TEST(BoxGridRebuild, FindsOnlyTheNewBoxes) {
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> at(-500.0, 500.0);
    std::exponential_distribution<double> half(0.05);
    BoxGrid grid;
    for (const std::size_t count : {std::size_t{4000}, std::size_t{700}, std::size_t{2500}}) {
        std::vector<Box> boxes;
        for (std::size_t i = 0; i < count; ++i)
            boxes.push_back(Square({at(random), at(random)}, half(random)));
        grid.Build(boxes);
        ASSERT_EQ(grid.Boxes().size(), count);
        for (int q = 0; q < 200; ++q) {
            const Box area = Square({at(random), at(random)}, 3.0 * half(random));
            std::vector<int> found(boxes.size(), 0);
            grid.Query(area, [&](std::size_t i) {
                ASSERT_LT(i, boxes.size());
                ++found[i];
            });
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                ASSERT_EQ(found[i], BoxesOverlap(boxes[i], area) ? 1 : 0)
                    << "box " << i << " of " << count << ", query " << q;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BoxGridLayouts,
    ::testing::Values(
        LayoutRow{"SmallSpread",
                  [](std::mt19937& r) {
                      std::uniform_real_distribution<double> at(-1000.0, 1000.0);
                      std::uniform_real_distribution<double> half(0.0, 5.0);
                      return Square({at(r), at(r)}, half(r));
                  }},
        LayoutRow{"MixedSizes",
                  [](std::mt19937& r) {
                      std::uniform_real_distribution<double> at(-1000.0, 1000.0);
                      std::exponential_distribution<double> half(0.02);
                      return Square({at(r), at(r)}, half(r));
                  }},
        LayoutRow{"PointsOnALine",
                  [](std::mt19937& r) {
                      std::uniform_real_distribution<double> at(0.0, 1e6);
                      const Vec2 p{at(r), 42.0};
                      return Box{p, p};
                  }},
        LayoutRow{"AllAtOnePoint",
                  [](std::mt19937&) {
                      return Box{{3.0, 4.0}, {3.0, 4.0}};
                  }},
        LayoutRow{
            "EmptyAndNotFinite",
            [](std::mt19937& r) {
                std::uniform_int_distribution<int> kind(0, 3);
                std::uniform_real_distribution<double> at(-100.0, 100.0);
                switch (kind(r)) {
                    case 0:
                        return Box{{1e300, 1e300}, {-1e300, -1e300}};
                    case 1:
                        return Box{{NAN, 0.0}, {1.0, 1.0}};
                    case 2:
                        return Box{{0.0, 0.0}, {std::numeric_limits<double>::infinity(), 1.0}};
                    default:
                        return Square({at(r), at(r)}, 1.0);
                }
            }},
        // Spans past the double range: the cell size overflows, every box goes to the list.
        LayoutRow{"SpanPastTheDoubleRange",
                  [](std::mt19937& r) {
                      std::uniform_real_distribution<double> at(0.8e308, 1.7e308);
                      std::bernoulli_distribution negative(0.5);
                      const double x = negative(r) ? -at(r) : at(r);
                      const double y = negative(r) ? -at(r) : at(r);
                      return Square({x, y}, 1e300);
                  }}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator::board
