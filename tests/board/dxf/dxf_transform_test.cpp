// A kept record placed group by group: each row a record as real writers leave it, the placement,
// and the groups it must come out with, worked out by hand.
#include "board/dxf/dxf_transform.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "board/dxf/dxf_file.h"

namespace pelimator::board {
namespace {

using Groups = std::vector<std::pair<int, std::string>>;

struct TransformRow {
    const char* name;
    Groups record;
    RecordPlacement placement;
    Groups expected;
};

std::string Text(const Groups& groups) {
    std::string text;
    for (const auto& [code, value] : groups) text += std::to_string(code) + '\n' + value + '\n';
    return text;
}

Groups Read(std::string_view bytes) {
    Groups groups;
    DxfTagReader reader(bytes, DxfLayout{}, "t.dxf");
    for (DxfTag tag; reader.Next(tag);) groups.emplace_back(tag.code, TrimDxf(tag.value));
    return groups;
}

bool Same(const std::string& a, const std::string& b) {
    char* endA = nullptr;
    char* endB = nullptr;
    const double x = std::strtod(a.c_str(), &endA);
    const double y = std::strtod(b.c_str(), &endB);
    if (*endA != '\0' || *endB != '\0' || a.empty() || b.empty()) return a == b;
    return std::abs(x - y) <= 1e-9 * (1.0 + std::abs(x));
}

class DxfTransform : public ::testing::TestWithParam<TransformRow> {};

TEST_P(DxfTransform, PlacesEachGroupByWhatItMeans) {
    const TransformRow& row = GetParam();
    const std::string text = "0\nSECTION\n2\nENTITIES\n" + Text(row.record) + "0\nENDSEC\n0\nEOF\n";
    const DxfReadResult read = ReadDxfText(text, "t.dxf");
    std::uint64_t unused = 0;
    const Groups got = Read(RewriteDxfRecord(*read.source, 1, {row.placement}, "", false, unused));
    ASSERT_EQ(got.size(), row.expected.size()) << Text(got);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].first, row.expected[i].first) << "group " << i << '\n' << Text(got);
        EXPECT_TRUE(Same(got[i].second, row.expected[i].second))
            << "group " << i << " (" << got[i].first << "): " << got[i].second
            << " != " << row.expected[i].second;
    }
}

const double kC30 = std::sqrt(3.0) / 2.0;
const RecordPlacement kTurn30{{0.0, 0.0}, 30.0, {0.0, 0.0}};
const RecordPlacement kMove{{0.0, 0.0}, 0.0, {12.5, -7.25}};
const RecordPlacement kTurn90Move{{0.0, 0.0}, 90.0, {12.5, -7.25}};
const RecordPlacement kMirrorInX{{0.0, 0.0}, 0.0, {0.0, 0.0}, true};    // y -> -y
const RecordPlacement kMirrorInY{{0.0, 0.0}, 180.0, {0.0, 0.0}, true};  // x -> -x

