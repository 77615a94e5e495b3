// The preview of a line while picking: what the tool is handed equals, entity for entity, what
// Enter then draws, and its lighter part what a double click at the cursor draws; the document is
// left alone; long lines fall back to the picks.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/calc.h"
#include "host/errors.h"
#include "line/line_run.h"
#include "line/picking_session.h"
#include "line/preview_drawing.h"
#include "support/fake_host.h"

namespace pelimator {
namespace {

using fake::EntityState;
using Scope = PickingSession::PreviewScope;

std::vector<EntityState> States(const std::vector<host::HostEntityPtr>& entities) {
    std::vector<EntityState> states;
    for (const auto& entity : entities) {
        states.push_back(dynamic_cast<const fake::FakeEntityBase&>(*entity).State());
    }
    return states;
}

class Preview : public ::testing::Test {
protected:
    Preview() {
        M_Calc::InitPi();
        home = factory.Application()->GetDocuments()->Put("図面");
        tool = std::static_pointer_cast<fake::FakeTool>(factory.CreateTool());
        session.SetTool(tool);
    }

    void Click(double x, double y) {
        fake::FakePoint point(factory.Log(), x, y);
        session.LButtonDown(tool->View(), point);
    }
    void Move(double x, double y, settings::PathKind kind) {
        fake::FakePoint point(factory.Log(), x, y);
        session.MouseMove(tool->View(), point, kind);
    }
    PickingSession::Next DoubleClick(double x, double y) {
        fake::FakePoint point(factory.Log(), x, y);
        return session.LButtonDblck(tool->View(), point);
    }

