// Real Jw_cad drawings (corpus real-jww): every text drawn as Jw_cad lays it out, each glyph in
// its own character cell (full width for what Shift-JIS holds in two bytes, half for one byte,
// the text's spacing between), checked against the test's own reading of the records; and each
// text in the face its font names.
#include <QFontInfo>
#include <QGuiApplication>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/jww/jww_file.h"
#include "board/jww/jww_raw_reading.h"
#include "board/render/text_cells.h"
#include "support/real_corpus.h"

namespace pelimator::board {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QGuiApplication& App() {
    static int argc = 1;
    static std::string name = "jww_text_cells_test";
    static char* argv[] = {name.data(), nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
    return app;
}

// The underlay's text drawn for a record: the first not yet matched at its start with its text.
const UnderlayText* Match(std::multimap<std::pair<double, double>, const UnderlayText*>& drawn,
                          const rawjww::RawText& r) {
    const auto [begin, end] = drawn.equal_range({r.x1, r.y1});
    for (auto it = begin; it != end; ++it) {
        if (it->second->utf8 == r.utf8) {
            const UnderlayText* found = it->second;
            drawn.erase(it);
            return found;
        }
    }
    return nullptr;
}

struct Counts {
    std::size_t texts = 0;
    std::size_t glyphs = 0;
    double worstEnd = 0.0;  // mm: the drawn run's end against the record's end
};

// Each glyph's ink lies in its cell (Jw_cad's cells from the Shift-JIS bytes, in paper mm), no
// higher than its text, and the run ends where the record says.
void CheckCells(const rawjww::RawText& r, const UnderlayText& t, Counts& counts) {
    const QString text = QString::fromStdString(t.utf8);
    const std::vector<TextCell> cells = LayTextCells(text, t.cellSpacing, t.fitWidth);
    ASSERT_EQ(cells.size(), r.bytes.size());
    const double stored = std::hypot(r.x2 - r.x1, r.y2 - r.y1);
    double x = 0.0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const double width = static_cast<double>(r.bytes[i]) * r.sizeX / 2.0;
        const double drawnX = cells[i].x * r.sizeX;
        EXPECT_NEAR(drawnX, x, 1e-6 * std::max(1.0, stored)) << "cell " << i;
        const QRectF ink = CellTextPath(text, {cells[i]}, t.face).boundingRect();
        if (!ink.isEmpty()) {
            const double left = ink.left() * r.sizeX - x;
            const double right = ink.right() * r.sizeX - x;
            EXPECT_GE(left, -0.1 * width) << "glyph " << i << " starts before its cell";
            EXPECT_LE(right, 1.1 * width) << "glyph " << i << " ends past its cell";
            // Brackets and stops sit off centre, but in their own cell.
            EXPECT_NEAR(0.5 * (left + right), 0.5 * width, 0.5 * width) << "glyph " << i;
            EXPECT_LE(-ink.top(), 1.05) << "glyph " << i << " is higher than its text";
            ++counts.glyphs;
        }
        x += width + static_cast<double>(r.bytes[i]) * r.spacing / 2.0;
    }
    const double end = (cells.back().x + cells.back().width) * r.sizeX;
    if (stored > 0.0) counts.worstEnd = std::max(counts.worstEnd, std::abs(end - stored));
    ++counts.texts;
}

TEST(RealJwwTextCells, EveryGlyphIsDrawnInItsJwCadCell) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    (void)App();
    Counts counts;
    for (const auto& path : testing::RealDrawings("real-jww", ".jww")) {
        SCOPED_TRACE(path.filename().string());
        const std::string bytes = ReadBytes(path);
        rawjww::RawWalker walker(bytes);
        walker.Walk();
        const JwwReadResult read = ReadJwwFile(path.string());
        std::multimap<std::pair<double, double>, const UnderlayText*> drawn;
        if (read.underlay) {
            for (const UnderlayText& t : read.underlay->texts) {
                drawn.emplace(std::pair{t.origin.x, t.origin.y}, &t);
            }
        }
        for (const rawjww::RawText& r : walker.Texts()) {
            SCOPED_TRACE(r.utf8);
            const UnderlayText* found = Match(drawn, r);
            ASSERT_NE(found, nullptr);
            if (r.utf8.empty() || !(r.sizeX > 0.0)) continue;
            EXPECT_TRUE(found->cells);
            CheckCells(r, *found, counts);
        }
    }
    std::cout << "texts " << counts.texts << ", glyphs " << counts.glyphs
              << ", worst run end against the record " << counts.worstEnd << " mm\n";
    EXPECT_GT(counts.glyphs, 0U);
    EXPECT_LT(counts.worstEnd, 1e-6);
}

// A text's face follows its font name (明朝 serif, anything else gothic) and its kind's italic
// (+10000) and bold (+20000) flags; the faces reach installed Noto CJK fonts.
TEST(RealJwwTextCells, EveryTextIsDrawnInTheFaceItsFontNames) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    (void)App();
    std::map<std::string, std::size_t> fonts;
    for (const auto& path : testing::RealDrawings("real-jww", ".jww")) {
        SCOPED_TRACE(path.filename().string());
        const std::string bytes = ReadBytes(path);
        rawjww::RawWalker walker(bytes);
        walker.Walk();
        const JwwReadResult read = ReadJwwFile(path.string());
        std::multimap<std::pair<double, double>, const UnderlayText*> drawn;
        if (read.underlay) {
            for (const UnderlayText& t : read.underlay->texts) {
                drawn.emplace(std::pair{t.origin.x, t.origin.y}, &t);
            }
        }
        for (const rawjww::RawText& r : walker.Texts()) {
            const UnderlayText* found = Match(drawn, r);
            ASSERT_NE(found, nullptr);
            const bool mincho = r.font.find("明朝") != std::string::npos;
            ++fonts[r.font + (mincho ? " → 明朝" : " → ゴシック")];
            EXPECT_EQ((found->face & kFaceSerif) != 0, mincho) << r.font;
            EXPECT_EQ((found->face & kFaceItalic) != 0, (r.kind / 10000U) % 2U == 1U) << r.kind;
            EXPECT_EQ((found->face & kFaceBold) != 0, (r.kind / 20000U) % 2U == 1U) << r.kind;
        }
    }
    for (const auto& [font, count] : fonts) std::cout << font << ": " << count << "\n";
    EXPECT_EQ(QFontInfo(FaceFont(kFaceSerif)).family(), QStringLiteral("Noto Serif CJK JP"));
    EXPECT_EQ(QFontInfo(FaceFont(0)).family(), QStringLiteral("Noto Sans Mono CJK JP"));
    EXPECT_TRUE(QFontInfo(FaceFont(kFaceBold)).bold());
}

}  // namespace
}  // namespace pelimator::board
