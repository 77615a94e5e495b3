// Helpers shared by the drawing file tests: temporary folders, random drawings and comparison.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "board/dxf/dxf_file.h"

namespace pelimator::board::testing {

// A fresh empty folder, removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    [[nodiscard]] std::string File(const std::string& name) const {
        return (m_path / name).string();
    }
    [[nodiscard]] const std::filesystem::path& Path() const noexcept { return m_path; }

private:
    std::filesystem::path m_path;
};

// A drawing of random layers (numbers, Japanese and awkward names, colours, visibility), lines,
// arcs and full circles, and a random scale.
[[nodiscard]] DrawingContent RandomContent(std::mt19937_64& random, std::size_t entityCount);

// Writes the whole text to path.
void WriteText(const std::string& path, const std::string& text);
[[nodiscard]] std::string ReadText(const std::string& path);

}  // namespace pelimator::board::testing
