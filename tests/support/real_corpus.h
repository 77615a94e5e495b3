// The real drawings other programs wrote (real-dxf/, real-jww/), for tests that read them.
#pragma once

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pelimator::testing {

// The corpus folder the build was configured with; none when it is not there.
[[nodiscard]] inline std::optional<std::filesystem::path> RealCorpus() {
    std::filesystem::path folder = PELIMATOR_REAL_CORPUS;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return std::nullopt;
    return folder;
}

// Every file under corpus/sub (recursively) whose extension is extension (".dxf", ".jww", in
// any case), sorted; empty when the corpus is absent.
[[nodiscard]] inline std::vector<std::filesystem::path> RealDrawings(const std::string& sub,
                                                                     const std::string& extension) {
    std::vector<std::filesystem::path> files;
    const auto corpus = RealCorpus();
    if (!corpus) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(*corpus / sub)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (entry.is_regular_file() && ext == extension) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace pelimator::testing

// Skips the running test, saying so, when the real drawings are not beside the checkout.
#define PELIMATOR_REQUIRE_REAL_CORPUS()                                            \
    do {                                                                           \
        if (!::pelimator::testing::RealCorpus())                                   \
            GTEST_SKIP() << "skipped: no real drawings at " PELIMATOR_REAL_CORPUS; \
    } while (false)
