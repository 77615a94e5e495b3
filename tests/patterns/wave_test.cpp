// AddArcWave against the recording fake: the worked example in both directions, host call order,
// edge cases, properties over random paths, and failures leaving the drawing untouched.
#include "patterns/wave.h"

#include <cmath>
#include <numbers>
#include <ostream>
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

struct ArcExpectation {
    double cx, cy, sx, sy, ex, ey;
};

void ExpectArc(const EntityState& arc, const ArcExpectation& e, double radius, int layer) {
    EXPECT_EQ(arc.kind, EntityState::Kind::Arc);
    EXPECT_NEAR(arc.centerX, e.cx, 1e-9);
    EXPECT_NEAR(arc.centerY, e.cy, 1e-9);
    EXPECT_NEAR(arc.startX, e.sx, 1e-9);
    EXPECT_NEAR(arc.startY, e.sy, 1e-9);
    EXPECT_NEAR(arc.endX, e.ex, 1e-9);
    EXPECT_NEAR(arc.endY, e.ey, 1e-9);
    EXPECT_EQ(arc.radius, radius);
    EXPECT_EQ(arc.layer, layer);
    EXPECT_EQ(arc.style, 1);
    EXPECT_EQ(arc.subStyle, 0);
    EXPECT_TRUE(arc.visible);
}

class AddArcWaveTest : public ::testing::Test {
protected:
    void SetUp() override { M_Calc::InitPi(); }

    // Runs the wave on a fresh drawing and returns what it holds afterwards.
    std::vector<EntityState> Run(const Points& path, double radius, double width,
                                 std::int16_t dir) {
        auto list = factory.MakePointList(path);
        AddArcWave(factory, radius, width, dir, *list, *drawing, 7,
                   testing_support::CollectSink(texts));
        return drawing->Snapshot();
    }

    fake::FakeFactory factory;
    fake::FakeDrawingPtr drawing = factory.MakeDrawing();
    std::vector<std::string> texts;
};

const Points kExamplePath = {{10, 20}, {16, 20}, {16, 26}, {10, 26}};
const std::vector<std::string> kThirds = {"波線を追加中...(33%)", "波線を追加中...(66%)",
                                          "波線を追加中...(100%)"};

TEST_F(AddArcWaveTest, WorkedExampleWithDirTrue) {
    const auto arcs = Run(kExamplePath, 5, 6, -1);
    ASSERT_EQ(arcs.size(), 3U);
    ExpectArc(arcs[0], {13, 24, 10, 20, 16, 20}, 5, 7);
    ExpectArc(arcs[1], {20, 23, 16, 26, 16, 20}, 5, 7);
    ExpectArc(arcs[2], {13, 22, 16, 26, 10, 26}, 5, 7);
    EXPECT_EQ(texts, kThirds);
    EXPECT_EQ(drawing->Steps(), std::vector<std::string>{"波線追加"});
    EXPECT_EQ(drawing->RedrawCount(), 1);
}

TEST_F(AddArcWaveTest, WorkedExampleWithDirFalseMirrorsEveryArc) {
    const auto arcs = Run(kExamplePath, 5, 6, 0);
    ASSERT_EQ(arcs.size(), 3U);
    ExpectArc(arcs[0], {13, 16, 16, 20, 10, 20}, 5, 7);
    ExpectArc(arcs[1], {12, 23, 16, 20, 16, 26}, 5, 7);
    ExpectArc(arcs[2], {13, 30, 10, 26, 16, 26}, 5, 7);
    EXPECT_EQ(texts, kThirds);
}

