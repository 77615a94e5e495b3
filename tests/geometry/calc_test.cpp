// M_Calc: named rows for the documented values, cross-checks against the standard library over
// random input, and the error rows.
#include "geometry/calc.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "geometry/errors.h"

namespace pelimator {
namespace {

using M_Calc::Pi;

class CalcTest : public ::testing::Test {
protected:
    void SetUp() override { M_Calc::InitPi(); }
};

TEST_F(CalcTest, InitPiSetsFourArctanOne) { EXPECT_EQ(Pi, std::numbers::pi); }

struct AngleRow {
    const char* name;
    double x1, y1, x2, y2;
    double expected;  // multiplied by Pi when byPi
    bool byPi;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const AngleRow& row, std::ostream* out) { *out << row.name; }

class GetAngleRows : public ::testing::TestWithParam<AngleRow> {
protected:
    void SetUp() override { M_Calc::InitPi(); }
};

TEST_P(GetAngleRows, GivesTheDirection) {
    const auto& row = GetParam();
    const double expected = row.byPi ? row.expected * Pi : row.expected;
    const double angle = M_Calc::GetAngle(row.x1, row.y1, row.x2, row.y2);
    EXPECT_NEAR(angle, expected, 1e-15);
    EXPECT_GE(angle, 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GetAngleRows,
    ::testing::Values(AngleRow{"PlusX", 0, 0, 1, 0, 0.0, true},
                      AngleRow{"PlusY", 0, 0, 0, 1, 0.5, true},
                      AngleRow{"MinusX", 0, 0, -1, 0, 1.0, true},
                      AngleRow{"MinusY", 0, 0, 0, -1, 1.5, true},
                      AngleRow{"Diagonal1", 0, 0, 1, 1, 0.25, true},
                      AngleRow{"Diagonal2", 0, 0, -1, 1, 0.75, true},
                      AngleRow{"Diagonal3", 0, 0, -1, -1, 1.25, true},
                      AngleRow{"Diagonal4", 0, 0, 1, -1, 1.75, true},
                      AngleRow{"ThreeFour", 0, 0, 3, 4, 0.9272952180016122, false},
                      AngleRow{"FourMinusThree", 0, 0, 4, -3, 5.639684198386302, false},
                      AngleRow{"OffsetStart", 10, 20, 16, 20, 0.0, true},
                      AngleRow{"NegativeZeroDxCountsAsZero", 0, 0, -0.0, 2, 0.5, true},
                      AngleRow{"NegativeZeroDyCountsAsZero", 0, 0, -3, -0.0, 1.0, true}),
    [](const auto& row) { return std::string(row.param.name); });

// The axes come out exactly, not merely close: the wave turns arcs by these angles.
TEST_F(CalcTest, AxisAnglesAreExact) {
    EXPECT_EQ(M_Calc::GetAngle(0, 0, 5, 0), 0.0);
    EXPECT_EQ(M_Calc::GetAngle(0, 0, 0, 5), Pi / 2);
    EXPECT_EQ(M_Calc::GetAngle(0, 0, -5, 0), Pi);
    EXPECT_EQ(M_Calc::GetAngle(0, 0, 0, -5), 3 * (Pi / 2));
}

TEST_F(CalcTest, DistancesOfTheDocumentedPoints) {
    EXPECT_EQ(M_Calc::GetDistance(0, 0, 3, 4), 5.0);
    EXPECT_EQ(M_Calc::GetDistance(3, 4, 0, 0), 5.0);
    EXPECT_EQ(M_Calc::GetManhattanDistance(0, 0, 3, -4), 7.0);
    EXPECT_EQ(M_Calc::GetManhattanDistance(-1, 2, -4, -2), 7.0);
    EXPECT_EQ(M_Calc::GetDistance(1, 1, 1, 1), 0.0);
}

TEST_F(CalcTest, RotatePointTurnsCounterClockwise) {
    double x = 0;
    double y = 0;
    M_Calc::RotatePoint(1, 1, Pi / 2, 2, 1, x, y);
    EXPECT_NEAR(x, 1.0, 1e-15);
    EXPECT_NEAR(y, 2.0, 1e-15);
    M_Calc::RotatePoint(1, 1, -Pi / 2, 2, 1, x, y);
    EXPECT_NEAR(x, 1.0, 1e-15);
    EXPECT_NEAR(y, 0.0, 1e-15);
    M_Calc::RotatePoint(0, 0, Pi, 3, 4, x, y);
    EXPECT_NEAR(x, -3.0, 1e-15);
    EXPECT_NEAR(y, -4.0, 1e-15);
}

struct CrossRow {
    const char* name;
    double cx, cy, r, x1, y1, x2, y2;
    double expectedX, expectedY;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const CrossRow& row, std::ostream* out) { *out << row.name; }

class GetCircleLineCrossRows : public ::testing::TestWithParam<CrossRow> {
protected:
    void SetUp() override { M_Calc::InitPi(); }
};

TEST_P(GetCircleLineCrossRows, PicksTheDocumentedCrossing) {
    const auto& row = GetParam();
    double x = 0;
    double y = 0;
    M_Calc::GetCircleLineCross(row.cx, row.cy, row.r, row.x1, row.y1, row.x2, row.y2, x, y);
    EXPECT_NEAR(x, row.expectedX, 1e-12);
    EXPECT_NEAR(y, row.expectedY, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Rows, GetCircleLineCrossRows,
                         ::testing::Values(
                             // Foot exactly at the middle: the crossing further along P1→P2.
                             CrossRow{"FootAtMiddleTakesFurther", 0, 0, 5, -10, 3, 10, 3, 4, 3},
                             // Foot beyond the middle: the crossing towards P1.
                             CrossRow{"FootBeyondMiddleTakesNearer", 0, 0, 5, -12, 3, 8, 3, -4, 3},
                             CrossRow{"FootBeforeMiddleTakesFurther", 0, 0, 5, -2, 3, 18, 3, 4, 3},
                             CrossRow{"VerticalLine", 0, 0, 5, 3, -10, 3, 10, 3, 4},
                             CrossRow{"ReversedVerticalLine", 0, 0, 5, 3, 10, 3, -10, 3, -4},
                             CrossRow{"TangentLine", 1, 1, 2, -5, 3, 5, 3, 1, 3},
                             CrossRow{"CentreOnLine", 2, 0, 3, 0, 0, 10, 0, 5, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

struct ApexRow {
    const char* name;
    std::int16_t side;
    double h, x1, y1, x2, y2;
    double expectedX, expectedY;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const ApexRow& row, std::ostream* out) { *out << row.name; }

class GetApexPointRows : public ::testing::TestWithParam<ApexRow> {
protected:
    void SetUp() override { M_Calc::InitPi(); }
};

TEST_P(GetApexPointRows, RaisesTheMidpointOnTheChosenSide) {
    const auto& row = GetParam();
    double x = 0;
    double y = 0;
    M_Calc::GetApexPoint(row.side, row.h, row.x1, row.y1, row.x2, row.y2, x, y);
    EXPECT_NEAR(x, row.expectedX, 1e-12);
    EXPECT_NEAR(y, row.expectedY, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Rows, GetApexPointRows,
                         ::testing::Values(ApexRow{"TrueIsLeft", -1, 2, 0, 0, 10, 0, 5, 2},
                                           ApexRow{"FalseIsRight", 0, 2, 0, 0, 10, 0, 5, -2},
                                           ApexRow{"OneIsRight", 1, 2, 0, 0, 10, 0, 5, -2},
                                           ApexRow{"MinusTwoIsRight", -2, 2, 0, 0, 10, 0, 5, -2},
                                           ApexRow{"GoingUpLeftIsMinusX", -1, 1, 3, 0, 3, 4, 2, 2},
                                           ApexRow{"GoingLeftRightIsPlusY", 0, 1, 4, 1, 0, 1, 2, 2},
                                           ApexRow{"ZeroHeightIsMidpoint", -1, 0, 1, 1, 3, 3, 2,
                                                   2}),
                         [](const auto& row) { return std::string(row.param.name); });

// --- errors ---

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct ErrorRow {
    const char* name;
    const char* routine;  // what() names it
    void (*call)();
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const ErrorRow& row, std::ostream* out) { *out << row.name; }

class CalcErrorRows : public ::testing::TestWithParam<ErrorRow> {
protected:
    void SetUp() override { M_Calc::InitPi(); }
};

TEST_P(CalcErrorRows, RaiseArithmeticErrorNamingTheRoutine) {
    try {
        GetParam().call();
        FAIL() << "no ArithmeticError";
    } catch (const ArithmeticError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().routine), std::string::npos)
            << error.what();
    }
}

void Discard(double /*value*/) {}

INSTANTIATE_TEST_SUITE_P(
    Rows, CalcErrorRows,
    ::testing::Values(ErrorRow{"AngleOfCoincidentPoints", "GetAngle",
                               [] { Discard(M_Calc::GetAngle(2, 3, 2, 3)); }},
                      ErrorRow{"AngleOfNaN", "GetAngle",
                               [] { Discard(M_Calc::GetAngle(0, 0, kNaN, 1)); }},
                      ErrorRow{"AngleOverflowingDifference", "GetAngle",
                               [] { Discard(M_Calc::GetAngle(-1e308, 0, 1e308, 0)); }},
                      ErrorRow{"DistanceOverflowingSquare", "GetDistance",
                               [] { Discard(M_Calc::GetDistance(0, 0, 1e200, 0)); }},
                      ErrorRow{"DistanceOfInfinity", "GetDistance",
                               [] { Discard(M_Calc::GetDistance(0, 0, kInf, 0)); }},
                      ErrorRow{"ManhattanOfNaN", "GetManhattanDistance",
                               [] { Discard(M_Calc::GetManhattanDistance(kNaN, 0, 0, 0)); }},
                      ErrorRow{"RotateByInfiniteAngle", "RotatePoint",
                               [] {
                                   double x = 0;
                                   double y = 0;
                                   M_Calc::RotatePoint(0, 0, kInf, 1, 1, x, y);
                               }},
                      ErrorRow{"CrossOfLineBeyondRadius", "GetCircleLineCross",
                               [] {
                                   double x = 0;
                                   double y = 0;
                                   M_Calc::GetCircleLineCross(0, 0, 5, -10, 6, 10, 6, x, y);
                               }},
                      ErrorRow{"CrossOfCoincidentLinePoints", "GetAngle",
                               [] {
                                   double x = 0;
                                   double y = 0;
                                   M_Calc::GetCircleLineCross(0, 0, 5, 1, 1, 1, 1, x, y);
                               }},
                      ErrorRow{"ApexOfCoincidentPoints", "GetAngle",
                               [] {
                                   double x = 0;
                                   double y = 0;
                                   M_Calc::GetApexPoint(-1, 2, 4, 4, 4, 4, x, y);
                               }},
                      ErrorRow{"ApexOfInfiniteHeight", "GetApexPoint",
                               [] {
                                   double x = 0;
                                   double y = 0;
                                   M_Calc::GetApexPoint(-1, kInf, 0, 0, 1, 0, x, y);
                               }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CalcTest, FailedRoutineLeavesItsOutputsAlone) {
    double x = 7;
    double y = 8;
    EXPECT_THROW(M_Calc::GetCircleLineCross(0, 0, 1, -10, 6, 10, 6, x, y), ArithmeticError);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 8);
}

// --- cross-checks over random input ---

constexpr unsigned kSeed = 20261207;

TEST_F(CalcTest, AgreesWithTheStandardLibraryOverRandomInput) {
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> coordinate(-1000.0, 1000.0);
    std::uniform_real_distribution<double> length(0.01, 50.0);
    for (int n = 0; n < 2000; ++n) {
        const double x1 = coordinate(random);
        const double y1 = coordinate(random);
        const double x2 = coordinate(random);
        const double y2 = coordinate(random);
        SCOPED_TRACE(::testing::Message() << "case " << n << ": (" << x1 << ", " << y1 << ") to ("
                                          << x2 << ", " << y2 << ")");

        // Angle: in [0, 2·Pi] and the direction atan2 gives.
        const double angle = M_Calc::GetAngle(x1, y1, x2, y2);
        ASSERT_GE(angle, 0.0);
        ASSERT_LE(angle, 2 * Pi);
        double reference = std::atan2(y2 - y1, x2 - x1);
        if (reference < 0) reference += 2 * Pi;
        ASSERT_NEAR(std::remainder(angle - reference, 2 * Pi), 0.0, 1e-12);

        // Distances: Manhattan between Euclid and √2·Euclid.
        const double d = M_Calc::GetDistance(x1, y1, x2, y2);
        ASSERT_NEAR(d, std::hypot(x2 - x1, y2 - y1), 1e-9);
        const double m = M_Calc::GetManhattanDistance(x1, y1, x2, y2);
        ASSERT_GE(m, d * (1 - 1e-15));
        ASSERT_LE(m, d * std::numbers::sqrt2 * (1 + 1e-15));

        // Rotation there and back returns the point; it keeps the distance to the centre.
        double rx = 0;
        double ry = 0;
        M_Calc::RotatePoint(x1, y1, angle, x2, y2, rx, ry);
        ASSERT_NEAR(M_Calc::GetDistance(x1, y1, rx, ry), d, 1e-9);
        double bx = 0;
        double by = 0;
        M_Calc::RotatePoint(x1, y1, -angle, rx, ry, bx, by);
        ASSERT_NEAR(bx, x2, 1e-9);
        ASSERT_NEAR(by, y2, 1e-9);
        // Turning P2 back by the direction angle lays it on the +X axis through P1.
        M_Calc::RotatePoint(x1, y1, -angle, x2, y2, rx, ry);
        ASSERT_NEAR(rx, x1 + d, 1e-9);
        ASSERT_NEAR(ry, y1, 1e-9);

        // Apex: H from the midpoint, perpendicular, left of travel for -1 and right otherwise.
        const double h = length(random);
        for (std::int16_t side : {std::int16_t{-1}, std::int16_t{0}, std::int16_t{1}}) {
            double ax = 0;
            double ay = 0;
            M_Calc::GetApexPoint(side, h, x1, y1, x2, y2, ax, ay);
            const double mx = (x1 + x2) / 2;
            const double my = (y1 + y2) / 2;
            ASSERT_NEAR(M_Calc::GetDistance(mx, my, ax, ay), h, 1e-9);
            const double along = (ax - mx) * (x2 - x1) + (ay - my) * (y2 - y1);
            ASSERT_NEAR(along / d, 0.0, 1e-9);
            const double cross = (x2 - x1) * (ay - my) - (y2 - y1) * (ax - mx);
            if (side == -1) {
                ASSERT_GT(cross, 0.0);
            } else {
                ASSERT_LT(cross, 0.0);
            }
        }

        // Circle-line crossing: on the line, R from the centre, on the side of the foot that
        // faces the middle of P1P2.
        const double cx = coordinate(random);
        const double cy = coordinate(random);
        const double foot = ((cx - x1) * (x2 - x1) + (cy - y1) * (y2 - y1)) / d;  // along P1→P2
        const double offset = std::abs((x2 - x1) * (cy - y1) - (y2 - y1) * (cx - x1)) / d;
        const double r = offset + length(random);
        double qx = 0;
        double qy = 0;
        M_Calc::GetCircleLineCross(cx, cy, r, x1, y1, x2, y2, qx, qy);
        const double tolerance = 1e-9 * (1 + r + std::abs(foot));
        ASSERT_NEAR(M_Calc::GetDistance(cx, cy, qx, qy), r, tolerance);
        const double off = ((x2 - x1) * (qy - y1) - (y2 - y1) * (qx - x1)) / d;
        ASSERT_NEAR(off, 0.0, tolerance);
        const double q = ((qx - x1) * (x2 - x1) + (qy - y1) * (y2 - y1)) / d;
        if (d / 2 < foot) {
            ASSERT_LT(q, foot + tolerance);
        } else {
            ASSERT_GT(q, foot - tolerance);
        }
    }
}

}  // namespace
}  // namespace pelimator
