// Progress texts "label" + whole percent + "%)", built without touching the heap.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "host/host.h"

namespace pelimator {

// Keeps the label in a fixed buffer and, per step, writes only the digits and "%)" after it.
// The percent is floor(step / last · 100) computed in doubles, divided first: with 100 steps the
// 29th shows 28, as (29 / 100) · 100 is 28.999999999999996.
class ProgressText {
public:
    // label must be shorter than 96 bytes (ProgressText raises Error otherwise).
    explicit ProgressText(std::string_view label);

    // The text for step of last (last > 0).
    [[nodiscard]] std::string_view Format(std::int32_t step, std::int32_t last) noexcept;

    // Formats and hands the text to status; an empty sink shows nothing.
    void Show(const host::StatusSink& status, std::int32_t step, std::int32_t last) {
        if (status) {
            status(Format(step, last));
        }
    }

private:
    static constexpr std::size_t kCapacity = 128;
    std::array<char, kCapacity> m_buffer{};
    std::size_t m_labelSize = 0;
    // The percent last written and the text's length then: most steps repeat it.
    long long m_lastWhole = -1;
    std::size_t m_size = 0;
};

}  // namespace pelimator