TEST_F(AddArcWaveTest, HostCallsOfSetUpAndOneArc) {
    auto list = factory.MakePointList({{10, 20}, {16, 20}});
    AddArcWave(factory, 5, 6, -1, *list, *drawing, 7, testing_support::LogSink(factory));
    const std::vector<std::string> expected = {
        "Factory.CreatePoint", "Point.SetX(0)", "Point.SetY(0)", "Drawing.BeginEdit(波線追加)",
        "Factory.CreateArc", "Arc.SetLayer(7)", "Arc.SetSubStyle(0)", "Arc.SetStyle(1)",
        "Arc.SetRadius(5)", "Arc.Center", "Point.SetX(3)", "Arc.Center", "Point.SetY(-4)",
        "Arc.StartPoint", "Point.SetX(6)", "Arc.StartPoint", "Point.SetY(0)", "Arc.EndPoint",
        "Point.SetX(0)", "Arc.EndPoint", "Point.SetY(0)", "Arc.Clone", "Arc.Rotate((0, 0), 180)",
        "Arc.Move(6, 0)", "PointList.Count",
        // the arc: text first, then clone, the two points, turn, the start again, shift, add
        "Status(波線を追加中...(100%))", "Arc.Clone", "PointList.Item(0)", "Point.X",
        "PointList.Item(0)", "Point.Y", "PointList.Item(1)", "Point.X", "PointList.Item(1)",
        "Point.Y", "Arc.Rotate((0, 0), 0)", "PointList.Item(0)", "Point.X", "PointList.Item(0)",
        "Point.Y", "Arc.Move(10, 20)", "Drawing.Add(Arc)", "Arc.SetVisible(true)",
        "Drawing.EndEdit(true)", "Drawing.Redraw(false)"};
    EXPECT_EQ(factory.Log()->Calls(), expected);
}

TEST_F(AddArcWaveTest, VisibleIsSetOnTheInsertedArcNotOnTheClone) {
    // The fake's Add stores a copy: only setting Visible on the returned entity shows in it.
    const auto arcs = Run({{0, 0}, {6, 0}, {12, 0}}, 5, 6, 0);
    for (const auto& arc : arcs) EXPECT_TRUE(arc.visible);
}

struct FewPointsRow {
    const char* name;
    Points path;
    std::size_t arcs;
    std::vector<std::string> texts;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const FewPointsRow& row, std::ostream* out) { *out << row.name; }

class AddArcWaveFewPoints : public AddArcWaveTest,
                            public ::testing::WithParamInterface<FewPointsRow> {};

