// The lossless DXF layer: tags split as written, files written back byte for byte, additions in
// the file's version and code page with fresh handles, and what a save would lose.
#include <algorithm>
#include <cstring>
#include <functional>
#include <ostream>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_tags.h"
#include "board/dxf/dxf_test_support.h"

namespace pelimator::board {
namespace {

using testing::TempDir;

// --- splitting into tags ---------------------------------------------------------------------

struct SplitRow {
    const char* name;
    std::string bytes;
    std::vector<std::pair<int, std::string>> expected;  // code, value as split
};
// Rows are named in test output.
void PrintTo(const SplitRow& row, std::ostream* os) { *os << row.name; }

class DxfTagSplit : public ::testing::TestWithParam<SplitRow> {};

TEST_P(DxfTagSplit, GivesEachTagWithItsBytes) {
    const SplitRow& row = GetParam();
    const DxfLayout layout = DetectLayout(row.bytes);
    DxfTagReader reader(row.bytes, layout, "t.dxf");
    std::vector<std::pair<int, std::string>> actual;
    std::size_t next = layout.begin;
    for (DxfTag tag; reader.Next(tag);) {
        actual.emplace_back(tag.code, std::string(tag.value));
        EXPECT_EQ(tag.begin, next) << "tags follow each other without gaps";
        next = tag.end;
    }
    EXPECT_EQ(next, row.bytes.size());
    EXPECT_EQ(actual, row.expected);
}

std::string Binary(bool wide, std::initializer_list<std::pair<int, std::string>> tags) {
    std::string out(kDxfBinarySentinel);
    for (const auto& [code, value] : tags) {
        if (wide) {
            const auto c = static_cast<std::int16_t>(code);
            out.append(reinterpret_cast<const char*>(&c), 2);
        } else if (code < 255) {
            out += static_cast<char>(code);
        } else {
            out += '\xff';
            const auto c = static_cast<std::int16_t>(code);
            out.append(reinterpret_cast<const char*>(&c), 2);
        }
        out += value;
    }
    return out;
}

std::string Le(double value) { return std::string(reinterpret_cast<const char*>(&value), 8); }
std::string Le16(std::int16_t value) {
    return std::string(reinterpret_cast<const char*>(&value), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfTagSplit,
    ::testing::Values(SplitRow{"Lf", "0\nLINE\n8\nA\n", {{0, "LINE"}, {8, "A"}}},
                      SplitRow{"CrLf", "0\r\nLINE\r\n10\r\n1.5\r\n", {{0, "LINE"}, {10, "1.5"}}},
                      SplitRow{"RightAlignedCodesAndBlanksInValues",
                               "  0\nLINE\n  1\n  text \n 40\n  2.5\n",
                               {{0, "LINE"}, {1, "  text "}, {40, "  2.5"}}},
                      SplitRow{"ByteOrderMark",
                               "\xEF\xBB\xBF"
                               "0\nEOF\n",
                               {{0, "EOF"}}},
                      SplitRow{"LastLineWithoutLineEnd", "0\nEOF", {{0, "EOF"}}},
                      SplitRow{"BinaryTwoByteCodes",
                               Binary(true, {{0, std::string("LINE\0", 5)},
                                             {10, Le(1.5)},
                                             {70, Le16(3)},
                                             {1001, std::string("APP\0", 4)}}),
                               {{0, "LINE"}, {10, Le(1.5)}, {70, Le16(3)}, {1001, "APP"}}},
                      SplitRow{"BinaryR12OneByteCodesWith255Escape",
                               Binary(false, {{0, std::string("LINE\0", 5)},
                                              {8, std::string("0\0", 2)},
                                              {1001, std::string("APP\0", 4)}}),
                               {{0, "LINE"}, {8, "0"}, {1001, "APP"}}}),
    [](const ::testing::TestParamInfo<SplitRow>& row) { return row.param.name; });

TEST(DxfTagSplit, BinaryNumbersAreParsed) {
    const std::string bytes =
        Binary(true, {{0, std::string("ARC\0", 4)}, {40, Le(2.25)}, {70, Le16(-2)}});
    DxfTagReader reader(bytes, DetectLayout(bytes), "b.dxf");
    DxfTag tag;
    ASSERT_TRUE(reader.Next(tag));
    ASSERT_TRUE(reader.Next(tag));
    EXPECT_EQ(tag.real, 2.25);
    ASSERT_TRUE(reader.Next(tag));
    EXPECT_EQ(tag.integer, -2);
}

// --- files written back ----------------------------------------------------------------------

std::string Pairs(std::initializer_list<std::pair<int, std::string>> pairs,
                  const std::string& eol = "\n") {
    std::string text;
    for (const auto& [code, value] : pairs) text += std::to_string(code) + eol + value + eol;
    return text;
}

// An AutoCAD 2000 drawing as another program writes it: a header with the handle seed, the
// layer and application tables, model space, a text with extended data, a line.
std::string R2000(const std::string& eol = "\n") {
    return Pairs({{0, "SECTION"},
                  {2, "HEADER"},
                  {9, "$ACADVER"},
                  {1, "AC1015"},
                  {9, "$HANDSEED"},
                  {5, "30"},
                  {9, "$DIMSCALE"},
                  {40, "1.0"},
                  {0, "ENDSEC"},
                  {999, "コメント"},
                  {0, "SECTION"},
                  {2, "TABLES"},
                  {0, "TABLE"},
                  {2, "LAYER"},
                  {5, "2"},
                  {330, "0"},
                  {100, "AcDbSymbolTable"},
                  {70, "1"},
                  {0, "LAYER"},
                  {5, "10"},
                  {330, "2"},
                  {100, "AcDbSymbolTableRecord"},
                  {100, "AcDbLayerTableRecord"},
                  {2, "0"},
                  {70, "0"},
                  {62, "7"},
                  {6, "Continuous"},
                  {0, "ENDTAB"},
                  {0, "TABLE"},
                  {2, "APPID"},
                  {5, "3"},
                  {330, "0"},
                  {100, "AcDbSymbolTable"},
                  {70, "1"},
                  {0, "APPID"},
                  {5, "11"},
                  {330, "3"},
                  {100, "AcDbSymbolTableRecord"},
                  {100, "AcDbRegAppTableRecord"},
                  {2, "ACAD"},
                  {70, "0"},
                  {0, "ENDTAB"},
                  {0, "TABLE"},
                  {2, "BLOCK_RECORD"},
                  {5, "4"},
                  {330, "0"},
                  {100, "AcDbSymbolTable"},
                  {70, "1"},
                  {0, "BLOCK_RECORD"},
                  {5, "1F"},
                  {330, "4"},
                  {100, "AcDbSymbolTableRecord"},
                  {100, "AcDbBlockTableRecord"},
                  {2, "*Model_Space"},
                  {0, "ENDTAB"},
                  {0, "ENDSEC"},
                  {0, "SECTION"},
                  {2, "ENTITIES"},
                  {0, "TEXT"},
                  {5, "3A"},
                  {330, "1F"},
                  {100, "AcDbEntity"},
                  {8, "0"},
                  {62, "1"},
                  {100, "AcDbText"},
                  {10, "1"},
                  {20, "2"},
                  {30, "0"},
                  {40, "2.5"},
                  {1, "文字"},
                  {1001, "ACAD"},
                  {1000, "keep"},
                  {0, "LINE"},
                  {5, "3B"},
                  {330, "1F"},
                  {100, "AcDbEntity"},
                  {8, "0"},
                  {100, "AcDbLine"},
                  {10, "0"},
                  {20, "0"},
                  {30, "0"},
                  {11, "10"},
                  {21, "0"},
                  {31, "0"},
                  {0, "ENDSEC"},
                  {0, "EOF"}},
                 eol);
}

// A minimal R12 drawing: only an ENTITIES section, no header, no handles.
std::string R12(const std::string& header = "") {
    return header + Pairs({{0, "SECTION"},
                           {2, "ENTITIES"},
                           {0, "LINE"},
                           {8, "0"},
                           {10, "0"},
                           {20, "0"},
                           {11, "1"},
                           {21, "1"},
                           {0, "ENDSEC"},
                           {0, "EOF"}});
}

struct Saved {
    DxfReadResult read;
    std::string bytes;
};

// Opens bytes, lets change edit the content, saves and returns the saved bytes.
Saved OpenAndSave(const std::string& bytes,
                  const std::function<void(DrawingContent&)>& change = nullptr) {
    Saved saved{ReadDxfText(bytes, "in.dxf"), {}};
    DrawingContent content = saved.read.content;
    if (change) change(content);
    TempDir dir;
    WriteDxf(dir.File("out.dxf"), *saved.read.source,
             {content.layers, content.entities, content.scaleNumerator, content.scaleDenominator});
    saved.bytes = testing::ReadText(dir.File("out.dxf"));
    return saved;
}

struct SameRow {
    const char* name;
    std::string bytes;
};
// Rows are named in test output.
void PrintTo(const SameRow& row, std::ostream* os) { *os << row.name; }

class DxfUntouched : public ::testing::TestWithParam<SameRow> {};

TEST_P(DxfUntouched, IsWrittenBackByteForByte) {
    EXPECT_EQ(OpenAndSave(GetParam().bytes).bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfUntouched,
    ::testing::Values(SameRow{"R2000", R2000()}, SameRow{"R2000CrLf", R2000("\r\n")},
                      SameRow{"R12", R12()},
                      SameRow{"ShiftJisWithoutCodePage",
                              R12() + "trailing bytes after EOF \x94\x67\n"},
                      SameRow{"BinaryR12", Binary(false, {{0, std::string("SECTION\0", 8)},
                                                          {2, std::string("ENTITIES\0", 9)},
                                                          {0, std::string("LINE\0", 5)},
                                                          {8, std::string("0\0", 2)},
                                                          {10, Le(1)},
                                                          {20, Le(2)},
                                                          {11, Le(3)},
                                                          {21, Le(4)},
                                                          {0, std::string("ENDSEC\0", 7)},
                                                          {0, std::string("EOF\0", 4)}})}),
    [](const ::testing::TestParamInfo<SameRow>& row) { return row.param.name; });

TEST(DxfSave, NewDrawingIsTheTemplateWithItsAdditions) {
    const DxfSource& source = *NewDrawingSource();
    EXPECT_EQ(source.version, "AC1021");
    EXPECT_TRUE(source.layerTable.found);
    EXPECT_TRUE(source.hasOurAppid);
    EXPECT_FALSE(source.modelSpaceHandle.empty());
    EXPECT_EQ(OpenAndSave(std::string(source.bytes)).bytes, source.bytes.View());
}

// The text from head up to (not including) next.
std::string RecordAt(const std::string& bytes, const std::string& head, const std::string& next) {
    const std::size_t begin = bytes.find(head);
    if (begin == std::string::npos) return {};
    const std::size_t end = bytes.find(next, begin + head.size());
    return bytes.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

TEST(DxfSave, AdditionsGetHandlesAboveEveryHandleAndTheSeedIsRaised) {
    const std::string original = R2000();
    const Saved saved = OpenAndSave(original, [](DrawingContent& content) {
        content.layers.push_back({5, "波線", {255, 0, 0}, true});
        content.entities.push_back(MakeLine({1, 2}, {3, 4}, 5));
        content.entities.push_back(MakeArc({0, 0}, {1, 0}, {0, 1}, 0));
    });
    const std::string& out = saved.bytes;
    // The entity handles in the file go up to 3B, above the seed 30.
    EXPECT_EQ(saved.read.source->nextHandle, 0x3CU);
    const std::string layer = RecordAt(out, "  0\nLAYER\n  5\n3C\n", "0\nENDTAB\n");
    EXPECT_NE(layer.find("330\n2\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n"
                         "  2\n波線\n 70\n0\n 62\n1\n"),
              std::string::npos)
        << layer;
    EXPECT_NE(layer.find("1001\nPELIMATOR\n1071\n5\n"), std::string::npos) << layer;
    EXPECT_NE(out.find("  0\nAPPID\n  5\n3D\n330\n3\n"), std::string::npos) << "registered";
    EXPECT_NE(out.find(" 70\n2\n0\nLAYER\n5\n10\n"), std::string::npos) << "the table's count";
    EXPECT_NE(out.find("  0\nLINE\n  5\n3E\n330\n1F\n100\nAcDbEntity\n  8\n波線\n100\nAcDbLine\n"),
              std::string::npos);
    EXPECT_NE(out.find("  0\nARC\n  5\n3F\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbCircle\n"),
              std::string::npos);
    EXPECT_NE(out.find("$HANDSEED\n  5\n40\n"), std::string::npos);
    // Everything that was there is there, in order: the text with its extended data first.
    EXPECT_NE(out.find("1\n文字\n1001\nACAD\n1000\nkeep\n0\nLINE\n5\n3B\n"), std::string::npos);
    const DxfReadResult again = ReadDxfText(out, "out.dxf");
    EXPECT_EQ(again.content.entities.size(), 3U);
    EXPECT_EQ(again.content.layers.back().name, "波線");
    EXPECT_EQ(again.content.layers.back().number, 5);
    EXPECT_EQ(again.report.skippedKinds.at("TEXT"), 1U);
    ASSERT_NE(again.underlay, nullptr);
    ASSERT_EQ(again.underlay->texts.size(), 1U);  // the text is still there and shown
    EXPECT_EQ(again.underlay->texts[0].utf8, "文字");
}

// A layer's name, visibility or colour changed: its record written again with those groups
// changed in their places (hidden: a negative colour; shown: positive and not frozen), every
// other group as it was.
struct LayerEditRow {
    const char* name;
    const char* flags;   // the file's group 70
    const char* colour;  // the file's group 62
    std::function<void(LayerData&)> edit;
    const char* record;  // the record written, from its name on
    bool visible;
};
void PrintTo(const LayerEditRow& row, std::ostream* os) { *os << row.name; }

class DxfLayerEdit : public ::testing::TestWithParam<LayerEditRow> {};

TEST_P(DxfLayerEdit, KeepsEveryOtherGroupInPlace) {
    const LayerEditRow& row = GetParam();
    std::string bytes = R2000();
    const std::string stored = "2\n0\n70\n0\n62\n7\n";
    ASSERT_NE(bytes.find(stored), std::string::npos);
    bytes.replace(bytes.find(stored), stored.size(),
                  std::string("2\n0\n70\n") + row.flags + "\n62\n" + row.colour + "\n");
    const Saved saved =
        OpenAndSave(bytes, [&row](DrawingContent& content) { row.edit(content.layers[0]); });
    const std::string layer = RecordAt(saved.bytes, "0\nLAYER\n5\n10\n", "0\nENDTAB\n");
    EXPECT_EQ(layer,
              "0\nLAYER\n5\n10\n330\n2\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n" +
                  std::string(row.record));
    const auto layers = ReadDxfText(saved.bytes, "out.dxf").content.layers;
    EXPECT_EQ(layers[0].visible, row.visible);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfLayerEdit,
    ::testing::Values(
        LayerEditRow{"RenamedAndHidden", "0", "7",
                     [](LayerData& layer) {
                         layer.name = "基準";
                         layer.visible = false;
                     },
                     "2\n0\n70\n0\n 62\n-7\n6\nContinuous\n1001\nPELIMATOR\n1000\n基準\n1071\n0\n",
                     false},
        LayerEditRow{"FrozenShownAgain", "1", "7", [](LayerData& layer) { layer.visible = true; },
                     "2\n0\n 70\n0\n 62\n7\n6\nContinuous\n", true},
        LayerEditRow{"OffShownAgain", "0", "-7", [](LayerData& layer) { layer.visible = true; },
                     "2\n0\n70\n0\n 62\n7\n6\nContinuous\n", true},
        // R2000 has no true colours: the nearest colour number.
        LayerEditRow{"RecolouredToTheNearestIndex", "0", "7",
                     [](LayerData& layer) {
                         layer.colour = Rgb{0x12, 0x34, 0x56};
                     },
                     "2\n0\n70\n0\n 62\n146\n6\nContinuous\n", true}),
    [](const auto& row) { return std::string(row.param.name); });

struct R12Row {
    const char* name;
    std::string header;
    bool handles;
};
// Rows are named in test output.
void PrintTo(const R12Row& row, std::ostream* os) { *os << row.name; }

class DxfR12Additions : public ::testing::TestWithParam<R12Row> {};

TEST_P(DxfR12Additions, HaveNoSubclassMarkersNorOwners) {
    const Saved saved = OpenAndSave(R12(GetParam().header), [](DrawingContent& content) {
        content.entities.push_back(MakeArc({0, 0}, {1, 0}, {0, 1}, 3));
    });
    const std::string& out = saved.bytes;
    const std::size_t added = out.find("  0\nLAYER\n");
    ASSERT_NE(added, std::string::npos) << out;
    EXPECT_EQ(out.find("100\n", added), std::string::npos) << out;
    EXPECT_EQ(out.find("330\n", added), std::string::npos) << out;
    EXPECT_EQ(out.find("  0\nARC\n  5\n") != std::string::npos, GetParam().handles) << out;
    const DxfReadResult again = ReadDxfText(out, "out.dxf");
    EXPECT_EQ(again.content.entities.size(), 2U);
    EXPECT_EQ(again.content.entities[1].layer, 3);
}

INSTANTIATE_TEST_SUITE_P(Rows, DxfR12Additions,
                         ::testing::Values(R12Row{"WithoutHeader", "", false},
                                           R12Row{"WithHandling",
                                                  Pairs({{0, "SECTION"},
                                                         {2, "HEADER"},
                                                         {9, "$ACADVER"},
                                                         {1, "AC1009"},
                                                         {9, "$HANDLING"},
                                                         {70, "1"},
                                                         {9, "$HANDSEED"},
                                                         {5, "20"},
                                                         {0, "ENDSEC"}}),
                                                  true}),
                         [](const ::testing::TestParamInfo<R12Row>& row) {
                             return row.param.name;
                         });

TEST(DxfSave, AdditionsToAFileWithAnUnclosedSectionReadBack) {
    // The ENTITIES section never ends; the file has no tables and no header. The new layer's
    // table goes before the entities, the header before everything, the line at the end.
    const std::string text =
        Pairs({{0, "SECTION"}, {2, "ENTITIES"}, {0, "LINE"}, {8, "0"}, {0, "UNKNOWN"}, {0, "EOF"}});
    const Saved saved = OpenAndSave(text, [](DrawingContent& content) {
        content.layers.push_back({4, "x", {}, true});
        content.entities.push_back(MakeLine({0, 0}, {1, 1}, 4));
        content.scaleDenominator = 50;
    });
    EXPECT_EQ(saved.bytes.find("  0\nSECTION\n  2\nHEADER\n"), 0U) << saved.bytes;
    const DxfReadResult again = ReadDxfText(saved.bytes, "out.dxf");
    EXPECT_EQ(again.content.entities.size(), 2U);
    EXPECT_EQ(again.content.scaleDenominator, 50);
    EXPECT_EQ(again.content.layers.front().name, "x") << "the new table comes first";
}

TEST(DxfSave, ASecondNameInASectionRecordDoesNotMoveTheSection) {
    const std::string text =
        Pairs({{0, "SECTION"}, {2, "ENTITIES"}, {2, "OTHER"}, {0, "ENDSEC"}, {0, "EOF"}});
    const Saved saved = OpenAndSave(text, [](DrawingContent& content) {
        content.entities.push_back(MakeLine({0, 0}, {1, 1}));
    });
    EXPECT_LT(saved.bytes.find("  0\nLINE\n"), saved.bytes.find("0\nENDSEC\n")) << saved.bytes;
}

// --- code pages ------------------------------------------------------------------------------

std::string ShiftJisFile(bool withCodePage) {
    std::string header = Pairs({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1009"}});
    if (withCodePage) header += Pairs({{9, "$DWGCODEPAGE"}, {3, "ANSI_932"}});
    header += Pairs({{0, "ENDSEC"}});
    // A line on layer "波線" written in Shift-JIS.
    return header + Pairs({{0, "SECTION"},
                           {2, "ENTITIES"},
                           {0, "LINE"},
                           {8, "\x94\x67\x90\xfc"},
                           {10, "0"},
                           {20, "0"},
                           {11, "1"},
                           {21, "1"},
                           {0, "ENDSEC"},
                           {0, "EOF"}});
}

struct CodePageRow {
    const char* name;
    bool withCodePage;
    std::string newName;
    std::string written;  // the new layer's name as the file holds it
};
// Rows are named in test output.
void PrintTo(const CodePageRow& row, std::ostream* os) { *os << row.name; }

class DxfCodePage : public ::testing::TestWithParam<CodePageRow> {};

TEST_P(DxfCodePage, NamesAreReadAndWrittenInThePage) {
    const CodePageRow& row = GetParam();
    const Saved saved = OpenAndSave(ShiftJisFile(row.withCodePage), [&](DrawingContent& content) {
        content.layers.push_back({9, row.newName, {}, true});
        content.entities.push_back(MakeLine({0, 0}, {2, 2}, 9));
    });
    EXPECT_EQ(saved.read.content.layers.back().name, "波線");
    EXPECT_EQ(saved.read.report.guessedCodePage, row.withCodePage ? "" : "ANSI_932");
    EXPECT_EQ(saved.read.report.Summary().find("Shift-JIS") != std::string::npos,
              !row.withCodePage);
    EXPECT_NE(saved.bytes.find("  2\n" + row.written + "\n"), std::string::npos) << saved.bytes;
    const auto layers = ReadDxfText(saved.bytes, "out.dxf").content.layers;
    const auto added = std::find_if(layers.begin(), layers.end(),
                                    [](const LayerData& layer) { return layer.number == 9; });
    ASSERT_NE(added, layers.end());
    EXPECT_EQ(added->name, row.newName);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfCodePage,
    ::testing::Values(CodePageRow{"DeclaredShiftJis", true, "外形", "\x8a\x4f\x8c\x60"},
                      CodePageRow{"GuessedShiftJis", false, "外形", "\x8a\x4f\x8c\x60"},
                      CodePageRow{"CharacterThePageLacks", true, "한外", "\\U+D55C\x8a\x4f"},
                      CodePageRow{"BeyondTheFirstPlane", true, "𠀋", "\\U+D840\\U+DC0B"}),
    [](const ::testing::TestParamInfo<CodePageRow>& row) { return row.param.name; });

TEST(DxfCodePage, EscapesAreRead) {
    const std::string text = Pairs({{0, "SECTION"},
                                    {2, "ENTITIES"},
                                    {0, "LINE"},
                                    {8, "\\M+19467\\U+7DDA"},
                                    {0, "ENDSEC"},
                                    {0, "EOF"}});
    EXPECT_EQ(ReadDxfText(text, "e.dxf").content.layers.back().name, "波線");
}

// --- counts and losses -----------------------------------------------------------------------

TEST(DxfRead, PolylineVertexCountIsReadAsTheVerticesPresent) {
    // 90 says 5, two vertices follow: read as ezdxf reads it (two vertices, one segment); the
    // record is written back as it was.
    const std::string text = Pairs({{0, "SECTION"},
                                    {2, "ENTITIES"},
                                    {0, "LWPOLYLINE"},
                                    {8, "0"},
                                    {90, "5"},
                                    {10, "0"},
                                    {20, "0"},
                                    {10, "4"},
                                    {20, "0"},
                                    {0, "ENDSEC"},
                                    {0, "EOF"}});
    const Saved saved = OpenAndSave(text);
    ASSERT_EQ(saved.read.content.entities.size(), 1U);
    EXPECT_EQ(saved.read.content.entities[0].end, (Vec2{4, 0}));
    EXPECT_EQ(saved.bytes, text);
}

struct LossRow {
    const char* name;
    std::function<std::string()> file;
    std::function<void(DrawingContent&)> change;
    const char* expected;  // a fragment of the one loss; empty: none
};
// Rows are named in test output.
void PrintTo(const LossRow& row, std::ostream* os) { *os << row.name; }

class DxfLosses : public ::testing::TestWithParam<LossRow> {};

TEST_P(DxfLosses, AreListedBeforeSaving) {
    const LossRow& row = GetParam();
    const DxfReadResult read = ReadDxfText(row.file(), "in.dxf");
    DrawingContent content = read.content;
    row.change(content);
    const auto losses = DxfSaveLosses(
        *read.source,
        {content.layers, content.entities, content.scaleNumerator, content.scaleDenominator});
    if (std::strlen(row.expected) == 0) {
        EXPECT_TRUE(losses.empty()) << losses.front();
        return;
    }
    ASSERT_EQ(losses.size(), 1U);
    EXPECT_NE(losses[0].find(row.expected), std::string::npos) << losses[0];
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfLosses,
    ::testing::Values(LossRow{"NothingChanged", [] { return R2000(); }, [](DrawingContent&) {}, ""},
                      LossRow{"IndexColourFits", [] { return R2000(); },
                              [](DrawingContent& c) {
                                  c.layers.push_back({3, "x", {255, 0, 0}, true});
                              },
                              ""},
                      LossRow{"TrueColourBefore2004", [] { return R2000(); },
                              [](DrawingContent& c) {
                                  c.layers.push_back({3, "x", {10, 200, 30}, true});
                              },
                              "色番号"},
                      LossRow{"TrueColourIn2007",
                              [] { return std::string(NewDrawingSource()->bytes); },
                              [](DrawingContent& c) {
                                  c.layers.push_back({3, "x", {10, 200, 30}, true});
                              },
                              ""},
                      LossRow{"EditedLoadedEntity", [] { return R2000(); },
                              [](DrawingContent& c) {
                                  c.entities[0].end = {5, 5};
                              },
                              "変更は保存されません"},
                      LossRow{"RemovedLayer", [] { return R2000(); },
                              [](DrawingContent& c) { c.layers.clear(); }, "削除は保存されません"},
                      LossRow{"ControlCharacterInAName",
                              [] { return std::string(NewDrawingSource()->bytes); },
                              [](DrawingContent& c) {
                                  c.layers.push_back({3, "a\nb", {}, true});
                              },
                              "制御文字"},
                      LossRow{"OddScaleInR12", [] { return R12(); },
                              [](DrawingContent& c) {
                                  c.scaleNumerator = 2;
                                  c.scaleDenominator = 5;
                              },
                              "$DIMSCALE"}),
    [](const ::testing::TestParamInfo<LossRow>& row) { return row.param.name; });

}  // namespace
}  // namespace pelimator::board
