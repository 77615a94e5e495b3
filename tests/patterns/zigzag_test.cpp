// AddZigzagLine against the recording fake: the documented example in both directions, host call
// order, edge cases, properties over random paths, and failures leaving the drawing untouched.
#include "patterns/zigzag.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/calc.h"
#include "geometry/errors.h"
#include "patterns/pattern_checks.h"
#include "support/fake_host.h"

namespace pelimator {
namespace {

using fake::EntityState;
using testing_support::Points;

struct Leg {
    double sx, sy, ex, ey;
};

void ExpectLegs(const std::vector<EntityState>& legs, const std::vector<Leg>& expected, int layer) {
    ASSERT_EQ(legs.size(), expected.size());
    for (std::size_t i = 0; i < legs.size(); ++i) {
        SCOPED_TRACE("leg " + std::to_string(i + 1));
        EXPECT_EQ(legs[i].kind, EntityState::Kind::Line);
        EXPECT_NEAR(legs[i].startX, expected[i].sx, 1e-12);
        EXPECT_NEAR(legs[i].startY, expected[i].sy, 1e-12);
        EXPECT_NEAR(legs[i].endX, expected[i].ex, 1e-12);
        EXPECT_NEAR(legs[i].endY, expected[i].ey, 1e-12);
        EXPECT_EQ(legs[i].layer, layer);
        EXPECT_EQ(legs[i].style, 1);
        EXPECT_EQ(legs[i].subStyle, 0);
        EXPECT_TRUE(legs[i].visible);
    }
}

class AddZigzagLineTest : public ::testing::Test {
protected:
    void SetUp() override { M_Calc::InitPi(); }

    std::vector<EntityState> Run(const Points& path, double height, std::int16_t dir) {
        auto list = factory.MakePointList(path);
        AddZigzagLine(factory, height, dir, *list, *drawing, 12,
                      testing_support::CollectSink(texts));
        return drawing->Snapshot();
    }

