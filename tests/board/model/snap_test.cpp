// Snapping: the spatial index against a brute-force scan, capture radius through the zoom, the
// kinds and their switches, priorities, grid.
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/model/document.h"
#include "board/model/snap_geometry.h"
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
    SnapSettings pointsOnly = document->SnapModel()->Settings();
    pointsOnly.kinds = {SnapKind::EndPoint, SnapKind::Center};
    document->SnapModel()->SetSettings(pointsOnly);
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
                // Within half a pixel (1 unit here) an end beats a centre a little nearer.
                ASSERT_NEAR(Distance(target->point, p), *expected, 1.0)
                    << "seed " << seed << " round " << round;
                const EntityData& e = drawing->At(target->entity);
                const bool isCentre = target->kind == SnapKind::Center;
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
    settings.kinds.Set(SnapKind::Grid, true);
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
    settings.kinds = {};
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

// ---- The kinds, their switches and their priorities, as rows

struct KindRow {
    const char* name;
    std::vector<EntityData> entities;
    SnapKinds kinds;
    Vec2 pick;
    std::optional<SnapKind> kind;  // none: the pick stays where it is
    Vec2 point;
};

void PrintTo(const KindRow& row, std::ostream* os) { *os << row.name; }

class SnapKindRows : public ::testing::TestWithParam<KindRow> {};

// One pixel per unit: the capture radius is 10 units.
TEST_P(SnapKindRows, CatchesTheSwitchedOnKindThatIsNearest) {
    const KindRow& row = GetParam();
    auto document = BoardDocument::Create("test", {});
    for (const EntityData& e : row.entities) document->DrawingModel()->AddEntity(e);
    SnapSettings settings = document->SnapModel()->Settings();
    settings.kinds = row.kinds;
    settings.gridSpacing = 10.0;
    document->SnapModel()->SetSettings(settings);
    const auto target = document->SnapModel()->FindTarget(row.pick, ViewTransform{});
    ASSERT_EQ(target.has_value(), row.kind.has_value());
    if (!target) return;
    EXPECT_EQ(target->kind, *row.kind);
    EXPECT_NEAR(target->point.x, row.point.x, 1e-9);
    EXPECT_NEAR(target->point.y, row.point.y, 1e-9);
}

const EntityData kAcross = MakeLine({0, 0}, {100, 0});
const EntityData kUp = MakeLine({70, -30}, {70, 50});  // crosses kAcross at (70, 0)
// Upper half circle about (200, 0), radius 20: middle (200, 20).
const EntityData kBow = MakeArc({200, 0}, {220, 0}, {180, 0});
const EntityData kChord = MakeLine({150, 10}, {250, 10});  // crosses kBow at x = 200 -+ sqrt(300)
const EntityData kBow2 = MakeArc({230, 0}, {250, 0}, {210, 0});  // crosses kBow at (215, sqrt 175)
const SnapKinds kAll = {SnapKind::EndPoint,     SnapKind::MidPoint, SnapKind::Center,
                        SnapKind::Intersection, SnapKind::Nearest,  SnapKind::Grid};

