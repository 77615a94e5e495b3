// Progress of a batch run on standard error: a bar redrawn in place on a terminal, one line per
// finished path otherwise.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "host/host.h"

namespace pelimator::batch {

class Progress {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Redraws of the bar come at most this often.
    static constexpr std::chrono::milliseconds kRedrawInterval{100};

    // terminal: draw a bar on one line (rewritten after "\r"); otherwise write plain lines.
    Progress(std::ostream& out, bool terminal, std::size_t pathCount,
             Clock clock = std::chrono::steady_clock::now);

    // Where the status texts of the path being drawn go: on a terminal they show beside the bar.
    [[nodiscard]] host::StatusSink Sink();
    // Before drawing path index (0-based).
    void StartPath(std::size_t index);
    // After a path was drawn with entities added.
    void FinishPath(std::size_t index, std::int32_t entities);
    // Ends the bar's line (so that what follows starts on a new one).
    void Close();

private:
    void OnStatus(std::string_view text);
    void DrawBar(std::string_view text);

    std::ostream& m_out;
    bool m_terminal;
    std::size_t m_pathCount;
    Clock m_clock;
    std::size_t m_current = 0;
    std::chrono::steady_clock::time_point m_lastDraw{};
    bool m_drawn = false;
    std::uint32_t m_calls = 0;
};

// The "%" shown for the current path of a run: whole paths done plus the step's share.
[[nodiscard]] int OverallPercent(std::size_t pathIndex, std::size_t pathCount,
                                 std::string_view statusText) noexcept;

}  // namespace pelimator::batch
