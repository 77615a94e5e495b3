// Midpoints, nearest points and crossings of lines and arcs: named rows and seeded properties.
#include "board/model/snap_geometry.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pelimator::board {
namespace {

struct CrossRow {
    const char* name;
    EntityData a;
    EntityData b;
    std::vector<Vec2> expected;  // in any order
};

void PrintTo(const CrossRow& row, std::ostream* os) { *os << row.name; }

class Crossings : public ::testing::TestWithParam<CrossRow> {};

TEST_P(Crossings, AreFoundBothWaysRound) {
    const CrossRow& row = GetParam();
    for (const bool swapped : {false, true}) {
        std::vector<Vec2> got;
        AppendIntersections(swapped ? row.b : row.a, swapped ? row.a : row.b, got);
        ASSERT_EQ(got.size(), row.expected.size()) << (swapped ? "swapped" : "as given");
        for (const Vec2 want : row.expected) {
            const bool found = std::any_of(got.begin(), got.end(),
                                           [&](Vec2 q) { return Distance(q, want) < 1e-7; });
            EXPECT_TRUE(found) << want.x << ", " << want.y << (swapped ? " swapped" : "");
        }
    }
}

// Upper half circle about the origin, radius 10.
const EntityData kUpperHalf = MakeArc({0, 0}, {10, 0}, {-10, 0});

INSTANTIATE_TEST_SUITE_P(
    Rows, Crossings,
    ::testing::Values(
        CrossRow{"LinesCrossing", MakeLine({0, 0}, {10, 10}), MakeLine({0, 10}, {10, 0}), {{5, 5}}},
        CrossRow{"LinesMeetingAtAnEnd",
                 MakeLine({0, 0}, {10, 0}),
                 MakeLine({10, 0}, {10, 5}),
                 {{10, 0}}},
        CrossRow{"TJunction", MakeLine({0, 0}, {10, 0}), MakeLine({4, 0}, {4, 8}), {{4, 0}}},
        CrossRow{"LinesThatWouldCrossIfLonger",
                 MakeLine({0, 0}, {1, 1}),
                 MakeLine({0, 10}, {10, 0}),
                 {}},
        CrossRow{"ParallelLines", MakeLine({0, 0}, {10, 0}), MakeLine({0, 1}, {10, 1}), {}},
        CrossRow{"OverlappingLines", MakeLine({0, 0}, {10, 0}), MakeLine({5, 0}, {15, 0}), {}},
        CrossRow{"ALineOfLengthZero", MakeLine({5, 0}, {5, 0}), MakeLine({0, 0}, {10, 0}), {}},
        CrossRow{"LineThroughTheHalfCircle",
                 MakeLine({-20, 5}, {20, 5}),
                 kUpperHalf,
                 {{-std::sqrt(75.0), 5}, {std::sqrt(75.0), 5}}},
        CrossRow{"LineThroughTheMissingHalf", MakeLine({-20, -5}, {20, -5}), kUpperHalf, {}},
        CrossRow{"LineEndingInsideTheCircle",
                 MakeLine({0, 5}, {20, 5}),
                 kUpperHalf,
                 {{std::sqrt(75.0), 5}}},
        CrossRow{"TangentLine", MakeLine({-20, 10}, {20, 10}), kUpperHalf, {{0, 10}}},
        CrossRow{"TwoArcsCrossing",
                 kUpperHalf,
                 MakeArc({10, 0}, {20, 0}, {0, 0}),
                 {{5, std::sqrt(75.0)}}},
        CrossRow{"TwoFullCirclesCrossingTwice",
                 MakeArc({0, 0}, {10, 0}, {10, 0}),
                 MakeArc({10, 0}, {20, 0}, {20, 0}),
                 {{5, std::sqrt(75.0)}, {5, -std::sqrt(75.0)}}},
        CrossRow{"CirclesTouchingOutside",
                 MakeArc({0, 0}, {10, 0}, {10, 0}),
                 MakeArc({20, 0}, {30, 0}, {30, 0}),
                 {{10, 0}}},
        CrossRow{"CirclesApart",
                 MakeArc({0, 0}, {10, 0}, {10, 0}),
                 MakeArc({30, 0}, {40, 0}, {40, 0}),
                 {}},
        CrossRow{"OneCircleInsideAnother",
                 MakeArc({0, 0}, {10, 0}, {10, 0}),
                 MakeArc({1, 0}, {3, 0}, {3, 0}),
                 {}},
        CrossRow{"ConcentricArcs", kUpperHalf, MakeArc({0, 0}, {5, 0}, {-5, 0}), {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SnapGeometry, MidPointsOfLinesAndArcs) {
    EXPECT_EQ(MidPointOf(MakeLine({2, 4}, {6, -4})), (Vec2{4, 0}));
    const Vec2 top = MidPointOf(kUpperHalf);
    EXPECT_NEAR(top.x, 0.0, 1e-12);
    EXPECT_NEAR(top.y, 10.0, 1e-12);
    // Three quarters counter-clockwise from (10, 0): the middle is at 135 degrees.
    const Vec2 m = MidPointOf(MakeArc({0, 0}, {10, 0}, {0, -10}));
    EXPECT_NEAR(m.x, -10.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(m.y, 10.0 / std::sqrt(2.0), 1e-12);
}

EntityData RandomEntity(std::mt19937& rng) {
    std::uniform_real_distribution<double> c(-50, 50);
    const Vec2 a{c(rng), c(rng)};
    if (rng() % 2 == 0) return MakeLine(a, {c(rng), c(rng)});
    return MakeArc(a, a + Vec2{c(rng), c(rng)}, a + Vec2{c(rng), c(rng)});
}

// Points along the entity as drawn (arcs at their stored radius).
std::vector<Vec2> Samples(const EntityData& e) {
    if (e.kind == EntityKind::Line) {
        std::vector<Vec2> points;
        for (int i = 0; i <= 1000; ++i)
            points.push_back(e.start + (i / 1000.0) * (e.end - e.start));
        return points;
    }
    return FlattenEntity(e, 1e-4 * std::max(1.0, e.radius));
}

double DistanceTo(const EntityData& e, Vec2 p) { return Distance(p, NearestPointOn(e, p)); }

TEST(SnapGeometry, EveryCrossingLiesOnBothEntities) {
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    int found = 0;
    for (int round = 0; round < 2000; ++round) {
        const EntityData a = RandomEntity(rng);
        const EntityData b = RandomEntity(rng);
        std::vector<Vec2> crossings;
        AppendIntersections(a, b, crossings);
        found += static_cast<int>(crossings.size());
        for (const Vec2 q : crossings) {
            ASSERT_LT(DistanceTo(a, q), 1e-6) << "seed " << seed << " round " << round;
            ASSERT_LT(DistanceTo(b, q), 1e-6) << "seed " << seed << " round " << round;
        }
    }
    EXPECT_GT(found, 200);  // the property was not checked on nothing
}

TEST(SnapGeometry, NearestPointIsOnTheEntityAndNoSampleIsNearer) {
    const unsigned seed = 777;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> c(-80, 80);
    for (int round = 0; round < 300; ++round) {
        const EntityData e = RandomEntity(rng);
        const Vec2 p{c(rng), c(rng)};
        const Vec2 q = NearestPointOn(e, p);
        double nearestSample = HUGE_VAL;
        for (const Vec2 s : Samples(e)) nearestSample = std::min(nearestSample, Distance(p, s));
        ASSERT_LE(Distance(p, q), nearestSample + 1e-9) << "seed " << seed << " round " << round;
        if (e.kind == EntityKind::Arc) {
            ASSERT_NEAR(Distance(q, e.center), e.radius, 1e-9) << "seed " << seed;
        }
    }
}

}  // namespace
}  // namespace pelimator::board
