// Real Jw_cad drawings (corpus real-jww): every text drawn at its stored paper size, checked
// against the test's own reading of the records; names of Jw_cad 8 files; cut files named.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <numbers>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/file_bytes.h"
#include "board/files/drawing_file.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_raw_reading.h"
#include "board/jww/jww_underlay.h"
#include "board/model/selection.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

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
    std::cout << "texts checked: " << checked << "\n";
}

std::string OpenError(const std::string& path) {
    try {
        (void)ReadDrawingFile(path);
    } catch (const FileError& error) {
        return error.what();
    }
    return "opened";
}

// Every real drawing cut 1 to 4 bytes short at its end, or to its first 4 bytes, is refused with
// a message that names the file and says it ends too soon (not a DXF group code); a 4-byte file
// named .jww that does not start as one is named too short as well.
TEST(RealJwwDrawings, CutFilesAreNamedAsCut) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    const pelimator::testing::TempDir dir;
    for (const auto& path : pelimator::testing::RealDrawings("real-jww", ".jww")) {
        const std::string bytes = ReadBytes(path);
        for (const std::size_t cut : {1, 2, 3, 4, 0}) {
            const std::size_t size = cut == 0 ? 4 : bytes.size() - cut;
            SCOPED_TRACE(path.filename().string() + " to " + std::to_string(size) + " bytes");
            const std::string cutPath = dir.File("切れた.jww");
            pelimator::testing::WriteBytes(cutPath, bytes.substr(0, size));
            const std::string message = OpenError(cutPath);
            EXPECT_NE(message.find("切れた.jww"), std::string::npos) << message;
            EXPECT_TRUE(message.find("途中で") != std::string::npos ||
                        message.find("短すぎ") != std::string::npos)
                << message;
            EXPECT_EQ(message.find("グループコード"), std::string::npos) << message;
        }
    }
    pelimator::testing::WriteBytes(dir.File("短い.jww"), "abcd");
    const std::string message = OpenError(dir.File("短い.jww"));
    EXPECT_NE(message.find("短すぎ"), std::string::npos) << message;
}

// A dash pattern (+ dash, - gap) as one cycle of runs: neighbours of one sign joined (also across
// the cycle's ends), starting at the first longest dash.
std::vector<double> Cycle(const std::vector<double>& runs) {
    std::vector<double> joined;
    for (const double r : runs) {
        if (!joined.empty() && (joined.back() > 0) == (r > 0)) {
            joined.back() += r;
        } else {
            joined.push_back(r);
        }
    }
    if (joined.size() > 1 && (joined.front() > 0) == (joined.back() > 0)) {
        joined.front() += joined.back();
        joined.pop_back();
    }
    const auto longest = std::max_element(joined.begin(), joined.end());
    std::rotate(joined.begin(), longest, joined.end());
    return joined;
}

// The runs of a header's line type as the test reads it: bits most significant first, each the
// print pitch in tenths of a millimetre.
std::vector<double> Runs(const rawjww::RawWalker::LineType& type) {
    std::vector<double> runs;
    for (std::uint32_t i = 0; i < type.bits; ++i) {
        const bool on = ((type.pattern >> (31 - i)) & 1U) != 0;
        runs.push_back((on ? 0.1 : -0.1) * type.printPitch);
    }
    return Cycle(runs);
}

TEST(JwwLineTypes, JwCadsDefaultsReadAsChainAndDottedLines) {
    struct Row {
        const char* name;
        rawjww::RawWalker::LineType type;
        std::vector<double> millimetres;
    };
    const std::vector<Row> rows = {
        {"点線1", {0x99999999U, 4, 10}, {2, -2}},
        {"点線2", {0xC3C3C3C3U, 8, 10}, {4, -4}},
        {"点線3", {0xE7E7E7E7U, 8, 10}, {6, -2}},
        {"一点鎖1", {0xF99FF99FU, 16, 10}, {10, -2, 2, -2}},
        {"一点鎖2", {0xFFF99FFFU, 32, 10}, {26, -2, 2, -2}},
        {"二点鎖1", {0xF24FF24FU, 16, 10}, {8, -2, 1, -2, 1, -2}},
        {"二点鎖2", {0xFFF24FFFU, 32, 10}, {24, -2, 1, -2, 1, -2}},
        {"補助線種", {0x22222222U, 4, 10}, {1, -3}},
    };
    for (const Row& row : rows) {
        const std::vector<double> runs = Runs(row.type);
        ASSERT_EQ(runs.size(), row.millimetres.size()) << row.name;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_NEAR(runs[i], row.millimetres[i], 1e-9) << row.name;
        }
    }
}

