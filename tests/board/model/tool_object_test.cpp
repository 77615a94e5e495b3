// The tool object: connection, the order and content of forwarded events, marks and rubber band.
#include "board/model/tool_object.h"

#include <functional>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/model/application.h"
#include "board/model/curve.h"
#include "host/errors.h"
#include "host/point_list.h"

namespace pelimator::board {
namespace {

// Records every event as a line of text; hooks let a test act inside an event.
class RecordingSink final : public host::HostToolEvents {
public:
    std::vector<std::string> log;
    std::int16_t snapAnswer = -1;
    std::function<void(const std::string&)> hook;
    host::HostViewPtr lastView;

    void RapidTool_Connect(const host::HostViewPtr& vw) override { Record("Connect", vw); }
    void RapidTool_DisConnect(const host::HostViewPtr& vw) override { Record("DisConnect", vw); }
    void RapidTool_IsSnapOperation(std::int16_t& bSnap) override {
        bSnap = snapAnswer;
        Record("IsSnapOperation", nullptr);
    }
    void RapidTool_LButtonDown(const host::HostViewPtr& vw,
                               const host::HostPointPtr& DownPoint) override {
        Record("LButtonDown " + Text(*DownPoint), vw);
    }
    void RapidTool_LButtonDblck(const host::HostViewPtr& vw,
                                const host::HostPointPtr& DownPoint) override {
        Record("LButtonDblck " + Text(*DownPoint), vw);
    }
    void RapidTool_KeyDown(const host::HostViewPtr& vw, std::int16_t KeyCode,
                           std::int16_t Shift) override {
        Record("KeyDown " + std::to_string(KeyCode) + " " + std::to_string(Shift), vw);
    }
    void RapidTool_BackOperation(const host::HostViewPtr& vw) override {
        Record("BackOperation", vw);
    }
    void RapidTool_MouseMove(const host::HostViewPtr& vw,
                             const host::HostPointPtr& MovePoint) override {
        Record("MouseMove " + Text(*MovePoint), vw);
    }
    void RapidTool_RubberDisp(const host::HostViewPtr& vw) override { Record("RubberDisp", vw); }

private:
    static std::string Text(const host::HostPoint& p) {
        std::ostringstream out;
        out << p.X() << "," << p.Y();
        return out.str();
    }
    void Record(const std::string& line, const host::HostViewPtr& vw) {
        log.push_back(line);
        if (vw) lastView = vw;
        if (hook) hook(line);
    }
};

struct Board {
    BoardApplicationPtr app = BoardApplication::Create();
    BoardDocumentPtr document = app->AddDocument("テスト図面");
    BoardToolPtr tool = app->CreateTool();
    RecordingSink sink;
    host::HostViewPtr view = document->View();

