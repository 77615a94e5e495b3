// Progress texts built in a fixed buffer.
#include "geometry/progress_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "base/errors.h"

namespace pelimator {

ProgressText::ProgressText(std::string_view label) : m_labelSize(label.size()) {
    // Room for the digits of any 64-bit value and "%)".
    if (label.size() > kCapacity - 32) {
        throw Error("進捗表示の見出しが長すぎます");
    }
    std::memcpy(m_buffer.data(), label.data(), label.size());
}

std::string_view ProgressText::Format(std::int32_t step, std::int32_t last) noexcept {
    const double percent =
        std::floor(static_cast<double>(step) / static_cast<double>(last) * 100.0);
    // Steps run from 1 to last, so the percent lies in 0..100; clamp what a caller could pass
    // beyond that so the conversion stays defined.
    const auto whole = static_cast<long long>(percent >= -1e15 && percent <= 1e15 ? percent : 0.0);
    if (whole != m_lastWhole) {
        char* const begin = m_buffer.data() + m_labelSize;
        char* const end = m_buffer.data() + m_buffer.size();
        auto [next, ec] = std::to_chars(begin, end - 2, whole);
        (void)ec;  // 30 bytes always hold a 64-bit value
        next[0] = '%';
        next[1] = ')';
        m_size = static_cast<std::size_t>(next + 2 - m_buffer.data());
        m_lastWhole = whole;
    }
    return {m_buffer.data(), m_size};
}

}  // namespace pelimator
