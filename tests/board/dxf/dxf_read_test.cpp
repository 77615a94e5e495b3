// Reading DXF from other programs, and refusing damaged or hostile files with a clear message.
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <ostream>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_test_support.h"

namespace pelimator::board {
namespace {

std::string Pairs(std::initializer_list<std::pair<int, std::string>> pairs) {
    std::string text;
    for (const auto& [code, value] : pairs) text += std::to_string(code) + "\n" + value + "\n";
    return text;
}

std::string WithEntities(const std::string& entities, const std::string& tables = "") {
    std::string text;
    if (!tables.empty())
        text += Pairs({{0, "SECTION"}, {2, "TABLES"}}) + tables + Pairs({{0, "ENDSEC"}});
    return text + Pairs({{0, "SECTION"}, {2, "ENTITIES"}}) + entities +
           Pairs({{0, "ENDSEC"}, {0, "EOF"}});
}

std::string Line(const std::string& x1, const std::string& y1, const std::string& layer = "0") {
    return Pairs({{0, "LINE"}, {8, layer}, {10, x1}, {20, y1}, {11, "3"}, {21, "4"}});
}

std::string Arc(const std::string& radius) {
    return Pairs({{0, "ARC"}, {8, "0"}, {10, "1"}, {20, "1"}, {40, radius}, {50, "0"}, {51, "90"}});
}

// --- damaged and hostile files -------------------------------------------------------------

struct BadFile {
    const char* name;
    std::string text;
    const char* expected;  // a fragment of the message
};
// Rows are named in test output.
void PrintTo(const BadFile& row, std::ostream* os) { *os << row.name; }

class DxfBadFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(DxfBadFile, IsRefusedWithAMessageNamingTheFileAndTheProblem) {
    const BadFile& row = GetParam();
    try {
        (void)ReadDxfText(row.text, "壊れた図面.dxf");
        FAIL() << "no error";
    } catch (const FileError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("壊れた図面.dxf"), std::string::npos) << message;
        EXPECT_NE(message.find(row.expected), std::string::npos) << message;
    }
}

std::string Repeat(const std::string& piece, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += piece;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfBadFile,
    ::testing::Values(
        BadFile{"Empty", "", "空"}, BadFile{"OnlyBlanks", "  \n\r\n \n", "空"},
        BadFile{"BinaryDxfCut", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "xx",
                "途中で切れて"},
        BadFile{"NulBytes", std::string("0\nSECTION\n2\n\0\0\0", 15), "制御文字"},
        BadFile{"MissingEof", Pairs({{0, "SECTION"}, {2, "ENTITIES"}}) + Line("1", "2"), "EOF"},
        BadFile{"CutInsideAPair", Pairs({{0, "SECTION"}, {2, "ENTITIES"}}) + "0\n",
                "値がありません"},
        BadFile{"GroupCodeNotANumber", WithEntities("LINE\n0\n"),
                "グループコードが数値ではありません"},
        BadFile{"GroupCodeOutOfRange", WithEntities(Pairs({{0, "LINE"}, {5000, "x"}})), "5000"},
        BadFile{"NegativeGroupCode", WithEntities(Pairs({{0, "LINE"}, {-1, "x"}})), "-1"},
        BadFile{"WordForCoordinate", WithEntities(Line("abc", "2")), "abc"},
        BadFile{"NaNCoordinate", WithEntities(Line("nan", "2")), "nan"},
        BadFile{"InfiniteCoordinate", WithEntities(Line("1", "inf")), "inf"},
        BadFile{"OverflowingCoordinate", WithEntities(Line("1e400", "2")), "1e400"},
        BadFile{"HugeCoordinate", WithEntities(Line("1e308", "2")), "範囲"},
        BadFile{"HexFloat", WithEntities(Line("0x1p3", "2")), "0x1p3"},
        BadFile{"TrailingJunkInNumber", WithEntities(Line("1.5mm", "2")), "1.5mm"},
        BadFile{"ZeroRadius", WithEntities(Arc("0")), "半径"},
        BadFile{"NegativeRadius", WithEntities(Arc("-2.5")), "半径"},
        BadFile{"HugeRadius", WithEntities(Arc("1e200")), "半径"},
        BadFile{"NonIntegerFlag", WithEntities(Pairs({{0, "LINE"}, {62, "red"}})), "red"},
        BadFile{"IntegerBeyond32Bits", WithEntities(Pairs({{0, "LINE"}, {90, "99999999999"}})),
                "99999999999"},
        BadFile{"HugeVertexCount",
                WithEntities(Pairs({{0, "LWPOLYLINE"}, {8, "0"}, {90, "2000000000"}, {10, "0"}})),
                "件数"},
        BadFile{"NegativeVertexCount",
                WithEntities(Pairs({{0, "LWPOLYLINE"}, {8, "0"}, {90, "-5"}})), "件数"},
        BadFile{"HugeSplineKnotCount",
                WithEntities(Pairs({{0, "SPLINE"}, {8, "0"}, {72, "1000000"}})), "件数"},
        BadFile{"BulgeMakingAnAbsurdCircle",
                WithEntities(Pairs({{0, "LWPOLYLINE"},
                                    {8, "0"},
                                    {90, "2"},
                                    {10, "0"},
                                    {20, "0"},
                                    {42, "1e300"},
                                    {10, "1"},
                                    {20, "0"}})),
                "LWPOLYLINE"},
        BadFile{"GarbageText", "hello world\nthis is not a drawing\n", "グループコード"},
        BadFile{"ManyEntitiesThenCut",
                Pairs({{0, "SECTION"}, {2, "ENTITIES"}}) + Repeat(Line("1", "2"), 1000) + "0\nLI",
                "EOF"}),
    [](const ::testing::TestParamInfo<BadFile>& row) { return row.param.name; });

TEST(DxfRead, BadFileOnDiskNamesTheFile) {
    testing::TempDir dir;
    testing::WriteText(dir.File("半端.dxf"), Pairs({{0, "SECTION"}}));
    try {
        (void)ReadDxfFile(dir.File("半端.dxf"));
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("半端.dxf"), std::string::npos) << error.what();
    }
    EXPECT_THROW((void)ReadDxfFile(dir.File("無い.dxf")), FileError);
    EXPECT_THROW((void)ReadDxfFile(dir.Path().string()), FileError);
}