INSTANTIATE_TEST_SUITE_P(
    Rows, SnapKindRows,
    ::testing::Values(
        KindRow{"EndOfALine", {kAcross}, {SnapKind::EndPoint}, {3, 2}, SnapKind::EndPoint, {0, 0}},
        KindRow{"EndSwitchedOff", {kAcross}, {SnapKind::MidPoint}, {3, 2}, std::nullopt, {}},
        KindRow{
            "MiddleOfALine", {kAcross}, {SnapKind::MidPoint}, {48, 3}, SnapKind::MidPoint, {50, 0}},
        KindRow{"MiddleOfAnArc",
                {kBow},
                {SnapKind::MidPoint},
                {202, 23},
                SnapKind::MidPoint,
                {200, 20}},
        KindRow{"MiddleSwitchedOff", {kAcross}, {SnapKind::EndPoint}, {48, 3}, std::nullopt, {}},
        KindRow{"CentreOfAnArc", {kBow}, {SnapKind::Center}, {203, -2}, SnapKind::Center, {200, 0}},
        KindRow{"CentreSwitchedOff", {kBow}, {SnapKind::EndPoint}, {203, -2}, std::nullopt, {}},
        KindRow{"CrossingOfTwoLines",
                {kAcross, kUp},
                {SnapKind::Intersection},
                {73, 4},
                SnapKind::Intersection,
                {70, 0}},
        KindRow{"CrossingOfLineAndArc",
                {kBow, kChord},
                {SnapKind::Intersection},
                {184, 12},
                SnapKind::Intersection,
                {200 - std::sqrt(300.0), 10}},
        KindRow{"CrossingOfTwoArcs",
                {kBow, kBow2},
                {SnapKind::Intersection},
                {214, 16},
                SnapKind::Intersection,
                {215, std::sqrt(175.0)}},
        KindRow{
            "CrossingSwitchedOff", {kAcross, kUp}, {SnapKind::EndPoint}, {73, 4}, std::nullopt, {}},
        KindRow{
            "NearestOnALine", {kAcross}, {SnapKind::Nearest}, {40, 5}, SnapKind::Nearest, {40, 0}},
        KindRow{
            "NearestOnAnArc", {kBow}, {SnapKind::Nearest}, {200, 25}, SnapKind::Nearest, {200, 20}},
        KindRow{"NearestSwitchedOff", {kAcross}, {SnapKind::EndPoint}, {40, 5}, std::nullopt, {}},
        KindRow{"GridNode", {}, {SnapKind::Grid}, {12.4, -7.6}, SnapKind::Grid, {10, -10}},
        KindRow{"GridSwitchedOff", {}, {SnapKind::EndPoint}, {12.4, -7.6}, std::nullopt, {}},
        // Priorities when two kinds are near.
        KindRow{"TheNearerKindWins",
                {MakeLine({0, 0}, {10, 0})},
                kAll,
                {5, 1},
                SnapKind::MidPoint,
                {5, 0}},
        KindRow{"EndBeatsACrossingAtTheSamePoint",
                {kAcross, MakeLine({0, 0}, {0, 100})},
                kAll,
                {2, 2},
                SnapKind::EndPoint,
                {0, 0}},
        KindRow{"EndWithinHalfAPixelBeatsACrossing",
                {kAcross, MakeLine({0.3, -50}, {0.3, 50})},
                {SnapKind::EndPoint, SnapKind::Intersection},
                {0.3, 0},
                SnapKind::EndPoint,
                {0, 0}},
        KindRow{"CrossingBeyondHalfAPixelBeatsAnEnd",
                {kAcross, MakeLine({2, -50}, {2, 50})},
                {SnapKind::EndPoint, SnapKind::Intersection},
                {2.2, 0.5},
                SnapKind::Intersection,
                {2, 0}},
        KindRow{"PointKindsBeatNearest", {kAcross}, kAll, {6, 3}, SnapKind::EndPoint, {0, 0}},
        KindRow{"NearestBeatsTheGrid", {kAcross}, kAll, {33, 4}, SnapKind::Nearest, {33, 0}},
        KindRow{"GridWhenNothingIsNear", {kAcross}, kAll, {33, 14}, SnapKind::Grid, {30, 10}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BoardSnap, DefaultsCatchWhatIsDrawnButNotNearestOrGrid) {
    const SnapSettings defaults;
    for (const SnapKind kind : kAllSnapKinds) {
        const bool expected = kind != SnapKind::Nearest && kind != SnapKind::Grid;
        EXPECT_EQ(defaults.kinds.Has(kind), expected) << static_cast<int>(kind);
    }
}

// Short random lines and arcs, so that few lie under the cursor and the cap on crossings never
// applies: the index's answer must be the nearest of everything a scan finds.
TEST(BoardSnap, CrossingsAndMiddlesAgreeWithAScanOfEveryPair) {
    const unsigned seed = 98765;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> c(0, 400);
    std::uniform_real_distribution<double> d(-30, 30);
    auto document = BoardDocument::Create("test", {});
    auto drawing = document->DrawingModel();
    for (int i = 0; i < 300; ++i) {
        const Vec2 a{c(rng), c(rng)};
        drawing->AddEntity(rng() % 2 == 0
                               ? MakeLine(a, a + Vec2{d(rng), d(rng)})
                               : MakeArc(a, a + Vec2{d(rng), d(rng)}, a + Vec2{d(rng), d(rng)}));
    }
    const auto entities = drawing->Entities();
    for (int query = 0; query < 300; ++query) {
        const Vec2 p{c(rng), c(rng)};
        std::optional<double> best;
        const auto offer = [&](Vec2 q) {
            const double distance = Distance(p, q);
            if (distance <= 10.0 && (!best || distance < *best)) best = distance;
        };
        std::vector<Vec2> crossings;
        for (std::size_t i = 0; i < entities.size(); ++i) {
            offer(entities[i].start);
            offer(entities[i].end);
            offer(MidPointOf(entities[i]));
            if (entities[i].kind == EntityKind::Arc) offer(entities[i].center);
            for (std::size_t j = i + 1; j < entities.size(); ++j) {
                crossings.clear();
                AppendIntersections(entities[i], entities[j], crossings);
                for (const Vec2 q : crossings) offer(q);
            }
        }
        const auto target = document->SnapModel()->FindTarget(p, ViewTransform{});
        ASSERT_EQ(target.has_value(), best.has_value()) << "seed " << seed << " query " << query;
        // Ties within half a pixel may go to a better-ranked kind a little farther away.
        if (target) {
            EXPECT_NEAR(Distance(p, target->point), *best, 0.5) << "seed " << seed;
        }
    }
}

}  // namespace
}  // namespace pelimator::board

