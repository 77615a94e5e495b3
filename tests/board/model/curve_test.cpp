// Curves from picked points: closed forms, flattening error, hull and pass-through properties.
#include "board/model/curve.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <boost/math/interpolators/catmull_rom.hpp>
#include <gtest/gtest.h>

#include "host/errors.h"
#include "host/point_list.h"

namespace pelimator::board {
namespace {

using host::CurveKind;

double DistanceToPolyline(Vec2 p, const std::vector<Vec2>& line) {
    if (line.size() == 1) return Distance(p, line.front());
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        best = std::min(best, DistanceToSegment(p, line[i], line[i + 1]));
    }
    return best;
}

// The true curve sampled densely enough that its own chord error is negligible here.
std::vector<Vec2> DenseCurve(CurveKind kind, const std::vector<Vec2>& picks) {
    const std::vector<Vec2> distinct = DropRepeatedPoints(picks);
    std::vector<Vec2> dense;
    constexpr int kPerSpan = 250;
    if (kind == CurveKind::NearPoints) {
        const int samples = kPerSpan * static_cast<int>(distinct.size());
        for (int i = 0; i <= samples; ++i) {
            dense.push_back(EvaluateNearPointsCurve(distinct, static_cast<double>(i) / samples));
        }
    } else {
        for (std::size_t span = 0; span + 1 < distinct.size(); ++span) {
            for (int i = 0; i < kPerSpan; ++i) {
                dense.push_back(
                    EvaluateThroughPointsCurve(distinct, span, static_cast<double>(i) / kPerSpan));
            }
        }
        dense.push_back(distinct.back());
    }
    return dense;
}

std::vector<Vec2> RandomPicks(std::mt19937& rng, int count, double spread) {
    std::uniform_real_distribution<double> coordinate(-spread, spread);
    std::vector<Vec2> picks;
    for (int i = 0; i < count; ++i) picks.push_back({coordinate(rng), coordinate(rng)});
    return picks;
}

// Independent B-spline basis (Cox-de Boor recursion) to check the blossom evaluation against.
double Basis(int i, int p, double u, const std::vector<double>& knots) {
    if (p == 0) {
        const bool lastSpan =
            u == knots.back() && knots[i] < knots[i + 1] && knots[i + 1] == knots.back();
        return (knots[i] <= u && u < knots[i + 1]) || lastSpan ? 1.0 : 0.0;
    }
    double value = 0.0;
    const double left = knots[i + p] - knots[i];
    const double right = knots[i + p + 1] - knots[i + 1];
    if (left > 0) value += (u - knots[i]) / left * Basis(i, p - 1, u, knots);
    if (right > 0) value += (knots[i + p + 1] - u) / right * Basis(i + 1, p - 1, u, knots);
    return value;
}

Vec2 CoxDeBoor(const std::vector<Vec2>& control, double u) {
    const int n = static_cast<int>(control.size());
    const int p = std::min(3, n - 1);
    std::vector<double> knots;
    for (int i = 0; i <= p; ++i) knots.push_back(0.0);
    for (int i = 1; i < n - p; ++i) knots.push_back(static_cast<double>(i) / (n - p));
    for (int i = 0; i <= p; ++i) knots.push_back(1.0);
    Vec2 sum;
    for (int i = 0; i < n; ++i) sum = sum + Basis(i, p, u, knots) * control[i];
    return sum;
}

TEST(NearPointsCurve, MatchesCoxDeBoorOnRandomControlPolygons) {
    const unsigned seed = 20261207;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 50; ++round) {
        const auto control = RandomPicks(rng, 2 + round % 9, 100.0);
        for (int i = 0; i < 20; ++i) {
            const double u = i == 0 ? 1.0 : unit(rng);
            const Vec2 a = EvaluateNearPointsCurve(control, u);
            const Vec2 b = CoxDeBoor(control, u);
            ASSERT_NEAR(a.x, b.x, 1e-9) << "seed " << seed << " round " << round << " u " << u;
            ASSERT_NEAR(a.y, b.y, 1e-9) << "seed " << seed << " round " << round << " u " << u;
        }
    }
}

