// CalcPathPoints: the documented walks as named rows (result, count, source afterwards, progress
// texts), the order of host calls, bad pitches, and properties over random polylines.
#include "geometry/path_points.h"

#include <cmath>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/calc.h"
#include "geometry/errors.h"
#include "host/errors.h"
#include "host/point_list.h"
#include "support/fake_host.h"

namespace pelimator {
namespace {

using Points = std::vector<std::pair<double, double>>;

host::PlainPointList MakeList(const Points& points) {
    host::PlainPointList list;
    for (auto [x, y] : points) list.Add(x, y);
    return list;
}

Points Read(const host::PlainPointList& list) {
    Points out;
    for (std::size_t i = 0; i < list.Size(); ++i) out.emplace_back(list.At(i).X(), list.At(i).Y());
    return out;
}

void ExpectPointsNear(const Points& actual, const Points& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].first, expected[i].first, 1e-6) << "point " << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, 1e-6) << "point " << i;
    }
}

std::vector<std::string> Texts(std::initializer_list<int> percents) {
    std::vector<std::string> out;
    for (int p : percents) out.push_back("座標計算中...(" + std::to_string(p) + "%)");
    return out;
}

struct WalkRow {
    const char* name;
    Points source;
    double pitch;
    Points path;
    Points sourceAfter;
    std::vector<std::string> texts;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const WalkRow& row, std::ostream* out) { *out << row.name; }

class CalcPathPointsRows : public ::testing::TestWithParam<WalkRow> {
protected:
    void SetUp() override { M_Calc::InitPi(); }
};

TEST_P(CalcPathPointsRows, WalksTheDividers) {
    const auto& row = GetParam();
    auto source = MakeList(row.source);
    host::PlainPointList dest;
    std::int32_t count = -1;
    std::vector<std::string> texts;
    CalcPathPoints(source, row.pitch, dest, count,
                   [&](std::string_view text) { texts.emplace_back(text); });
    ExpectPointsNear(Read(dest), row.path);
    EXPECT_EQ(count, static_cast<std::int32_t>(row.path.size()));
    ExpectPointsNear(Read(source), row.sourceAfter);
    EXPECT_EQ(texts, row.texts);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CalcPathPointsRows,
    ::testing::Values(WalkRow{"CutOnSecondSegmentThenShortEnd",
                              {{0, 0}, {3, 0}, {6, 0}, {6, 4}},
                              5,
                              {{0, 0}, {5, 0}, {6, 4}},
                              {{0, 0}, {5, 0}, {6, 0}, {6, 4}},
                              Texts({33, 66, 66, 100})},
                      WalkRow{"SquareCutOnEverySide",
                              {{0, 0}, {4, 0}, {4, 4}, {0, 4}},
                              3,
                              {{0, 0}, {3, 0}, {4, 2.8284271247}, {1.2382224854, 4}, {0, 4}},
                              {{3, 0}, {4, 2.8284271247}, {1.2382224854, 4}, {0, 4}},
                              Texts({33, 33, 66, 66, 100, 100})},
                      WalkRow{"LongSegmentCutAtEveryPitch",
                              {{0, 0}, {17, 0}},
                              5,
                              {{0, 0}, {5, 0}, {10, 0}, {15, 0}, {17, 0}},
                              {{15, 0}, {17, 0}},
                              Texts({100, 100, 100, 100})},
                      WalkRow{"AllWithinManhattanPitchGivesFirstPointOnly",
                              {{0, 0}, {1, 1}, {2, 0}},
                              5,
                              {{0, 0}},
                              {{0, 0}, {1, 1}, {2, 0}},
                              Texts({50, 100})},
                      WalkRow{"OnePointShowsNoText", {{7, 8}}, 5, {{7, 8}}, {{7, 8}}, {}},
                      // Regression: an exact hit on the last point must not append it twice.
                      WalkRow{"ExactHitOnLastPointIsNotRepeated",
                              {{0, 0}, {10, 0}},
                              5,
                              {{0, 0}, {5, 0}, {10, 0}},
                              {{5, 0}, {10, 0}},
                              Texts({100, 100})},
                      WalkRow{"GridPolylineOfWholePitches",
                              {{0, 0}, {5, 0}, {5, 5}},
                              5,
                              {{0, 0}, {5, 0}, {5, 5}},
                              {{0, 0}, {5, 0}, {5, 5}},
                              Texts({50, 100})},
                      WalkRow{"CoincidentPointsPassedOver",
                              {{0, 0}, {0, 0}, {6, 0}, {6, 0}},
                              5,
                              {{0, 0}, {5, 0}, {6, 0}},
                              {{0, 0}, {5, 0}, {6, 0}, {6, 0}},
                              Texts({33, 66, 66, 100})},
                      WalkRow{"ChordNotArcLengthOnABend",
                              {{0, 0}, {3, 0}, {3, 3}},
                              3.5,
                              {{0, 0}, {3, 1.8027756377}, {3, 3}},
                              {{0, 0}, {3, 1.8027756377}, {3, 3}},
                              Texts({50, 100, 100})}),
    [](const auto& row) { return std::string(row.param.name); });