TEST_P(AddArcWaveFewPoints, StillOpensAndClosesTheStep) {
    const auto arcs = Run(GetParam().path, 5, 6, -1);
    EXPECT_EQ(arcs.size(), GetParam().arcs);
    EXPECT_EQ(texts, GetParam().texts);
    EXPECT_EQ(drawing->Steps(), std::vector<std::string>{"波線追加"});
    EXPECT_EQ(drawing->RedrawCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AddArcWaveFewPoints,
    ::testing::Values(FewPointsRow{"NoPoints", {}, 0, {}},
                      FewPointsRow{"OnePoint", {{1, 1}}, 0, {}},
                      FewPointsRow{"TwoPoints", {{1, 1}, {7, 1}}, 1, {"波線を追加中...(100%)"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(AddArcWaveTest, TwoPointsUseTheOddTemplate) {
    const auto arcs = Run({{1, 1}, {7, 1}}, 5, 6, -1);
    ASSERT_EQ(arcs.size(), 1U);
    ExpectArc(arcs[0], {4, 5, 1, 1, 7, 1}, 5, 7);
}

TEST_F(AddArcWaveTest, RadiusOfHalfTheWidthGivesHalfCircles) {
    const auto arcs = Run({{0, 0}, {6, 0}, {6, 6}}, 3, 6, -1);
    ASSERT_EQ(arcs.size(), 2U);
    ExpectArc(arcs[0], {3, 0, 0, 0, 6, 0}, 3, 7);
    ExpectArc(arcs[1], {6, 3, 6, 6, 6, 0}, 3, 7);
}

TEST_F(AddArcWaveTest, ShortLastSegmentStillGetsAFullChord) {
    const auto arcs = Run({{0, 0}, {6, 0}, {8, 0}}, 5, 6, 0);
    ASSERT_EQ(arcs.size(), 2U);
    // Arc 2 (T0 for Dir False): start on P1, end W further along P1→P2, beyond P2.
    ExpectArc(arcs[1], {9, 4, 6, 0, 12, 0}, 5, 7);
}

// Rows named by the flag they pass: Dir1, DirMinus2, ...
std::string DirName(const ::testing::TestParamInfo<std::int16_t>& info) {
    const int dir = info.param;
    return dir < 0 ? "DirMinus" + std::to_string(-dir) : "Dir" + std::to_string(dir);
}

class AddArcWaveOtherDir : public AddArcWaveTest,
                           public ::testing::WithParamInterface<std::int16_t> {};

TEST_P(AddArcWaveOtherDir, BehavesExactlyAsFalse) {
    const auto expected = Run(kExamplePath, 5, 6, 0);
    fake::FakeFactory other;
    auto otherDrawing = other.MakeDrawing();
    auto list = other.MakePointList(kExamplePath);
    AddArcWave(other, 5, 6, GetParam(), *list, *otherDrawing, 7, {});
    EXPECT_EQ(otherDrawing->Snapshot(), expected);
}

INSTANTIATE_TEST_SUITE_P(Values, AddArcWaveOtherDir,
                         ::testing::Values(std::int16_t{1}, std::int16_t{-2}, std::int16_t{32767},
                                           std::int16_t{-32768}),
                         DirName);

TEST_F(AddArcWaveTest, TwentyNinthOfHundredArcsShows28) {
    Points path;
    for (int i = 0; i <= 100; ++i) path.emplace_back(6.0 * i, 0.0);
    const auto arcs = Run(path, 5, 6, 0);
    ASSERT_EQ(arcs.size(), 100U);
    ASSERT_EQ(texts.size(), 100U);
    EXPECT_EQ(texts[27], "波線を追加中...(28%)");
    EXPECT_EQ(texts[28], "波線を追加中...(28%)");
    EXPECT_EQ(texts[29], "波線を追加中...(30%)");
    EXPECT_EQ(texts.back(), "波線を追加中...(100%)");
}

// --- failures ---

TEST_F(AddArcWaveTest, RadiusBelowHalfTheWidthFailsEvenWithoutSegments) {
    for (const Points& path : {Points{}, kExamplePath}) {
        fake::FakeFactory f;
        auto d = f.MakeDrawing();
        auto list = f.MakePointList(path);
        EXPECT_THROW(AddArcWave(f, 2.9, 6, -1, *list, *d, 7, {}), ArithmeticError);
        EXPECT_TRUE(d->Snapshot().empty());
        EXPECT_FALSE(d->EditOpen());
        EXPECT_TRUE(d->Steps().empty());
        EXPECT_EQ(f.Log()->Calls().back(), "Drawing.EndEdit(false)");
    }
}

TEST_F(AddArcWaveTest, EqualConsecutivePointsDiscardTheStep) {
    auto list = factory.MakePointList({{0, 0}, {6, 0}, {6, 0}, {12, 0}});
    EXPECT_THROW(AddArcWave(factory, 5, 6, -1, *list, *drawing, 7, {}), ArithmeticError);
    EXPECT_TRUE(drawing->Snapshot().empty());
    EXPECT_FALSE(drawing->EditOpen());
    EXPECT_EQ(drawing->RedrawCount(), 0);
}

TEST_F(AddArcWaveTest, WithoutInitPiTheTurnFailsInsteadOfDrawingNonsense) {
    M_Calc::Pi = 0.0;
    auto list = factory.MakePointList(kExamplePath);
    EXPECT_THROW(AddArcWave(factory, 5, 6, -1, *list, *drawing, 7, {}), ArithmeticError);
    M_Calc::InitPi();
    EXPECT_TRUE(drawing->Snapshot().empty());
}

TEST_F(AddArcWaveTest, EveryInjectedHostFailureLeavesTheDrawingAsItWas) {
    testing_support::ExpectEveryInjectedFailureLeavesDrawingUnchanged(
        kExamplePath, [](host::HostFactory& f, const host::HostPointList& path,
                         host::HostDrawing& d) { AddArcWave(f, 5, 6, -1, path, d, 7, {}); });
}

TEST_F(AddArcWaveTest, FailingDiscardKeepsTheOriginalError) {
    auto list = factory.MakePointList(kExamplePath);
    factory.Log()->FailFrom(5);  // Factory.CreateArc, then the EndEdit(false) as well
    try {
        AddArcWave(factory, 5, 6, -1, *list, *drawing, 7, {});
        FAIL() << "no error";
    } catch (const HostError& error) {
        EXPECT_NE(std::string(error.what()).find("Factory.CreateArc"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(factory.Log()->Calls().back(), "Drawing.EndEdit(false)");
}

// --- properties over random paths ---

// Counter-clockwise sweep from a to b about c, in [0, 2π).
double Sweep(double cx, double cy, double ax, double ay, double bx, double by) {
    double sweep = std::atan2(by - cy, bx - cx) - std::atan2(ay - cy, ax - cx);
    if (sweep < 0) sweep += 2 * std::numbers::pi;
    return sweep;
}

TEST_F(AddArcWaveTest, RandomPathsGiveJoinedArcsBulgingAlternately) {
    constexpr unsigned kSeed = 31337;
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> widths(0.5, 20.0);
    std::uniform_real_distribution<double> extra(0.0, 3.0);
    std::uniform_real_distribution<double> turn(-2.5, 2.5);
    std::uniform_int_distribution<int> sizes(2, 40);
    const std::int16_t dirs[] = {-1, 0, 1, 9};
    for (int n = 0; n < 150; ++n) {
        const double width = widths(random);
        const double radius = width / 2 * (1 + extra(random));
        const std::int16_t dir = dirs[n % 4];
        Points path{{0, 0}};
        double heading = turn(random);
        const int size = sizes(random);
        for (int i = 1; i < size; ++i) {
            heading += turn(random);
            // Full pitch everywhere but possibly the last segment.
            const double step = i + 1 == size ? width * (0.2 + 0.8 * extra(random) / 3) : width;
            path.emplace_back(path.back().first + step * std::cos(heading),
                              path.back().second + step * std::sin(heading));
        }
        SCOPED_TRACE(::testing::Message() << "case " << n << ": W " << width << ", R " << radius
                                          << ", Dir " << dir << ", " << size << " points");
        fake::FakeFactory f;
        auto d = f.MakeDrawing();
        auto list = f.MakePointList(path);
        AddArcWave(f, radius, width, dir, *list, *d, 4, {});
        const auto arcs = d->Snapshot();
        ASSERT_EQ(arcs.size(), path.size() - 1);
        const double tolerance = 1e-9 * (1 + radius);
        const double h = std::sqrt(radius * radius - width * width / 4);
        for (std::size_t k = 1; k <= arcs.size(); ++k) {
            const auto& arc = arcs[k - 1];
            SCOPED_TRACE("arc " + std::to_string(k));
            ASSERT_NEAR(std::hypot(arc.startX - arc.centerX, arc.startY - arc.centerY), radius,
                        tolerance);
            ASSERT_NEAR(std::hypot(arc.endX - arc.centerX, arc.endY - arc.centerY), radius,
                        tolerance);
            ASSERT_NEAR(std::hypot(arc.endX - arc.startX, arc.endY - arc.startY), width, tolerance);
            // The counter-clockwise run is the shorter arc.
            ASSERT_LE(Sweep(arc.centerX, arc.centerY, arc.startX, arc.startY, arc.endX, arc.endY),
                      std::numbers::pi + 1e-9);
            const auto [px, py] = path[k - 1];
            const auto [qx, qy] = path[k];
            const double length = std::hypot(qx - px, qy - py);
            const double ux = (qx - px) / length;
            const double uy = (qy - py) / length;
            // The chord starts on P[k-1] and runs along the segment for W.
            const bool startsAtStart = std::hypot(arc.startX - px, arc.startY - py) < tolerance;
            const double fromX = startsAtStart ? arc.startX : arc.endX;
            const double fromY = startsAtStart ? arc.startY : arc.endY;
            const double toX = startsAtStart ? arc.endX : arc.startX;
            const double toY = startsAtStart ? arc.endY : arc.startY;
            ASSERT_NEAR(fromX, px, tolerance);
            ASSERT_NEAR(fromY, py, tolerance);
            ASSERT_NEAR(toX, px + width * ux, tolerance);
            ASSERT_NEAR(toY, py + width * uy, tolerance);
            if (k < arcs.size()) {  // full-pitch segment: the arc ends on the next path point
                ASSERT_NEAR(toX, qx, tolerance);
                ASSERT_NEAR(toY, qy, tolerance);
            }
            // The centre lies h from the chord, on the side opposite the bulge.
            const double side = ux * (arc.centerY - py) - uy * (arc.centerX - px);
            const bool bulgeRight = (k % 2 == 1) == (dir == -1);
            ASSERT_NEAR(side, bulgeRight ? h : -h, tolerance);
        }
    }
}

}  // namespace
}  // namespace pelimator
