// The host layer's promises, checked on every host the tool runs on: the board and the recording
// fake the other tests use in its place. A test passes on both or the fake has drifted.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "board/model/application.h"
#include "board/model/document.h"
#include "board/model/factory.h"
#include "board/model/tool_object.h"
#include "host/errors.h"
#include "host/host.h"
#include "support/fake_host.h"

namespace pelimator {
namespace {

// What the suite needs beyond the interfaces: how many entities a document holds, and the
// canvas input a user gives a running tool.
class FakeHost {
public:
    host::HostFactory& Factory() { return m_factory; }
    [[nodiscard]] static std::size_t EntityCount(const host::HostDocumentPtr& document) {
        return dynamic_cast<fake::FakeDocument&>(*document).GetDrawing()->Snapshot().size();
    }
    void Click(double x, double y, bool shift) {
        if (shift) {
            m_factory.LastTool()->FireShiftLButtonDown(x, y);
        } else {
            m_factory.LastTool()->FireLButtonDown(x, y);
        }
    }
    void Key(std::int16_t key) { m_factory.LastTool()->FireKeyDown(key, 0); }

private:
    fake::FakeFactory m_factory;
};

class BoardHost {
public:
    host::HostFactory& Factory() { return m_factory; }
    [[nodiscard]] static std::size_t EntityCount(const host::HostDocumentPtr& document) {
        return dynamic_cast<board::BoardDocument&>(*document).DrawingModel()->Count();
    }
    void Click(double x, double y, bool shift) { Tool().Click(View(), {x, y}, shift ? 1 : 0); }
    void Key(std::int16_t key) { Tool().Key(View(), key, 0); }

private:
    board::BoardToolObject& Tool() { return *m_application->RunningTool(); }
    host::HostViewPtr View() {
        return std::dynamic_pointer_cast<board::BoardDocument>(m_application->ActiveDocument())
            ->View();
    }
    board::BoardApplicationPtr m_application = board::BoardApplication::Create();
    board::BoardFactory m_factory{m_application};
};

// Records the events a tool sends, by name; clicks with the shift state the tool reports.
class RecordingEvents final : public host::HostToolEvents {
public:
    explicit RecordingEvents(const host::HostToolPtr& tool) : m_tool(tool) {}
    std::vector<std::string> events;
    void RapidTool_Connect(const host::HostViewPtr&) override { events.emplace_back("Connect"); }
    void RapidTool_DisConnect(const host::HostViewPtr&) override {
        events.emplace_back("DisConnect");
    }
    void RapidTool_IsSnapOperation(std::int16_t& bSnap) override { bSnap = 0; }
    void RapidTool_LButtonDown(const host::HostViewPtr&, const host::HostPointPtr&) override {
        events.push_back("Down shift " + std::to_string(m_tool->ClickShift()));
    }
    void RapidTool_LButtonDblck(const host::HostViewPtr&, const host::HostPointPtr&) override {
        events.emplace_back("Dblck");
    }
    void RapidTool_KeyDown(const host::HostViewPtr&, std::int16_t key, std::int16_t) override {
        events.push_back("Key " + std::to_string(key));
    }
    void RapidTool_BackOperation(const host::HostViewPtr&) override { events.emplace_back("Back"); }
    void RapidTool_MouseMove(const host::HostViewPtr&, const host::HostPointPtr&) override {}
    void RapidTool_RubberDisp(const host::HostViewPtr&) override {}

private:
    host::HostToolPtr m_tool;
};

template <typename Host>
class HostConformance : public ::testing::Test {
protected:
    Host host;
    host::HostFactory& factory = host.Factory();

