// A table mirrored: over every mirror line (angles a step apart, through points off the table)
// and tables of several directions and sizes, the turn it takes instead must leave it reading
// forwards over the mirror image of its area.
#include "board/dxf/dxf_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

namespace pelimator::board::dxf_roles {
namespace {

// The table's corners: from its insertion point (top left) along its direction and down.
std::array<Vec2, 4> Corners(const TableFrame& frame) {
    const Vec2 down{frame.direction.y, -frame.direction.x};
    return {frame.insert, frame.insert + frame.width * frame.direction,
            frame.insert + frame.height * down,
            frame.insert + frame.width * frame.direction + frame.height * down};
}

// The mirror in the line through p at angle degrees, as the board makes it.
RecordPlacement Mirror(Vec2 p, double degrees) {
    RecordPlacement mirror{p, 2.0 * degrees, {}};
    mirror.mirror = true;
    return mirror;
}

// The mirror image of q, worked out apart from the placement's code.
Vec2 Reflect(Vec2 q, Vec2 p, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    const Vec2 u{std::cos(a), std::sin(a)};
    const Vec2 d = q - p;
    const Vec2 along = Dot(d, u) * u;
    return p + along - (d - along);
}

TEST(DxfTable, AMirroredTableReadsForwardsOverTheMirroredArea) {
    std::size_t cases = 0;
    std::size_t reversed = 0;  // taken the other way round: its top right corner first
    for (const double turned : {0.0, 30.0, 90.0, 135.0, 200.0}) {
        const double t = turned * std::numbers::pi / 180.0;
        const TableFrame frame{{774.5, 48.25}, {std::cos(t), std::sin(t)}, 102.5, 45.75};
        for (double axis = 0.0; axis < 180.0; axis += 7.5) {
            const Vec2 through{3.0, -4.0};
            SCOPED_TRACE("direction " + std::to_string(turned) + ", axis " + std::to_string(axis));
            const std::vector<RecordPlacement> taken = TablePlacements(
                frame, {RecordPlacement{{}, 0.0, {1.5, 2.0}}, Mirror(through, axis)});
            ASSERT_EQ(taken.size(), 2U);
            EXPECT_FALSE(taken[1].mirror);
            EXPECT_EQ(taken[1].factor, 1.0);
            TableFrame after = frame;
            for (const RecordPlacement& p : taken) {
                after.insert = PlacePoint(p, after.insert);
                after.direction = PlaceDirection(p, after.direction);
            }
            const Vec2 x = after.direction;
            EXPECT_TRUE(x.x > 1e-12 || (std::abs(x.x) <= 1e-12 && x.y > 0.0)) << x.x << " " << x.y;
            TableFrame moved = frame;
            moved.insert = moved.insert + Vec2{1.5, 2.0};
            std::array<Vec2, 4> want = Corners(moved);
            for (Vec2& corner : want) corner = Reflect(corner, through, axis);
            for (const Vec2 corner : Corners(after)) {
                double nearest = 1e300;
                for (const Vec2 w : want) nearest = std::min(nearest, Distance(corner, w));
                EXPECT_LT(nearest, 1e-9) << corner.x << " " << corner.y;
            }
            reversed += Distance(after.insert, want[1]) < 1e-9 ? 1 : 0;
            ++cases;
        }
    }
    // Both ways are taken: the mirrored direction and its reverse.
    EXPECT_GT(reversed, 0U);
    EXPECT_LT(reversed, cases);
}

}  // namespace
}  // namespace pelimator::board::dxf_roles
