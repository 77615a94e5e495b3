// Big arrays filled once, backed by huge pages where the system allows it.
#pragma once

#include <cstddef>
#include <vector>

namespace pelimator {

// Asks the system to back the whole 2 MB pages inside [data, data + bytes) with huge pages
// (transparent huge pages in "madvise" mode): one page fault instead of 512 per 2 MB filled, which
// matters where faults are dear (virtual machines). Nothing for less than a few megabytes, or
// where the system refuses.
void AdviseHugePages(const void* data, std::size_t bytes) noexcept;

// Reserves room for count elements in items and advises huge pages for it.
template <typename T>
void ReserveHuge(std::vector<T>& items, std::size_t count) {
    items.reserve(count);
    AdviseHugePages(items.data(), items.capacity() * sizeof(T));
}

}  // namespace pelimator