    fake::FakeFactory factory;
    fake::FakeDocumentPtr home;
    std::shared_ptr<fake::FakeTool> tool;
    std::vector<std::string> prompts;
    PickingSession session{factory, [this](std::string_view text) { prompts.emplace_back(text); }};
};

// Random picks, cursor and options for each path kind: the preview is what Enter then draws,
// entity for entity, and the lighter one what a double click at the cursor draws instead (the
// trials take turns); showing them changed nothing in the document.
TEST_F(Preview, EqualsTheDrawnLineEntityForEntity) {
    factory.Log()->SetRecording(false);
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> coordinate(-300.0, 300.0);
    std::uniform_int_distribution<int> pickCount(1, 7);
    std::uniform_int_distribution<int> choice(0, 5);
    std::uniform_int_distribution<int> magnification(20, 300);
    for (const auto kind : {settings::PathKind::Polyline, settings::PathKind::NearPoints,
                            settings::PathKind::ThroughPoints}) {
        int checkedEnter = 0;
        int checkedDoubleClick = 0;
        for (int trial = 0; trial < 40; ++trial) {
            SCOPED_TRACE("path kind " + std::to_string(static_cast<int>(kind)) + ", trial " +
                         std::to_string(trial));
            const bool enter = trial % 2 == 0;
            const std::size_t before = home->GetDrawing()->Snapshot().size();
            LineOptions options;
            options.pathKind = kind;
            options.lineKind =
                choice(random) % 2 == 0 ? settings::LineKind::Wave : settings::LineKind::Zigzag;
            options.up = choice(random) % 2 == 0 ? settings::UpSide::Left : settings::UpSide::Right;
            options.magnification = magnification(random);
            options.fitToEnd = choice(random) % 2 == 0;
            settings::RunSettings runSettings;
            // Missing: the run creates it, the preview not.
            runSettings.LayerNumber = 300 + 100 * static_cast<int>(kind) + trial;
            const int picks = pickCount(random) + (enter ? 1 : 0);
            for (int i = 0; i < picks; ++i) Click(coordinate(random), coordinate(random));
            const double cx = coordinate(random);
            const double cy = coordinate(random);
            Move(cx, cy, options.pathKind);
            const Scope scope = session.UpdatePreview(tool->View(), options, runSettings);
            const auto now = States(tool->Preview());
            const auto atCursor = States(tool->PreviewAtCursor());
            EXPECT_EQ(home->GetDrawing()->Snapshot().size(), before);
            EXPECT_EQ(home->GetLayers()->IndexOf(runSettings.LayerNumber), -1);

            const PickingSession::Next next =
                enter ? session.KeyDown(tool->View(), PickingSession::kKeyEnter)
                      : DoubleClick(cx, cy);
            ASSERT_EQ(next, PickingSession::Next::Draw);
            DrawLine(factory, *home, *session.PathPoints(), options, runSettings, {});
            auto drawn = home->GetDrawing()->Snapshot();
            drawn.erase(drawn.begin(), drawn.begin() + static_cast<std::ptrdiff_t>(before));
            EXPECT_EQ(enter ? now : atCursor, drawn);
            if (!drawn.empty()) {
                EXPECT_EQ(scope, Scope::WithCursor);
            }
            (enter ? checkedEnter : checkedDoubleClick) += drawn.empty() ? 0 : 1;
            session.Reset();
            EXPECT_TRUE(tool->Preview().empty());
            EXPECT_TRUE(tool->PreviewAtCursor().empty());
        }
        EXPECT_GT(checkedEnter, 12);
        EXPECT_GT(checkedDoubleClick, 12);
    }
}

// The line Enter draws is shown strong and the double click's lighter: with a curve through
// the points, moving the cursor changes the lighter one only.
TEST_F(Preview, EnterLineStaysWhileTheCursorMoves) {
    LineOptions options;
    options.pathKind = settings::PathKind::ThroughPoints;
    Click(0, 0);
    Click(40, 30);
    Click(80, 0);
    Move(120, 40, options.pathKind);
    ASSERT_EQ(session.UpdatePreview(tool->View(), options, {}), Scope::WithCursor);
    const auto now = States(tool->Preview());
    const auto atCursor = States(tool->PreviewAtCursor());
    ASSERT_FALSE(now.empty());
    EXPECT_NE(now, atCursor);
    Move(100, -50, options.pathKind);
    ASSERT_EQ(session.UpdatePreview(tool->View(), options, {}), Scope::WithCursor);
    EXPECT_EQ(States(tool->Preview()), now);
    EXPECT_NE(States(tool->PreviewAtCursor()), atCursor);
}

TEST_F(Preview, SnappedCursorIsWhereTheDoubleClickLands) {
    Click(0, 0);
    home->GetSnap()->MoveTo(std::pair{50.0, 0.0});
    Move(47, 3, settings::PathKind::Polyline);
    LineOptions options;
    options.pathKind = settings::PathKind::Polyline;
    ASSERT_EQ(session.UpdatePreview(tool->View(), options, {}), Scope::WithCursor);
    EXPECT_TRUE(tool->Preview().empty());  // one pick: Enter draws nothing
    const auto preview = States(tool->PreviewAtCursor());
    ASSERT_EQ(preview.size(), 10U);  // 50 at a pitch of 5, not 47.1
    EXPECT_DOUBLE_EQ(std::max(preview.back().startX, preview.back().endX), 50.0);
}

TEST_F(Preview, RefusedLineShowsNothingAndOnePointShowsNothing) {
    Click(0, 0);
    Move(40, 0, settings::PathKind::Polyline);
    settings::RunSettings tooSmall;
    tooSmall.WaveRadius = 2;  // below half the width of 5
    EXPECT_EQ(session.UpdatePreview(tool->View(), {}, tooSmall), Scope::None);
    EXPECT_TRUE(tool->Preview().empty());
    EXPECT_TRUE(tool->PreviewAtCursor().empty());
    // The cursor on the only pick: a double click there would draw nothing either.
    Move(0, 0, settings::PathKind::Polyline);
    EXPECT_EQ(session.UpdatePreview(tool->View(), {}, {}), Scope::None);
}

TEST_F(Preview, LongLineFallsBackToThePicksOnceAndSaysSo) {
    factory.Log()->SetRecording(false);
    Click(0, 0);
    Click(40'000, 0);
    // Through the cursor the line would make about 36,000 arcs: over the budget.
    Move(180'000, 0, settings::PathKind::Polyline);
    LineOptions options;
    options.pathKind = settings::PathKind::Polyline;
    ASSERT_EQ(session.UpdatePreview(tool->View(), options, {}), Scope::PicksOnly);
    ASSERT_EQ(tool->Preview().size(), 8000U);  // the picked part: 40,000 at a pitch of 5
    EXPECT_TRUE(tool->PreviewAtCursor().empty());
    EXPECT_NE(prompts.back().find("プレビューは指示した点まで"), std::string::npos);
    const host::HostEntityPtr first = tool->Preview().front();
    Move(181'000, 0, settings::PathKind::Polyline);
    EXPECT_EQ(session.UpdatePreview(tool->View(), options, {}), Scope::PicksOnly);
    EXPECT_EQ(tool->Preview().front(), first);  // not run again while the picks stay
    // Back near the picks: the whole line again, and the note goes.
    Move(41'000, 0, settings::PathKind::Polyline);
    EXPECT_EQ(session.UpdatePreview(tool->View(), options, {}), Scope::WithCursor);
    EXPECT_EQ(tool->Preview().size(), 8000U);
    EXPECT_EQ(tool->PreviewAtCursor().size(), 8200U);
    EXPECT_EQ(prompts.back(), session.Prompt());
}

TEST(PreviewDrawing, EditStepsDecideWhatStays) {
    fake::FakeFactory factory;
    PreviewDrawing drawing(factory);
    auto line = factory.CreateLine();
    line->EndPoint()->SetX(3.0);
    drawing.BeginEdit("a");
    drawing.Add(*line);
    drawing.EndEdit(true);
    drawing.BeginEdit("b");
    drawing.Add(*factory.CreateArc());
    drawing.EndEdit(false);
    ASSERT_EQ(drawing.Entities().size(), 1U);
    // A copy: later changes to the template do not reach it.
    line->EndPoint()->SetX(9.0);
    EXPECT_EQ(States(drawing.Entities())[0].endX, 3.0);
    EXPECT_THROW(drawing.Add(*factory.CreateCurve()), HostError);
}

}  // namespace
}  // namespace pelimator

namespace pelimator {
namespace {

// Drawing along an existing line: the session's side, with the host's PathAlong faked.
class Along : public ::testing::Test {
protected:
    Along() {
        M_Calc::InitPi();
        home = factory.Application()->GetDocuments()->Put("図面");
        tool = std::static_pointer_cast<fake::FakeTool>(factory.CreateTool());
        session.SetTool(tool);
        factory.Log()->SetRecording(false);
    }
    void ShiftClick(double x, double y) {
        // The fake reports Shift only inside its own Fire call: a sink that hands the click to
        // the session.
        struct Sink : host::HostToolEvents {
            PickingSession& s;
            explicit Sink(PickingSession& session) : s(session) {}
            void RapidTool_Connect(const host::HostViewPtr&) override {}
            void RapidTool_DisConnect(const host::HostViewPtr&) override {}
            void RapidTool_IsSnapOperation(std::int16_t&) override {}
            void RapidTool_LButtonDown(const host::HostViewPtr& v,
                                       const host::HostPointPtr& p) override {
                s.LButtonDown(v, *p);
            }
            void RapidTool_LButtonDblck(const host::HostViewPtr&,
                                        const host::HostPointPtr&) override {}
            void RapidTool_KeyDown(const host::HostViewPtr&, std::int16_t, std::int16_t) override {}
            void RapidTool_BackOperation(const host::HostViewPtr&) override {}
            void RapidTool_MouseMove(const host::HostViewPtr&, const host::HostPointPtr&) override {
            }
            void RapidTool_RubberDisp(const host::HostViewPtr&) override {}
        } sink(session);
        tool->SetEventSink(&sink);
        tool->FireShiftLButtonDown(x, y);
        tool->SetEventSink(nullptr);
    }

    fake::FakeFactory factory;
    fake::FakeDocumentPtr home;
    std::shared_ptr<fake::FakeTool> tool;
    std::vector<std::string> prompts;
    PickingSession session{factory, [this](std::string_view text) { prompts.emplace_back(text); }};
};

TEST_F(Along, ShiftClickTakesThePathPreviewsItAndDrawsIt) {
    home->SetPathAlong({{0, 0}, {30, 0}, {30, 20}});
    ShiftClick(1, 0);
    ASSERT_TRUE(session.IsAlong());
    EXPECT_EQ(session.PickCount(), 0);
    EXPECT_NE(prompts.back().find("線に沿って描きます"), std::string::npos);
    LineOptions options;  // through points: not applied to a path taken along a line
    ASSERT_EQ(session.UpdatePreview(tool->View(), options, {}), Scope::WithCursor);
    const auto preview = States(tool->Preview());
    // Moves and clicks do not change it.
    fake::FakePoint elsewhere(factory.Log(), 100, 100);
    session.MouseMove(tool->View(), elsewhere, settings::PathKind::ThroughPoints);
    EXPECT_EQ(session.LButtonDown(tool->View(), elsewhere), PickingSession::Next::Nothing);
    EXPECT_EQ(session.PathPoints()->Count(), 3);
    ASSERT_EQ(session.KeyDown(tool->View(), PickingSession::kKeyEnter), PickingSession::Next::Draw);
    options.pathKind = settings::PathKind::Polyline;  // as the window runs it
    DrawLine(factory, *home, *session.PathPoints(), options, {}, {});
    EXPECT_EQ(home->GetDrawing()->Snapshot(), preview);
    EXPECT_EQ(preview.size(), 10U);  // 50 units at a pitch of 5, corner included
}

TEST_F(Along, BackspaceGivesThePathUpAndNothingThereSaysSo) {
    ShiftClick(5, 5);  // PathAlong answers nothing
    EXPECT_FALSE(session.IsAlong());
    EXPECT_NE(prompts.back().find("ありません"), std::string::npos);
    home->SetPathAlong({{0, 0}, {30, 0}});
    ShiftClick(1, 0);
    ASSERT_EQ(session.UpdatePreview(tool->View(), {}, {}), Scope::WithCursor);
    session.BackOperation(tool->View());
    EXPECT_FALSE(session.IsAlong());
    EXPECT_TRUE(tool->Preview().empty());
    EXPECT_EQ(prompts.back(), "開始点を指示して下さい。");
    // A Shift+click after a point was picked is an ordinary pick.
    fake::FakePoint first(factory.Log(), 0, 0);
    session.LButtonDown(tool->View(), first);
    ShiftClick(10, 0);
    EXPECT_FALSE(session.IsAlong());
    EXPECT_EQ(session.PickCount(), 2);
}

}  // namespace
}  // namespace pelimator
