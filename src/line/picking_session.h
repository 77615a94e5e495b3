// The picking of one line's points: marks, the same-point test, the back step, the rubber band,
// the drawing guard and the prompts, driven by the host's tool events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"
#include "line/line_run.h"
#include "settings/settings_file.h"

namespace pelimator {

// Holds the points picked so far, the drawing they belong to and the rubber band, and talks to
// the host's tool object for marks and the band. It decides; the window forwards the host's
// events to it, shows its prompts and runs the line when told to. Once a point is picked,
// events from a view of another drawing are ignored (the drawing guard). Host errors pass
// through; the caller resets the session at its boundary.
class PickingSession {
public:
    // What the caller does after an event.
    enum class Next : std::uint8_t {
        Nothing,
        Draw,      // two or more points and the user finished: run the line, then Reset
        StopTool,  // the user cancelled: stop the host's tool
    };

    // What UpdatePreview showed.
    enum class PreviewScope : std::uint8_t {
        None,        // nothing: no line to draw, or the run refused it
        WithCursor,  // the line Enter would draw, and the one a double click at the cursor would
        PicksOnly,   // the line Enter would draw alone: the one through the cursor would cost a
                     // frame
    };

    // A preview whose line would make more entities than this is shown for the picks only: a
    // run this large takes about a frame (see the benchmarks).
    static constexpr std::int64_t kPreviewEntityBudget = 20'000;
    // A fitted line costs about three runs (the pitch is found by walking the path a few
    // times): it counts this many times over.
    static constexpr std::int64_t kFitCostFactor = 3;

    // PickCount and the prompt number PickCount + 1 are 16-bit: picks beyond this are ignored.
    static constexpr std::int16_t kMaxPicks = 32766;
    static constexpr std::int16_t kKeyEnter = 13;
    static constexpr std::int16_t kKeyEscape = 27;

    // prompt receives each prompt text (UTF-8); factory makes the point list and the band.
    PickingSession(host::HostFactory& factory, host::StatusSink prompt);

    // The tool of the connection (null when none): marks and the band go to it.
    void SetTool(host::HostToolPtr tool) { m_tool = std::move(tool); }

    // Host events.
    void Connect(const host::HostViewPtr& view);
    Next LButtonDown(const host::HostViewPtr& view, host::HostPoint& point);
    Next LButtonDblck(const host::HostViewPtr& view, host::HostPoint& point);
    Next KeyDown(const host::HostViewPtr& view, std::int16_t keyCode);
    void BackOperation(const host::HostViewPtr& view);
    // Rebuilds the band through the picks and the cursor with the given curve kind.
    void MouseMove(const host::HostViewPtr& view, const host::HostPoint& cursor,
                   settings::PathKind kind);
    void RubberDisp(const host::HostViewPtr& view);

    // Runs the drawing run, with options and settings as Enter would run it now, into a preview
    // drawing, and again as a double click at the last cursor position would (the picks and that
    // position, snapped and checked as the double click would add it), and hands both to the
    // tool: the first as what finishing now draws, the second to be shown lighter beneath it.
    // Nothing is added to the document. When the estimate of entities of both (times
    // kFitCostFactor when the pitch is fitted) exceeds kPreviewEntityBudget, the line through
    // the picks alone is shown (run once per change of the picks) and the prompt says so. A line
    // the run refuses is not shown: finishing reports why.
    PreviewScope UpdatePreview(const host::HostViewPtr& view, const LineOptions& options,
                               const settings::RunSettings& settings);
    // Hides a preview that is shown.
    void HidePreview();

    // Clears the marks on the host, forgets the picks and shows the start prompt.
    void Reset();
    // Forgets the picks, the drawing and the band without a host call (after a host failure).
    void Forget() noexcept;

    [[nodiscard]] std::int16_t PickCount() const noexcept { return m_pickCount; }
    [[nodiscard]] const host::HostPointListPtr& PickPoints() const noexcept { return m_points; }
    // Drawing along an existing line: a Shift+click (the tool's ClickShift) while nothing is
    // picked takes the host's PathAlong at the click as the path, shown as the rubber band with a
    // mark at its start (the preview follows). Until a double click or Enter
    // draws it, other clicks and moves are ignored; Backspace gives it up, Esc stops the tool.
    [[nodiscard]] bool IsAlong() const noexcept { return m_along != nullptr; }
    // What a Draw runs along: the path taken, or the picks.
    [[nodiscard]] const host::HostPointListPtr& PathPoints() const noexcept {
        return m_along ? m_along : m_points;
    }
    // The prompt for the present state: the start point, or the number of the next point.
    [[nodiscard]] std::string Prompt() const;

    // Both coordinates equal; reads a.X, b.X, a.Y, b.Y in that order whatever the first gives.
    static bool IsSamePoint(const host::HostPoint& a, const host::HostPoint& b);

private:
    // True when the event's view may act: nothing picked yet, or the picks' own drawing.
    bool PassesDrawingGuard(const host::HostViewPtr& view) const;
    void AddPickPoint(const host::HostViewPtr& view, host::HostPoint& point);
    void TakePathAlong(const host::HostViewPtr& view, const host::HostPoint& point);
    void ShowPrompt() const;
    // The picks and the cursor as a double click there would leave them.
    host::HostPointListPtr PicksWithCursor(const host::HostViewPtr& view) const;
    // Runs the line into a preview drawing, its entities into entities; false when the run
    // refused it.
    bool RunPreview(const host::HostPointList& picks, const LineOptions& options,
                    const settings::RunSettings& settings,
                    std::vector<host::HostEntityPtr>& entities);
    // Hands both lines to the tool.
    void Show(const std::vector<host::HostEntityPtr>& now,
              const std::vector<host::HostEntityPtr>& atCursor);
    void PicksChanged() noexcept;

    host::HostFactory& m_factory;
    host::StatusSink m_prompt;
    host::HostToolPtr m_tool;
    std::int16_t m_pickCount = 0;
    host::HostDocumentPtr m_document;
    host::HostPointListPtr m_points;
    host::HostCurvePtr m_rubber;
    host::HostPointListPtr m_along;  // the path taken along an existing line, or null
    bool m_haveCursor = false;
    double m_cursorX = 0.0;
    double m_cursorY = 0.0;
    std::uint64_t m_picksVersion = 0;  // grows with every change of the picks
    bool m_previewShown = false;
    PreviewScope m_scope = PreviewScope::None;
    std::uint64_t m_scopeVersion = 0;  // the picks' version the PicksOnly preview was made for
};

}  // namespace pelimator