// The source is read one coordinate per Item call and a cut is written back X first, then Y.
TEST(CalcPathPoints, HostCallsFollowTheWalk) {
    M_Calc::InitPi();
    fake::FakeFactory factory;
    auto source = factory.MakePointList({{0, 0}, {7, 0}});
    auto dest = factory.MakePointList({});
    std::int32_t count = 0;
    CalcPathPoints(*source, 5, *dest, count, {});
    const std::vector<std::string> expected = {
        "PointList.Item(0)",   "Point.X",
        "PointList.Item(0)",   "Point.Y",          // anchor
        "PointList.Add(0, 0)", "PointList.Count",  //
        "PointList.Item(1)",   "Point.X",
        "PointList.Item(1)",   "Point.Y",  // point 1: too far
        "PointList.Item(0)",   "Point.X",
        "PointList.Item(0)",   "Point.Y",  // the point before
        "PointList.Add(5, 0)",             // the cut
        "PointList.Item(0)",   "Point.SetX(5)",
        "PointList.Item(0)",   "Point.SetY(0)",
        "PointList.Item(1)",   "Point.X",
        "PointList.Item(1)",   "Point.Y",  // again: inside
        "PointList.Item(1)",   "Point.X",
        "PointList.Item(1)",   "Point.Y",  // end rule
        "PointList.Add(7, 0)"};
    EXPECT_EQ(factory.Log()->Calls(), expected);
    EXPECT_EQ(count, 3);
}

struct BadPitchRow {
    const char* name;
    double pitch;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const BadPitchRow& row, std::ostream* out) { *out << row.name; }

class CalcPathPointsBadPitch : public ::testing::TestWithParam<BadPitchRow> {};