    host::HostDocumentPtr NewDocument() {
        return factory.CreateApplication()->Documents()->Add("テスト図面");
    }
};

class HostNames {
public:
    template <typename Host>
    static std::string GetName(int /*index*/) {
        return std::is_same_v<Host, FakeHost> ? "Fake" : "Board";
    }
};

using Hosts = ::testing::Types<FakeHost, BoardHost>;
TYPED_TEST_SUITE(HostConformance, Hosts, HostNames);

TYPED_TEST(HostConformance, AddInsertsACopySoTheTemplateCanMoveOn) {
    auto document = this->NewDocument();
    auto drawing = document->Drawing();
    auto line = this->factory.CreateLine();
    line->EndPoint()->SetX(5);
    drawing->BeginEdit("a");
    auto added = std::dynamic_pointer_cast<host::HostLine>(drawing->Add(*line));
    line->EndPoint()->SetX(9);
    drawing->EndEdit(true);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->EndPoint()->X(), 5);
    EXPECT_EQ(TypeParam::EntityCount(document), 1U);
}

TYPED_TEST(HostConformance, EndEditFalseDiscardsOnlyTheOpenStep) {
    auto document = this->NewDocument();
    auto drawing = document->Drawing();
    auto arc = this->factory.CreateArc();
    arc->SetRadius(1);
    drawing->BeginEdit("kept");
    drawing->Add(*arc);
    drawing->EndEdit(true);
    drawing->BeginEdit("dropped");
    drawing->Add(*arc);
    drawing->Add(*arc);
    drawing->EndEdit(false);
    EXPECT_EQ(TypeParam::EntityCount(document), 1U);
}

TYPED_TEST(HostConformance, MisusedEditStepsAreHostErrors) {
    auto drawing = this->NewDocument()->Drawing();
    EXPECT_THROW(drawing->EndEdit(true), HostError);
    drawing->BeginEdit("a");
    EXPECT_THROW(drawing->BeginEdit("b"), HostError);
}

TYPED_TEST(HostConformance, ArcCloneMovesAndTurnsAllThreePointsAlone) {
    auto arc = this->factory.CreateArc();
    arc->Center()->SetX(3);
    arc->Center()->SetY(4);
    arc->EndPoint()->SetX(6);
    auto origin = this->factory.CreatePoint();
    auto clone = arc->Clone();
    clone->Rotate(*origin, 90);
    clone->Move(10, 20);
    EXPECT_NEAR(clone->Center()->X(), 6, 1e-12);
    EXPECT_NEAR(clone->Center()->Y(), 23, 1e-12);
    EXPECT_NEAR(clone->StartPoint()->X(), 10, 1e-12);
    EXPECT_NEAR(clone->StartPoint()->Y(), 20, 1e-12);
    EXPECT_NEAR(clone->EndPoint()->X(), 10, 1e-12);
    EXPECT_NEAR(clone->EndPoint()->Y(), 26, 1e-12);
    EXPECT_EQ(arc->EndPoint()->X(), 6);
}

TYPED_TEST(HostConformance, RotateByAnyAngleKeepsDistances) {
    auto arc = this->factory.CreateArc();
    arc->StartPoint()->SetX(3);
    arc->StartPoint()->SetY(4);
    auto centre = this->factory.CreatePoint();
    arc->Rotate(*centre, 33.3);
    const double x = arc->StartPoint()->X();
    const double y = arc->StartPoint()->Y();
    EXPECT_NEAR(std::hypot(x, y), 5, 1e-12);
    EXPECT_NEAR(std::atan2(y, x), std::atan2(4, 3) + 33.3 * std::numbers::pi / 180, 1e-12);
}

TYPED_TEST(HostConformance, PointsAreLiveAndIndexesOutOfRangeAreHostErrors) {
    auto list = this->factory.CreatePointList();
    list->Add(1, 2);
    list->Item(0)->SetX(7);
    EXPECT_EQ(list->Item(0)->X(), 7);
    EXPECT_THROW((void)list->Item(1), HostError);
    EXPECT_THROW((void)list->Item(-1), HostError);
    EXPECT_THROW(list->Remove(1), HostError);
    list->Remove(0);
    EXPECT_EQ(list->Count(), 0);
}

// Whether the list Points() hands out is the curve's own or a copy differs between the hosts
// (the board's is the curve's); the tool only reads it.
TYPED_TEST(HostConformance, CurvePointsRunFromTheFirstPickToTheLast) {
    auto curve = this->factory.CreateCurve();
    auto picks = this->factory.CreatePointList();
    picks->Add(0, 0);
    picks->Add(10, 0);
    curve->SetPoints(static_cast<std::int16_t>(host::CurveKind::Polyline), *picks);
    auto points = curve->Points();
    ASSERT_GE(points->Count(), 2);
    EXPECT_EQ(points->Item(0)->X(), 0);
    EXPECT_EQ(points->Item(points->Count() - 1)->X(), 10);
}

TYPED_TEST(HostConformance, AddedDocumentsBecomeActiveAndLayersAreFound) {
    auto application = this->factory.CreateApplication();
    const std::int32_t before = application->Documents()->Count();
    auto first = application->Documents()->Add("一");
    auto second = application->Documents()->Add("二");
    EXPECT_EQ(application->Documents()->Count(), before + 2);
    EXPECT_EQ(application->ActiveDocument(), second);
    first->Activate();
    EXPECT_EQ(application->ActiveDocument(), first);
    EXPECT_EQ(first->Layers()->IndexOf(200), -1);
    first->Layers()->Add(200, "地況線", 0);
    EXPECT_GE(first->Layers()->IndexOf(200), 0);
    EXPECT_THROW(first->Layers()->Add(200, "x", 0), HostError);
}

TYPED_TEST(HostConformance, StartAndStopAnswerAndInputReachesTheSink) {
    this->NewDocument();
    auto tool = this->factory.CreateTool();
    RecordingEvents sink(tool);
    tool->SetEventSink(&sink);
    tool->Start();
    this->host.Click(1, 2, false);
    this->host.Click(3, 4, true);
    this->host.Key(13);
    EXPECT_EQ(tool->ClickShift(), 0);  // only while the click is being reported
    tool->Stop();
    tool->SetEventSink(nullptr);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"Connect", "Down shift 0", "Down shift 1",
                                                     "Key 13", "DisConnect"}));
}

}  // namespace
}  // namespace pelimator
