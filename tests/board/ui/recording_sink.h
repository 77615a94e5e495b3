// A tool event sink that records what the board sends, for checks of the canvas and window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/model/types.h"
#include "host/host.h"

namespace pelimator::board::test {

struct RecordedEvent {
    std::string name;  // "Connect", "DisConnect", "LButtonDown", "LButtonDblck", "KeyDown", ...
    Vec2 point;        // for clicks and moves
    std::int16_t keyCode = 0;
    std::int16_t shift = 0;
};

class RecordingSink final : public host::HostToolEvents {
public:
    std::int16_t snapAnswer = 0;  // what RapidTool_IsSnapOperation answers (-1 True)
    std::vector<RecordedEvent> events;

    void RapidTool_Connect(const host::HostViewPtr&) override { Record("Connect"); }
    void RapidTool_DisConnect(const host::HostViewPtr&) override { Record("DisConnect"); }
    void RapidTool_IsSnapOperation(std::int16_t& bSnap) override { bSnap = snapAnswer; }
    void RapidTool_LButtonDown(const host::HostViewPtr&, const host::HostPointPtr& p) override {
        Record("LButtonDown", {p->X(), p->Y()});
    }
    void RapidTool_LButtonDblck(const host::HostViewPtr&, const host::HostPointPtr& p) override {
        Record("LButtonDblck", {p->X(), p->Y()});
    }
    void RapidTool_KeyDown(const host::HostViewPtr&, std::int16_t key,
                           std::int16_t shift) override {
        Record("KeyDown", {}, key, shift);
    }
    void RapidTool_BackOperation(const host::HostViewPtr&) override { Record("BackOperation"); }
    void RapidTool_MouseMove(const host::HostViewPtr&, const host::HostPointPtr& p) override {
        Record("MouseMove", {p->X(), p->Y()});
    }
    void RapidTool_RubberDisp(const host::HostViewPtr&) override { Record("RubberDisp"); }

    void Record(const char* name, Vec2 point = {}, std::int16_t key = 0, std::int16_t shift = 0) {
        events.push_back(RecordedEvent{name, point, key, shift});
    }

    // Names of the recorded events other than moves and band requests, in order.
    [[nodiscard]] std::vector<std::string> Actions() const {
        std::vector<std::string> names;
        for (const auto& event : events) {
            if (event.name != "MouseMove" && event.name != "RubberDisp")
                names.push_back(event.name);
        }
        return names;
    }
    [[nodiscard]] std::size_t CountOf(const std::string& name) const {
        std::size_t n = 0;
        for (const auto& event : events) n += event.name == name ? 1 : 0;
        return n;
    }
};

}  // namespace pelimator::board::test