// --- what other programs write ---------------------------------------------------------------

TEST(DxfRead, BulgedPolylineBecomesLinesAndArcsThroughTheSameVertices) {
    // A closed square with one half-circle side (bulge 1) and one quarter-circle side drawn
    // clockwise (bulge -tan(22.5 deg)).
    std::array<char, 40> bulge{};
    std::snprintf(bulge.data(), bulge.size(), "%.17g", -std::tan(std::numbers::pi / 8));
    const std::string clockwiseQuarter = bulge.data();
    const auto result = ReadDxfText(WithEntities(Pairs({{0, "LWPOLYLINE"},
                                                        {8, "0"},
                                                        {90, "4"},
                                                        {70, "1"},
                                                        {10, "0"},
                                                        {20, "0"},
                                                        {42, "1"},
                                                        {10, "10"},
                                                        {20, "0"},
                                                        {10, "10"},
                                                        {20, "10"},
                                                        {42, clockwiseQuarter},
                                                        {10, "0"},
                                                        {20, "10"}})),
                                    "p.dxf");
    const auto& entities = result.content.entities;
    ASSERT_EQ(entities.size(), 4U);
    EXPECT_EQ(result.report.lines, 2U);
    EXPECT_EQ(result.report.arcs, 2U);
    // Half circle below the first side: centre at its middle, radius 5, running from (0,0).
    EXPECT_EQ(entities[0].kind, EntityKind::Arc);
    EXPECT_NEAR(entities[0].center.x, 5.0, 1e-12);
    EXPECT_NEAR(entities[0].center.y, 0.0, 1e-12);
    EXPECT_NEAR(entities[0].radius, 5.0, 1e-12);
    EXPECT_NEAR(AnglesOf(entities[0]).sweep, std::numbers::pi, 1e-12);
    EXPECT_NEAR(Distance(entities[0].start, {0, 0}), 0.0, 1e-12);
    // The clockwise quarter from (10,10) to (0,10) is stored counter-clockwise from (0,10).
    EXPECT_EQ(entities[2].kind, EntityKind::Arc);
    EXPECT_NEAR(AnglesOf(entities[2]).sweep, std::numbers::pi / 2, 1e-6);
    EXPECT_NEAR(Distance(entities[2].start, {0, 10}), 0.0, 1e-9);
    EXPECT_NEAR(Distance(entities[2].end, {10, 10}), 0.0, 1e-9);
    EXPECT_NEAR(entities[2].center.y, 15.0, 1e-6);
    // The closing side runs back to the first vertex.
    EXPECT_EQ(entities[3].kind, EntityKind::Line);
    EXPECT_EQ(entities[3].end, (Vec2{0, 0}));
}

