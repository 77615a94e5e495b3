// Edits of many kept records: the placement check's short way for plain lines, arcs and circles
// agrees with the whole reading of each record, and a save that rewrites the records on several
// threads writes what rewriting them one by one in the file's order writes.
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_plain_record.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_transform.h"
#include "board/dxf/dxf_writer_records.h"

namespace pelimator::board {
namespace {

using namespace dxf_roles;

// What reading the whole record says: a LINE, ARC or CIRCLE of the text form, of its own groups
// only (the short way leaves application groups, embedded objects and extended data to the
// whole check), its extrusion along Z and written plainly.
bool PlainByWholeReading(const DxfSource& source, std::size_t record) {
    if (source.layout.form != DxfForm::Ascii) return false;
    std::vector<DxfTag> tags;
    try {
        tags = ReadTags(source, record);
    } catch (const FileError&) {
        return false;
    }
    const std::string type = TypeOf(tags);
    if (type != "LINE" && type != "ARC" && type != "CIRCLE") return false;
    for (const DxfTag& tag : tags) {
        if (tag.code == 101 || tag.code == 102 || tag.code >= 1000) return false;
        const bool extrusion = tag.code == 210 || tag.code == 220 || tag.code == 230;
        if (extrusion && TrimDxf(tag.value).find_first_of("+,") != std::string_view::npos) {
            return false;
        }
    }
    return AlongZ(ExtrusionOf(tags));
}

// The short way agrees with the whole reading on every record, and the whole check accepts every
// record it takes.
void ExpectAgreement(const DxfSource& source, const std::string& name, std::size_t& plain) {
    for (std::size_t r = 0; r + 1 < source.records.size(); ++r) {
        const bool quick = PlainlyPlaceable(source, r);
        ASSERT_EQ(quick, PlainByWholeReading(source, r)) << name << " record " << r;
        if (quick) {
            ++plain;
            ASSERT_EQ(DxfPlacementRefusal(source, r), "") << name << " record " << r;
        }
    }
}

struct PlainRow {
    const char* name;
    std::string record;  // one record's lines
    bool plain;          // taken by the short way
    bool placeable;      // the whole check's answer
};

void PrintTo(const PlainRow& row, std::ostream* out) { *out << row.name; }

class PlainRecord : public ::testing::TestWithParam<PlainRow> {};

TEST_P(PlainRecord, TakenOnlyWhereTheWholeCheckAgrees) {
    const PlainRow& row = GetParam();
    const std::string text = "0\nSECTION\n2\nENTITIES\n" + row.record + "0\nENDSEC\n0\nEOF\n";
    const DxfReadResult read = ReadDxfText(text, "t.dxf");
    EXPECT_EQ(PlainlyPlaceable(*read.source, 1), row.plain);
    EXPECT_EQ(DxfPlacementRefusal(*read.source, 1).empty(), row.placeable);
    std::size_t plain = 0;
    ExpectAgreement(*read.source, row.name, plain);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlainRecord,
    ::testing::Values(
        PlainRow{"Arc", "0\nARC\n8\n0\n10\n1\n20\n2\n30\n0\n40\n3\n50\n10\n51\n80\n", true, true},
        PlainRow{"LineWithCarriageReturns",
                 "0\r\nLINE\r\n 10\r\n1\r\n20\r\n2\r\n11\r\n3\r\n21\r\n4\r\n", true, true},
        PlainRow{"CircleSeenFromBelow", "0\nCIRCLE\n10\n1\n20\n2\n40\n3\n210\n0\n220\n0\n230\n-1\n",
                 true, true},
        PlainRow{"TiltedLine", "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n210\n0.6\n220\n0\n230\n0.8\n",
                 false, false},
        PlainRow{"ArcLyingInXZ", "0\nARC\n10\n0\n20\n0\n40\n1\n50\n0\n51\n90\n220\n1\n230\n0\n",
                 false, false},
        PlainRow{
            "ArcWithReactors",
            "0\nARC\n102\n{ACAD_REACTORS\n330\n1F\n102\n}\n10\n0\n20\n0\n40\n1\n50\n0\n51\n9\n",
            false, true},
        PlainRow{"LineWithExtendedData",
                 "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n1001\nAPP\n1010\n0\n1020\n0\n1030\n-1\n",
                 false, true},
        PlainRow{"ExtrusionWithAPlus", "0\nCIRCLE\n10\n1\n20\n2\n40\n3\n230\n+1\n", false, true},
        PlainRow{"Text", "0\nTEXT\n10\n0\n20\n0\n40\n1\n1\nA\n", false, true},
        PlainRow{"Solid3d", "0\n3DSOLID\n100\nAcDbEntity\n8\n0\n", false, false}),
    [](const ::testing::TestParamInfo<PlainRow>& row) { return std::string(row.param.name); });

TEST(PlainRecord, AgreesWithTheWholeReadingOverTheRealDrawings) {
    const std::filesystem::path folder = std::filesystem::path(PELIMATOR_REAL_CORPUS) / "real-dxf";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no real drawings at " << folder;
    std::size_t drawings = 0;
    std::size_t plain = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".dxf") continue;
        const DxfReadResult read = ReadDxfFile(entry.path().string(), {false, nullptr});
        ExpectAgreement(*read.source, entry.path().filename().string(), plain);
        ++drawings;
    }
    EXPECT_GT(drawings, 20U);
    EXPECT_GT(plain, 1000U);  // the short way is taken
}

