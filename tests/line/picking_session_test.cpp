// The picking session's rules as scripts of host events, each row with the state it must reach.
#include "line/picking_session.h"

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fake_host.h"

namespace pelimator {
namespace {

using Next = PickingSession::Next;

struct Script {
    const char* name;
    // Events separated by ";": "click x y", "dbl x y", "move x y", "rubber", "back", "key n",
    // "other" (another drawing becomes active), "home" (the first one again), "refuse" (snapping
    // refuses), "snapto x y" (every snap lands there).
    const char* events;
    std::int16_t picks;  // PickCount afterwards; the marks and the list must agree
    Next last;           // what the last event asked for
    const char* prompt;
    std::vector<std::pair<double, double>> points = {};  // checked when not empty
    bool rubberShown = false;
};

void PrintTo(const Script& row, std::ostream* out) { *out << row.name; }

class Session : public ::testing::Test {
protected:
    Session() {
        home = factory.Application()->GetDocuments()->Put("図面");
        tool = std::static_pointer_cast<fake::FakeTool>(factory.CreateTool());
        session.SetTool(tool);
    }

    Next Run(const std::string& event) {
        std::istringstream in(event);
        std::string verb;
        double x = 0;
        double y = 0;
        in >> verb >> x >> y;
        fake::FakePoint point(factory.Log(), x, y);
        const auto view = tool->View();
        if (verb == "click") return session.LButtonDown(view, point);
        if (verb == "dbl") return session.LButtonDblck(view, point);
        if (verb == "key") return session.KeyDown(view, static_cast<std::int16_t>(x));
        if (verb == "back") session.BackOperation(view);
        if (verb == "move") session.MouseMove(view, point, settings::PathKind::NearPoints);
        if (verb == "rubber") session.RubberDisp(view);
        if (verb == "other") {
            if (!other) other = factory.Application()->GetDocuments()->Put("別の図面");
            factory.Application()->GetDocuments()->SetActive(other);
        }
        if (verb == "home") factory.Application()->GetDocuments()->SetActive(home);
        if (verb == "refuse") home->GetSnap()->Refuse(true);
        if (verb == "snapto") home->GetSnap()->MoveTo(std::pair{x, y});
        return Next::Nothing;
    }

    Next RunAll(const std::string& events) {
        Next last = Next::Nothing;
        std::istringstream in(events);
        for (std::string event; std::getline(in, event, ';');) last = Run(event);
        return last;
    }

