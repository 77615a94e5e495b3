// A file's structure checked before it is trusted: sections and sequences left open are refused
// with the line or closed and said, a save writes what was closed and puts new records only where
// the structure is closed, and new layers carry the plot style their version needs.
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_tags.h"

namespace pelimator::board {
namespace {

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (const std::string_view line : lines) {
        out += line;
        out += '\n';
    }
    return out;
}

// An R12 drawing: layer 0, a block with an attribute definition, a line, an insert with its
// attribute, and a polyline last in ENTITIES.
std::string R12() {
    return Lines(
        {"0",  "SECTION", "2",  "HEADER",   "9",  "$ACADVER", "1",  "AC1009",   "0",  "ENDSEC",
         "0",  "SECTION", "2",  "TABLES",   "0",  "TABLE",    "2",  "LAYER",    "70", "1",
         "0",  "LAYER",   "2",  "0",        "70", "0",        "62", "7",        "6",  "CONTINUOUS",
         "0",  "ENDTAB",  "0",  "TABLE",    "2",  "STYLE",    "70", "0",        "0",  "ENDTAB",
         "0",  "ENDSEC",  "0",  "SECTION",  "2",  "BLOCKS",   "0",  "BLOCK",    "8",  "0",
         "2",  "DOOR",    "70", "2",        "10", "0",        "20", "0",        "0",  "LINE",
         "8",  "0",       "10", "0",        "20", "0",        "11", "1",        "21", "0",
         "0",  "ATTDEF",  "8",  "0",        "10", "0",        "20", "0",        "40", "1",
         "1",  "",        "3",  "NO",       "2",  "NO",       "70", "0",        "0",  "ENDBLK",
         "8",  "0",       "0",  "ENDSEC",   "0",  "SECTION",  "2",  "ENTITIES", "0",  "LINE",
         "8",  "0",       "10", "0",        "20", "0",        "11", "5",        "21", "5",
         "0",  "INSERT",  "8",  "0",        "66", "1",        "2",  "DOOR",     "10", "5",
         "20", "5",       "0",  "ATTRIB",   "8",  "0",        "10", "5",        "20", "5",
         "40", "1",       "1",  "7",        "2",  "NO",       "70", "0",        "0",  "SEQEND",
         "8",  "0",       "0",  "POLYLINE", "8",  "0",        "66", "1",        "70", "0",
         "0",  "VERTEX",  "8",  "0",        "10", "0",        "20", "0",        "0",  "VERTEX",
         "8",  "0",       "10", "10",       "20", "10",       "0",  "SEQEND",   "8",  "0",
         "0",  "ENDSEC",  "0",  "EOF"});
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The same tags in binary form (R12: 1-byte group codes).
std::string Binary(const std::string& ascii) {
    DxfLayout binary;
    binary.form = DxfForm::Binary;
    binary.wideCodes = false;
    DxfEmitter out(binary);
    DxfTagReader reader(ascii, DetectLayout(ascii), "t.dxf");
    for (DxfTag tag; reader.Next(tag);) {
        switch (ValueKindOf(tag.code)) {
            case DxfValueKind::Real:
                out.Real(tag.code, tag.real);
                break;
            case DxfValueKind::Int16:
            case DxfValueKind::Int32:
            case DxfValueKind::Int64:
            case DxfValueKind::Bool:
                out.Integer(tag.code, tag.integer);
                break;
            default:
                out.Text(tag.code, tag.value);
                break;
        }
    }
    return std::string(kDxfBinarySentinel) + out.Out();
}

enum class Outcome { Refused, Repaired };

struct StructureRow {
    const char* name;
    std::string bytes;
    Outcome outcome;
    const char* needle;  // in the refusal or in a repair
};
void PrintTo(const StructureRow& row, std::ostream* os) { *os << row.name; }

class DxfStructure : public ::testing::TestWithParam<StructureRow> {};

// A refusal names where; a repair is said, and a save adding a line on a new layer writes a
// file that reads back whole with nothing left to repair.
TEST_P(DxfStructure, IsRefusedWithTheLineOrRepairedAndSaid) {
    const StructureRow& row = GetParam();
    if (row.outcome == Outcome::Refused) {
        try {
            (void)ReadDxfBytes(row.bytes, "t.dxf");
            ADD_FAILURE() << "read without a word";
        } catch (const FileError& error) {
            const std::string what = error.what();
            EXPECT_TRUE(what.find("行目") != std::string::npos ||
                        what.find("バイト位置") != std::string::npos)
                << what;
            EXPECT_NE(what.find(row.needle), std::string::npos) << what;
        }
        return;
    }
    const DxfReadResult read = ReadDxfBytes(row.bytes, "t.dxf");
    ASSERT_FALSE(read.report.repairs.empty());
    EXPECT_NE(read.report.repairs.front().find(row.needle), std::string::npos)
        << read.report.repairs.front();
    EXPECT_NE(read.report.Summary().find("構造を補いました"), std::string::npos);

    std::vector<LayerData> layers = read.content.layers;
    layers.push_back({5, "新しいレイヤ", Rgb{255, 0, 0}, true});
    std::vector<EntityData> entities = read.content.entities;
    entities.push_back(MakeLine({0, 0}, {7, 3}, 5));
    const DrawingState state{layers, entities, 1, 1};
    const DxfReadResult again = ReadDxfBytes(SavedDxfBytes(*read.source, state), "saved.dxf");
    EXPECT_TRUE(again.report.repairs.empty()) << again.report.repairs.front();
    EXPECT_EQ(again.content.entities.size(), entities.size());
    EXPECT_EQ(again.content.entities.back(), entities.back());
}

constexpr std::string_view kPolylineEnd = "0\nSEQEND\n8\n0\n0\nENDSEC\n0\nEOF\n";
constexpr std::string_view kFirstEndtab = "0\nENDTAB\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfStructure,
    ::testing::Values(
        StructureRow{"StrayEofInsideTables", Replaced(R12(), kFirstEndtab, "0\nENDTAB\n0\nEOF\n"),
                     Outcome::Refused, "EOF"},
        StructureRow{"StrayEofInsideTablesBinary",
                     Binary(Replaced(R12(), kFirstEndtab, "0\nENDTAB\n0\nEOF\n")), Outcome::Refused,
                     "EOF"},
        StructureRow{"PolylineWithoutSeqendBeforeALine",
                     Replaced(R12(), kPolylineEnd,
                              "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n1\n0\nENDSEC\n0\nEOF\n"),
                     Outcome::Refused, "SEQEND"},
        StructureRow{"AttributesWithoutSeqendBeforeAPolyline",
                     Replaced(R12(), "0\nSEQEND\n8\n0\n0\nPOLYLINE", "0\nPOLYLINE"),
                     Outcome::Refused, "INSERT"},
        StructureRow{"PolylineWithoutSeqendAtTheEndOfEntities",
                     Replaced(R12(), kPolylineEnd, "0\nENDSEC\n0\nEOF\n"), Outcome::Repaired,
                     "SEQEND"},
        StructureRow{"PolylineWithoutSeqendAtTheEndOfEntitiesBinary",
                     Binary(Replaced(R12(), kPolylineEnd, "0\nENDSEC\n0\nEOF\n")),
                     Outcome::Repaired, "SEQEND"},
        StructureRow{"EntitiesWithoutEndsecBeforeTheFinalEof",
                     Replaced(R12(), "0\nENDSEC\n0\nEOF\n", "0\nEOF\n"), Outcome::Repaired,
                     "ENDSEC"},
        StructureRow{"PolylineAndEntitiesLeftOpenAtTheFinalEof",
                     Replaced(R12(), kPolylineEnd, "0\nEOF\n"), Outcome::Repaired, "SEQEND"},
        StructureRow{"TablesWithoutEndsecBeforeBlocks",
                     Replaced(R12(), "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n",
                              "0\nENDTAB\n0\nSECTION\n2\nBLOCKS\n"),
                     Outcome::Repaired, "ENDSEC"}));

// A LAYER table without its ENDTAB opens (ezdxf reads such files), but a new layer has no safe
// place in it: the save is refused; a save that adds no layer goes ahead.
TEST(DxfSave, RefusesNewLayersInATableWithoutItsEndtab) {
    const std::string text = Replaced(R12(), kFirstEndtab, "");
    const DxfReadResult read = ReadDxfBytes(text, "t.dxf");
    std::vector<EntityData> entities = read.content.entities;
    entities.push_back(MakeLine({0, 0}, {7, 3}, 0));
    const DrawingState sameLayers{read.content.layers, entities, 1, 1};
    EXPECT_NO_THROW((void)SavedDxfBytes(*read.source, sameLayers));

    std::vector<LayerData> layers = read.content.layers;
    layers.push_back({5, "新しいレイヤ", Rgb{255, 0, 0}, true});
    entities.back().layer = 5;
    const DrawingState newLayer{layers, entities, 1, 1};
    try {
        (void)SavedDxfBytes(*read.source, newLayer);
        ADD_FAILURE() << "a layer was placed in an unclosed table";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("ENDTAB"), std::string::npos) << error.what();
    }
}