TEST_P(CalcPathPointsBadPitch, RaisesBeforeAppendingAnything) {
    M_Calc::InitPi();
    auto source = MakeList({{0, 0}, {10, 0}});
    host::PlainPointList dest;
    std::int32_t count = 42;
    int texts = 0;
    EXPECT_THROW(
        CalcPathPoints(source, GetParam().pitch, dest, count, [&](std::string_view) { ++texts; }),
        ArithmeticError);
    EXPECT_EQ(dest.Size(), 0U);
    EXPECT_EQ(count, 42);
    EXPECT_EQ(texts, 0);
    ExpectPointsNear(Read(source), {{0, 0}, {10, 0}});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CalcPathPointsBadPitch,
    ::testing::Values(BadPitchRow{"Zero", 0.0}, BadPitchRow{"NegativeZero", -0.0},
                      BadPitchRow{"Negative", -5.0},
                      BadPitchRow{"NaN", std::numeric_limits<double>::quiet_NaN()},
                      BadPitchRow{"Infinite", std::numeric_limits<double>::infinity()}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CalcPathPoints, PitchBelowTheCoordinateSpacingRaisesInsteadOfLooping) {
    M_Calc::InitPi();
    auto source = MakeList({{1e17, 0}, {1e17 + 1e3, 0}});
    host::PlainPointList dest;
    std::int32_t count = 0;
    EXPECT_THROW(CalcPathPoints(source, 1e-3, dest, count, {}), ArithmeticError);
}

TEST(CalcPathPoints, EmptySourceIsTheHostsError) {
    M_Calc::InitPi();
    host::PlainPointList source;
    host::PlainPointList dest;
    std::int32_t count = 0;
    EXPECT_THROW(CalcPathPoints(source, 5, dest, count, {}), HostError);
    EXPECT_EQ(dest.Size(), 0U);
}

TEST(CalcPathPoints, HostFailureKeepsWhatWasAppended) {
    M_Calc::InitPi();
    fake::FakeFactory factory;
    auto source = factory.MakePointList({{0, 0}, {17, 0}});
    auto dest = factory.MakePointList({});
    std::int32_t count = 0;
    factory.Log()->FailAt(16);  // the Item call that writes back the first cut
    EXPECT_THROW(CalcPathPoints(*source, 5, *dest, count, {}), HostError);
    EXPECT_EQ(factory.Log()->Calls().back(), "PointList.Item(0)");
    EXPECT_EQ(dest->Peek(), (Points{{0, 0}, {5, 0}}));
    EXPECT_EQ(count, 0);
}

// --- properties over random polylines ---

// The parameter (segment index + fraction) of p on the polyline at or after `from`, or -1.
double ParameterOnPolyline(const Points& line, std::pair<double, double> p, double from,
                           double tolerance) {
    if (line.size() == 1) return p == line.front() ? 0.0 : -1.0;
    for (auto k = static_cast<std::size_t>(from); k + 1 < line.size(); ++k) {
        const auto [ax, ay] = line[k];
        const auto [bx, by] = line[k + 1];
        const double lx = bx - ax;
        const double ly = by - ay;
        const double length2 = lx * lx + ly * ly;
        if (length2 == 0) {
            if (std::hypot(p.first - ax, p.second - ay) <= tolerance) return static_cast<double>(k);
            continue;
        }
        double t = ((p.first - ax) * lx + (p.second - ay) * ly) / length2;
        t = std::clamp(t, 0.0, 1.0);
        const double distance = std::hypot(ax + t * lx - p.first, ay + t * ly - p.second);
        const double parameter = static_cast<double>(k) + t;
        if (distance <= tolerance && parameter >= from - 1e-9) return parameter;
    }
    return -1;
}

TEST(CalcPathPoints, RandomPolylinesKeepTheDividerProperties) {
    M_Calc::InitPi();
    constexpr unsigned kSeed = 4711;
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::uniform_int_distribution<int> sizes(1, 60);
    std::uniform_real_distribution<double> step(-10.0, 10.0);
    std::uniform_real_distribution<double> pitches(0.3, 12.0);
    std::uniform_int_distribution<int> repeat(0, 9);
    for (int n = 0; n < 400; ++n) {
        Points original{{step(random) * 10, step(random) * 10}};
        const int size = sizes(random);
        while (static_cast<int>(original.size()) < size) {
            auto [x, y] = original.back();
            if (repeat(random) == 0) {
                original.emplace_back(x, y);  // coincident neighbours occur in host curves
            } else {
                original.emplace_back(x + step(random), y + step(random));
            }
        }
        const double pitch = pitches(random);
        SCOPED_TRACE(::testing::Message()
                     << "case " << n << ", " << original.size() << " points, pitch " << pitch);
        auto source = MakeList(original);
        host::PlainPointList dest;
        std::int32_t count = 0;
        std::vector<int> percents;
        CalcPathPoints(source, pitch, dest, count, [&](std::string_view text) {
            percents.push_back(std::stoi(std::string(text.substr(text.find('(') + 1))));
        });
        const Points path = Read(dest);
        ASSERT_EQ(count, static_cast<std::int32_t>(path.size()));
        ASSERT_GE(path.size(), 1U);
        ASSERT_EQ(path.front(), original.front());
        double parameter = 0;
        for (std::size_t i = 0; i < path.size(); ++i) {
            parameter = ParameterOnPolyline(original, path[i], parameter, 1e-9);
            ASSERT_GE(parameter, 0) << "point " << i << " is not on the polyline in order";
            if (i == 0) continue;
            ASSERT_NE(path[i], path[i - 1]) << "point " << i;
            if (i + 1 < path.size()) {
                const double chord = std::hypot(path[i].first - path[i - 1].first,
                                                path[i].second - path[i - 1].second);
                ASSERT_NEAR(chord, pitch, 1e-9 * (1 + pitch)) << "point " << i;
            }
        }
        if (path.size() > 1) {
            ASSERT_EQ(path.back(), original.back());
        }
        for (std::size_t i = 1; i < percents.size(); ++i) ASSERT_GE(percents[i], percents[i - 1]);
        if (original.size() > 1) {
            ASSERT_FALSE(percents.empty());
            ASSERT_EQ(percents.back(), 100);
        }
    }
}

}  // namespace
}  // namespace pelimator
