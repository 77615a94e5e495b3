// A list of callbacks that watch a model object; safe against changes to the list while it runs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace pelimator::board {

// Identifies one registration, for RemoveObserver.
using ObserverId = std::uint64_t;

template <typename... Args>
class ObserverList {
public:
    using Callback = std::function<void(Args...)>;

    ObserverId Add(Callback callback) {
        m_entries.push_back({++m_lastId, std::move(callback)});
        return m_lastId;
    }
    // Unknown ids are ignored, so a watcher may remove itself twice.
    void Remove(ObserverId id) noexcept {
        std::erase_if(m_entries, [id](const Entry& entry) { return entry.id == id; });
    }
    [[nodiscard]] bool Empty() const noexcept { return m_entries.empty(); }

    // Calls every callback registered when the call starts; one removed meanwhile is skipped.
    void Notify(Args... args) const {
        const auto snapshot = m_entries;
        for (const auto& entry : snapshot) {
            if (Contains(entry.id)) entry.callback(args...);
        }
    }

private:
    struct Entry {
        ObserverId id;
        Callback callback;
    };
    [[nodiscard]] bool Contains(ObserverId id) const noexcept {
        return std::ranges::any_of(m_entries, [id](const Entry& entry) { return entry.id == id; });
    }

    std::vector<Entry> m_entries;
    ObserverId m_lastId = 0;
};

}  // namespace pelimator::board