namespace pelimator::board {
namespace {

// What the document shows beneath its entities is caught by the same kinds and switches.
struct UnderlayRow {
    const char* name;
    SnapKinds kinds;
    Vec2 pick;
    std::optional<SnapKind> kind;  // none: nothing caught
    Vec2 point;
};
// Rows are named in test output.
void PrintTo(const UnderlayRow& row, std::ostream* os) { *os << row.name; }

class UnderlaySnapRows : public ::testing::TestWithParam<UnderlayRow> {};

std::shared_ptr<Underlay> SampleUnderlay() {
    auto underlay = std::make_shared<Underlay>();
    underlay->snapPoints = {
        {{10, 10}, UnderlayPointKind::End, 0},       {{30, 10}, UnderlayPointKind::Mid, 0},
        {{50, 10}, UnderlayPointKind::Centre, 0},    {{70, 10}, UnderlayPointKind::Insertion, 0},
        {{90, 10}, UnderlayPointKind::Insertion, 5}, {{0, 0}, UnderlayPointKind::Insertion, 0}};
    underlay->points = {{0, 50}, {100, 50}, {0, 80}, {100, 80}};
    UnderlayItem line;
    line.first = 0;
    line.count = 2;
    UnderlayItem hidden = line;
    hidden.first = 2;
    hidden.layer = 5;
    underlay->items = {line, hidden};
    underlay->Finish();
    return underlay;
}

TEST_P(UnderlaySnapRows, Catches) {
    const UnderlayRow& row = GetParam();
    auto document = BoardDocument::Create("test", {});
    document->LayerTable()->Add(5, "隠す", 0);
    document->LayerTable()->SetVisible(5, false);
    document->DrawingModel()->BeginEdit("線");
    document->DrawingModel()->AddEntity(MakeLine({0, 0}, {0, -40}));
    document->DrawingModel()->EndEdit(true);
    document->SetUnderlay(SampleUnderlay());
    SnapSettings settings;
    settings.kinds = row.kinds;
    document->SnapModel()->SetSettings(settings);
    const auto target = document->SnapModel()->FindTarget(row.pick, ViewTransform{});
    ASSERT_EQ(target.has_value(), row.kind.has_value());
    if (!target) return;
    EXPECT_EQ(target->kind, *row.kind);
    EXPECT_NEAR(target->point.x, row.point.x, 1e-9);
    EXPECT_NEAR(target->point.y, row.point.y, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnderlaySnapRows,
    ::testing::Values(
        UnderlayRow{"End", {SnapKind::EndPoint}, {12, 11}, SnapKind::EndPoint, {10, 10}},
        UnderlayRow{"Middle", {SnapKind::MidPoint}, {28, 9}, SnapKind::MidPoint, {30, 10}},
        UnderlayRow{"Centre", {SnapKind::Center}, {52, 12}, SnapKind::Center, {50, 10}},
        UnderlayRow{"Insertion", {SnapKind::Insertion}, {68, 8}, SnapKind::Insertion, {70, 10}},
        UnderlayRow{"InsertionSwitchedOff", {SnapKind::EndPoint}, {68, 8}, std::nullopt, {}},
        UnderlayRow{"HiddenLayer", {SnapKind::Insertion}, {90, 11}, std::nullopt, {}},
        UnderlayRow{"NearestOnALine", {SnapKind::Nearest}, {40, 53}, SnapKind::Nearest, {40, 50}},
        UnderlayRow{"NearestNotOnAHiddenLine", {SnapKind::Nearest}, {40, 83}, std::nullopt, {}},
        UnderlayRow{"BoardEndBeatsAnInsertionThere",
                    {SnapKind::EndPoint, SnapKind::Insertion},
                    {1, 1},
                    SnapKind::EndPoint,
                    {0, 0}},
        UnderlayRow{"PointsBeatNearest",
                    {SnapKind::EndPoint, SnapKind::Nearest},
                    {11, 13},
                    SnapKind::EndPoint,
                    {10, 10}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator::board