// Each pen style drawn as its header sets it, on the paper: types 2-9 and the double-length types
// by their bit patterns; SXF types 30-62 by their own runs (dash, gap, ... in mm) where they give
// them, else by their bit patterns; random lines (11-15) and unknown styles solid.
TEST(JwwLineTypes, EveryPenStyleIsDashedAsItsHeaderSays) {
    jww::Header header;
    const auto pattern = [&](std::size_t n, std::uint32_t bits, std::uint32_t count,
                             std::uint32_t pitch) {
        header.lineType[n] = bits;
        header.lineTypeBits[n] = count;
        header.lineTypePitch[n] = pitch;
    };
    const auto own = [&](std::size_t n, std::vector<double> runs) {
        header.sxfSegments[n - 30] = static_cast<std::uint32_t>(runs.size());
        std::copy(runs.begin(), runs.end(), header.sxfPitch[n - 30].begin());
    };
    pattern(5, 0xF99FF99FU, 16, 10);
    for (std::size_t n = 11; n <= 15; ++n) pattern(n, 0xF0F0F0F0U, 8, 10);
    pattern(17, 0xFF00FF00U, 32, 20);
    own(30, {3.0, 1.5});
    own(31, {6.0, 1.0, 1.0, 1.0});
    pattern(32, 0xF0F0F0F0U, 8, 10);
    own(33, {4.0, -1.0});
    pattern(33, 0xCCCCCCCCU, 4, 10);
    own(34, {});
    pattern(34, 0xFFFFFFFFU, 32, 10);
    pattern(62, 0xF0F0F0F0U, 8, 5);
    const std::vector<std::pair<int, std::vector<double>>> rows = {
        {1, {}},
        {5, {10, -2, 2, -2}},
        {11, {}},
        {15, {}},
        {17, {16, -16, 16, -16}},
        {30, {3, -1.5}},
        {31, {6, -1, 1, -1}},
        {32, {4, -4}},
        {33, {2, -2}},
        {34, {}},
        {62, {2, -2}},
        {63, {}},
        {255, {}},
    };
    for (const auto& [style, want] : rows) {
        SCOPED_TRACE(style);
        const std::vector<double> got =
            Cycle(jww::PenDashes(header, static_cast<std::uint8_t>(style)));
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], want[k], 1e-9);
    }
}

// Every line and arc of every real drawing drawn in a line type 2-9 is dashed as its header sets
// that type, on the paper (solid ones stay solid).
TEST(RealJwwDrawings, LinesAreDashedAsTheirLineTypes) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    std::size_t dashed = 0;
    for (const auto& path : pelimator::testing::RealDrawings("real-jww", ".jww")) {
        SCOPED_TRACE(path.filename().string());
        const std::string bytes = ReadBytes(path);
        rawjww::RawWalker walker(bytes);
        walker.Walk();
        const auto types = walker.LineTypes();
        const JwwReadResult read = ReadJwwFile(path.string());
        const auto dashes = read.source->EntityDashes();
        const auto patterns = read.source->DashPatterns();
        const auto& raw = walker.Entities();
        ASSERT_EQ(dashes.size(), raw.size());
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const std::uint8_t style = raw[i].penStyle;
            if (style < 1 || style > 9) continue;
            if (style == 1) {
                EXPECT_EQ(dashes[i], DocumentSource::kSolidLine);
                continue;
            }
            ASSERT_LT(dashes[i], patterns.size()) << "line type " << int{style} << " drawn solid";
            const std::vector<double> want = Runs(types[style - 2U]);
            const std::vector<double> got = Cycle(patterns[dashes[i]]);
            ASSERT_EQ(got.size(), want.size()) << int{style};
            for (std::size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], want[k], 1e-9);
            ++dashed;
        }
    }
    std::cout << "dashed lines and arcs checked: " << dashed << "\n";
}

