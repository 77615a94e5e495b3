// Line and arc handles: live points, transforms, clones, arc angles and flattening.
#include "board/model/entity.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "host/errors.h"
#include "host/point_list.h"

namespace pelimator::board {
namespace {

constexpr double kPi = std::numbers::pi;

void ExpectNear(Vec2 a, Vec2 b, double tolerance, const std::string& what) {
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
}

TEST(BoardArc, PointsAreLiveBothWays) {
    auto arc = BoardArc::CreateFree(MakeArc({0, 0}, {1, 0}, {0, 1}));
    auto start = arc->StartPoint();
    auto centre = arc->Center();
    start->SetX(5);
    centre->SetY(-2);
    EXPECT_EQ(arc->Data().start, (Vec2{5, 0}));
    EXPECT_EQ(arc->Data().center, (Vec2{0, -2}));
    arc->Move(1, 1);
    EXPECT_EQ(start->X(), 6);
    EXPECT_EQ(centre->Y(), -1);
    EXPECT_EQ(arc->EndPoint()->X(), 1);
}

TEST(BoardArc, CloneIsIndependentAndKeepsEveryAttribute) {
    auto arc = BoardArc::CreateFree(MakeArc({1, 2}, {4, 2}, {1, 5}, 7));
    arc->SetStyle(3);
    arc->SetSubStyle(4);
    arc->SetVisible(false);
    arc->SetRadius(2.5);
    auto copy = arc->Clone();
    EXPECT_EQ(dynamic_cast<const BoardArc&>(*copy).Data(), arc->Data());
    copy->Move(10, 0);
    copy->SetLayer(9);
    EXPECT_EQ(arc->Data().center, (Vec2{1, 2}));
    EXPECT_EQ(arc->Layer(), 7);
    EXPECT_EQ(copy->Radius(), 2.5);
}

TEST(BoardArc, RotateBy360AndMoveBackGivesTheOriginalArc) {
    const unsigned seed = 5150;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coordinate(-1e4, 1e4);
    for (int round = 0; round < 100; ++round) {
        const EntityData original =
            MakeArc({coordinate(rng), coordinate(rng)}, {coordinate(rng), coordinate(rng)},
                    {coordinate(rng), coordinate(rng)});
        auto arc = BoardArc::CreateFree(original);
        const host::PlainPoint pivot(coordinate(rng), coordinate(rng));
        const double dx = coordinate(rng);
        const double dy = coordinate(rng);
        arc->Move(dx, dy);
        for (int i = 0; i < 4; ++i) arc->Rotate(pivot, 90.0);
        arc->Rotate(pivot, 360.0);
        arc->Move(-dx, -dy);
        const EntityData back = arc->Data();
        const std::string where =
            "seed " + std::to_string(seed) + " round " + std::to_string(round);
        ExpectNear(back.start, original.start, 1e-9 * 1e4, where);
        ExpectNear(back.end, original.end, 1e-9 * 1e4, where);
        ExpectNear(back.center, original.center, 1e-9 * 1e4, where);
        EXPECT_EQ(back.radius, original.radius) << where;
    }
}

struct RotateRow {
    const char* name;
    Vec2 pivot;
    double degrees;
    Vec2 expectedStart;
};

void PrintTo(const RotateRow& row, std::ostream* os) { *os << row.name; }

class RotateArc : public ::testing::TestWithParam<RotateRow> {};

TEST_P(RotateArc, TurnsCounterClockwiseForPositiveDegrees) {
    auto arc = BoardArc::CreateFree(MakeArc({0, 0}, {1, 0}, {0, 1}));
    arc->Rotate(host::PlainPoint(GetParam().pivot.x, GetParam().pivot.y), GetParam().degrees);
    ExpectNear(arc->Data().start, GetParam().expectedStart, 1e-12, GetParam().name);
    EXPECT_EQ(arc->Radius(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Rows, RotateArc,
                         ::testing::Values(RotateRow{"QuarterAboutOrigin", {0, 0}, 90, {0, 1}},
                                           RotateRow{"QuarterClockwise", {0, 0}, -90, {0, -1}},
                                           RotateRow{"HalfAboutStart", {1, 0}, 180, {1, 0}},
                                           RotateRow{"HalfAboutOtherPoint", {2, 0}, 180, {3, 0}},
                                           RotateRow{"FullTurn", {5, 5}, 360, {1, 0}}),
                         [](const auto& row) { return std::string(row.param.name); });

struct AnglesRow {
    const char* name;
    Vec2 start;
    Vec2 end;
    double expectedStart;
    double expectedSweep;
};

void PrintTo(const AnglesRow& row, std::ostream* os) { *os << row.name; }

class ArcAnglesTable : public ::testing::TestWithParam<AnglesRow> {};

TEST_P(ArcAnglesTable, SweepIsCounterClockwiseFromStartToEnd) {
    const ArcAngles angles = AnglesOf(MakeArc({0, 0}, GetParam().start, GetParam().end));
    EXPECT_NEAR(angles.start, GetParam().expectedStart, 1e-12);
    EXPECT_NEAR(angles.sweep, GetParam().expectedSweep, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ArcAnglesTable,
    ::testing::Values(AnglesRow{"QuarterUp", {1, 0}, {0, 1}, 0, kPi / 2},
                      AnglesRow{"ThreeQuartersDown", {1, 0}, {0, -1}, 0, 3 * kPi / 2},
                      AnglesRow{"CrossingMinusX", {0, 1}, {0, -1}, kPi / 2, kPi},
                      AnglesRow{"FullCircleWhenEndsMeet", {1, 0}, {2, 0}, 0, 2 * kPi}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FlattenEntity, ArcPointsStayOnTheArcAndChordsWithinTolerance) {
    EntityData arc = MakeArc({3, 4}, {13, 4}, {3, -6});
    arc.radius = 10;
    constexpr double kTolerance = 0.001;
    const auto points = FlattenEntity(arc, kTolerance);
    ASSERT_GE(points.size(), 3U);
    ExpectNear(points.front(), {13, 4}, 1e-12, "start");
    ExpectNear(points.back(), {3, -6}, 1e-9, "end");
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        EXPECT_NEAR(Distance(points[i], arc.center), 10.0, 1e-9);
        const Vec2 mid = 0.5 * (points[i] + points[i + 1]);
        EXPECT_LE(10.0 - Distance(mid, arc.center), kTolerance);
        // Counter-clockwise: each step turns left about the centre.
        EXPECT_GT(Cross(points[i] - arc.center, points[i + 1] - arc.center), 0);
    }
}

// A circle whose radius is within the tolerance still flattens to a shape whose box is the
// circle's: selection, chains and snapping see its extent, not one point.
TEST(FlattenEntity, TinyCirclesKeepTheirExtent) {
    for (const double radius : {1e-9, 1e-6, 1e-4, 0.001, 0.0015, 0.002}) {
        for (const double tolerance : {0.001, 0.01}) {
            EntityData circle = MakeArc({5, 5}, {5 + radius, 5}, {5 + radius, 5});
            circle.radius = radius;
            const auto points = FlattenEntity(circle, tolerance);
            Box box{points.front(), points.front()};
            for (const Vec2 point : points) {
                box.min = {std::min(box.min.x, point.x), std::min(box.min.y, point.y)};
                box.max = {std::max(box.max.x, point.x), std::max(box.max.y, point.y)};
            }
            const std::string row =
                "r " + std::to_string(radius) + " tol " + std::to_string(tolerance);
            EXPECT_GE(points.size(), 5U) << row;
            EXPECT_NEAR(box.max.x - box.min.x, 2 * radius, 1e-3 * radius) << row;
            EXPECT_NEAR(box.max.y - box.min.y, 2 * radius, 1e-3 * radius) << row;
        }
    }
}

TEST(FlattenEntity, LineIsItsTwoEnds) {
    const auto points = FlattenEntity(MakeLine({1, 2}, {3, 4}), 0.01);
    EXPECT_EQ(points, (std::vector<Vec2>{{1, 2}, {3, 4}}));
}

TEST(BoardArc, BadRadiusRaisesAndKeepsTheOldOne) {
    auto arc = BoardArc::CreateFree(MakeArc({0, 0}, {2, 0}, {0, 2}));
    for (double bad : {-1.0, std::nan(""), HUGE_VAL}) {
        EXPECT_THROW(arc->SetRadius(bad), HostError) << bad;
    }
    EXPECT_EQ(arc->Radius(), 2.0);
}

TEST(AsBoardEntity, FindsBoardLinesAndArcsOnly) {
    auto line = BoardLine::CreateFree(MakeLine({0, 0}, {1, 1}));
    auto arc = BoardArc::CreateFree(MakeArc({0, 0}, {1, 0}, {0, 1}));
    EXPECT_EQ(AsBoardEntity(*line)->Data().kind, EntityKind::Line);
    EXPECT_EQ(AsBoardEntity(*arc)->Data().kind, EntityKind::Arc);
    struct Foreign : host::HostEntity {
        [[nodiscard]] bool Visible() const override { return true; }
        void SetVisible(bool /*visible*/) override {}
    } foreign;
    EXPECT_EQ(AsBoardEntity(foreign), nullptr);
}

}  // namespace
}  // namespace pelimator::board