// The LAYER record a save adds, as written.
std::string NewLayerRecord(const std::string& text) {
    const DxfReadResult read = ReadDxfBytes(text, "t.dxf");
    std::vector<LayerData> layers = read.content.layers;
    layers.push_back({5, "NEW", Rgb{255, 0, 0}, true});
    const DrawingState state{layers, read.content.entities, 1, 1};
    const std::string saved = SavedDxfBytes(*read.source, state);
    const std::size_t name = saved.find("\nNEW\n");
    const std::size_t begin = saved.rfind("LAYER\n", name);
    return saved.substr(begin, saved.find("\n  0\n", name) - begin);
}

// From R2000 on a new layer names the plot style ezdxf would look up for it: the "Normal" entry
// of the plot style dictionary, or what the file's layers use when that dictionary is damaged
// (ezdxf then fails on a layer without one).
TEST(DxfSave, NewLayersCarryThePlotStyleTheirVersionNeeds) {
    const std::string modern(NewDrawingSource()->bytes);
    struct Row {
        const char* name;
        std::string text;
        const char* expected;  // the 390 group, or none
    };
    const std::vector<Row> rows = {
        {"the plot style dictionary's Normal", modern, "390\n13\n"},
        {"a root dictionary pointing at a dictionary without Normal",
         Replaced(Replaced(modern, "ACAD_PLOTSTYLENAME\n350\n12\n", "ACAD_PLOTSTYLENAME\n350\nA\n"),
                  "390\n13\n", "390\n14\n"),
         "390\n14\n"},
        {"R12 has no plot styles", R12(), nullptr},
    };
    for (const Row& row : rows) {
        const std::string record = NewLayerRecord(row.text);
        if (row.expected == nullptr) {
            EXPECT_EQ(record.find("390"), std::string::npos) << row.name << ":\n" << record;
        } else {
            EXPECT_NE(record.find(row.expected), std::string::npos) << row.name << ":\n" << record;
        }
    }
}

}  // namespace
}  // namespace pelimator::board