    fake::FakeFactory factory;
    fake::FakeDrawingPtr drawing = factory.MakeDrawing();
    std::vector<std::string> texts;
};

const Points kExamplePath = {{0, 0}, {5, 0}, {10, 0}, {15, 0}, {17, 0}};
const std::vector<std::string> kQuarters = {
    "ジグザグ線を追加中...(25%)", "ジグザグ線を追加中...(50%)", "ジグザグ線を追加中...(75%)",
    "ジグザグ線を追加中...(100%)"};

TEST_F(AddZigzagLineTest, ExampleWithDirTrueStartsLeft) {
    ExpectLegs(Run(kExamplePath, 4, -1),
               {{0, 0, 2.5, 2}, {2.5, 2, 7.5, -2}, {7.5, -2, 12.5, 2}, {12.5, 2, 16, -2}}, 12);
    EXPECT_EQ(texts, kQuarters);
    EXPECT_EQ(drawing->Steps(), std::vector<std::string>{"ジグザグ線追加"});
    EXPECT_EQ(drawing->RedrawCount(), 1);
}

TEST_F(AddZigzagLineTest, ExampleWithDirFalseStartsRight) {
    ExpectLegs(Run(kExamplePath, 4, 0),
               {{0, 0, 2.5, -2}, {2.5, -2, 7.5, 2}, {7.5, 2, 12.5, -2}, {12.5, -2, 16, 2}}, 12);
    EXPECT_EQ(texts, kQuarters);
}

// Regression: the complement of 1 is -2, which is not True either; the sides must still alternate.
// Rows named by the flag they pass: Dir1, DirMinus2, ...
std::string DirName(const ::testing::TestParamInfo<std::int16_t>& info) {
    const int dir = info.param;
    return dir < 0 ? "DirMinus" + std::to_string(-dir) : "Dir" + std::to_string(dir);
}

class AddZigzagLineOtherDir : public AddZigzagLineTest,
                              public ::testing::WithParamInterface<std::int16_t> {};

TEST_P(AddZigzagLineOtherDir, BehavesExactlyAsFalse) {
    const auto expected = Run(kExamplePath, 4, 0);
    fake::FakeFactory other;
    auto otherDrawing = other.MakeDrawing();
    auto list = other.MakePointList(kExamplePath);
    AddZigzagLine(other, 4, GetParam(), *list, *otherDrawing, 12, {});
    EXPECT_EQ(otherDrawing->Snapshot(), expected);
}

INSTANTIATE_TEST_SUITE_P(Values, AddZigzagLineOtherDir,
                         ::testing::Values(std::int16_t{1}, std::int16_t{-2}, std::int16_t{2},
                                           std::int16_t{-32768}),
                         DirName);

TEST_F(AddZigzagLineTest, HostCallsOfOneLeg) {
    auto list = factory.MakePointList({{0, 0}, {4, 0}});
    AddZigzagLine(factory, 2, -1, *list, *drawing, 12, testing_support::LogSink(factory));
    const std::vector<std::string> expected = {"Factory.CreateLine",
                                               "Line.SetLayer(12)",
                                               "Line.SetSubStyle(0)",
                                               "Line.SetStyle(1)",
                                               "Drawing.BeginEdit(ジグザグ線追加)",
                                               "PointList.Count",
                                               "PointList.Item(0)",
                                               "Point.X",
                                               "PointList.Item(0)",
                                               "Point.Y",
                                               "Status(ジグザグ線を追加中...(100%))",
                                               "PointList.Item(0)",
                                               "Point.X",
                                               "PointList.Item(0)",
                                               "Point.Y",
                                               "PointList.Item(1)",
                                               "Point.X",
                                               "PointList.Item(1)",
                                               "Point.Y",
                                               "Line.StartPoint",
                                               "Point.SetX(0)",
                                               "Point.SetY(0)",
                                               "Line.EndPoint",
                                               "Point.SetX(2)",
                                               "Point.SetY(1)",
                                               "Drawing.Add(Line)",
                                               "Line.SetVisible(true)",
                                               "Drawing.EndEdit(true)",
                                               "Drawing.Redraw(false)"};
    EXPECT_EQ(factory.Log()->Calls(), expected);
}

TEST_F(AddZigzagLineTest, TwoPointsGiveOneLegOnTheDirSide) {
    ExpectLegs(Run({{1, 1}, {1, 5}}, 2, -1), {{1, 1, 0, 3}}, 12);
    EXPECT_EQ(texts, std::vector<std::string>{"ジグザグ線を追加中...(100%)"});
}

TEST_F(AddZigzagLineTest, OnePointGivesAnEmptyStepAndARedraw) {
    EXPECT_TRUE(Run({{3, 3}}, 2, -1).empty());
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(drawing->Steps(), std::vector<std::string>{"ジグザグ線追加"});
    EXPECT_EQ(drawing->RedrawCount(), 1);
}

TEST_F(AddZigzagLineTest, EmptyPathIsTheHostsErrorAndLeavesNothing) {
    EXPECT_THROW(Run({}, 2, -1), HostError);
    EXPECT_TRUE(drawing->Snapshot().empty());
    EXPECT_TRUE(drawing->Steps().empty());
    EXPECT_FALSE(drawing->EditOpen());
}

TEST_F(AddZigzagLineTest, ApexFollowsItsOwnSegmentOnABend) {
    // Segment 2 turns up: its apex is raised perpendicular to it, not to leg 1.
    ExpectLegs(Run({{0, 0}, {4, 0}, {4, 4}}, 2, -1), {{0, 0, 2, 1}, {2, 1, 5, 2}}, 12);
}

TEST_F(AddZigzagLineTest, EqualConsecutivePointsDiscardTheStep) {
    EXPECT_THROW(Run({{0, 0}, {5, 0}, {5, 0}}, 2, -1), ArithmeticError);
    EXPECT_TRUE(drawing->Snapshot().empty());
    EXPECT_FALSE(drawing->EditOpen());
    EXPECT_EQ(drawing->RedrawCount(), 0);
}

TEST_F(AddZigzagLineTest, EveryInjectedHostFailureLeavesTheDrawingAsItWas) {
    testing_support::ExpectEveryInjectedFailureLeavesDrawingUnchanged(
        kExamplePath, [](host::HostFactory& f, const host::HostPointList& path,
                         host::HostDrawing& d) { AddZigzagLine(f, 4, 0, path, d, 12, {}); });
}

TEST_F(AddZigzagLineTest, RandomPathsAlternateApexesAtHalfTheHeight) {
    constexpr unsigned kSeed = 2718;
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> lengths(0.1, 20.0);
    std::uniform_real_distribution<double> heights(0.1, 10.0);
    std::uniform_real_distribution<double> turn(-3.0, 3.0);
    std::uniform_int_distribution<int> sizes(2, 40);
    const std::int16_t dirs[] = {-1, 0, 1, -7};
    for (int n = 0; n < 150; ++n) {
        const double height = heights(random);
        const std::int16_t dir = dirs[n % 4];
        Points path{{lengths(random), lengths(random)}};
        double heading = turn(random);
        const int size = sizes(random);
        for (int i = 1; i < size; ++i) {
            heading += turn(random);
            const double step = lengths(random);
            path.emplace_back(path.back().first + step * std::cos(heading),
                              path.back().second + step * std::sin(heading));
        }
        SCOPED_TRACE(::testing::Message() << "case " << n << ": H " << height << ", Dir " << dir
                                          << ", " << size << " points");
        fake::FakeFactory f;
        auto d = f.MakeDrawing();
        auto list = f.MakePointList(path);
        AddZigzagLine(f, height, dir, *list, *d, 5, {});
        const auto legs = d->Snapshot();
        ASSERT_EQ(legs.size(), path.size() - 1);
        ASSERT_EQ(legs[0].startX, path[0].first);
        ASSERT_EQ(legs[0].startY, path[0].second);
        for (std::size_t l = 1; l <= legs.size(); ++l) {
            SCOPED_TRACE("leg " + std::to_string(l));
            const auto& leg = legs[l - 1];
            if (l > 1) {  // chained apex to apex
                ASSERT_EQ(leg.startX, legs[l - 2].endX);
                ASSERT_EQ(leg.startY, legs[l - 2].endY);
            }
            const auto [px, py] = path[l - 1];
            const auto [qx, qy] = path[l];
            const double length = std::hypot(qx - px, qy - py);
            const double mx = (px + qx) / 2;
            const double my = (py + qy) / 2;
            const double tolerance = 1e-9 * (1 + height + length);
            ASSERT_NEAR(std::hypot(leg.endX - mx, leg.endY - my), height / 2, tolerance);
            const double along =
                ((leg.endX - mx) * (qx - px) + (leg.endY - my) * (qy - py)) / length;
            ASSERT_NEAR(along, 0.0, tolerance);
            const double left =
                ((qx - px) * (leg.endY - my) - (qy - py) * (leg.endX - mx)) / length;
            const bool firstLeft = dir == -1;
            const bool expectLeft = (l % 2 == 1) == firstLeft;
            ASSERT_NEAR(left, expectLeft ? height / 2 : -height / 2, tolerance);
        }
    }
}

}  // namespace
}  // namespace pelimator