TEST(DxfRead, OldStylePolylineWithVertices) {
    const auto result = ReadDxfText(WithEntities(Pairs({{0, "POLYLINE"},
                                                        {8, "0"},
                                                        {66, "1"},
                                                        {70, "0"},
                                                        {0, "VERTEX"},
                                                        {8, "0"},
                                                        {10, "1"},
                                                        {20, "2"},
                                                        {0, "VERTEX"},
                                                        {8, "0"},
                                                        {10, "3"},
                                                        {20, "4"},
                                                        {0, "VERTEX"},
                                                        {8, "0"},
                                                        {10, "5"},
                                                        {20, "4"},
                                                        {0, "SEQEND"}}) +
                                                 Line("7", "7")),
                                    "p.dxf");
    ASSERT_EQ(result.content.entities.size(), 3U);
    EXPECT_EQ(result.content.entities[1].start, (Vec2{3, 4}));
    EXPECT_EQ(result.content.entities[1].end, (Vec2{5, 4}));
    EXPECT_EQ(result.content.entities[2].start, (Vec2{7, 7}));
    EXPECT_EQ(result.report.skipped, 0U);
}

TEST(DxfRead, ArcSeenFromBelowIsMirrored) {
    // Extrusion (0,0,-1): the arc's own X axis points to -X of the drawing.
    const auto result = ReadDxfText(WithEntities(Pairs({{0, "ARC"},
                                                        {8, "0"},
                                                        {10, "2"},
                                                        {20, "3"},
                                                        {40, "1"},
                                                        {50, "0"},
                                                        {51, "90"},
                                                        {210, "0"},
                                                        {220, "0"},
                                                        {230, "-1"}})),
                                    "m.dxf");
    ASSERT_EQ(result.content.entities.size(), 1U);
    const EntityData& arc = result.content.entities[0];
    EXPECT_NEAR(arc.center.x, -2.0, 1e-12);
    EXPECT_NEAR(arc.center.y, 3.0, 1e-12);
    // Own (1,0)..(0,1) quarter is the drawing's (-1,0)..(0,1) quarter, counter-clockwise from top.
    EXPECT_NEAR(Distance(arc.start, {-2, 4}), 0.0, 1e-12);
    EXPECT_NEAR(Distance(arc.end, {-3, 3}), 0.0, 1e-12);
}

