// Huge-page advice for big arrays.
#include "base/huge_pages.h"

#include <cstdint>

#include <sys/mman.h>

namespace pelimator {

void AdviseHugePages(const void* data, std::size_t bytes) noexcept {
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20U;
    if (data == nullptr || bytes < 2 * kHuge) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t to = (begin + bytes) & ~(kHuge - 1);
    if (from < to) {
        ::madvise(reinterpret_cast<void*>(from), to - from,  // NOLINT(performance-no-int-to-ptr)
                  MADV_HUGEPAGE);
    }
}

}  // namespace pelimator
