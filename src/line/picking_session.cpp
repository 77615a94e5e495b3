// The picking of one line's points, in the order of host calls the tool has always made.
#include "line/picking_session.h"

#include <utility>

#include "line/line_run.h"

namespace pelimator {

namespace {

constexpr const char* kStartPrompt = "開始点を指示して下さい。";
constexpr const char* kNextPrompt = "点目を指示して下さい。";

}  // namespace

PickingSession::PickingSession(host::HostFactory& factory, host::StatusSink prompt)
    : m_factory(factory), m_prompt(std::move(prompt)) {}

void PickingSession::Connect(const host::HostViewPtr& view) {
    m_tool->ClearMarks();
    view->Document()->Drawing()->Redraw(false);
    m_document = view->Document();
    m_tool->Attach(0, view);
    ShowPrompt();
}

PickingSession::Next PickingSession::LButtonDown(const host::HostViewPtr& view,
                                                 host::HostPoint& point) {
    if (PassesDrawingGuard(view)) AddPickPoint(view, point);
    return Next::Nothing;
}

PickingSession::Next PickingSession::LButtonDblck(const host::HostViewPtr& view,
                                                  host::HostPoint& point) {
    if (!PassesDrawingGuard(view)) return Next::Nothing;
    AddPickPoint(view, point);
    return m_pickCount > 1 ? Next::Draw : Next::Nothing;
}

PickingSession::Next PickingSession::KeyDown(const host::HostViewPtr& view, std::int16_t keyCode) {
    if (!PassesDrawingGuard(view)) return Next::Nothing;
    if (keyCode == kKeyEnter) return m_pickCount > 1 ? Next::Draw : Next::Nothing;
    if (keyCode == kKeyEscape) return Next::StopTool;
    return Next::Nothing;
}

void PickingSession::BackOperation(const host::HostViewPtr& view) {
    if (!PassesDrawingGuard(view) || m_pickCount == 0) return;
    if (m_pickCount == 1) {
        m_document.reset();
        m_points.reset();
        m_rubber.reset();
    } else {
        m_points->Remove(m_pickCount - 1);
    }
    m_tool->RemoveMark();
    m_pickCount = static_cast<std::int16_t>(m_pickCount - 1);
    ShowPrompt();
}

void PickingSession::MouseMove(const host::HostViewPtr& view, const host::HostPoint& cursor,
                               settings::PathKind kind) {
    if (m_pickCount <= 0 || view->Document() != m_document) return;
    const double x = cursor.X();
    const double y = cursor.Y();
    // The cursor joins the picks for as long as the host builds the band from them.
    m_points->Add(x, y);
    m_rubber.reset();
    m_rubber = m_factory.CreateCurve();
    m_rubber->SetPoints(HostCurveKind(kind), *m_points);
    m_points->Remove(m_pickCount);
}

void PickingSession::RubberDisp(const host::HostViewPtr& view) {
    if (m_pickCount > 0 && view->Document() == m_document) m_tool->ShowRubber(m_rubber);
}

void PickingSession::Reset() {
    if (m_tool) m_tool->ClearMarks();
    Forget();
    ShowPrompt();
}

void PickingSession::Forget() noexcept {
    m_pickCount = 0;
    m_rubber.reset();
    m_points.reset();
    m_document.reset();
}

std::string PickingSession::Prompt() const {
    if (m_pickCount == 0) return kStartPrompt;
    return std::to_string(m_pickCount + 1) + kNextPrompt;
}

bool PickingSession::IsSamePoint(const host::HostPoint& a, const host::HostPoint& b) {
    const double ax = a.X();
    const double bx = b.X();
    const double ay = a.Y();
    const double by = b.Y();
    return ax == bx && ay == by;
}

bool PickingSession::PassesDrawingGuard(const host::HostViewPtr& view) const {
    return m_pickCount == 0 || view->Document() == m_document;
}

void PickingSession::AddPickPoint(const host::HostViewPtr& view, host::HostPoint& point) {
    if (m_pickCount >= kMaxPicks) return;
    if (!view->Document()->Snap()->SnapPoint(point, *view)) return;
    if (m_pickCount == 0) {
        m_document = view->Document();
        m_points = m_factory.CreatePointList();
        m_rubber = m_factory.CreateCurve();
    } else {
        if (view->Document() != m_document) return;
        if (IsSamePoint(*m_points->Item(m_pickCount - 1), point)) return;
    }
    const double x = point.X();  // X before Y, as the host expects its reads
    const double y = point.Y();
    m_points->Add(x, y);
    m_tool->AddMark(1, point, m_document);
    m_pickCount = static_cast<std::int16_t>(m_pickCount + 1);
    ShowPrompt();
}

void PickingSession::ShowPrompt() const {
    if (m_prompt) m_prompt(Prompt());
}

}  // namespace pelimator
