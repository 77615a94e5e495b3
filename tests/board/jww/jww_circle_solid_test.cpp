// Circle solids' outlines against the ellipse equation: full circles, sectors, rings, thick arcs,
// tilted ellipses, and numbers that are not finite.
#include "board/jww/jww_circle_solid.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pelimator::board::jww {
namespace {

constexpr double kPi = std::numbers::pi;

Shape CircleSolid(std::uint8_t style, double radius, double flat, double tilt, double start,
                  double sweep, double kindOrInner) {
    Shape shape;
    shape.kind = ShapeKind::Solid;
    shape.common.penStyle = style;
    shape.p = {Vec2{10.0, -4.0}, Vec2{radius, flat}, Vec2{tilt, start}, Vec2{sweep, kindOrInner}};
    return shape;
}

// Where p lies on the ellipse about (10, -4) with the given radius, flatness and tilt: 1 on it.
double EllipseValue(Vec2 p, double radius, double flat, double tilt) {
    const Vec2 d{p.x - 10.0, p.y + 4.0};
    const double u = d.x * std::cos(tilt) + d.y * std::sin(tilt);
    const double v = -d.x * std::sin(tilt) + d.y * std::cos(tilt);
    return std::hypot(u / radius, v / (radius * flat));
}

struct Row {
    std::string name;
    Shape shape;
    double outer;  // the outer radius
    double inner;  // the inner radius of a ring; 0: none
    double flat;
    double tilt;
    double sweep;  // as drawn
    bool sector;
    bool filled;
};

class CircleSolidRows : public ::testing::TestWithParam<Row> {};

TEST_P(CircleSolidRows, OutlineLiesOnItsEllipses) {
    const Row& row = GetParam();
    const CircleSolidOutline outline = CircleSolidOf(row.shape);
    ASSERT_FALSE(outline.points.empty());
    EXPECT_EQ(outline.filled, row.filled);
    std::size_t arcPoints = outline.points.size();
    if (row.sector) {
        EXPECT_NEAR(outline.points.back().x, 10.0, 1e-12);
        EXPECT_NEAR(outline.points.back().y, -4.0, 1e-12);
        --arcPoints;
    }
    const std::size_t outerPoints = row.inner > 0.0 ? arcPoints / 2 : arcPoints;
    if (row.inner > 0.0) {
        ASSERT_EQ(arcPoints % 2, 0U);
    }
    for (std::size_t i = 0; i < outerPoints; ++i) {
        EXPECT_NEAR(EllipseValue(outline.points[i], row.outer, row.flat, row.tilt), 1.0, 1e-9)
            << "outer point " << i;
    }
    // An arc's chords turn through its sweep: the first point's angle plus the sweep is the
    // last one's (on the untilted, unflattened circle).
    const auto angle = [&](Vec2 p, double flat) {
        const Vec2 d{p.x - 10.0, p.y + 4.0};
        const double u = d.x * std::cos(row.tilt) + d.y * std::sin(row.tilt);
        const double v = (-d.x * std::sin(row.tilt) + d.y * std::cos(row.tilt)) / flat;
        return std::atan2(v, u);
    };
    const std::vector<Vec2>& pts = outline.points;
    const double turned = std::remainder(
        angle(pts[outerPoints - 1], row.flat) - angle(pts[0], row.flat) - row.sweep, 2.0 * kPi);
    EXPECT_NEAR(turned, 0.0, 1e-9);
    if (row.inner > 0.0) {
        // Back along the inner ellipse, from the outer arc's end to its start: as thick along the
        // minor axis as along the major (106), or the outer ellipse scaled (105).
        const double innerMinor = row.shape.common.penStyle == 106
                                      ? row.outer * row.flat - (row.outer - row.inner)
                                      : row.inner * row.flat;
        const double innerFlat = innerMinor / row.inner;
        for (std::size_t i = outerPoints; i < arcPoints; ++i) {
            EXPECT_NEAR(EllipseValue(pts[i], row.inner, innerFlat, row.tilt), 1.0, 1e-9)
                << "inner point " << i;
        }
        EXPECT_NEAR(angle(pts[outerPoints], innerFlat), angle(pts[outerPoints - 1], row.flat),
                    1e-9);
        EXPECT_NEAR(angle(pts[arcPoints - 1], innerFlat), angle(pts[0], row.flat), 1e-9);
    }
}

// 100 as the kind makes 101 and 111 whole turns whatever the sweep says; 0 makes a sector.
const Row kRows[] = {
    {"FullCircle", CircleSolid(101, 5.0, 1.0, 0.0, 0.3, 1.0, 100.0), 5, 0, 1, 0, 2 * kPi, false,
     true},
    {"Sector", CircleSolid(101, 5.0, 1.0, 0.0, 0.3, kPi / 2, 0.0), 5, 0, 1, 0, kPi / 2, true, true},
    {"TiltedEllipseSector", CircleSolid(101, 6.0, 0.5, kPi / 6, -0.2, 2.0, 0.0), 6, 0, 0.5, kPi / 6,
     2.0, true, true},
    {"Ring", CircleSolid(105, 5.0, 1.0, 0.0, 0.0, 2.5, 3.0), 5, 3, 1, 0, 2.5, false, true},
    {"EllipseRing", CircleSolid(106, 8.0, 0.5, 0.4, 0.0, 3.0, 6.0), 8, 6, 0.5, 0.4, 3.0, false,
     true},
    {"ThickArcWhole", CircleSolid(111, 5.0, 1.0, 0.0, 1.0, 0.5, 100.0), 5, 0, 1, 0, 2 * kPi, false,
     false},
    {"ThickArc", CircleSolid(111, 5.0, 1.0, 0.0, 1.0, 0.5, 0.0), 5, 0, 1, 0, 0.5, false, false},
};

INSTANTIATE_TEST_SUITE_P(Rows, CircleSolidRows, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& row) { return row.param.name; });

TEST(CircleSolid, NumberThatIsNotFiniteGivesNoOutline) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int field = 0; field < 8; ++field) {
        Shape shape = CircleSolid(105, 5.0, 1.0, 0.0, 0.0, 2.0, 3.0);
        double* values[] = {&shape.p[0].x, &shape.p[0].y, &shape.p[1].x, &shape.p[1].y,
                            &shape.p[2].x, &shape.p[2].y, &shape.p[3].x, &shape.p[3].y};
        *values[field] = field % 2 == 0 ? nan : inf;
        EXPECT_TRUE(CircleSolidOf(shape).points.empty()) << "field " << field;
    }
}

}  // namespace
}  // namespace pelimator::board::jww
