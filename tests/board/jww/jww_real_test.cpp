// Real Jw_cad drawings (corpus real-jww): every text drawn at its stored paper size, checked
// against the test's own reading of the records; names of Jw_cad 8 files; cut files named.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/file_bytes.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_raw_reading.h"
#include "support/real_corpus.h"

namespace pelimator::board {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Near(double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b)); }

// Every text of the entity list (dimension texts too) is drawn where its record puts it, as high
// as its stored paper size, along its stored angle, and as long as its stored run (or, for a
// run stored without length, as Jw_cad's character cells: Shift-JIS bytes × (width + spacing)
// / 2, less the last character's spacing).
TEST(RealJwwDrawings, EveryTextIsDrawnAtItsStoredPaperSize) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    std::size_t checked = 0;
    for (const auto& path : testing::RealDrawings("real-jww", ".jww")) {
        SCOPED_TRACE(path.filename().string());
        const std::string bytes = ReadBytes(path);
        rawjww::RawWalker walker(bytes);
        walker.Walk();
        const std::vector<rawjww::RawText>& raw = walker.Texts();
        const JwwReadResult read = ReadJwwFile(path.string());
        ASSERT_EQ(raw.empty(), read.underlay == nullptr || read.underlay->texts.empty());
        // The underlay's texts by origin and text.
        std::multimap<std::pair<double, double>, const UnderlayText*> drawn;
        if (read.underlay) {
            for (const UnderlayText& t : read.underlay->texts) {
                drawn.emplace(std::pair{t.origin.x, t.origin.y}, &t);
            }
        }
        for (const rawjww::RawText& r : raw) {
            SCOPED_TRACE(r.utf8);
            // The first not yet matched (texts are drawn in the order of their records).
            const UnderlayText* found = nullptr;
            const auto [begin, end] = drawn.equal_range({r.x1, r.y1});
            for (auto it = begin; it != end; ++it) {
                if (it->second->utf8 == r.utf8) {
                    found = it->second;
                    drawn.erase(it);
                    break;
                }
            }
            ASSERT_NE(found, nullptr) << "no text drawn at " << r.x1 << ", " << r.y1;
            const double height = std::hypot(found->yAxis.x, found->yAxis.y);
            const double unit = std::hypot(found->xAxis.x, found->xAxis.y);
            EXPECT_TRUE(Near(height, r.sizeY)) << height << " vs " << r.sizeY;
            const double radians = r.angle * std::numbers::pi / 180.0;
            EXPECT_NEAR(found->xAxis.x / unit, std::cos(radians), 1e-9);
            EXPECT_NEAR(found->xAxis.y / unit, std::sin(radians), 1e-9);
            const double stored = std::hypot(r.x2 - r.x1, r.y2 - r.y1);
            const double cells = r.cells * (r.sizeX + r.spacing) / 2.0 -
                                 static_cast<double>(r.lastBytes) * r.spacing / 2.0;
            if (stored > 0.0) {
                EXPECT_NEAR(stored, cells, 1e-6 * std::max(1.0, stored));
            }
            const double run = unit * found->fitWidth;
            EXPECT_NEAR(run, stored > 0.0 ? stored : cells, 1e-9 * std::max(1.0, run));
            ++checked;
        }
    }
    std::printf("texts checked: %zu\n", checked);
}

}  // namespace
}  // namespace pelimator::board