// Jw_cad's names of its pens and line types, as its own dialogs show them.
std::string JwCadColour(std::uint16_t pen) {
    return pen == 9 ? "補助線色" : "線色" + std::to_string(pen);
}
std::string JwCadLineType(std::uint8_t style) {
    static const std::array<const char*, 10> kNames = {"",        "実線",    "点線1",   "点線2",
                                                       "点線3",   "一点鎖1", "一点鎖2", "二点鎖1",
                                                       "二点鎖2", "補助線種"};
    return style <= 9 ? kNames[style] : "";
}

// The status bar for one line or arc of every real drawing, selected: its pen colour and line
// type by Jw_cad's names, its length (an arc's radius too) in paper millimetres and in real size
// at its group's scale, against the test's own reading of the record and the header.
TEST(RealJwwDrawings, StatusBarNamesPenAndSizesOnPaperAndInRealSize) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    std::size_t checked = 0;
    const std::regex paperAndReal(R"(([0-9.]+) mm \(実寸 ([0-9.]+) (m|mm)\))");
    for (const auto& path : pelimator::testing::RealDrawings("real-jww", ".jww")) {
        SCOPED_TRACE(path.filename().string());
        const std::string bytes = ReadBytes(path);
        rawjww::RawWalker walker(bytes);
        walker.Walk();
        const auto application = BoardApplication::Create();
        const BoardDocumentPtr document = OpenDrawing(*application, path.string()).document;
        const auto& raw = walker.Entities();
        ASSERT_EQ(document->DrawingModel()->Count(), raw.size());
        // The scale label: paper millimetres, the current layer's group at its scale.
        const std::int32_t current = document->CurrentAttributesModel()->Layer();
        const double groupScale = walker.GroupScale(current / 16);
        EXPECT_EQ(ScaleText(*document, current),
                  "図寸 mm  縮尺 1:" + std::to_string(std::lround(groupScale)) +
                      " (レイヤグループ " + "0123456789ABCDEF"[current / 16] + ")");
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const rawjww::RawEntity& r = raw[i];
            const std::string text = DescribeSelection(*document, Selection{{i}, {}});
            SCOPED_TRACE(text);
            if (r.penColour >= 1 && r.penColour <= 9) {
                EXPECT_NE(text.find("色 " + JwCadColour(r.penColour)), std::string::npos);
            }
            if (r.penStyle >= 1 && r.penStyle <= 9) {
                EXPECT_NE(text.find("線種 " + JwCadLineType(r.penStyle) + "  "), std::string::npos);
            }
            const double scale = walker.GroupScale(r.group & 0xF);
            std::vector<double> measures;  // radius, then length (a full circle: radius only)
            for (auto it = std::sregex_iterator(text.begin(), text.end(), paperAndReal);
                 it != std::sregex_iterator(); ++it) {
                const double paper = std::stod((*it)[1]);
                const double real = std::stod((*it)[2]) * ((*it)[3] == "m" ? 1000.0 : 1.0);
                EXPECT_NEAR(real, paper * scale, 0.0005 * scale + 0.5);
                measures.push_back(paper);
            }
            ASSERT_FALSE(measures.empty());
            EXPECT_NEAR(measures.front(), r.arc ? r.radius : r.length, 0.0005);
            if (measures.size() > 1) {
                EXPECT_NEAR(measures[1], r.length, 0.0005);
            }
            ++checked;
        }
    }
    std::cout << "lines and arcs checked: " << checked << "\n";
}

}  // namespace
}  // namespace pelimator::board
