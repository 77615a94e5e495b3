// Snapping: the spatial index against a brute-force scan, capture radius through the zoom, grid.
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "board/model/document.h"
#include "host/errors.h"
#include "host/point_list.h"

namespace pelimator::board {
namespace {

// The nearest catchable point by scanning everything, as the index must find it.
std::optional<double> BruteForceDistance(const BoardDocument& document, Vec2 p, double radius) {
    const auto& layers = *document.LayerTable();
    std::optional<double> best;
    for (const EntityData& e : document.DrawingModel()->Entities()) {
        if (!e.visible || !layers.IsShown(e.layer)) continue;
        std::vector<Vec2> candidates{e.start, e.end};
        if (e.kind == EntityKind::Arc) candidates.push_back(e.center);
        for (const Vec2 q : candidates) {
            const double d = Distance(p, q);
            if (d <= radius && (!best || d < *best)) best = d;
        }
    }
    return best;
}

EntityData RandomEntity(std::mt19937& rng, double spread) {
    std::uniform_real_distribution<double> c(0, spread);
    EntityData e = rng() % 2 == 0 ? MakeLine({c(rng), c(rng)}, {c(rng), c(rng)})
                                  : MakeArc({c(rng), c(rng)}, {c(rng), c(rng)}, {c(rng), c(rng)});
    e.layer = static_cast<std::int32_t>(rng() % 3);
    e.visible = rng() % 10 != 0;
    return e;
}

TEST(BoardSnap, IndexAgreesWithBruteForceThroughEditsUndoAndRedo) {
    const unsigned seed = 123456;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> c(0, 1000);
    auto document = BoardDocument::Create("test", {});
    auto drawing = document->DrawingModel();
    document->LayerTable()->Add(1, "hidden", 0);
    document->LayerTable()->SetVisible(1, false);
    ViewTransform transform;
    transform.pixelsPerUnit = 0.5;  // 10 px catch 20 units
    for (int round = 0; round < 40; ++round) {
        switch (rng() % 6) {
            case 0:
                if (drawing->CanUndo()) drawing->Undo();
                break;
            case 1:
                if (drawing->CanRedo()) drawing->Redo();
                break;
            case 2:
                if (drawing->Count() > 0) {
                    drawing->SetEntity(rng() % drawing->Count(), RandomEntity(rng, 1000));
                }
                break;
            case 3: {
                drawing->BeginEdit("discarded");
                for (int i = 0; i < 30; ++i) drawing->AddEntity(RandomEntity(rng, 1000));
                drawing->EndEdit(false);
                break;
            }
            default: {
                drawing->BeginEdit("step");
                const int count = 1 + static_cast<int>(rng() % 400);
                for (int i = 0; i < count; ++i) drawing->AddEntity(RandomEntity(rng, 1000));
                drawing->EndEdit(true);
            }
        }
        for (int query = 0; query < 30; ++query) {
            const Vec2 p{c(rng), c(rng)};
            const auto target = document->SnapModel()->FindTarget(p, transform);
            const auto expected = BruteForceDistance(*document, p, 20.0);
            ASSERT_EQ(target.has_value(), expected.has_value())
                << "seed " << seed << " round " << round;
            if (target) {
                ASSERT_DOUBLE_EQ(Distance(target->point, p), *expected)
                    << "seed " << seed << " round " << round;
                const EntityData& e = drawing->At(target->entity);
                const bool isCentre = target->kind == SnapTargetKind::Center;
                ASSERT_TRUE(isCentre ? target->point == e.center
                                     : target->point == e.start || target->point == e.end);
            }
        }
    }
}

struct ZoomRow {
    const char* name;
    double pixelsPerUnit;
    Vec2 pick;
    bool caught;
};

void PrintTo(const ZoomRow& row, std::ostream* os) { *os << row.name; }

class SnapCapture : public ::testing::TestWithParam<ZoomRow> {};

// A line end at (100, 100); the default capture radius is 10 pixels.
TEST_P(SnapCapture, RadiusIsTenPixelsThroughTheZoom) {
    auto document = BoardDocument::Create("test", {});
    document->DrawingModel()->AddEntity(MakeLine({100, 100}, {500, 500}));
    ViewTransform transform;
    transform.pixelsPerUnit = GetParam().pixelsPerUnit;
    document->View()->SetTransform(transform);
    host::PlainPoint point(GetParam().pick.x, GetParam().pick.y);
    EXPECT_TRUE(document->Snap()->SnapPoint(point, *document->View()));
    const Vec2 got{point.X(), point.Y()};
    const Vec2 expected = GetParam().caught ? Vec2{100, 100} : GetParam().pick;
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SnapCapture,
    ::testing::Values(ZoomRow{"OnePixelPerUnitInside", 1.0, {109, 100}, true},
                      ZoomRow{"OnePixelPerUnitOutside", 1.0, {108, 108}, false},
                      ZoomRow{"ZoomedOutCatchesFarther", 0.1, {150, 150}, true},
                      ZoomRow{"ZoomedInCatchesOnlyClose", 10.0, {102, 100}, false},
                      ZoomRow{"ZoomedInExactlyOnTheEdge", 10.0, {101, 100}, true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BoardSnap, FallsBackToTheGridAndOnlyRefusesPointsThatAreNotFinite) {
    auto document = BoardDocument::Create("test", {});
    auto snap = document->SnapModel();
    document->DrawingModel()->AddEntity(MakeArc({50, 50}, {60, 50}, {50, 60}));
    SnapSettings settings = snap->Settings();
    settings.gridSnap = true;
    settings.gridSpacing = 5.0;
    snap->SetSettings(settings);
    host::PlainPoint nearCentre(52, 49);
    EXPECT_TRUE(snap->SnapPoint(nearCentre, *document->View()));
    EXPECT_EQ(nearCentre.X(), 50);
    EXPECT_EQ(nearCentre.Y(), 50);
    host::PlainPoint open(12.4, -7.6);
    EXPECT_TRUE(snap->SnapPoint(open, *document->View()));
    EXPECT_EQ(open.X(), 10);
    EXPECT_EQ(open.Y(), -10);
    settings.gridSnap = false;
    settings.endPointSnap = false;
    snap->SetSettings(settings);
    host::PlainPoint untouched(52, 49);
    EXPECT_TRUE(snap->SnapPoint(untouched, *document->View()));
    EXPECT_EQ(untouched.X(), 52);
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        host::PlainPoint point(bad, 1);
        EXPECT_FALSE(snap->SnapPoint(point, *document->View())) << bad;
        host::PlainPoint other(1, bad);
        EXPECT_FALSE(snap->SnapPoint(other, *document->View())) << bad;
    }
}

TEST(BoardSnap, FollowsPointsMovedThroughLiveHandles) {
    auto document = BoardDocument::Create("test", {});
    auto drawing = document->DrawingModel();
    auto line = BoardLine::CreateFree(MakeLine({0, 0}, {1000, 0}));
    auto added = std::dynamic_pointer_cast<host::HostLine>(drawing->Add(*line));
    const ViewTransform transform;
    ASSERT_TRUE(document->SnapModel()->FindTarget({2, 2}, transform).has_value());
    added->StartPoint()->SetX(300);
    EXPECT_FALSE(document->SnapModel()->FindTarget({2, 2}, transform).has_value());
    const auto moved = document->SnapModel()->FindTarget({301, 1}, transform);
    ASSERT_TRUE(moved.has_value());
    EXPECT_EQ(moved->point, (Vec2{300, 0}));
}

TEST(BoardSnap, RefusesBadSettings) {
    auto document = BoardDocument::Create("test", {});
    SnapSettings settings;
    settings.gridSpacing = 0;
    EXPECT_THROW(document->SnapModel()->SetSettings(settings), HostError);
    settings.gridSpacing = 1;
    settings.captureRadiusPixels = -1;
    EXPECT_THROW(document->SnapModel()->SetSettings(settings), HostError);
}

}  // namespace
}  // namespace pelimator::board
