// Fitting the pitch so the resampled path ends at its last point: named rows and properties over
// random polylines, each checked against what CalcPathPoints actually appends.
#include "geometry/path_fit.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/calc.h"
#include "geometry/path_points.h"
#include "host/point_list.h"

namespace pelimator {
namespace {

using Points = std::vector<PathPoint>;

// What CalcPathPoints makes of points at pitch.
Points Resample(const Points& points, double pitch) {
    host::PlainPointList source;
    for (const PathPoint& p : points) source.Add(p.x, p.y);
    host::PlainPointList path;
    std::int32_t count = 0;
    CalcPathPoints(source, pitch, path, count, [](std::string_view) {});
    Points out;
    for (std::size_t i = 0; i < path.Size(); ++i) out.push_back({path.At(i).X(), path.At(i).Y()});
    return out;
}

// The fitted path ends exactly at the last point and every chord is the fitted pitch.
void ExpectEndsAtLastPoint(const Points& points, double fitted) {
    const Points path = Resample(points, fitted);
    ASSERT_GE(path.size(), 2U);
    EXPECT_EQ(path.back().x, points.back().x);
    EXPECT_EQ(path.back().y, points.back().y);
    for (std::size_t i = 1; i < path.size(); ++i) {
        const double chord = std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
        EXPECT_NEAR(chord, fitted, 1e-9 * fitted) << "chord " << i << " of " << path.size() - 1;
    }
}

Points Straight(double length) { return {{0.0, 0.0}, {length * 0.6, length * 0.8}}; }

Points QuarterCircle(double radius, int pieces) {
    Points points;
    for (int i = 0; i <= pieces; ++i) {
        const double a = (std::numbers::pi / 2.0) * i / pieces;
        points.push_back({radius * std::cos(a), radius * std::sin(a)});
    }
    return points;
}

struct FitRow {
    const char* name;
    Points points;
    double pitch;
    double largest;
    int chords;  // of the fitted path; 0: the pitch stays as it is
};

void PrintTo(const FitRow& row, std::ostream* out) { *out << row.name; }

class FitRows : public ::testing::TestWithParam<FitRow> {
protected:
    void SetUp() override { M_Calc::InitPi(); }
};

TEST_P(FitRows, EndsAtTheLastPointWithinHalfAPitch) {
    const FitRow& row = GetParam();
    const double fitted = FitPitchToEnd(row.points, row.pitch, row.largest);
    if (row.chords == 0) {
        EXPECT_EQ(fitted, row.pitch);
        return;
    }
    EXPECT_LE(std::abs(fitted - row.pitch), row.pitch / 2.0);
    EXPECT_LE(fitted, row.largest);
    EXPECT_EQ(Resample(row.points, fitted).size(), static_cast<std::size_t>(row.chords) + 1);
    ExpectEndsAtLastPoint(row.points, fitted);
}

constexpr double kAny = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Rows, FitRows,
    ::testing::Values(
        // 10.3: the 0.3 left over is spread over ten chords of 1.03.
        FitRow{"short_remainder_lengthens", Straight(10.3), 1.0, kAny, 10},
        // 10.7: the end rule would keep 0.7 as a chord; eleven chords of 0.973 instead.
        FitRow{"long_remainder_shortens", Straight(10.7), 1.0, kAny, 11},
        // The wave's arcs cannot span 1.03: eleven shorter chords instead.
        FitRow{"bound_turns_to_shorter", Straight(10.3), 1.0, 1.01, 11},
        FitRow{"exact_multiple_unchanged", Straight(8.0), 0.5, kAny, 0},
        FitRow{"shorter_than_half_a_pitch", Straight(0.3), 1.0, kAny, 0},
        FitRow{"one_chord_from_a_short_path", Straight(0.6), 1.0, kAny, 1},
        FitRow{"arc_of_many_points", QuarterCircle(50.0, 400), 3.0, kAny, 26},
        FitRow{"zigzag_polyline", Points{{0, 0}, {4, 3}, {8, 0}, {12, 3}, {16, 0}}, 1.7, kAny, 11},
        // The path comes back towards its last cut: no pitch in range puts the end on a cut.
        FitRow{"hairpin_end_unchanged", Points{{0, 0}, {10.5, 0}, {10.5, 0.4}, {10.1, 0.4}}, 1.0,
               kAny, 0}),
    [](const ::testing::TestParamInfo<FitRow>& row) { return std::string(row.param.name); });

TEST(WalkDividers, CountsTheCutsCalcPathPointsMakes) {
    M_Calc::InitPi();
    std::mt19937 random(17);
    std::uniform_real_distribution<double> coordinate(-100.0, 100.0);
    std::uniform_real_distribution<double> pitchOf(0.5, 40.0);
    for (int trial = 0; trial < 300; ++trial) {
        Points points;
        const int count = 2 + trial % 12;
        for (int i = 0; i < count; ++i) points.push_back({coordinate(random), coordinate(random)});
        const double pitch = pitchOf(random);
        const DividerWalk walk = WalkDividers(points, pitch);
        const Points path = Resample(points, pitch);
        // The start, the cuts, and the end when the end rule kept it.
        const bool endKept = path.size() > static_cast<std::size_t>(walk.cuts) + 1;
        EXPECT_EQ(path.size(), static_cast<std::size_t>(walk.cuts) + 1 + (endKept ? 1 : 0))
            << "trial " << trial;
        if (endKept) {
            const PathPoint before = path[path.size() - 2];
            EXPECT_NEAR(walk.remainder,
                        std::hypot(points.back().x - before.x, points.back().y - before.y), 1e-9);
        }
    }
}

// Paths as drafters draw them: steps of 2 to 20 turning by at most 20 degrees each.
TEST(FitPitchToEnd, RandomGentlePolylinesEndAtTheirLastPoint) {
    M_Calc::InitPi();
    std::mt19937 random(4711);
    std::uniform_real_distribution<double> stepOf(2.0, 20.0);
    std::uniform_real_distribution<double> turnOf(-0.35, 0.35);
    std::uniform_real_distribution<double> pitchOf(0.5, 10.0);
    int fittedCount = 0;
    for (int trial = 0; trial < 200; ++trial) {
        Points points{{0.0, 0.0}};
        double heading = turnOf(random) * 9.0;
        const int count = 2 + trial % 20;
        for (int i = 1; i < count; ++i) {
            const double step = stepOf(random);
            points.push_back({points.back().x + step * std::cos(heading),
                              points.back().y + step * std::sin(heading)});
            heading += turnOf(random);
        }
        const double pitch = pitchOf(random);
        const double fitted = FitPitchToEnd(points, pitch);
        SCOPED_TRACE("trial " + std::to_string(trial));
        EXPECT_LE(std::abs(fitted - pitch), pitch / 2.0);
        if (fitted == pitch) {
            // Left alone only when nothing is left over or nothing fits.
            const DividerWalk walk = WalkDividers(points, pitch);
            EXPECT_TRUE(walk.remainder == 0.0 || walk.cuts == 0) << walk.remainder;
            continue;
        }
        ++fittedCount;
        ExpectEndsAtLastPoint(points, fitted);
    }
    EXPECT_GT(fittedCount, 150);
}

TEST(FitPitchToEnd, PitchesCalcPathPointsRefusesStayAsGiven) {
    const Points points = Straight(10.0);
    EXPECT_EQ(FitPitchToEnd(points, 0.0), 0.0);
    EXPECT_EQ(FitPitchToEnd(points, -1.0), -1.0);
    EXPECT_TRUE(std::isnan(FitPitchToEnd(points, std::nan(""))));
    EXPECT_EQ(FitPitchToEnd(Points{{1.0, 1.0}}, 2.0), 2.0);
}

}  // namespace
}  // namespace pelimator

