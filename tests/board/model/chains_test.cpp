// Chaining lines and arcs of a drawing into paths: joins, branches, loops, direction, and random
// polylines cut up and shuffled coming back whole.
#include "board/model/chains.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <ostream>
#include <random>

#include <gtest/gtest.h>

#include "board/model/application.h"
#include "board/model/document.h"
#include "board/model/tool_object.h"
#include "board/model/underlay.h"
#include "host/point_list.h"

namespace pelimator::board {
namespace {

const auto kAll = [](const EntityData&) { return true; };

std::vector<std::vector<Vec2>> PathsOf(const std::vector<EntityData>& entities,
                                       double tolerance = 1e-9, double flatten = 0.01) {
    std::vector<std::vector<Vec2>> paths;
    for (const Chain& chain : ChainEntities(entities, kAll, tolerance)) {
        paths.push_back(ChainPoints(chain, entities, flatten));
    }
    return paths;
}

struct ChainRow {
    const char* name;
    std::vector<EntityData> entities;
    std::vector<std::vector<Vec2>> expected;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const ChainRow& row, std::ostream* out) { *out << row.name; }

class Chaining : public ::testing::TestWithParam<ChainRow> {};

TEST_P(Chaining, GivesTheExpectedPaths) {
    EXPECT_EQ(PathsOf(GetParam().entities), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Chaining,
    ::testing::Values(
        ChainRow{"TwoLinesMeetingExactly",
                 {MakeLine({0, 0}, {1, 0}), MakeLine({1, 0}, {1, 1})},
                 {{{0, 0}, {1, 0}, {1, 1}}}},
        ChainRow{"SecondLineReversed",
                 {MakeLine({0, 0}, {1, 0}), MakeLine({1, 1}, {1, 0})},
                 {{{0, 0}, {1, 0}, {1, 1}}}},
        ChainRow{"EarlierLineSetsTheDirection",
                 {MakeLine({1, 0}, {0, 0}), MakeLine({2, 0}, {1, 0})},
                 {{{2, 0}, {1, 0}, {0, 0}}}},
        ChainRow{"GapWithinTheTolerance",
                 {MakeLine({0, 0}, {1, 0}), MakeLine({1 + 1e-12, 0}, {2, 0})},
                 {{{0, 0}, {1, 0}, {2, 0}}}},
        ChainRow{"GapBeyondTheTolerance",
                 {MakeLine({0, 0}, {1, 0}), MakeLine({1.001, 0}, {2, 0})},
                 {{{0, 0}, {1, 0}}, {{1.001, 0}, {2, 0}}}},
        ChainRow{"TJunctionGivesThreePaths",
                 {MakeLine({-1, 0}, {0, 0}), MakeLine({0, 0}, {1, 0}), MakeLine({0, 0}, {0, 1})},
                 {{{-1, 0}, {0, 0}}, {{0, 0}, {1, 0}}, {{0, 0}, {0, 1}}}},
        ChainRow{"ClosedTriangleStartsWithItsEarliestLine",
                 {MakeLine({1, 0}, {0, 1}), MakeLine({0, 0}, {1, 0}), MakeLine({0, 1}, {0, 0})},
                 {{{1, 0}, {0, 1}, {0, 0}, {1, 0}}}},
        ChainRow{"FileOrderOfPaths",
                 {MakeLine({5, 5}, {6, 5}), MakeLine({0, 0}, {1, 0}), MakeLine({6, 5}, {7, 5})},
                 {{{5, 5}, {6, 5}, {7, 5}}, {{0, 0}, {1, 0}}}}),
    [](const ::testing::TestParamInfo<ChainRow>& row) { return std::string(row.param.name); });

TEST(DrawingPaths, ArcJoinedToALineFollowsTheLineAndStaysOnTheCircle) {
    // A line to (1,0), then the quarter arc from (1,0) to (0,1) about the origin, stored
    // counter-clockwise; then a line written backwards from (0,2) to (0,1).
    const std::vector<EntityData> entities = {
        MakeLine({2, 0}, {1, 0}), MakeArc({0, 0}, {1, 0}, {0, 1}), MakeLine({0, 2}, {0, 1})};
    const auto paths = PathsOf(entities, 1e-9, 0.001);
    ASSERT_EQ(paths.size(), 1U);
    const auto& points = paths.front();
    EXPECT_EQ(points.front(), (Vec2{2, 0}));
    EXPECT_EQ(points.back(), (Vec2{0, 2}));
    ASSERT_GT(points.size(), 5U);
    for (std::size_t i = 2; i + 2 < points.size(); ++i) {
        EXPECT_NEAR(Length(points[i]), 1.0, 1e-12) << i;
        EXPECT_GT(std::atan2(points[i].y, points[i].x),
                  std::atan2(points[i - 1].y, points[i - 1].x));
    }
}

TEST(DrawingPaths, ArcsOnlyRunCounterClockwiseAlongTheEarliest) {
    // Two quarter arcs of the unit circle meeting at (0,1), the second stored first.
    const std::vector<EntityData> entities = {MakeArc({0, 0}, {0, 1}, {-1, 0}),
                                              MakeArc({0, 0}, {1, 0}, {0, 1})};
    const auto paths = PathsOf(entities);
    ASSERT_EQ(paths.size(), 1U);
    EXPECT_NEAR(paths[0].front().x, 1.0, 1e-12);
    EXPECT_NEAR(paths[0].back().x, -1.0, 1e-12);
}

TEST(DrawingPaths, FullCircleIsAClosedPathOfItsOwn) {
    EntityData circle = MakeArc({0, 0}, {3, 0}, {3, 0});
    const auto chains = ChainEntities(std::vector{circle}, kAll, 1e-9);
    ASSERT_EQ(chains.size(), 1U);
    EXPECT_TRUE(chains[0].closed);
    const auto points = ChainPoints(chains[0], std::vector{circle}, 0.01);
    EXPECT_EQ(points.front(), points.back());
    EXPECT_GT(points.size(), 10U);
}

TEST(DrawingPaths, OnlyTakenEntitiesAreChained) {
    const std::vector<EntityData> entities = {
        MakeLine({0, 0}, {1, 0}, 1), MakeLine({1, 0}, {2, 0}, 2), MakeLine({2, 0}, {3, 0}, 1)};
    const auto chains = ChainEntities(
        entities, [](const EntityData& e) { return e.layer == 1; }, 1e-9);
    ASSERT_EQ(chains.size(), 2U);
    EXPECT_EQ(chains[0].pieces[0].entity, 0U);
    EXPECT_EQ(chains[1].pieces[0].entity, 2U);
}

TEST(DrawingPaths, ToleranceFollowsTheLargestCoordinate) {
    const std::vector<EntityData> entities = {MakeLine({0, 0}, {-5e6, 1}),
                                              MakeLine({1e9, 0}, {0, 0}, 3)};
    EXPECT_DOUBLE_EQ(JoinToleranceFor(entities, kAll), 1e-9 * 1e9);
    EXPECT_DOUBLE_EQ(JoinToleranceFor(entities, [](const EntityData& e) { return e.layer == 0; }),
                     5e-3);
    EXPECT_DOUBLE_EQ(JoinToleranceFor({}, kAll), 1e-9);
}

TEST(DrawingPaths, RandomPolylinesCutAndShuffledComeBackWhole) {
    constexpr unsigned kSeed = 777;
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> step(-50.0, 50.0);
    for (int round = 0; round < 100; ++round) {
        // A few polylines far apart, so that only their own pieces can meet.
        const int polylineCount = 1 + static_cast<int>(random() % 4);
        std::vector<std::vector<Vec2>> polylines;
        std::vector<EntityData> entities;
        for (int k = 0; k < polylineCount; ++k) {
            std::vector<Vec2> vertices{{10000.0 * k, 0}};
            const int n = 2 + static_cast<int>(random() % 12);
            while (static_cast<int>(vertices.size()) < n) {
                const Vec2 next = vertices.back() + Vec2{step(random), step(random)};
                // Keep it from touching itself: only ever move right.
                vertices.push_back(
                    {vertices.back().x + std::abs(next.x - vertices.back().x) + 1, next.y});
            }
            for (std::size_t i = 0; i + 1 < vertices.size(); ++i) {
                entities.push_back(random() % 2 == 0 ? MakeLine(vertices[i], vertices[i + 1])
                                                     : MakeLine(vertices[i + 1], vertices[i]));
            }
            polylines.push_back(vertices);
        }
        std::shuffle(entities.begin(), entities.end(), random);
        auto paths = PathsOf(entities);
        ASSERT_EQ(paths.size(), polylines.size()) << "seed " << kSeed << ", round " << round;
        for (auto& path : paths) {
            // Whichever way it runs, it is one of the polylines.
            const auto same = [&](const std::vector<Vec2>& polyline) {
                return path == polyline ||
                       std::equal(path.begin(), path.end(), polyline.rbegin(), polyline.rend());
            };
            EXPECT_TRUE(std::any_of(polylines.begin(), polylines.end(), same))
                << "seed " << kSeed << ", round " << round;
        }
    }
}

// Ends near a point by scanning every entity: what the board's index answers, the slow way.
EndsNear ScanEnds(const std::vector<EntityData>& entities) {
    return [&entities](Vec2 p, double radius, const std::function<void(std::size_t)>& found) {
        for (std::size_t i = 0; i < entities.size(); ++i) {
            if (Distance(entities[i].start, p) <= radius ||
                Distance(entities[i].end, p) <= radius) {
                found(i);
            }
        }
    };
}

struct ThroughRow {
    const char* name;
    std::vector<EntityData> entities;
    std::size_t clicked;
    Vec2 click;
    std::vector<Vec2> expected;  // the run's points
    bool closed = false;
};

void PrintTo(const ThroughRow& row, std::ostream* out) { *out << row.name; }

class RunThrough : public ::testing::TestWithParam<ThroughRow> {};

TEST_P(RunThrough, FollowsTheJoinsFromTheNearerEnd) {
    const ThroughRow& row = GetParam();
    const auto onLayer = [&](const EntityData& e) {
        return e.layer == row.entities[row.clicked].layer;
    };
    const Chain chain =
        ChainThrough(row.entities, row.clicked, onLayer, 1e-9, ScanEnds(row.entities), row.click);
    EXPECT_EQ(chain.closed, row.closed);
    EXPECT_EQ(ChainPoints(chain, row.entities, 0.01), row.expected);
}

// An L of three lines stored in mixed directions: (0,0) (2,0) (2,1) (2,3).
const std::vector<EntityData> kOpen = {MakeLine({2, 0}, {0, 0}), MakeLine({2, 0}, {2, 1}),
                                       MakeLine({2, 3}, {2, 1})};
// A square stored with one side backwards.
const std::vector<EntityData> kSquare = {MakeLine({0, 0}, {4, 0}), MakeLine({4, 4}, {4, 0}),
                                         MakeLine({4, 4}, {0, 4}), MakeLine({0, 4}, {0, 0})};
// A T: a bar (-2,0)-(0,0)-(2,0) and a stem (0,0)-(0,3)-(1,4).
const std::vector<EntityData> kTee = {MakeLine({-2, 0}, {0, 0}), MakeLine({0, 0}, {2, 0}),
                                      MakeLine({0, 0}, {0, 3}), MakeLine({0, 3}, {1, 4})};

INSTANTIATE_TEST_SUITE_P(
    Rows, RunThrough,
    ::testing::Values(
        // The click on the first line lies 0.5 along a run of 5: the run starts at (0,0).
        ThroughRow{"OpenFromTheStartSide", kOpen, 0, {0.5, 0.1}, {{0, 0}, {2, 0}, {2, 1}, {2, 3}}},
        // The same run clicked near its far end runs the other way.
        ThroughRow{
            "OpenReversedByTheClick", kOpen, 2, {2.1, 2.5}, {{2, 3}, {2, 1}, {2, 0}, {0, 0}}},
        // Clicked at 1.5 of 5 on the middle line: still nearer the (0,0) end.
        ThroughRow{"OpenClickedInTheMiddle", kOpen, 1, {2, 0.5}, {{0, 0}, {2, 0}, {2, 1}, {2, 3}}},
        // Closed: from the clicked side's nearer corner, through that side first, all the way.
        ThroughRow{"ClosedFromTheNearerCorner",
                   kSquare,
                   0,
                   {3, 0},
                   {{4, 0}, {0, 0}, {0, 4}, {4, 4}, {4, 0}},
                   true},
        ThroughRow{"ClosedOtherCorner",
                   kSquare,
                   1,
                   {4, 3},
                   {{4, 4}, {4, 0}, {0, 0}, {0, 4}, {4, 4}},
                   true},
        // A branch: three ends meet at (0,0), so no way on is preferred and the run stops there.
        ThroughRow{"BranchStopsTheStem", kTee, 3, {0.9, 3.95}, {{1, 4}, {0, 3}, {0, 0}}},
        ThroughRow{"BranchStopsTheBar", kTee, 1, {1.9, 0}, {{2, 0}, {0, 0}}},
        // A line of another layer meeting the run is not joined to it.
        ThroughRow{
            "OtherLayerIsNotJoined",
            {MakeLine({0, 0}, {1, 0}), MakeLine({1, 0}, {2, 0}, 5), MakeLine({0, 0}, {-1, 0})},
            0,
            {0.9, 0},
            {{1, 0}, {0, 0}, {-1, 0}}}),
    [](const ::testing::TestParamInfo<ThroughRow>& row) { return std::string(row.param.name); });

TEST(RunThrough, AgreesWithTheWholeDrawingsChainsOnRandomPolylines) {
    std::mt19937 random(99);
    std::uniform_real_distribution<double> step(1.0, 30.0);
    for (int round = 0; round < 60; ++round) {
        std::vector<EntityData> entities;
        for (int k = 0; k < 3; ++k) {
            Vec2 at{1000.0 * k, 0};
            const int n = 1 + static_cast<int>(random() % 10);
            for (int i = 0; i < n; ++i) {
                const Vec2 next{at.x + step(random), at.y + step(random) - 15.0};
                entities.push_back(random() % 2 == 0 ? MakeLine(at, next) : MakeLine(next, at));
                at = next;
            }
        }
        std::shuffle(entities.begin(), entities.end(), random);
        const auto chains = ChainEntities(entities, kAll, 1e-9);
        for (const Chain& whole : chains) {
            const auto points = ChainPoints(whole, entities, 0.01);
            for (const ChainPiece& piece : whole.pieces) {
                const Chain run = ChainThrough(entities, piece.entity, kAll, 1e-9,
                                               ScanEnds(entities), entities[piece.entity].start);
                auto got = ChainPoints(run, entities, 0.01);
                if (got.front() != points.front()) std::reverse(got.begin(), got.end());
                EXPECT_EQ(got, points) << "round " << round;
            }
        }
    }
}

// Segments of one polyline record count as one entity: a line branching off at a vertex does not
// stop the run along the polyline, and the branching line itself still stops there.
TEST(RunThrough, PolylineRecordGoesOnThroughABranchAtItsVertex) {
    const std::vector<EntityData> entities = {MakeLine({0, 0}, {1, 0}), MakeLine({1, 0}, {2, 0}),
                                              MakeLine({2, 0}, {3, 0}), MakeLine({1, 0}, {1, 5})};
    const std::vector<std::size_t> records = {7, 7, 7, 9};
    const RecordOf recordOf = [&](std::size_t entity) -> std::optional<std::size_t> {
        return records[entity];
    };
    const auto points = [&](std::size_t clicked, Vec2 click, const RecordOf& use) {
        return ChainPoints(
            ChainThrough(entities, clicked, kAll, 1e-9, ScanEnds(entities), click, use), entities,
            0.01);
    };
    EXPECT_EQ(points(0, {0.1, 0}, {}), (std::vector<Vec2>{{0, 0}, {1, 0}}));
    EXPECT_EQ(points(0, {0.1, 0}, recordOf), (std::vector<Vec2>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(points(3, {1, 4.9}, recordOf), (std::vector<Vec2>{{1, 5}, {1, 0}}));
}

// The drawing's own index finds the joints: the same run as the scan, the entity under the
// click found within the radius only, hidden entities left out.
TEST(RunAlongEntity, FindsTheEntityAndItsRunInABoardDrawing) {
    const auto drawing = BoardDrawing::Create();
    for (const EntityData& e : kOpen) drawing->AddEntity(e);
    drawing->AddEntity(MakeLine({50, 50}, {60, 50}));
    const auto visible = [](const EntityData& e) { return e.visible; };
    const auto run = RunAlongEntity(*drawing, {2.05, 2.9}, 0.1, 0.01, visible);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->points, (std::vector<Vec2>{{2, 3}, {2, 1}, {2, 0}, {0, 0}}));
    EXPECT_EQ(run->chain.pieces.size(), 3U);
    EXPECT_FALSE(RunAlongEntity(*drawing, {2.5, 2.9}, 0.1, 0.01, visible));
    EntityData hidden = drawing->At(1);
    hidden.visible = false;
    drawing->SetEntity(1, hidden);
    const auto cut = RunAlongEntity(*drawing, {2.05, 2.9}, 0.1, 0.01, visible);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->points, (std::vector<Vec2>{{2, 3}, {2, 1}}));
}

TEST(DistanceToEntity, LinesAndArcsWithinAndBeyondTheirSweep) {
    EXPECT_DOUBLE_EQ(DistanceToEntity(MakeLine({0, 0}, {4, 0}), {2, 3}), 3.0);
    EXPECT_DOUBLE_EQ(DistanceToEntity(MakeLine({0, 0}, {4, 0}), {7, 4}), 5.0);
    const EntityData quarter = MakeArc({0, 0}, {2, 0}, {0, 2});
    EXPECT_NEAR(DistanceToEntity(quarter, {3, 3}), std::sqrt(18.0) - 2.0, 1e-12);
    EXPECT_NEAR(DistanceToEntity(quarter, {2, -1}), 1.0, 1e-12);  // past the start: to it
}

// The host's PathAlong: the click's pick radius is in the view's pixels, hidden layers are left
// out, and a Shift+click reaches the tool unsnapped with its ClickShift set for that event only.
TEST(PathAlong, TheDocumentAnswersForItsViewAndTheToolTellsShift) {
    const auto application = BoardApplication::Create();
    const auto document = application->AddDocument("図面");
    for (const EntityData& e : kOpen) document->DrawingModel()->AddEntity(e);
    host::PlainPoint near(2.05, 2.9);
    const auto path = document->PathAlong(near, *document->View());
    ASSERT_TRUE(path);
    ASSERT_EQ(path->Count(), 4);
    EXPECT_EQ(path->Item(0)->X(), 2.0);
    EXPECT_EQ(path->Item(0)->Y(), 3.0);
    host::PlainPoint far(40.0, 40.0);
    EXPECT_FALSE(document->PathAlong(far, *document->View()));
    document->LayerTable()->SetVisible(0, false);
    EXPECT_FALSE(document->PathAlong(near, *document->View()));

    // Where the board has nothing of its own, a curve the file draws beneath is taken as shown:
    // an open one from its nearer end, a closed one all the way round.
    auto underlay = std::make_shared<Underlay>();
    underlay->points = {{100, 0}, {110, 0}, {110, 0}, {120, 5},  // open, a point repeated
                        {200, 0}, {210, 0}, {210, 10}};          // closed
    UnderlayItem open;
    open.first = 0;
    open.count = 4;
    UnderlayItem closed = open;
    closed.first = 4;
    closed.count = 3;
    closed.closed = true;
    underlay->items = {open, closed};
    underlay->Finish();
    document->SetUnderlay(underlay);
    document->LayerTable()->SetVisible(0, true);
    const auto listed = [](const host::HostPointListPtr& list) {
        std::vector<Vec2> points;
        for (std::int32_t i = 0; list && i < list->Count(); ++i) {
            points.push_back({list->Item(i)->X(), list->Item(i)->Y()});
        }
        return points;
    };
    host::PlainPoint nearEnd(119.0, 4.8);
    EXPECT_EQ(listed(document->PathAlong(nearEnd, *document->View())),
              (std::vector<Vec2>{{120, 5}, {110, 0}, {100, 0}}));
    host::PlainPoint onClosed(209.9, 5.0);
    EXPECT_EQ(listed(document->PathAlong(onClosed, *document->View())),
              (std::vector<Vec2>{{200, 0}, {210, 0}, {210, 10}, {200, 0}}));
    EXPECT_EQ(listed(document->PathAlong(near, *document->View())).size(), 4U)
        << "the board's own line comes first";
    document->LayerTable()->SetVisible(0, false);
    EXPECT_FALSE(document->PathAlong(nearEnd, *document->View())) << "hidden beneath too";

    struct Sink : host::HostToolEvents {
        std::shared_ptr<BoardToolObject> tool;
        std::vector<std::pair<std::int16_t, Vec2>> downs;  // ClickShift and point of each
        void RapidTool_Connect(const host::HostViewPtr&) override {}
        void RapidTool_DisConnect(const host::HostViewPtr&) override {}
        void RapidTool_IsSnapOperation(std::int16_t& snap) override { snap = -1; }
        void RapidTool_LButtonDown(const host::HostViewPtr&, const host::HostPointPtr& p) override {
            downs.push_back({tool->ClickShift(), Vec2{p->X(), p->Y()}});
        }
        void RapidTool_LButtonDblck(const host::HostViewPtr&, const host::HostPointPtr&) override {}
        void RapidTool_KeyDown(const host::HostViewPtr&, std::int16_t, std::int16_t) override {}
        void RapidTool_BackOperation(const host::HostViewPtr&) override {}
        void RapidTool_MouseMove(const host::HostViewPtr&, const host::HostPointPtr&) override {}
        void RapidTool_RubberDisp(const host::HostViewPtr&) override {}
    } sink;
    sink.tool = std::dynamic_pointer_cast<BoardToolObject>(application->CreateTool());
    sink.tool->SetEventSink(&sink);
    sink.tool->Start();
    document->LayerTable()->SetVisible(0, true);  // the end point (2, 3) is there to snap to
    sink.tool->Click(document->View(), {2.05, 2.9}, 1);
    sink.tool->Click(document->View(), {2.05, 2.9});
    ASSERT_EQ(sink.downs.size(), 2U);
    EXPECT_EQ(sink.downs[0].first, 1);
    EXPECT_EQ(sink.downs[0].second, (Vec2{2.05, 2.9}));  // not snapped
    EXPECT_EQ(sink.downs[1].first, 0);
    EXPECT_EQ(sink.downs[1].second, (Vec2{2, 3}));
    EXPECT_EQ(sink.tool->ClickShift(), 0);
    sink.tool->SetEventSink(nullptr);
}

}  // namespace
}  // namespace pelimator::board
