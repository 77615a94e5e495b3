// The picking of one line's points: marks, the same-point test, the back step, the rubber band,
// the drawing guard and the prompts, driven by the host's tool events.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
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

    // Clears the marks on the host, forgets the picks and shows the start prompt.
    void Reset();
    // Forgets the picks, the drawing and the band without a host call (after a host failure).
    void Forget() noexcept;

    [[nodiscard]] std::int16_t PickCount() const noexcept { return m_pickCount; }
    [[nodiscard]] const host::HostPointListPtr& PickPoints() const noexcept { return m_points; }
    // The prompt for the present state: the start point, or the number of the next point.
    [[nodiscard]] std::string Prompt() const;

    // Both coordinates equal; reads a.X, b.X, a.Y, b.Y in that order whatever the first gives.
    static bool IsSamePoint(const host::HostPoint& a, const host::HostPoint& b);

private:
    // True when the event's view may act: nothing picked yet, or the picks' own drawing.
    bool PassesDrawingGuard(const host::HostViewPtr& view) const;
    void AddPickPoint(const host::HostViewPtr& view, host::HostPoint& point);
    void ShowPrompt() const;

    host::HostFactory& m_factory;
    host::StatusSink m_prompt;
    host::HostToolPtr m_tool;
    std::int16_t m_pickCount = 0;
    host::HostDocumentPtr m_document;
    host::HostPointListPtr m_points;
    host::HostCurvePtr m_rubber;
};

}  // namespace pelimator