namespace pelimator {
namespace {

// What CalcPathPoints appends ends on the path's last point with every chord of the pitch: the
// end appended as a whole last chord, or reached by the last cut within the end rule's share.
bool PathFitsAt(const Points& points, double pitch, std::size_t& chords) {
    const Points path = Resample(points, pitch);
    chords = path.size() - 1;
    if (path.size() < 2) return false;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const double chord = std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
        if (std::abs(chord - pitch) > 2e-9 * pitch) return false;
    }
    const PathPoint end = points.back();
    return std::hypot(path.back().x - end.x, path.back().y - end.y) <= 1e-9 * pitch;
}

// An independent search for a pitch in [lo, hi] giving `chords` chords that end on the path's
// last point: plain bisection, to neighbouring doubles, on whether the path CalcPathPoints makes
// has a point `chords` along that is not the path's end (true at lo, false at hi).
bool BisectionFindsAFit(const Points& points, std::size_t chords, double lo, double hi) {
    const PathPoint end = points.back();
    const auto pastIt = [&](double pitch) {
        const Points path = Resample(points, pitch);
        return path.size() > chords && !(path[chords].x == end.x && path[chords].y == end.y);
    };
    if (!(hi > lo) || !pastIt(lo) || pastIt(hi)) return false;
    while (true) {
        const double mid = lo + (hi - lo) / 2.0;
        if (!(mid > lo && mid < hi)) break;
        (pastIt(mid) ? lo : hi) = mid;
    }
    std::size_t made = 0;
    for (const double pitch : {lo, hi}) {
        if (PathFitsAt(points, pitch, made) && made == chords) return true;
    }
    return false;
}

// Paths as drafted (steps of 2 to 20 turning gently), as curves flatten (many short steps
// bending steadily) and zigzagging anywhere in a square, 1,000 of them: whenever a pitch with the
// normal count of chords or one more ends on the path within the range, the fit finds one; what it
// returns is checked against CalcPathPoints, and a pitch it keeps is checked by an independent
// bisection.
TEST(FitToEnd, FindsAFitWheneverTheRangeHoldsOne) {
    M_Calc::InitPi();
    constexpr unsigned kSeed = 90210;
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int fitted = 0;
    int kept = 0;
    for (int trial = 0; trial < 1000; ++trial) {
        const int family = trial % 3;  // drafted, flattened curve, points anywhere in a square
        const bool curve = family == 1;
        Points points{{0.0, 0.0}};
        double heading = unit(random) * 6.28;
        const int count = curve ? 50 + trial % 150 : 2 + trial % 20;
        const double bend = curve ? (unit(random) - 0.5) * 0.06 : 0.0;
        for (int i = 1; i < count; ++i) {
            if (family == 2) {
                points.push_back({200.0 * unit(random) - 100.0, 200.0 * unit(random) - 100.0});
                continue;
            }
            const double step = curve ? 0.5 + unit(random) : 2.0 + 18.0 * unit(random);
            points.push_back({points.back().x + step * std::cos(heading),
                              points.back().y + step * std::sin(heading)});
            heading += curve ? bend : (unit(random) - 0.5) * 0.7;
        }
        const double pitch = family == 2 ? 0.5 + 39.5 * unit(random) : 0.5 + 9.5 * unit(random);
        SCOPED_TRACE("trial " + std::to_string(trial) + ", pitch " + std::to_string(pitch));
        const double fittedPitch = FitPitchToEnd(points, pitch);
        std::size_t chords = 0;
        ASSERT_LE(std::abs(fittedPitch - pitch), pitch / 2.0);
        if (PathFitsAt(points, fittedPitch, chords)) {
            ++fitted;
            continue;
        }
        ++kept;
        ASSERT_EQ(fittedPitch, pitch) << "a changed pitch that does not fit";
        const DividerWalk normal = WalkDividers(points, pitch);
        const auto cuts = static_cast<std::size_t>(normal.cuts);
        EXPECT_FALSE(BisectionFindsAFit(points, cuts, pitch, pitch * 1.5)) << "longer, " << cuts;
        EXPECT_FALSE(BisectionFindsAFit(points, cuts + 1, pitch / 2.0, pitch))
            << "shorter, " << cuts + 1;
    }
    // Paths zigzagging at random often turn back near their end and cannot be fitted.
    EXPECT_GT(fitted, 700) << kept << " kept";
}

}  // namespace
}  // namespace pelimator
