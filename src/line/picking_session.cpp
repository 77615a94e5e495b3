// The picking of one line's points, in the order of host calls the tool has always made.
#include "line/picking_session.h"

#include <cmath>
#include <utility>

#include "base/errors.h"
#include "line/preview_drawing.h"

namespace pelimator {

namespace {

constexpr const char* kStartPrompt = "開始点を指示して下さい。";
constexpr const char* kNextPrompt = "点目を指示して下さい。";
constexpr const char* kAlongPrompt =
    "線に沿って描きます。ダブルクリックか Enter で確定、Backspace で取り消して下さい。";
constexpr const char* kNothingAlongText = "その位置に線、円弧、ポリラインがありません。";
constexpr const char* kPreviewLimitedNote = " (線が長いので、プレビューは指示した点までです)";

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
    if (m_along) return Next::Nothing;
    if (m_pickCount == 0 && m_tool && m_tool->ClickShift() != 0) {
        TakePathAlong(view, point);
        return Next::Nothing;
    }
    if (PassesDrawingGuard(view)) AddPickPoint(view, point);
    return Next::Nothing;
}

void PickingSession::TakePathAlong(const host::HostViewPtr& view, const host::HostPoint& point) {
    const host::HostDocumentPtr document = view->Document();
    host::HostPointListPtr path = document->PathAlong(point, *view);
    if (!path || path->Count() < 2) {
        if (m_prompt) m_prompt(std::string(kNothingAlongText) + Prompt());
        return;
    }
    m_along = std::move(path);
    m_document = document;
    // The path taken is shown as the band, with a mark where the line starts.
    if (m_tool) {
        m_rubber = m_factory.CreateCurve();
        m_rubber->SetPoints(HostCurveKind(settings::PathKind::Polyline), *m_along);
        m_tool->AddMark(1, *m_along->Item(0), m_document);
        m_tool->ShowRubber(m_rubber);
    }
    PicksChanged();
    ShowPrompt();
}

PickingSession::Next PickingSession::LButtonDblck(const host::HostViewPtr& view,
                                                  host::HostPoint& point) {
    if (!PassesDrawingGuard(view)) return Next::Nothing;
    if (m_along) return Next::Draw;
    AddPickPoint(view, point);
    return m_pickCount > 1 ? Next::Draw : Next::Nothing;
}

PickingSession::Next PickingSession::KeyDown(const host::HostViewPtr& view, std::int16_t keyCode) {
    if (!PassesDrawingGuard(view)) return Next::Nothing;
    if (keyCode == kKeyEnter) return m_pickCount > 1 || m_along ? Next::Draw : Next::Nothing;
    if (keyCode == kKeyEscape) return Next::StopTool;
    return Next::Nothing;
}

void PickingSession::BackOperation(const host::HostViewPtr& view) {
    if (!PassesDrawingGuard(view)) return;
    if (m_along) {
        HidePreview();
        if (m_tool) m_tool->RemoveMark();  // the band goes with the last mark
        m_along.reset();
        m_rubber.reset();
        m_document.reset();
        PicksChanged();
        ShowPrompt();
        return;
    }
    if (m_pickCount == 0) return;
    if (m_pickCount == 1) {
        HidePreview();
        m_haveCursor = false;
        m_document.reset();
        m_points.reset();
        m_rubber.reset();
    } else {
        m_points->Remove(m_pickCount - 1);
    }
    m_tool->RemoveMark();
    m_pickCount = static_cast<std::int16_t>(m_pickCount - 1);
    PicksChanged();
    ShowPrompt();
}

void PickingSession::MouseMove(const host::HostViewPtr& view, const host::HostPoint& cursor,
                               settings::PathKind kind) {
    if (m_along || m_pickCount <= 0 || view->Document() != m_document) return;
    const double x = cursor.X();
    const double y = cursor.Y();
    m_haveCursor = true;
    m_cursorX = x;
    m_cursorY = y;
    // The cursor joins the picks for as long as the host builds the band from them.
    m_points->Add(x, y);
    m_rubber.reset();
    m_rubber = m_factory.CreateCurve();
    m_rubber->SetPoints(HostCurveKind(kind), *m_points);
    m_points->Remove(m_pickCount);
}

void PickingSession::RubberDisp(const host::HostViewPtr& view) {
    if ((m_pickCount > 0 || m_along) && view->Document() == m_document) {
        m_tool->ShowRubber(m_rubber);
    }
}

void PickingSession::Reset() {
    if (m_tool) m_tool->ClearMarks();
    Forget();
    ShowPrompt();
}

void PickingSession::Forget() noexcept {
    PicksChanged();
    m_haveCursor = false;
    m_previewShown = false;  // the host drops the preview with the marks
    m_scope = PreviewScope::None;
    m_pickCount = 0;
    m_along.reset();
    m_rubber.reset();
    m_points.reset();
    m_document.reset();
}

std::string PickingSession::Prompt() const {
    if (m_along) return kAlongPrompt;
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
    return (m_pickCount == 0 && !m_along) || view->Document() == m_document;
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
    PicksChanged();
    ShowPrompt();
}

void PickingSession::ShowPrompt() const {
    if (!m_prompt) return;
    m_prompt(m_scope == PreviewScope::PicksOnly ? Prompt() + kPreviewLimitedNote : Prompt());
}

void PickingSession::PicksChanged() noexcept { ++m_picksVersion; }

PickingSession::PreviewScope PickingSession::UpdatePreview(const host::HostViewPtr& view,
                                                           const LineOptions& options,
                                                           const settings::RunSettings& settings) {
    if (m_along && m_tool && view->Document() == m_document) {
        // The path as it is, run once per path taken: the path kind does not apply.
        if (m_scope == PreviewScope::None || m_scopeVersion != m_picksVersion) {
            LineOptions along = options;
            along.pathKind = settings::PathKind::Polyline;
            try {
                std::vector<host::HostEntityPtr> now;
                m_scope = RunPreview(*m_along, along, settings, now) ? PreviewScope::WithCursor
                                                                     : PreviewScope::None;
                if (m_scope != PreviewScope::None) Show(now, {});
            } catch (const Error&) {
                m_scope = PreviewScope::None;
            }
            m_scopeVersion = m_picksVersion;
        }
        return m_scope;
    }
    if (!m_tool || m_pickCount <= 0 || !m_haveCursor || view->Document() != m_document) {
        HidePreview();
        return PreviewScope::None;
    }
    const PreviewScope before = m_scope;
    try {
        // Enter draws through the picks; a double click adds the cursor's point. Both are shown:
        // the first as what finishing now draws, the second lighter beneath it.
        const host::HostPointListPtr picks = PicksWithCursor(view);
        const double pitch = LinePitch(*m_document, options, settings);
        const auto estimateOf = [&](const host::HostPointList& points) -> std::int64_t {
            return std::isfinite(pitch) && pitch > 0.0
                       ? EstimateEntities(PolylineLength(points), pitch, points.Count())
                       : 0;
        };
        const std::int64_t estimate = estimateOf(*picks) + estimateOf(*m_points);
        const std::int64_t budget =
            options.fitToEnd ? kPreviewEntityBudget / kFitCostFactor : kPreviewEntityBudget;
        if (estimate <= budget) {
            std::vector<host::HostEntityPtr> now;
            std::vector<host::HostEntityPtr> atCursor;
            const bool nowShown = m_pickCount > 1 && RunPreview(*m_points, options, settings, now);
            const bool cursorShown =
                picks->Count() > m_pickCount && RunPreview(*picks, options, settings, atCursor);
            m_scope = nowShown || cursorShown ? PreviewScope::WithCursor : PreviewScope::None;
            if (m_scope != PreviewScope::None) Show(now, atCursor);
        } else if (m_scope != PreviewScope::PicksOnly || m_scopeVersion != m_picksVersion) {
            // The picks alone: run once for these picks, kept while the cursor moves.
            std::vector<host::HostEntityPtr> now;
            m_scope = m_pickCount > 1 && RunPreview(*m_points, options, settings, now)
                          ? PreviewScope::PicksOnly
                          : PreviewScope::None;
            if (m_scope != PreviewScope::None) Show(now, {});
            m_scopeVersion = m_picksVersion;
        }
    } catch (const Error&) {
        // The double click will run the line and report what fails; the preview just goes.
        m_scope = PreviewScope::None;
    }
    if (m_scope == PreviewScope::None) HidePreview();
    if ((m_scope == PreviewScope::PicksOnly) != (before == PreviewScope::PicksOnly)) ShowPrompt();
    return m_scope;
}

void PickingSession::HidePreview() {
    if (m_previewShown && m_tool) m_tool->ShowPreview({}, {});
    m_previewShown = false;
    const bool noted = m_scope == PreviewScope::PicksOnly;
    m_scope = PreviewScope::None;
    if (noted) ShowPrompt();
}

host::HostPointListPtr PickingSession::PicksWithCursor(const host::HostViewPtr& view) const {
    auto picks = m_factory.CreatePointList();
    for (std::int32_t i = 0; i < m_pickCount; ++i) {
        const auto point = m_points->Item(i);
        const double x = point->X();
        const double y = point->Y();
        picks->Add(x, y);
    }
    if (m_pickCount >= kMaxPicks) return picks;
    auto cursor = m_factory.CreatePoint();
    cursor->SetX(m_cursorX);
    cursor->SetY(m_cursorY);
    if (!view->Document()->Snap()->SnapPoint(*cursor, *view)) return picks;
    if (IsSamePoint(*m_points->Item(m_pickCount - 1), *cursor)) return picks;
    const double x = cursor->X();
    const double y = cursor->Y();
    picks->Add(x, y);
    return picks;
}

bool PickingSession::RunPreview(const host::HostPointList& picks, const LineOptions& options,
                                const settings::RunSettings& settings,
                                std::vector<host::HostEntityPtr>& entities) {
    PreviewDrawing drawing(m_factory);
    try {
        DrawLineInto(m_factory, *m_document, drawing, picks, options, settings, {});
    } catch (const Error&) {
        return false;
    }
    entities = drawing.Entities();
    return true;
}

void PickingSession::Show(const std::vector<host::HostEntityPtr>& now,
                          const std::vector<host::HostEntityPtr>& atCursor) {
    m_tool->ShowPreview(now, atCursor);
    m_previewShown = true;
}

}  // namespace pelimator
