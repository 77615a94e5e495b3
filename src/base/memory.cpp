// The memory a process may use, from the machine and the process's limits.
#include "base/memory.h"

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

namespace pelimator {

std::uint64_t UsableMemoryBytes() noexcept {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    std::uint64_t usable = pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) *
                                                           static_cast<std::uint64_t>(pageSize)
                                                     : std::uint64_t{1} << 32U;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            usable = std::min<std::uint64_t>(usable, limit.rlim_cur);
        }
    }
    return usable;
}

std::uint64_t ReadMemoryBudget() noexcept { return UsableMemoryBytes() / 4 * 3; }

std::string MemorySizeText(std::uint64_t bytes) {
    constexpr double kMega = 1024.0 * 1024.0;
    const double megabytes = static_cast<double>(bytes) / kMega;
    if (megabytes < 1024.0) return std::to_string(static_cast<std::uint64_t>(megabytes)) + " MB";
    const auto tenths = static_cast<std::uint64_t>(megabytes / 1024.0 * 10.0 + 0.5);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " GB";
}

}  // namespace pelimator