TEST(DxfRead, OtherEntitiesAreCountedNotDrawn) {
    const std::string blocks = Pairs({{0, "SECTION"},
                                      {2, "BLOCKS"},
                                      {0, "BLOCK"},
                                      {2, "B"},
                                      {8, "0"},
                                      {10, "0"},
                                      {20, "0"}}) +
                               Line("100", "100") + Pairs({{0, "ENDBLK"}, {0, "ENDSEC"}});
    const std::string entities =
        Line("1", "2") + Pairs({{0, "POINT"}, {8, "0"}, {10, "1"}, {20, "1"}}) +
        Pairs({{0, "TEXT"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "2"}, {1, "文字"}}) +
        Pairs({{0, "TEXT"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "2"}, {1, "x"}}) +
        Pairs({{0, "INSERT"}, {8, "0"}, {2, "B"}, {10, "0"}, {20, "0"}}) +
        Pairs({{0, "LINE"}, {67, "1"}, {8, "0"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}) +
        Pairs({{0, "ARC"},
               {8, "0"},
               {10, "0"},
               {20, "0"},
               {40, "1"},
               {50, "0"},
               {51, "9"},
               {210, "1"},
               {220, "0"},
               {230, "0"}});
    const auto result = ReadDxfText(blocks + WithEntities(entities), "o.dxf");
    ASSERT_EQ(result.content.entities.size(), 1U) << "block contents, paper space, tilted arcs";
    EXPECT_EQ(result.report.skipped, 6U);
    const std::map<std::string, std::size_t> expected{
        {"ARC", 1}, {"INSERT", 1}, {"LINE", 1}, {"POINT", 1}, {"TEXT", 2}};
    EXPECT_EQ(result.report.skippedKinds, expected);
    // The texts, the point and the insert are shown beneath; paper space and the tilted arc
    // are not.
    const std::map<std::string, std::size_t> beneath{{"INSERT", 1}, {"POINT", 1}, {"TEXT", 2}};
    EXPECT_EQ(result.report.beneathKinds, beneath);
    ASSERT_NE(result.underlay, nullptr);
    EXPECT_EQ(result.underlay->texts.size(), 2U);
    EXPECT_TRUE(result.underlay->paperSpace);
    EXPECT_EQ(result.report.Summary(),
              "線 1 本、円弧 0 本を読み込みました (表示しない図形 2 個: ARC 1 LINE 1。保存時はその"
              "まま残します)。文字やブロックなど 4 個は線の下に表示します。ペーパー空間のレイアウト"
              "は表示しません (保存時はそのまま残します)。文字コードの指定がないので UTF-8 として"
              "読みました");
}

struct LayerNumbering {
    const char* name;
    std::string tables;
    std::vector<std::pair<std::string, std::int32_t>> expected;  // name -> number
};
// Rows are named in test output.
void PrintTo(const LayerNumbering& row, std::ostream* os) { *os << row.name; }

class DxfLayerNumbering : public ::testing::TestWithParam<LayerNumbering> {};

std::string LayerRecord(const std::string& name, const std::string& colour,
                        const std::string& extra = "") {
    return Pairs({{0, "LAYER"}, {2, name}, {70, "0"}, {62, colour}}) + extra;
}

TEST_P(DxfLayerNumbering, NumbersComeFromExtendedDataThenNamesThenCounting) {
    const LayerNumbering& row = GetParam();
    const auto result =
        ReadDxfText(WithEntities(Line("0", "0", "orphan"), Pairs({{0, "TABLE"}, {2, "LAYER"}}) +
                                                               row.tables + Pairs({{0, "ENDTAB"}})),
                    "l.dxf");
    std::vector<std::pair<std::string, std::int32_t>> actual;
    for (const LayerData& layer : result.content.layers)
        actual.emplace_back(layer.name, layer.number);
    EXPECT_EQ(actual, row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfLayerNumbering,
    ::testing::Values(
        LayerNumbering{"PlainNames",
                       LayerRecord("0", "7") + LayerRecord("外形", "1") + LayerRecord("7", "2"),
                       {{"0", 0}, {"外形", 8}, {"7", 7}, {"orphan", 9}}},
        LayerNumbering{"ExtendedDataWins",
                       LayerRecord("0", "7") +
                           LayerRecord("7", "2", Pairs({{1001, "PELIMATOR"}, {1071, "3"}})) +
                           LayerRecord("3", "2"),
                       {{"0", 0}, {"7", 3}, {"3", 4}, {"orphan", 5}}},
        LayerNumbering{"NameInExtendedData",
                       LayerRecord("0", "7", Pairs({{1001, "PELIMATOR"}, {1000, "基準"}})) +
                           LayerRecord("a_b", "1",
                                       Pairs({{1001, "OTHER"},
                                              {1071, "50"},
                                              {1001, "PELIMATOR"},
                                              {1000, "a/b"},
                                              {1071, "-4"}})),
                       {{"基準", 0}, {"a/b", -4}, {"orphan", 1}}},
        LayerNumbering{
            "NoLayerZeroInTheFile", LayerRecord("007", "1"), {{"0", 0}, {"007", 1}, {"orphan", 2}}},
        LayerNumbering{"DuplicateNamesDifferingInCase",
                       LayerRecord("Wave", "1") + LayerRecord("WAVE", "2"),
                       {{"0", 0}, {"Wave", 1}, {"orphan", 2}}}),
    [](const ::testing::TestParamInfo<LayerNumbering>& row) { return row.param.name; });

TEST(DxfRead, LayerColourAndVisibility) {
    const std::string tables =
        Pairs({{0, "TABLE"}, {2, "LAYER"}}) + LayerRecord("0", "7") + LayerRecord("hidden", "-1") +
        LayerRecord("true", "1") + Pairs({{420, "1193046"}}) +
        Pairs({{0, "LAYER"}, {2, "frozen"}, {70, "1"}, {62, "5"}}) + Pairs({{0, "ENDTAB"}});
    const auto layers = ReadDxfText(WithEntities("", tables), "c.dxf").content.layers;
    ASSERT_EQ(layers.size(), 4U);
    EXPECT_EQ(layers[0].colour, (Rgb{0, 0, 0})) << "colour 7 is black on the board's paper";
    EXPECT_TRUE(layers[0].visible);
    EXPECT_EQ(layers[1].colour, (Rgb{255, 0, 0}));
    EXPECT_FALSE(layers[1].visible);
    EXPECT_EQ(layers[2].colour, (Rgb{0x12, 0x34, 0x56})) << "true colour beats the index";
    EXPECT_EQ(layers[3].colour, (Rgb{0, 0, 255}));
    EXPECT_FALSE(layers[3].visible);
}

struct ScaleRow {
    const char* name;
    std::string header;
    std::int32_t numerator;
    std::int32_t denominator;
};
// Rows are named in test output.
void PrintTo(const ScaleRow& row, std::ostream* os) { *os << row.name; }

class DxfScale : public ::testing::TestWithParam<ScaleRow> {};

TEST_P(DxfScale, ComesFromThePropertyOrDimScale) {
    const ScaleRow& row = GetParam();
    const std::string text = Pairs({{0, "SECTION"}, {2, "HEADER"}}) + row.header +
                             Pairs({{0, "ENDSEC"}}) + WithEntities("");
    const auto content = ReadDxfText(text, "s.dxf").content;
    EXPECT_EQ(content.scaleNumerator, row.numerator);
    EXPECT_EQ(content.scaleDenominator, row.denominator);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfScale,
    ::testing::Values(
        ScaleRow{"None", "", 1, 1},
        ScaleRow{"DimScaleWhole", Pairs({{9, "$DIMSCALE"}, {40, "50.0"}}), 1, 50},
        ScaleRow{"DimScaleEnlarging", Pairs({{9, "$DIMSCALE"}, {40, "0.2"}}), 5, 1},
        ScaleRow{"DimScaleOdd", Pairs({{9, "$DIMSCALE"}, {40, "2.5"}}), 1, 1},
        ScaleRow{"DimScaleZero", Pairs({{9, "$DIMSCALE"}, {40, "0"}}), 1, 1},
        ScaleRow{"PropertyWins",
                 Pairs({{9, "$DIMSCALE"},
                        {40, "2.5"},
                        {9, "$CUSTOMPROPERTYTAG"},
                        {1, "PelimatorScale"},
                        {9, "$CUSTOMPROPERTY"},
                        {1, "2:5"}}),
                 2, 5},
        ScaleRow{
            "OtherPropertyIgnored",
            Pairs({{9, "$CUSTOMPROPERTYTAG"}, {1, "Author"}, {9, "$CUSTOMPROPERTY"}, {1, "3:4"}}),
            1, 1},
        ScaleRow{"BadPropertyFallsBack",
                 Pairs({{9, "$DIMSCALE"},
                        {40, "10"},
                        {9, "$CUSTOMPROPERTYTAG"},
                        {1, "PelimatorScale"},
                        {9, "$CUSTOMPROPERTY"},
                        {1, "0:5"}}),
                 1, 10}),
    [](const ::testing::TestParamInfo<ScaleRow>& row) { return row.param.name; });

TEST(DxfRead, ShiftJisNamesOfOlderFilesAreDecoded) {
    // "波線" in Shift_JIS (code page 932) in an AutoCAD 2000 file.
    const std::string sjis = "\x94\x67\x90\xfc";
    const std::string text =
        Pairs({{0, "SECTION"},
               {2, "HEADER"},
               {9, "$ACADVER"},
               {1, "AC1015"},
               {9, "$DWGCODEPAGE"},
               {3, "ANSI_932"},
               {0, "ENDSEC"}}) +
        WithEntities(Line("0", "0", sjis) + Line("0", "0", "\\U+6CE2\\U+7DDA"));
    const auto layers = ReadDxfText(text, "j.dxf").content.layers;
    ASSERT_EQ(layers.size(), 2U) << "both spellings name the same layer";
    EXPECT_EQ(layers[1].name, "波線");
}

TEST(DxfRead, TrailingDataAfterEofAndCrLfLinesAreAccepted) {
    std::string text = WithEntities(Line("1", "2"));
    std::string crlf;
    for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const auto result = ReadDxfText("\xEF\xBB\xBF" + crlf + "junk after the end\n", "t.dxf");
    EXPECT_EQ(result.content.entities.size(), 1U);
}

}  // namespace
}  // namespace pelimator::board
