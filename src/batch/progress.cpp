// Progress of a batch run on standard error.
#include "batch/progress.h"

#include <algorithm>
#include <charconv>

namespace pelimator::batch {

namespace {

constexpr int kBarWidth = 24;

// The number before the final "%)" of a status text, or 0 when it has none.
int StepPercent(std::string_view text) noexcept {
    const auto close = text.rfind("%)");
    const auto open = text.rfind('(', close);
    if (close == std::string_view::npos || open == std::string_view::npos) return 0;
    int value = 0;
    std::from_chars(text.data() + open + 1, text.data() + close, value);
    return std::clamp(value, 0, 100);
}

}  // namespace

int OverallPercent(std::size_t pathIndex, std::size_t pathCount,
                   std::string_view statusText) noexcept {
    if (pathCount == 0) return 100;
    const double done = static_cast<double>(pathIndex) + StepPercent(statusText) / 100.0;
    return std::clamp(static_cast<int>(done * 100.0 / static_cast<double>(pathCount)), 0, 100);
}

Progress::Progress(std::ostream& out, bool terminal, std::size_t pathCount, Clock clock)
    : m_out(out), m_terminal(terminal), m_pathCount(pathCount), m_clock(std::move(clock)) {}

host::StatusSink Progress::Sink() {
    if (!m_terminal) return [](std::string_view) {};
    return [this](std::string_view text) { OnStatus(text); };
}

void Progress::StartPath(std::size_t index) {
    m_current = index;
    if (m_terminal && !m_drawn) DrawBar("");
}

void Progress::FinishPath(std::size_t index, std::int32_t entities) {
    if (m_terminal) {
        if (index + 1 == m_pathCount) DrawBar("");
        return;
    }
    m_out << "経路 " << index + 1 << "/" << m_pathCount << ": 図形 " << entities << " 個\n";
}

void Progress::Close() {
    if (m_terminal && m_drawn) {
        m_out << "\n";
        m_drawn = false;
    }
    m_out.flush();
}

void Progress::OnStatus(std::string_view text) {
    // Status texts come once per point and per entity: look at the clock only now and then.
    if ((++m_calls & 63U) != 0) return;
    const auto now = m_clock();
    if (m_drawn && now - m_lastDraw < kRedrawInterval) return;
    DrawBar(text);
}

void Progress::DrawBar(std::string_view text) {
    const bool finished = m_current + 1 == m_pathCount && text.empty() && m_drawn;
    const int percent = finished ? 100 : OverallPercent(m_current, m_pathCount, text);
    const int filled = percent * kBarWidth / 100;
    std::string bar = "\r[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '-');
    bar += "] " + std::to_string(percent) + "% 経路 " +
           std::to_string(std::min(m_current + 1, m_pathCount)) + "/" + std::to_string(m_pathCount);
    if (!text.empty()) {
        bar += " ";
        bar += text;
    }
    bar += "\x1b[K";  // clear what a longer previous line left
    m_out << bar << std::flush;
    m_lastDraw = m_clock();
    m_drawn = true;
}

}  // namespace pelimator::batch
