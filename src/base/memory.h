// How much memory one piece of work may take: readers estimate what a file will cost before they
// allocate it and refuse what does not fit, with both figures.
#pragma once

#include <cstdint>
#include <string>

namespace pelimator {

// The memory this process may use: the machine's physical memory, or less where a limit of the
// process (ulimit -v, ulimit -d) says so.
[[nodiscard]] std::uint64_t UsableMemoryBytes() noexcept;

// What one read may take of it: three quarters, leaving room for the program and what it shows.
[[nodiscard]] std::uint64_t ReadMemoryBudget() noexcept;

// A size for messages in whole megabytes or gigabytes with one decimal ("850 MB", "14.6 GB").
[[nodiscard]] std::string MemorySizeText(std::uint64_t bytes);

}  // namespace pelimator
