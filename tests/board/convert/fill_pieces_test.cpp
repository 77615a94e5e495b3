// Filled areas cut into Jw_cad solids: named shapes, each checked by its area (outline less
// holes, plus islands), for slivers no piece may be, and, on a fine grid, by which points the
// pieces cover against an even-odd point-in-rings test of the shape itself.
#include "board/convert/fill_pieces.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pelimator::board {
namespace {

using Ring = std::vector<Vec2>;

Ring Rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

Ring Reversed(Ring r) { return {r.rbegin(), r.rend()}; }

Ring Circle(Vec2 c, double radius, int n) {
    Ring out;
    for (int i = 0; i < n; ++i) {
        const double t = 2.0 * 3.14159265358979323846 * i / n;
        out.push_back({c.x + radius * std::cos(t), c.y + radius * std::sin(t)});
    }
    return out;
}

double Area(const std::vector<Vec2>& ring) {
    double twice = 0.0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Vec2 a = ring[i];
        const Vec2 b = ring[(i + 1) % ring.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::abs(twice) / 2.0;
}

// Crossing count of a ray to the right: odd inside.
bool InsideRing(const Ring& ring, Vec2 p) {
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Vec2 a = ring[i];
        const Vec2 b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (b.x - a.x) * (p.y - a.y) / (b.y - a.y)) {
            in = !in;
        }
    }
    return in;
}

bool InsideRings(const std::vector<Ring>& rings, Vec2 p) {
    bool in = false;
    for (const Ring& r : rings) in = in != InsideRing(r, p);
    return in;
}

struct Row {
    std::string name;
    std::vector<Ring> rings;
    double area;  // the area the shape fills, worked out by hand
};

TEST(FillPieces, CoverTheShapeLessItsHoles) {
    const Ring ell{{0, 0}, {10, 0}, {10, 4}, {4, 4}, {4, 10}, {0, 10}};
    const std::vector<Row> rows{
        {"square with a square hole", {Rect(0, 0, 10, 10), Rect(3, 3, 7, 7)}, 100.0 - 16.0},
        {"hole wound the same way", {Rect(0, 0, 10, 10), Rect(2, 2, 4, 8)}, 100.0 - 12.0},
        {"two holes, one reversed",
         {Rect(0, 0, 20, 10), Rect(2, 2, 6, 6), Reversed(Rect(10, 3, 18, 7))},
         200.0 - 16.0 - 32.0},
        {"island inside the hole",
         {Rect(0, 0, 10, 10), Rect(2, 2, 8, 8), Rect(4, 4, 6, 6)},
         100.0 - 36.0 + 4.0},
        {"concave L", {ell}, 40.0 + 24.0},
        {"L with a hole in its foot", {ell, Rect(6, 1, 9, 3)}, 64.0 - 6.0},
        {"tilted square with a hole",
         {{{0, -5}, {5, 0}, {0, 5}, {-5, 0}}, Rect(-1, -1, 1, 1)},
         50.0 - 4.0},
        {"ring of a washer",
         {Circle({0, 0}, 10, 64), Circle({0, 0}, 4, 32)},
         Area(Circle({0, 0}, 10, 64)) - Area(Circle({0, 0}, 4, 32))},
        {"hole touching the outline", {Rect(0, 0, 10, 10), Rect(0, 3, 5, 7)}, 100.0 - 20.0},
        // Corners whose heights differ by rounding alone: no sliver between them.
        {"top corners 0.1 + 0.2 and 0.3 high",
         {{{0, 0}, {10, 0}, {10, 0.1 + 0.2}, {0, 0.3}}},
         5.0 * (0.3 + (0.1 + 0.2))},
        {"hole with its foot a hair aslant",
         {Rect(0, 0, 10, 10), {{3, 3}, {7, 3 + 1e-12}, {7, 7}, {3, 7}}},
         100.0 - 16.0 - 2e-12},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<FillPiece> pieces = EvenOddPieces(row.rings, 100000);
        double area = 0.0;
        for (const FillPiece& q : pieces) area += Area({q.begin(), q.end()});
        EXPECT_NEAR(area, row.area, 1e-9 * row.area);
        for (const FillPiece& q : pieces) {
            EXPECT_GT(Area({q.begin(), q.end()}), 1e-9 * row.area) << "a sliver";
        }
        // Points off every edge: covered by a piece exactly when inside the shape.
        for (double x = -10.95; x < 21.0; x += 0.3) {
            for (double y = -10.95; y < 11.0; y += 0.3) {
                const Vec2 p{x, y};
                int covered = 0;
                for (const FillPiece& q : pieces) covered += InsideRing({q.begin(), q.end()}, p);
                ASSERT_EQ(covered, InsideRings(row.rings, p) ? 1 : 0) << x << ", " << y;
            }
        }
    }
}

// Rings crossing each other (a bow tie): the crossing cuts the slabs, the pieces cover the two
// triangles and nothing between them.
TEST(FillPieces, CrossingEdgesCutTheSlabs) {
    const std::vector<Ring> bow{{{0, 0}, {10, 10}, {10, 0}, {0, 10}}};
    const std::vector<FillPiece> pieces = EvenOddPieces(bow, 1000);
    double area = 0.0;
    for (const FillPiece& q : pieces) area += Area({q.begin(), q.end()});
    EXPECT_NEAR(area, 50.0, 1e-9);
    EXPECT_EQ(EvenOddPieces(bow, 1).size(), 0U);  // past the limit: nothing, reported apart
}

}  // namespace
}  // namespace pelimator::board