    Board() {
        // A line end at (10, 10) to snap to.
        document->DrawingModel()->AddEntity(MakeLine({10, 10}, {100, 10}));
        tool->SetEventSink(&sink);
    }
};

TEST(BoardToolObject, StartConnectsOnTheActiveViewAndStopDisconnectsThere) {
    Board board;
    board.tool->Start();
    EXPECT_TRUE(board.tool->IsStarted());
    EXPECT_EQ(board.app->RunningTool(), board.tool);
    ASSERT_EQ(board.sink.log, (std::vector<std::string>{"Connect"}));
    EXPECT_EQ(board.sink.lastView, board.view);
    board.tool->Start();  // already started: nothing more
    board.tool->Stop();
    EXPECT_EQ(board.sink.log, (std::vector<std::string>{"Connect", "DisConnect"}));
    EXPECT_EQ(board.sink.lastView, board.view);
    EXPECT_EQ(board.app->RunningTool(), nullptr);
    board.tool->Stop();  // not started: nothing
    EXPECT_EQ(board.sink.log.size(), 2U);
}

struct InputRow {
    const char* name;
    std::function<void(BoardToolObject&, const host::HostViewPtr&)> act;
    std::vector<std::string> expected;
};

void PrintTo(const InputRow& row, std::ostream* os) { *os << row.name; }

class ToolInput : public ::testing::TestWithParam<InputRow> {};

TEST_P(ToolInput, ReachesTheSinkAsTheToolEventsInOrder) {
    Board board;
    board.tool->Start();
    board.sink.log.clear();
    GetParam().act(*board.tool, board.view);
    EXPECT_EQ(board.sink.log, GetParam().expected);
    EXPECT_EQ(board.sink.lastView, board.view);
}

TEST_P(ToolInput, GoesNowhereBeforeStartOrAfterStop) {
    Board board;
    GetParam().act(*board.tool, board.view);
    board.tool->Start();
    board.tool->Stop();
    board.sink.log.clear();
    GetParam().act(*board.tool, board.view);
    EXPECT_TRUE(board.sink.log.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ToolInput,
    ::testing::Values(
        InputRow{"ClickSnapsToTheNearEndFirst",
                 [](BoardToolObject& tool, const host::HostViewPtr& v) {
                     tool.Click(v, {12, 13});
                 },
                 {"IsSnapOperation", "LButtonDown 10,10"}},
        InputRow{"ClickFarFromEverythingStaysPut",
                 [](BoardToolObject& tool, const host::HostViewPtr& v) {
                     tool.Click(v, {50, 60});
                 },
                 {"IsSnapOperation", "LButtonDown 50,60"}},
        InputRow{"ClickThatCannotSnapIsDropped",
                 [](BoardToolObject& tool, const host::HostViewPtr& v) {
                     tool.Click(v, {std::numeric_limits<double>::quiet_NaN(), 0});
                 },
                 {"IsSnapOperation"}},
        InputRow{"DoubleClickIsPressThenDoubleClick",
                 [](BoardToolObject& tool, const host::HostViewPtr& v) {
                     tool.Click(v, {11, 9});
                     tool.DoubleClick(v, {11, 9});
                 },
                 {"IsSnapOperation", "LButtonDown 10,10", "IsSnapOperation", "LButtonDblck 10,10"}},
        InputRow{
            "EnterKey",
            [](BoardToolObject& tool, const host::HostViewPtr& v) { tool.Key(v, kKeyEnter, 0); },
            {"KeyDown 13 0"}},
        InputRow{
            "EscapeKeyWithShift",
            [](BoardToolObject& tool, const host::HostViewPtr& v) { tool.Key(v, kKeyEscape, 1); },
            {"KeyDown 27 1"}},
        InputRow{"BackRequest",
                 [](BoardToolObject& tool, const host::HostViewPtr& v) { tool.Back(v); },
                 {"BackOperation"}},
        InputRow{"MouseMoveIsNotSnapped",
                 [](BoardToolObject& tool, const host::HostViewPtr& v) {
                     tool.MouseMove(v, {11, 9});
                     tool.RubberDisplay(v);
                 },
                 {"MouseMove 11,9", "RubberDisp"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BoardToolObject, ClickIsNotSnappedWhenTheToolDeclines) {
    Board board;
    board.sink.snapAnswer = 0;
    board.tool->Start();
    board.tool->Click(board.view, {12, 13});
    EXPECT_EQ(board.sink.log.back(), "LButtonDown 12,13");
}

TEST(BoardToolObject, StopIsSafeWhenTheSinkReleasesTheLastReferenceInsideDisConnect) {
    auto app = BoardApplication::Create();
    app->AddDocument("a");
    RecordingSink sink;
    BoardToolPtr held = app->CreateTool();
    std::weak_ptr<BoardToolObject> watch = held;
    held->SetEventSink(&sink);
    sink.hook = [&](const std::string& line) {
        if (line == "KeyDown 27 0") held->Stop();  // Esc stops the tool
        if (line == "DisConnect") {
            held->SetEventSink(nullptr);
            held.reset();  // the window lets go of the tool
        }
    };
    held->Start();
    const auto view = app->Active()->View();
    // The canvas reaches the tool through the application, holding no reference of its own.
    app->RunningTool()->Key(view, kKeyEscape, 0);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(sink.log, (std::vector<std::string>{"Connect", "KeyDown 27 0", "DisConnect"}));
    EXPECT_EQ(app->RunningTool(), nullptr);
}

TEST(BoardToolObject, MarksStackAndTheRubberBandGoesWithThePicking) {
    Board board;
    board.tool->Start();
    std::vector<ToolChange> heard;
    board.tool->AddObserver([&](ToolChange change) { heard.push_back(change); });
    board.tool->AddMark(1, host::PlainPoint(1, 2), board.document);
    board.tool->AddMark(1, host::PlainPoint(3, 4), board.document);
    auto curve = std::make_shared<BoardCurve>();
    host::PlainPointList points;
    points.Add(1, 2);
    points.Add(3, 4);
    points.Add(5, 0);
    curve->SetPoints(0, points);
    board.tool->ShowRubber(curve);
    EXPECT_EQ(board.tool->RubberPolyline(0.01).size(), 3U);
    EXPECT_EQ(board.tool->RubberDocument(), board.document);
    board.tool->RemoveMark();
    ASSERT_EQ(board.tool->Marks().size(), 1U);
    EXPECT_EQ(board.tool->Marks().back().point, (Vec2{1, 2}));
    EXPECT_NE(board.tool->Rubber(), nullptr);  // kept until the next move
    board.tool->RemoveMark();
    EXPECT_EQ(board.tool->Rubber(), nullptr);
    board.tool->RemoveMark();  // none left: nothing
    board.tool->AddMark(1, host::PlainPoint(0, 0), board.document);
    board.tool->ShowRubber(curve);
    board.tool->ClearMarks();
    EXPECT_TRUE(board.tool->Marks().empty());
    EXPECT_EQ(board.tool->Rubber(), nullptr);
    EXPECT_EQ(heard.front(), ToolChange::Marks);
    EXPECT_EQ(heard.back(), ToolChange::Rubber);
}

TEST(BoardToolObject, StopClearsMarksAndRubberBand) {
    Board board;
    board.tool->Start();
    board.tool->AddMark(1, host::PlainPoint(1, 2), board.document);
    board.tool->ShowRubber(BoardLine::CreateFree(MakeLine({0, 0}, {1, 1})));
    EXPECT_EQ(board.tool->RubberPolyline(0.01).size(), 2U);
    board.tool->Stop();
    EXPECT_TRUE(board.tool->Marks().empty());
    EXPECT_EQ(board.tool->Rubber(), nullptr);
}

TEST(BoardToolObject, StartingAnotherToolStopsTheFirst) {
    Board board;
    board.tool->Start();
    auto second = board.app->CreateTool();
    RecordingSink other;
    second->SetEventSink(&other);
    second->Start();
    EXPECT_FALSE(board.tool->IsStarted());
    EXPECT_EQ(board.sink.log.back(), "DisConnect");
    EXPECT_EQ(board.app->RunningTool(), second);
}

TEST(BoardToolObject, StartWithoutADrawingRaises) {
    auto app = BoardApplication::Create();
    auto tool = app->CreateTool();
    EXPECT_THROW(tool->Start(), HostError);
    EXPECT_FALSE(tool->IsStarted());
}

}  // namespace
}  // namespace pelimator::board
