// The recording fake host: the behaviour other tests rely on (copies on Add, discarded steps,
// live points, arc transformations, the log and failure injection, the tool's events).
#include "support/fake_host.h"

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/errors.h"

namespace pelimator::fake {
namespace {

using ::testing::ElementsAre;

TEST(FakeDrawing, AddStoresACopySoTheTemplateCanMoveOn) {
    FakeFactory factory;
    auto drawing = factory.MakeDrawing();
    auto line = factory.CreateLine();
    line->EndPoint()->SetX(5);
    drawing->BeginEdit("a");
    auto added = drawing->Add(*line);
    line->EndPoint()->SetX(9);
    added->SetVisible(true);
    drawing->EndEdit(true);
    ASSERT_EQ(drawing->Snapshot().size(), 1U);
    EXPECT_EQ(drawing->Snapshot()[0].endX, 5);
    EXPECT_TRUE(drawing->Snapshot()[0].visible);
    EXPECT_FALSE(line->Visible());
    EXPECT_EQ(drawing->Steps(), std::vector<std::string>{"a"});
}

TEST(FakeDrawing, EndEditFalseDiscardsOnlyTheOpenStep) {
    FakeFactory factory;
    auto drawing = factory.MakeDrawing();
    auto arc = factory.CreateArc();
    drawing->BeginEdit("kept");
    drawing->Add(*arc);
    drawing->EndEdit(true);
    const auto before = drawing->Snapshot();
    drawing->BeginEdit("dropped");
    drawing->Add(*arc)->SetVisible(true);
    drawing->Add(*arc);
    drawing->EndEdit(false);
    EXPECT_EQ(drawing->Snapshot(), before);
    EXPECT_EQ(drawing->Steps(), std::vector<std::string>{"kept"});
}

TEST(FakeDrawing, MisuseOfEditStepsIsAHostError) {
    FakeFactory factory;
    auto drawing = factory.MakeDrawing();
    EXPECT_THROW(drawing->EndEdit(true), HostError);
    drawing->BeginEdit("a");
    EXPECT_THROW(drawing->BeginEdit("b"), HostError);
}

TEST(FakeArc, RotateAndMoveTurnAllThreePoints) {
    FakeFactory factory;
    auto arc = factory.CreateArc();
    arc->Center()->SetX(3);
    arc->Center()->SetY(4);
    arc->EndPoint()->SetX(6);
    auto origin = factory.CreatePoint();
    auto clone = arc->Clone();
    clone->Rotate(*origin, 90);
    clone->Move(10, 20);
    const auto state = dynamic_cast<FakeArc&>(*clone).State();
    EXPECT_EQ(state.centerX, 6);
    EXPECT_EQ(state.centerY, 23);
    EXPECT_EQ(state.startX, 10);
    EXPECT_EQ(state.startY, 20);
    EXPECT_EQ(state.endX, 10);
    EXPECT_EQ(state.endY, 26);
    // The original is untouched by its clone's moves.
    EXPECT_EQ(dynamic_cast<FakeArc&>(*arc).State().endX, 6);
}

TEST(FakeArc, RotateByAnyAngleKeepsDistances) {
    FakeFactory factory;
    auto arc = factory.CreateArc();
    arc->StartPoint()->SetX(3);
    arc->StartPoint()->SetY(4);
    auto centre = factory.CreatePoint();
    arc->Rotate(*centre, 33.3);
    const auto state = dynamic_cast<FakeArc&>(*arc).State();
    EXPECT_NEAR(std::hypot(state.startX, state.startY), 5, 1e-12);
    EXPECT_NEAR(std::atan2(state.startY, state.startX),
                std::atan2(4, 3) + 33.3 * std::numbers::pi / 180, 1e-12);
}

TEST(CallLog, RecordsCallsInOrderWithArguments) {
    FakeFactory factory;
    auto list = factory.CreatePointList();
    list->Add(1.5, -2);
    (void)list->Item(0)->X();
    auto drawing = factory.MakeDrawing();
    drawing->BeginEdit("波線追加");
    drawing->Redraw(false);
    EXPECT_THAT(
        factory.Log()->Calls(),
        ElementsAre("Factory.CreatePointList", "PointList.Add(1.5, -2)", "PointList.Item(0)",
                    "Point.X", "Drawing.BeginEdit(波線追加)", "Drawing.Redraw(false)"));
}

TEST(CallLog, InjectedFailureHitsTheKthCallBeforeItsEffect) {
    FakeFactory factory;
    auto list = factory.MakePointList({});
    factory.Log()->FailAt(2);
    list->Add(1, 1);
    EXPECT_THROW(list->Add(2, 2), HostError);
    list->Add(3, 3);
    EXPECT_EQ(list->Peek(), (std::vector<std::pair<double, double>>{{1, 1}, {3, 3}}));
    EXPECT_EQ(factory.Log()->Count(), 3);
}

TEST(CallLog, FailFromFailsEveryLaterCallAndRecordingCanBeOff) {
    FakeFactory factory;
    factory.Log()->SetRecording(false);
    auto point = factory.CreatePoint();
    factory.Log()->FailFrom(2);
    EXPECT_THROW(point->SetX(1), HostError);
    EXPECT_THROW(point->SetY(1), HostError);
    EXPECT_TRUE(factory.Log()->Calls().empty());
    EXPECT_EQ(factory.Log()->Count(), 3);
}

TEST(FakePointList, OutOfRangeIsAHostError) {
    FakeFactory factory;
    auto list = factory.MakePointList({{0, 0}});
    EXPECT_THROW((void)list->Item(1), HostError);
    EXPECT_THROW((void)list->Item(-1), HostError);
    EXPECT_THROW(list->Remove(1), HostError);
}

TEST(FakeCurve, KeepsTheKindAndHandsOutAFreshList) {
    FakeFactory factory;
    auto curve = factory.CreateCurve();
    auto picks = factory.MakePointList({{0, 0}, {1, 2}});
    curve->SetPoints(2, *picks);
    EXPECT_EQ(dynamic_cast<FakeCurve&>(*curve).Kind(), 2);
    auto points = curve->Points();
    points->Item(0)->SetX(9);
    EXPECT_EQ(curve->Points()->Item(0)->X(), 0);
    EXPECT_EQ(curve->Points()->Count(), 2);
}

TEST(FakeDocuments, AddActivatesAndLayersAreFound) {
    FakeFactory factory;
    auto app = factory.CreateApplication();
    EXPECT_EQ(app->ActiveDocument(), nullptr);
    auto first = app->Documents()->Add("テスト図面");
    auto second = factory.Application()->GetDocuments()->Put("二");
    EXPECT_EQ(app->ActiveDocument(), second);
    first->Activate();
    EXPECT_EQ(app->ActiveDocument(), first);
    EXPECT_EQ(first->Layers()->IndexOf(200), -1);
    first->Layers()->Add(200, "地況線", 0);
    EXPECT_EQ(first->Layers()->IndexOf(200), 0);
    EXPECT_THROW(first->Layers()->Add(200, "x", 0), HostError);
}

TEST(FakeSnap, RefusesOrMovesAsTold) {
    FakeFactory factory;
    auto document = factory.Application()->GetDocuments()->Put("d");
    FakeView view(factory.Log(), document);
    auto point = factory.CreatePoint();
    point->SetX(1);
    EXPECT_TRUE(document->Snap()->SnapPoint(*point, view));
    EXPECT_EQ(point->X(), 1);
    document->GetSnap()->MoveTo(std::pair{5.0, 6.0});
    EXPECT_TRUE(document->Snap()->SnapPoint(*point, view));
    EXPECT_EQ(point->X(), 5);
    EXPECT_EQ(point->Y(), 6);
    document->GetSnap()->Refuse(true);
    EXPECT_FALSE(document->Snap()->SnapPoint(*point, view));
}

// Records the events a tool sends.
class RecordingEvents final : public host::HostToolEvents {
public:
    std::vector<std::string> events;
    void RapidTool_Connect(const host::HostViewPtr&) override { events.emplace_back("Connect"); }
    void RapidTool_DisConnect(const host::HostViewPtr&) override {
        events.emplace_back("DisConnect");
    }
    void RapidTool_IsSnapOperation(std::int16_t& bSnap) override { bSnap = -1; }
    void RapidTool_LButtonDown(const host::HostViewPtr&, const host::HostPointPtr& p) override {
        events.push_back("Down " + Num(p->X()) + " " + Num(p->Y()));
    }
    void RapidTool_LButtonDblck(const host::HostViewPtr&, const host::HostPointPtr&) override {
        events.emplace_back("Dblck");
    }
    void RapidTool_KeyDown(const host::HostViewPtr&, std::int16_t key, std::int16_t) override {
        events.push_back("Key " + std::to_string(key));
    }
    void RapidTool_BackOperation(const host::HostViewPtr&) override { events.emplace_back("Back"); }
    void RapidTool_MouseMove(const host::HostViewPtr&, const host::HostPointPtr&) override {
        events.emplace_back("Move");
    }
    void RapidTool_RubberDisp(const host::HostViewPtr&) override { events.emplace_back("Rubber"); }
};

TEST(FakeTool, StartAndStopAnswerAndEventsReachTheSink) {
    FakeFactory factory;
    factory.Application()->GetDocuments()->Put("d");
    auto tool = factory.CreateTool();
    RecordingEvents sink;
    tool->SetEventSink(&sink);
    tool->Start();
    auto& fakeTool = *factory.LastTool();
    fakeTool.FireLButtonDown(1, 2);
    fakeTool.FireKeyDown(13, 0);
    EXPECT_EQ(fakeTool.FireIsSnapOperation(), -1);
    tool->Stop();
    EXPECT_THAT(sink.events, ElementsAre("Connect", "Down 1 2", "Key 13", "DisConnect"));
    EXPECT_FALSE(fakeTool.Running());
}

TEST(FakeTool, MarksStackAndClear) {
    FakeFactory factory;
    auto document = factory.Application()->GetDocuments()->Put("d");
    auto tool = factory.CreateTool();
    auto point = factory.CreatePoint();
    tool->AddMark(1, *point, document);
    point->SetX(4);
    tool->AddMark(1, *point, document);
    tool->RemoveMark();
    ASSERT_EQ(factory.LastTool()->Marks().size(), 1U);
    EXPECT_EQ(factory.LastTool()->Marks()[0].x, 0);
    tool->ClearMarks();
    EXPECT_TRUE(factory.LastTool()->Marks().empty());
    auto curve = factory.CreateCurve();
    tool->ShowRubber(curve);
    EXPECT_EQ(factory.LastTool()->Rubber(), curve);
}

}  // namespace
}  // namespace pelimator::fake