TEST(NearPointsCurve, FourControlPointsAreOneCubicBezier) {
    const std::vector<Vec2> c{{0, 0}, {1, 3}, {4, 3}, {5, 0}};
    for (double t : {0.0, 0.2, 0.5, 0.9, 1.0}) {
        const double s = 1 - t;
        const Vec2 bezier =
            s * s * s * c[0] + 3 * s * s * t * c[1] + 3 * s * t * t * c[2] + t * t * t * c[3];
        const Vec2 got = EvaluateNearPointsCurve(c, t);
        EXPECT_NEAR(got.x, bezier.x, 1e-12) << t;
        EXPECT_NEAR(got.y, bezier.y, 1e-12) << t;
    }
}

TEST(ThroughPointsCurve, EvenSpacingGivesTheUniformCatmullRomHermiteForm) {
    // Equal chords: centripetal and uniform parametrisation agree, tangents (P2 - P0) / 2.
    const std::vector<Vec2> p{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Vec2 m1 = 0.5 * (p[2] - p[0]);
    const Vec2 m2 = 0.5 * (p[3] - p[1]);
    for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        const double t2 = t * t;
        const double t3 = t2 * t;
        const Vec2 hermite = (2 * t3 - 3 * t2 + 1) * p[1] + (t3 - 2 * t2 + t) * m1 +
                             (-2 * t3 + 3 * t2) * p[2] + (t3 - t2) * m2;
        const Vec2 got = EvaluateThroughPointsCurve(p, 1, t);
        EXPECT_NEAR(got.x, hermite.x, 1e-12) << t;
        EXPECT_NEAR(got.y, hermite.y, 1e-12) << t;
    }
}

TEST(ThroughPointsCurve, InteriorSpansAgreeWithBoostCentripetalCatmullRom) {
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> step(0.05, 30.0);  // very uneven spacing
    std::uniform_real_distribution<double> turn(-2.5, 2.5);
    std::vector<Vec2> picks{{0, 0}};
    double heading = 0.0;
    for (int i = 0; i < 12; ++i) {
        heading += turn(rng);
        const double length = step(rng);
        picks.push_back(picks.back() +
                        Vec2{length * std::cos(heading), length * std::sin(heading)});
    }
    std::vector<std::array<double, 2>> boostPoints;
    for (const Vec2 p : picks) boostPoints.push_back({p.x, p.y});
    const boost::math::catmull_rom<std::array<double, 2>> reference(std::move(boostPoints), false,
                                                                    0.5);
    for (std::size_t span = 1; span + 2 < picks.size(); ++span) {
        const double s0 = reference.parameter_at_point(span);
        const double s1 = reference.parameter_at_point(span + 1);
        for (double t : {0.1, 0.5, 0.8}) {
            const auto expected = reference(s0 + t * (s1 - s0));
            const Vec2 got = EvaluateThroughPointsCurve(picks, span, t);
            ASSERT_NEAR(got.x, expected[0], 1e-7) << "seed " << seed << " span " << span;
            ASSERT_NEAR(got.y, expected[1], 1e-7) << "seed " << seed << " span " << span;
        }
    }
}

struct FlattenRow {
    const char* name;
    CurveKind kind;
    int picks;
    double spread;
    double tolerance;
};

void PrintTo(const FlattenRow& row, std::ostream* os) { *os << row.name; }

class FlattenError : public ::testing::TestWithParam<FlattenRow> {};

