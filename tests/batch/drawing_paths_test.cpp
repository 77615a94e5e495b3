// Chaining lines and arcs of a drawing into paths: joins, branches, loops, direction, and random
// polylines cut up and shuffled coming back whole.
#include "batch/drawing_paths.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <ostream>
#include <random>

#include <gtest/gtest.h>

namespace pelimator::batch {
namespace {

using board::EntityData;
using board::MakeArc;
using board::MakeLine;
using board::Vec2;

const auto kAll = [](const EntityData&) { return true; };

std::vector<std::vector<Vec2>> PathsOf(const std::vector<EntityData>& entities,
                                       double tolerance = 1e-9, double flatten = 0.01) {
    std::vector<std::vector<Vec2>> paths;
    for (const Chain& chain : ChainEntities(entities, kAll, tolerance)) {
        paths.push_back(ChainPoints(chain, entities, flatten));
    }
    return paths;
}

struct ChainRow {
    const char* name;
    std::vector<EntityData> entities;
    std::vector<std::vector<Vec2>> expected;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const ChainRow& row, std::ostream* out) { *out << row.name; }

class Chaining : public ::testing::TestWithParam<ChainRow> {};

TEST_P(Chaining, GivesTheExpectedPaths) {
    EXPECT_EQ(PathsOf(GetParam().entities), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Chaining,
    ::testing::Values(
        ChainRow{"TwoLinesMeetingExactly",
                 {MakeLine({0, 0}, {1, 0}), MakeLine({1, 0}, {1, 1})},
                 {{{0, 0}, {1, 0}, {1, 1}}}},
        ChainRow{"SecondLineReversed",
                 {MakeLine({0, 0}, {1, 0}), MakeLine({1, 1}, {1, 0})},
                 {{{0, 0}, {1, 0}, {1, 1}}}},
        ChainRow{"EarlierLineSetsTheDirection",
                 {MakeLine({1, 0}, {0, 0}), MakeLine({2, 0}, {1, 0})},
                 {{{2, 0}, {1, 0}, {0, 0}}}},
        ChainRow{"GapWithinTheTolerance",
                 {MakeLine({0, 0}, {1, 0}), MakeLine({1 + 1e-12, 0}, {2, 0})},
                 {{{0, 0}, {1, 0}, {2, 0}}}},
        ChainRow{"GapBeyondTheTolerance",
                 {MakeLine({0, 0}, {1, 0}), MakeLine({1.001, 0}, {2, 0})},
                 {{{0, 0}, {1, 0}}, {{1.001, 0}, {2, 0}}}},
        ChainRow{"TJunctionGivesThreePaths",
                 {MakeLine({-1, 0}, {0, 0}), MakeLine({0, 0}, {1, 0}), MakeLine({0, 0}, {0, 1})},
                 {{{-1, 0}, {0, 0}}, {{0, 0}, {1, 0}}, {{0, 0}, {0, 1}}}},
        ChainRow{"ClosedTriangleStartsWithItsEarliestLine",
                 {MakeLine({1, 0}, {0, 1}), MakeLine({0, 0}, {1, 0}), MakeLine({0, 1}, {0, 0})},
                 {{{1, 0}, {0, 1}, {0, 0}, {1, 0}}}},
        ChainRow{"FileOrderOfPaths",
                 {MakeLine({5, 5}, {6, 5}), MakeLine({0, 0}, {1, 0}), MakeLine({6, 5}, {7, 5})},
                 {{{5, 5}, {6, 5}, {7, 5}}, {{0, 0}, {1, 0}}}}),
    [](const ::testing::TestParamInfo<ChainRow>& row) { return std::string(row.param.name); });

TEST(DrawingPaths, ArcJoinedToALineFollowsTheLineAndStaysOnTheCircle) {
    // A line to (1,0), then the quarter arc from (1,0) to (0,1) about the origin, stored
    // counter-clockwise; then a line written backwards from (0,2) to (0,1).
    const std::vector<EntityData> entities = {
        MakeLine({2, 0}, {1, 0}), MakeArc({0, 0}, {1, 0}, {0, 1}), MakeLine({0, 2}, {0, 1})};
    const auto paths = PathsOf(entities, 1e-9, 0.001);
    ASSERT_EQ(paths.size(), 1U);
    const auto& points = paths.front();
    EXPECT_EQ(points.front(), (Vec2{2, 0}));
    EXPECT_EQ(points.back(), (Vec2{0, 2}));
    ASSERT_GT(points.size(), 5U);
    for (std::size_t i = 2; i + 2 < points.size(); ++i) {
        EXPECT_NEAR(board::Length(points[i]), 1.0, 1e-12) << i;
        EXPECT_GT(std::atan2(points[i].y, points[i].x),
                  std::atan2(points[i - 1].y, points[i - 1].x));
    }
}

TEST(DrawingPaths, ArcsOnlyRunCounterClockwiseAlongTheEarliest) {
    // Two quarter arcs of the unit circle meeting at (0,1), the second stored first.
    const std::vector<EntityData> entities = {MakeArc({0, 0}, {0, 1}, {-1, 0}),
                                              MakeArc({0, 0}, {1, 0}, {0, 1})};
    const auto paths = PathsOf(entities);
    ASSERT_EQ(paths.size(), 1U);
    EXPECT_NEAR(paths[0].front().x, 1.0, 1e-12);
    EXPECT_NEAR(paths[0].back().x, -1.0, 1e-12);
}

TEST(DrawingPaths, FullCircleIsAClosedPathOfItsOwn) {
    EntityData circle = MakeArc({0, 0}, {3, 0}, {3, 0});
    const auto chains = ChainEntities(std::vector{circle}, kAll, 1e-9);
    ASSERT_EQ(chains.size(), 1U);
    EXPECT_TRUE(chains[0].closed);
    const auto points = ChainPoints(chains[0], std::vector{circle}, 0.01);
    EXPECT_EQ(points.front(), points.back());
    EXPECT_GT(points.size(), 10U);
}

TEST(DrawingPaths, OnlyTakenEntitiesAreChained) {
    const std::vector<EntityData> entities = {
        MakeLine({0, 0}, {1, 0}, 1), MakeLine({1, 0}, {2, 0}, 2), MakeLine({2, 0}, {3, 0}, 1)};
    const auto chains = ChainEntities(
        entities, [](const EntityData& e) { return e.layer == 1; }, 1e-9);
    ASSERT_EQ(chains.size(), 2U);
    EXPECT_EQ(chains[0].pieces[0].entity, 0U);
    EXPECT_EQ(chains[1].pieces[0].entity, 2U);
}

TEST(DrawingPaths, ToleranceFollowsTheLargestCoordinate) {
    const std::vector<EntityData> entities = {MakeLine({0, 0}, {-5e6, 1}),
                                              MakeLine({1e9, 0}, {0, 0}, 3)};
    EXPECT_DOUBLE_EQ(JoinToleranceFor(entities, kAll), 1e-9 * 1e9);
    EXPECT_DOUBLE_EQ(JoinToleranceFor(entities, [](const EntityData& e) { return e.layer == 0; }),
                     5e-3);
    EXPECT_DOUBLE_EQ(JoinToleranceFor({}, kAll), 1e-9);
}

TEST(DrawingPaths, RandomPolylinesCutAndShuffledComeBackWhole) {
    constexpr unsigned kSeed = 777;
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> step(-50.0, 50.0);
    for (int round = 0; round < 100; ++round) {
        // A few polylines far apart, so that only their own pieces can meet.
        const int polylineCount = 1 + static_cast<int>(random() % 4);
        std::vector<std::vector<Vec2>> polylines;
        std::vector<EntityData> entities;
        for (int k = 0; k < polylineCount; ++k) {
            std::vector<Vec2> vertices{{10000.0 * k, 0}};
            const int n = 2 + static_cast<int>(random() % 12);
            while (static_cast<int>(vertices.size()) < n) {
                const Vec2 next = vertices.back() + Vec2{step(random), step(random)};
                // Keep it from touching itself: only ever move right.
                vertices.push_back(
                    {vertices.back().x + std::abs(next.x - vertices.back().x) + 1, next.y});
            }
            for (std::size_t i = 0; i + 1 < vertices.size(); ++i) {
                entities.push_back(random() % 2 == 0 ? MakeLine(vertices[i], vertices[i + 1])
                                                     : MakeLine(vertices[i + 1], vertices[i]));
            }
            polylines.push_back(vertices);
        }
        std::shuffle(entities.begin(), entities.end(), random);
        auto paths = PathsOf(entities);
        ASSERT_EQ(paths.size(), polylines.size()) << "seed " << kSeed << ", round " << round;
        for (auto& path : paths) {
            // Whichever way it runs, it is one of the polylines.
            const auto same = [&](const std::vector<Vec2>& polyline) {
                return path == polyline ||
                       std::equal(path.begin(), path.end(), polyline.rbegin(), polyline.rend());
            };
            EXPECT_TRUE(std::any_of(polylines.begin(), polylines.end(), same))
                << "seed " << kSeed << ", round " << round;
        }
    }
}

}  // namespace
}  // namespace pelimator::batch