// Rewriting ahead, in one run and in several: every wanted record rewritten as by itself, none
// other; a failure raised where the walk comes to it, every wanted record before it rewritten.
TEST(RewriteAhead, RewritesEachWantedRecordAsAloneAndStopsAtAFailure) {
    for (const std::size_t count : {std::size_t{10}, std::size_t{5000}, std::size_t{20011}}) {
        for (const std::size_t failing : {count, count / 2 + 3, count - 1}) {
            const auto wanted = [](std::size_t k) { return k % 7 != 3; };
            const auto rewrite = [&](std::size_t k, std::size_t& end) {
                if (k == failing) throw std::runtime_error("record " + std::to_string(k));
                end = k * 3 + 1;
                return "r" + std::to_string(k);
            };
            std::vector<writer::Rewritten> ahead = writer::RewriteAhead(count, wanted, rewrite);
            ASSERT_EQ(ahead.size(), count);
            for (std::size_t k = 0; k < count; ++k) {
                if (!wanted(k)) {
                    ASSERT_FALSE(ahead[k].done) << k;
                    continue;
                }
                if (k > failing) continue;  // past the failure: never asked for
                ASSERT_TRUE(ahead[k].done) << count << ' ' << k;
                std::size_t end = 0;
                if (k == failing) {
                    EXPECT_THROW((void)writer::Take(ahead[k], end), std::runtime_error);
                    continue;
                }
                EXPECT_EQ(writer::Take(ahead[k], end), "r" + std::to_string(k));
                EXPECT_EQ(end, k * 3 + 1);
            }
        }
    }
}

// A drawing of many arcs and some records of other kinds, every record turned and mirrored in
// one edit: the save is the file with each record replaced by its own rewrite, in order.
TEST(RewriteAhead, SaveOfManyPlacedRecordsIsEachRecordRewrittenInOrder) {
    std::string text = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < 9000; ++i) {
        const std::string n = std::to_string(i);
        text +=
            i % 500 == 7
                ? "0\nTEXT\n8\nT\n10\n" + n + "\n20\n1.5\n40\n2\n1\nA" + n + "\n72\n0\n"
                : "0\nARC\n8\nL\n10\n" + n + ".25\n20\n-" + n + "\n30\n0\n40\n3\n50\n10\n51\n80\n";
    }
    text += "0\nENDSEC\n0\nEOF\n";
    const DxfReadResult read = ReadDxfText(text, "t.dxf");
    const DxfSource& source = *read.source;
    const std::vector<RecordPlacement> placements{{{3.0, 4.0}, 30.0, {1.0, -2.0}},
                                                  {{0.0, 0.0}, 0.0, {}, true, 1.5}};
    std::unordered_map<std::uint32_t, RecordEdit> edits;
    // Records: the section's start, the 9,000, its end, EOF, and the offset past it.
    ASSERT_EQ(source.records.size(), 9004U);
    std::string expected(std::string_view(source.bytes).substr(0, source.records[1]));
    for (std::size_t r = 1; r <= 9000; ++r) {
        edits[static_cast<std::uint32_t>(r)] =
            RecordEdit{static_cast<std::uint32_t>(r), false, placements, {}, nullptr, nullptr};
        std::uint64_t unused = 0;
        expected += RewriteDxfRecord(source, r, placements, {}, false, unused);
    }
    expected += std::string_view(source.bytes).substr(source.records[9001]);
    const DrawingContent& content = read.content;
    const DrawingState state{content.layers,
                             content.entities,
                             content.scaleNumerator,
                             content.scaleDenominator,
                             content.currentLayer,
                             content.unitCode,
                             {},
                             {},
                             &edits};
    EXPECT_EQ(SavedDxfBytes(source, state), expected);
}

}  // namespace
}  // namespace pelimator::board