// Both ways: every point of the true curve is near the sequence, and the sequence near the curve.
TEST_P(FlattenError, StaysWithinToleranceOfTheTrueCurve) {
    const FlattenRow& row = GetParam();
    const unsigned seed = 777;
    std::mt19937 rng(seed);
    for (int round = 0; round < 6; ++round) {
        const auto picks = RandomPicks(rng, row.picks, row.spread);
        const auto flat = FlattenCurve(row.kind, picks, row.tolerance);
        const auto dense = DenseCurve(row.kind, picks);
        const double slack = 1e-6 * row.spread;
        for (const Vec2 q : dense) {
            ASSERT_LE(DistanceToPolyline(q, flat), row.tolerance + slack)
                << "seed " << seed << " round " << round;
        }
        for (std::size_t i = 0; i + 1 < flat.size(); ++i) {
            ASSERT_NE(flat[i], flat[i + 1]) << "repeated point, seed " << seed;
            const Vec2 mid = 0.5 * (flat[i] + flat[i + 1]);
            ASSERT_LE(DistanceToPolyline(mid, dense), row.tolerance + slack)
                << "seed " << seed << " round " << round;
        }
        EXPECT_EQ(flat.front(), picks.front());
        EXPECT_EQ(flat.back(), picks.back());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FlattenError,
    ::testing::Values(FlattenRow{"NearPointsFew", CurveKind::NearPoints, 4, 50.0, 0.01},
                      FlattenRow{"NearPointsMany", CurveKind::NearPoints, 12, 100.0, 0.05},
                      FlattenRow{"NearPointsQuadratic", CurveKind::NearPoints, 3, 10.0, 0.001},
                      FlattenRow{"ThroughPointsFew", CurveKind::ThroughPoints, 3, 50.0, 0.01},
                      FlattenRow{"ThroughPointsMany", CurveKind::ThroughPoints, 10, 100.0, 0.05},
                      FlattenRow{"ThroughPointsCoarse", CurveKind::ThroughPoints, 8, 1000.0, 5.0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FlattenCurve, PolylinePassesThroughEveryDistinctPickInOrder) {
    const std::vector<Vec2> picks{{0, 0}, {0, 0}, {1, 0}, {2, 0}, {2, 0}, {2, 5}, {0, 0}};
    const auto flat = FlattenCurve(CurveKind::Polyline, picks, 0.01);
    const std::vector<Vec2> expected{{0, 0}, {1, 0}, {2, 0}, {2, 5}, {0, 0}};
    EXPECT_EQ(flat, expected);
}

TEST(FlattenCurve, NearPointsStaysInTheControlPolygonsHull) {
    const unsigned seed = 99;
    std::mt19937 rng(seed);
    for (int round = 0; round < 30; ++round) {
        const auto picks = RandomPicks(rng, 3 + round % 7, 20.0);
        const auto flat = FlattenCurve(CurveKind::NearPoints, picks, 0.01);
        // Convex hull by the monotone chain, counter-clockwise.
        auto sorted = picks;
        std::sort(sorted.begin(), sorted.end(),
                  [](Vec2 a, Vec2 b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
        std::vector<Vec2> hull;
        for (int pass = 0; pass < 2; ++pass) {
            const std::size_t base = hull.size();
            for (const Vec2 p : sorted) {
                while (hull.size() >= base + 2 &&
                       Cross(hull.back() - hull[hull.size() - 2], p - hull.back()) <= 0) {
                    hull.pop_back();
                }
                hull.push_back(p);
            }
            hull.pop_back();
            std::reverse(sorted.begin(), sorted.end());
        }
        for (const Vec2 q : flat) {
            for (std::size_t i = 0; i < hull.size(); ++i) {
                const Vec2 a = hull[i];
                const Vec2 b = hull[(i + 1) % hull.size()];
                ASSERT_GE(Cross(b - a, q - a), -1e-9 * Length(b - a))
                    << "seed " << seed << " round " << round;
            }
        }
    }
}

TEST(FlattenCurve, ThroughPointsPassesNearEveryPickEvenWithUnevenSpacing) {
    const unsigned seed = 31337;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> step(0.001, 50.0);
    std::uniform_real_distribution<double> angle(0.0, 6.283);
    for (int round = 0; round < 40; ++round) {
        std::vector<Vec2> picks{{0, 0}};
        for (int i = 0; i < 15; ++i) {
            const double a = angle(rng);
            const double d = step(rng);
            picks.push_back(picks.back() + Vec2{d * std::cos(a), d * std::sin(a)});
        }
        constexpr double kTolerance = 0.01;
        const auto flat = FlattenCurve(CurveKind::ThroughPoints, picks, kTolerance);
        for (const Vec2 pick : picks) {
            ASSERT_LE(DistanceToPolyline(pick, flat), kTolerance)
                << "seed " << seed << " round " << round;
        }
    }
}

bool SegmentsCross(Vec2 a, Vec2 b, Vec2 c, Vec2 d) {
    const double d1 = Cross(b - a, c - a);
    const double d2 = Cross(b - a, d - a);
    const double d3 = Cross(d - c, a - c);
    const double d4 = Cross(d - c, b - c);
    return d1 * d2 < 0 && d3 * d4 < 0;
}

// Uniform Catmull-Rom makes a loop between two close points next to far ones; centripetal
// must not.
TEST(ThroughPointsCurve, NoLoopWithinASpanNextToFarNeighbours) {
    const std::vector<Vec2> picks{{0, 0}, {100, 0}, {101, 1}, {100, 100}, {0, 100}};
    for (std::size_t span = 0; span + 1 < picks.size(); ++span) {
        std::vector<Vec2> samples;
        for (int i = 0; i <= 200; ++i) {
            samples.push_back(EvaluateThroughPointsCurve(picks, span, i / 200.0));
        }
        for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
            for (std::size_t j = i + 2; j + 1 < samples.size(); ++j) {
                ASSERT_FALSE(SegmentsCross(samples[i], samples[i + 1], samples[j], samples[j + 1]))
                    << "span " << span << " crosses itself";
            }
        }
    }
}

TEST(FlattenCurve, StraightInputNeedsOnlyItsEnds) {
    std::vector<Vec2> picks;
    for (int i = 0; i < 50; ++i) picks.push_back({i * 1.5, i * 0.5});
    EXPECT_EQ(FlattenCurve(CurveKind::NearPoints, picks, 0.01).size(), 2U);
    EXPECT_EQ(FlattenCurve(CurveKind::ThroughPoints, picks, 0.01).size(), 2U);
}

// Each short span is straight within the tolerance, but merging too many of them would cut
// across the large circle they follow.
TEST(FlattenCurve, MergedStraightSpansStillFollowALargeCircle) {
    for (auto kind : {CurveKind::NearPoints, CurveKind::ThroughPoints}) {
        std::vector<Vec2> picks;
        for (int i = 0; i <= 300; ++i) {
            const double a = i / 1000.0;  // 1 unit apart on a radius of 1000
            picks.push_back({1000 * std::cos(a), 1000 * std::sin(a)});
        }
        constexpr double kTolerance = 0.01;
        const auto flat = FlattenCurve(kind, picks, kTolerance);
        EXPECT_LT(flat.size(), picks.size() / 2) << "straight spans were not merged";
        for (const Vec2 q : DenseCurve(kind, picks)) {
            ASSERT_LE(DistanceToPolyline(q, flat), kTolerance * (1 + 1e-6));
        }
    }
}

TEST(FlattenCurve, PointCountGrowsLikeTheInverseSquareRootOfTheTolerance) {
    // A chord's error falls with the square of its length: a quarter of the tolerance should
    // take about twice the points, not four times or more.
    const std::vector<Vec2> picks{{0, 0}, {30, 40}, {60, -20}, {90, 30}, {120, 0}};
    for (auto kind : {CurveKind::NearPoints, CurveKind::ThroughPoints}) {
        const double coarse = static_cast<double>(FlattenCurve(kind, picks, 0.04).size());
        const double fine = static_cast<double>(FlattenCurve(kind, picks, 0.01).size());
        EXPECT_GT(fine / coarse, 1.5);
        EXPECT_LT(fine / coarse, 2.7);
    }
}

struct SmallInputRow {
    const char* name;
    std::vector<Vec2> picks;
    std::size_t expectedCount;
};

void PrintTo(const SmallInputRow& row, std::ostream* os) { *os << row.name; }

class FlattenSmallInput : public ::testing::TestWithParam<SmallInputRow> {};

TEST_P(FlattenSmallInput, EveryKindHandlesFewOrRepeatedPicks) {
    for (auto kind : {CurveKind::Polyline, CurveKind::NearPoints, CurveKind::ThroughPoints}) {
        const auto flat = FlattenCurve(kind, GetParam().picks, 0.01);
        EXPECT_EQ(flat.size(), GetParam().expectedCount) << static_cast<int>(kind);
        for (std::size_t i = 0; i + 1 < flat.size(); ++i) EXPECT_NE(flat[i], flat[i + 1]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FlattenSmallInput,
    ::testing::Values(SmallInputRow{"Empty", {}, 0}, SmallInputRow{"OnePoint", {{1, 2}}, 1},
                      SmallInputRow{"SamePointThrice", {{1, 2}, {1, 2}, {1, 2}}, 1},
                      SmallInputRow{"TwoPoints", {{0, 0}, {3, 4}}, 2},
                      SmallInputRow{"TwoPointsWithRepeats", {{0, 0}, {0, 0}, {3, 4}, {3, 4}}, 2}),
    [](const auto& row) { return std::string(row.param.name); });

struct BadInputRow {
    const char* name;
    std::vector<Vec2> picks;
    double tolerance;
};

void PrintTo(const BadInputRow& row, std::ostream* os) { *os << row.name; }

class FlattenBadInput : public ::testing::TestWithParam<BadInputRow> {};

TEST_P(FlattenBadInput, RaisesHostError) {
    EXPECT_THROW(
        (void)FlattenCurve(CurveKind::ThroughPoints, GetParam().picks, GetParam().tolerance),
        HostError);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FlattenBadInput,
    ::testing::Values(BadInputRow{"ZeroTolerance", {{0, 0}, {1, 1}}, 0.0},
                      BadInputRow{"NegativeTolerance", {{0, 0}, {1, 1}}, -1.0},
                      BadInputRow{"NaNTolerance", {{0, 0}, {1, 1}}, std::nan("")},
                      BadInputRow{"NaNPoint", {{0, 0}, {std::nan(""), 1}}, 0.01},
                      BadInputRow{"InfinitePoint", {{0, 0}, {1, HUGE_VAL}}, 0.01}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BoardCurve, KindOutsideTheThreeRaisesAndKeepsTheCurve) {
    BoardCurve curve;
    host::PlainPointList picks;
    picks.Add(0, 0);
    picks.Add(1, 1);
    curve.SetPoints(0, picks);
    const auto before = curve.Points();
    for (std::int16_t kind : {-1, 3, 32767}) {
        EXPECT_THROW(curve.SetPoints(kind, picks), HostError) << kind;
    }
    EXPECT_EQ(curve.Points(), before);
    EXPECT_EQ(curve.Points()->Count(), 2);
}

// A point list of another host: the curve must read it through Count and Item alone.
class ForeignPointList final : public host::HostPointList {
public:
    [[nodiscard]] host::HostPointPtr Item(std::int32_t index) const override {
        return m_points.Item(index);
    }
    [[nodiscard]] std::int32_t Count() const override { return m_points.Count(); }
    void Add(double x, double y) override { m_points.Add(x, y); }
    void Remove(std::int32_t index) override { m_points.Remove(index); }

private:
    host::PlainPointList m_points;
};

TEST(BoardCurve, ReadsAnyHostPointListAndGivesTheSameSequence) {
    ForeignPointList foreign;
    host::PlainPointList plain;
    for (auto [x, y] : {std::pair{0.0, 0.0}, {0.0, 0.0}, {10.0, 5.0}, {20.0, -5.0}, {30.0, 0.0}}) {
        foreign.Add(x, y);
        plain.Add(x, y);
    }
    BoardCurve fromForeign;
    BoardCurve fromPlain;
    fromForeign.SetPoints(2, foreign);
    fromPlain.SetPoints(2, plain);
    EXPECT_EQ(fromForeign.Polyline(), fromPlain.Polyline());
    const auto points = fromForeign.Points();
    ASSERT_EQ(static_cast<std::size_t>(points->Count()), fromForeign.Polyline().size());
    EXPECT_EQ(points->Item(points->Count() - 1)->X(), 30.0);
    EXPECT_EQ(fromForeign.Points(), points);  // the same list until the next build
}

TEST(BoardCurve, ToleranceComesFromTheProviderAtEachBuild) {
    double tolerance = 1.0;
    BoardCurve curve([&] { return tolerance; });
    host::PlainPointList picks;
    for (int i = 0; i <= 8; ++i) picks.Add(std::cos(i * 0.7) * 100, std::sin(i * 0.7) * 100);
    curve.SetPoints(2, picks);
    const auto coarse = curve.Points()->Count();
    tolerance = 0.01;
    curve.SetPoints(2, picks);
    EXPECT_GT(curve.Points()->Count(), coarse);
    EXPECT_EQ(curve.Kind(), CurveKind::ThroughPoints);
    EXPECT_EQ(static_cast<std::size_t>(curve.Points()->Count()), curve.Polyline().size());
}

}  // namespace
}  // namespace pelimator::board