    fake::FakeFactory factory;
    fake::FakeDocumentPtr home;
    fake::FakeDocumentPtr other;
    std::shared_ptr<fake::FakeTool> tool;
    std::vector<std::string> prompts;
    PickingSession session{factory, [this](std::string_view text) { prompts.emplace_back(text); }};
};

class SessionScripts : public Session, public ::testing::WithParamInterface<Script> {};

TEST_P(SessionScripts, ReachTheirState) {
    const Script& row = GetParam();
    const Next last = RunAll(row.events);
    EXPECT_EQ(last, row.last);
    EXPECT_EQ(session.PickCount(), row.picks);
    EXPECT_EQ(tool->Marks().size(), static_cast<std::size_t>(row.picks));
    EXPECT_EQ(session.Prompt(), row.prompt);
    if (!prompts.empty()) {
        EXPECT_EQ(prompts.back(), row.prompt);
    }
    if (row.picks == 0) {
        EXPECT_FALSE(session.PickPoints());
    } else {
        ASSERT_TRUE(session.PickPoints());
        EXPECT_EQ(session.PickPoints()->Count(), row.picks);
    }
    for (std::size_t i = 0; i < row.points.size(); ++i) {
        EXPECT_EQ(session.PickPoints()->Item(static_cast<std::int32_t>(i))->X(),
                  row.points[i].first);
        EXPECT_EQ(session.PickPoints()->Item(static_cast<std::int32_t>(i))->Y(),
                  row.points[i].second);
    }
    EXPECT_EQ(tool->Rubber() != nullptr, row.rubberShown);
}

constexpr const char* kStart = "開始点を指示して下さい。";
constexpr const char* kSecond = "2点目を指示して下さい。";
constexpr const char* kThird = "3点目を指示して下さい。";

INSTANTIATE_TEST_SUITE_P(
    Rows, SessionScripts,
    ::testing::Values(
        Script{"FirstClickAsksForTheSecond", "click 1 2", 1, Next::Nothing, kSecond, {{1, 2}}},
        Script{"RepeatedPointIsIgnored", "click 1 1;click 1 1", 1, Next::Nothing, kSecond},
        Script{"NearlySamePointCounts", "click 1 1;click 1 1.000001", 2, Next::Nothing, kThird},
        Script{"SnapDecidesThePoint",
               "snapto 7 7;click 1 1;click 2 2",
               1,
               Next::Nothing,
               kSecond,
               {{7, 7}}},
        Script{"RefusedSnapAddsNothing", "refuse;click 1 1", 0, Next::Nothing, kStart},
        Script{"DoubleClickWithOnePointDoesNotDraw", "dbl 3 3", 1, Next::Nothing, kSecond},
        Script{"DoubleClickAddsItsPointAndDraws", "click 0 0;dbl 20 0", 2, Next::Draw, kThird},
        Script{"DoubleClickOnTheLastPointDrawsWhatIsPicked",
               "click 0 0;click 20 0;dbl 20 0",
               2,
               Next::Draw,
               kThird,
               {{0, 0}, {20, 0}}},
        Script{"EnterWithOnePointDoesNothing", "click 0 0;key 13", 1, Next::Nothing, kSecond},
        Script{"EnterWithTwoPointsDraws", "click 0 0;click 5 0;key 13", 2, Next::Draw, kThird},
        Script{"EscapeStopsTheTool", "click 0 0;key 27", 1, Next::StopTool, kSecond},
        Script{"EscapeBeforeAnyPointStopsToo", "key 27", 0, Next::StopTool, kStart},
        Script{"OtherKeysDoNothing", "click 0 0;click 5 0;key 65", 2, Next::Nothing, kThird},
        Script{"BackWithNothingPickedDoesNothing", "back", 0, Next::Nothing, kStart},
        Script{"BackRemovesTheLastPoint",
               "click 0 0;click 1 0;back",
               1,
               Next::Nothing,
               kSecond,
               {{0, 0}}},
        Script{"BackToNothingForgetsTheDrawing", "click 0 0;back", 0, Next::Nothing, kStart},
        Script{"AfterBackToNothingAnotherDrawingMayStart", "click 0 0;back;other;click 4 4", 1,
               Next::Nothing, kSecond},
        Script{"GuardIgnoresAnotherDrawing", "click 0 0;other;click 5 5;dbl 6 6;back;key 13;key 27",
               1, Next::Nothing, kSecond},
        Script{"GuardIsOpenBeforeTheFirstPoint", "other;click 5 5", 1, Next::Nothing, kSecond},
        Script{"BackInTheOwnDrawingContinues", "click 0 0;other;home;click 5 5", 2, Next::Nothing,
               kThird},
        Script{"NoBandBeforeTheFirstPoint", "move 9 9;rubber", 0, Next::Nothing, kStart},
        Script{"BandFollowsTheCursorWithoutKeepingIt",
               "click 0 0;move 5 6;rubber",
               1,
               Next::Nothing,
               kSecond,
               {{0, 0}},
               true},
        Script{"NoBandShownInAnotherDrawing", "click 0 0;move 5 6;other;rubber", 1, Next::Nothing,
               kSecond}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Session, ResetClearsMarksAndForgetsEverything) {
    RunAll("click 0 0;click 3 0;move 4 4");
    session.Reset();
    EXPECT_EQ(session.PickCount(), 0);
    EXPECT_FALSE(session.PickPoints());
    EXPECT_TRUE(tool->Marks().empty());
    EXPECT_EQ(prompts.back(), kStart);
    // The drawing was forgotten too: another one may be picked in at once.
    RunAll("other;click 1 1");
    EXPECT_EQ(session.PickCount(), 1);
}

// Random clicks, backs and drawing switches: the count, the list, the marks and the prompt
// always agree, and the guard never lets a point of another drawing in.
TEST_F(Session, RandomEventsKeepCountListMarksAndPromptInStep) {
    const unsigned seed = 2027;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int> coordinate(0, 4);
    fake::FakeDocumentPtr pickedIn;
    for (int step = 0; step < 3000; ++step) {
        const std::int16_t before = session.PickCount();
        const int what = pick(rng);
        if (what < 5) {
            Run("click " + std::to_string(coordinate(rng)) + " " + std::to_string(coordinate(rng)));
        } else if (what < 8) {
            Run("back");
        } else if (what == 8) {
            Run("other");
        } else {
            Run("home");
        }
        const std::int16_t count = session.PickCount();
        const auto active = factory.Application()->GetDocuments()->Active();
        if (before == 0 && count == 1) pickedIn = active;
        ASSERT_EQ(tool->Marks().size(), static_cast<std::size_t>(count)) << "seed " << seed;
        ASSERT_EQ(session.PickPoints() ? session.PickPoints()->Count() : 0, count)
            << "seed " << seed << " step " << step;
        ASSERT_EQ(session.Prompt(), count == 0
                                        ? std::string(kStart)
                                        : std::to_string(count + 1) + "点目を指示して下さい。")
            << "seed " << seed;
        for (const auto& mark : tool->Marks()) {
            ASSERT_EQ(mark.document, pickedIn) << "seed " << seed << " step " << step;
        }
    }
}

}  // namespace
}  // namespace pelimator
