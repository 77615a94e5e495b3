// A drawing that keeps what a line would add instead of adding it: the preview of a line is the
// drawing run itself, run against one of these.
#pragma once

#include <string>
#include <vector>

#include "host/host.h"

namespace pelimator {

// Add keeps a copy of each line or arc (made with the factory, attributes and points copied);
// the edit steps only decide whether the copies stay: EndEdit(false) drops what came since
// BeginEdit, as a real drawing discards them. Nothing reaches any document.
class PreviewDrawing final : public host::HostDrawing {
public:
    explicit PreviewDrawing(host::HostFactory& factory) : m_factory(factory) {}

    // HostError for anything but a line or an arc.
    host::HostEntityPtr Add(const host::HostEntity& entity) override;
    void BeginEdit(const std::string& title) override;
    void EndEdit(bool commit) override;
    void Redraw(bool /*all*/) override {}

    [[nodiscard]] const std::vector<host::HostEntityPtr>& Entities() const noexcept {
        return m_entities;
    }
    void Clear() noexcept { m_entities.clear(); }

private:
    host::HostFactory& m_factory;
    std::vector<host::HostEntityPtr> m_entities;
    std::size_t m_editBegin = 0;
};

}  // namespace pelimator