std::string N(double value) {
    std::array<char, 32> text{};
    auto* const end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    return {text.data(), end};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfTransform,
    ::testing::Values(
        TransformRow{"TextEndingInItsStringGetsItsAngle",
                     {{0, "TEXT"}, {8, "0"}, {10, "2"}, {20, "0"}, {40, "2.5"}, {1, "ABC"}},
                     kTurn30,
                     {{0, "TEXT"},
                      {8, "0"},
                      {10, N(2 * kC30)},
                      {20, "1"},
                      {40, "2.5"},
                      {1, "ABC"},
                      {50, "30"}}},
        TransformRow{"InsertEndingInItsPointGetsItsAngle",
                     {{0, "INSERT"}, {8, "0"}, {2, "B"}, {10, "2"}, {20, "0"}, {30, "0"}},
                     kTurn30,
                     {{0, "INSERT"},
                      {8, "0"},
                      {2, "B"},
                      {10, N(2 * kC30)},
                      {20, "1"},
                      {30, "0"},
                      {50, "30"}}},
        TransformRow{"InsertGetsItsAngleBeforeItsExtendedData",
                     {{0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "0"}, {1001, "APP"}, {1070, "1"}},
                     kTurn30,
                     {{0, "INSERT"},
                      {2, "B"},
                      {10, "0"},
                      {20, "0"},
                      {50, "30"},
                      {1001, "APP"},
                      {1070, "1"}}},
        // AutoCAD 2018's MTEXT: its columns object repeats the direction (10) and the point (11).
        TransformRow{"MtextMovedKeepsItsEmbeddedDirection",
                     {{0, "MTEXT"},
                      {100, "AcDbMText"},
                      {10, "210"},
                      {20, "-10"},
                      {1, "T"},
                      {73, "1"},
                      {101, "Embedded Object"},
                      {70, "1"},
                      {10, "1"},
                      {20, "0"},
                      {11, "210"},
                      {21, "-10"},
                      {40, "80"}},
                     kMove,
                     {{0, "MTEXT"},
                      {100, "AcDbMText"},
                      {10, "222.5"},
                      {20, "-17.25"},
                      {1, "T"},
                      {73, "1"},
                      {101, "Embedded Object"},
                      {70, "1"},
                      {10, "1"},
                      {20, "0"},
                      {11, "222.5"},
                      {21, "-17.25"},
                      {40, "80"}}},
        TransformRow{"MtextTurnedTurnsItsEmbeddedDirection",
                     {{0, "MTEXT"},
                      {10, "2"},
                      {20, "0"},
                      {1, "T"},
                      {73, "1"},
                      {101, "Embedded Object"},
                      {10, "1"},
                      {20, "0"},
                      {11, "2"},
                      {21, "0"}},
                     kTurn30,
                     {{0, "MTEXT"},
                      {10, N(2 * kC30)},
                      {20, "1"},
                      {1, "T"},
                      {50, "30"},
                      {73, "1"},
                      {101, "Embedded Object"},
                      {10, N(kC30)},
                      {20, "0.5"},
                      {11, N(2 * kC30)},
                      {21, "1"}}},
        TransformRow{"ExtendedDataPointsByTheirCodes",
                     {{0, "LINE"},
                      {10, "0"},
                      {20, "0"},
                      {11, "0"},
                      {21, "0"},
                      {1001, "APP"},
                      {1010, "1"},
                      {1020, "2"},
                      {1011, "1"},
                      {1021, "0"},
                      {1012, "1"},
                      {1022, "0"},
                      {1013, "1"},
                      {1023, "0"}},
                     kTurn90Move,
                     {{0, "LINE"},
                      {10, "12.5"},
                      {20, "-7.25"},
                      {11, "12.5"},
                      {21, "-7.25"},
                      {1001, "APP"},
                      {1010, "1"},
                      {1020, "2"},
                      {1011, "12.5"},
                      {1021, "-6.25"},
                      {1012, "0"},
                      {1022, "1"},
                      {1013, "0"},
                      {1023, "1"}}},
        TransformRow{"ApplicationGroupsStay",
                     {{0, "LINE"},
                      {102, "{APP"},
                      {10, "5"},
                      {20, "5"},
                      {102, "}"},
                      {10, "0"},
                      {20, "0"},
                      {11, "1"},
                      {21, "1"}},
                     kMove,
                     {{0, "LINE"},
                      {102, "{APP"},
                      {10, "5"},
                      {20, "5"},
                      {102, "}"},
                      {10, "12.5"},
                      {20, "-7.25"},
                      {11, "13.5"},
                      {21, "-6.25"}}},
        // Its proxy graphics (a size, then binary chunks) would show it where it was.
        TransformRow{"PlacedRecordLeavesItsProxyGraphicsOut",
                     {{0, "WIPEOUT"},
                      {160, "8"},
                      {310, "0800000000000000"},
                      {100, "AcDbWipeout"},
                      {10, "1"},
                      {20, "2"}},
                     kMove,
                     {{0, "WIPEOUT"}, {100, "AcDbWipeout"}, {10, "13.5"}, {20, "-5.25"}}},
        TransformRow{"CoordinatesWrittenApart",
                     {{0, "LINE"}, {10, "1"}, {11, "2"}, {20, "3"}, {21, "4"}},
                     kMove,
                     {{0, "LINE"}, {10, "13.5"}, {11, "14.5"}, {20, "-4.25"}, {21, "-3.25"}}},
        TransformRow{"LeaderWithoutItsDirectionGetsIt",
                     {{0, "LEADER"}, {76, "2"}, {10, "0"}, {20, "0"}, {10, "1"}, {20, "0"}},
                     kTurn90Move,
                     {{0, "LEADER"},
                      {76, "2"},
                      {10, "12.5"},
                      {20, "-7.25"},
                      {10, "12.5"},
                      {20, "-6.25"},
                      {211, "0"},
                      {221, "1"},
                      {231, "0"}}},
        // Its arrowheads mirror with it: its normal turned over, before its direction.
        TransformRow{
            "LeaderMirroredTurnsOverBeforeItsDirection",
            {{0, "LEADER"}, {10, "0"}, {20, "0"}, {10, "4"}, {20, "2"}, {213, "1"}, {223, "0.5"}},
            kMirrorInX,
            {{0, "LEADER"},
             {10, "0"},
             {20, "0"},
             {10, "4"},
             {20, "-2"},
             {210, "0"},
             {220, "0"},
             {230, "-1"},
             {211, "1"},
             {221, "0"},
             {231, "0"},
             {213, "1"},
             {223, "-0.5"}}},
        // Seen from below, its angle 30 is the drawing's 150; mirrored in the y axis, 30 seen
        // from above. Its oblique angle stays: the plane turned over mirrors the slant.
        TransformRow{"ShapeSeenFromBelowMirroredComesUp",
                     {{0, "SHAPE"},
                      {10, "2"},
                      {20, "1"},
                      {40, "3"},
                      {2, "A"},
                      {50, "30"},
                      {51, "15"},
                      {210, "0"},
                      {220, "0"},
                      {230, "-1"}},
                     kMirrorInY,
                     {{0, "SHAPE"},
                      {10, "-2"},
                      {20, "1"},
                      {40, "3"},
                      {2, "A"},
                      {50, "30"},
                      {51, "15"},
                      {210, "0"},
                      {220, "0"},
                      {230, "1"}}},
        // A writer that leaves out the z of its extrusion: only the z is written, turned over,
        // and its angle 0 (the drawing's x, which the mirror in x keeps) is 180 seen from below.
        TransformRow{
            "ShapeWithoutItsZMirroredGetsOnlyItsZ",
            {{0, "SHAPE"}, {10, "0"}, {20, "0"}, {40, "1"}, {2, "A"}, {210, "0"}, {220, "0"}},
            kMirrorInX,
            {{0, "SHAPE"},
             {10, "0"},
             {20, "0"},
             {40, "1"},
             {2, "A"},
             {50, "180"},
             {210, "0"},
             {220, "0"},
             {230, "-1"}}},
        // Its point is the drawing's, its angle its plane's: a turn runs the angle back.
        TransformRow{"MtextSeenFromBelowTurnsItsAngleBack",
                     {{0, "MTEXT"},
                      {10, "2"},
                      {20, "0"},
                      {40, "2"},
                      {1, "T"},
                      {50, "45"},
                      {210, "0"},
                      {220, "0"},
                      {230, "-1"}},
                     kTurn30,
                     {{0, "MTEXT"},
                      {10, N(2 * kC30)},
                      {20, "1"},
                      {40, "2"},
                      {1, "T"},
                      {50, "15"},
                      {210, "0"},
                      {220, "0"},
                      {230, "-1"}}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator::board
