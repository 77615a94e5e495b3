// Save then open: layers, scale and every line and arc come back as they were.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_test_support.h"

namespace pelimator::board {
namespace {

using testing::RandomContent;
using testing::TempDir;

::testing::AssertionResult Near(Vec2 a, Vec2 b, double scale) {
    const double tolerance = 1e-9 * std::max(1.0, scale);
    if (Distance(a, b) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << a.x << ", " << a.y << ") vs (" << b.x << ", " << b.y << ")";
}

void ExpectSameEntities(const DrawingContent& expected, const DrawingContent& actual) {
    ASSERT_EQ(expected.entities.size(), actual.entities.size());
    for (std::size_t i = 0; i < expected.entities.size(); ++i) {
        SCOPED_TRACE("entity " + std::to_string(i));
        const EntityData& e = expected.entities[i];
        const EntityData& a = actual.entities[i];
        ASSERT_EQ(e.kind, a.kind);
        EXPECT_EQ(e.layer, a.layer);
        const double scale = Length(e.center) + e.radius + Length(e.start) + Length(e.end);
        EXPECT_TRUE(Near(e.start, a.start, scale));
        EXPECT_TRUE(Near(e.end, a.end, scale));
        if (e.kind == EntityKind::Arc) {
            EXPECT_TRUE(Near(e.center, a.center, scale));
            EXPECT_NEAR(e.radius, a.radius, 1e-9 * std::max(1.0, e.radius));
            const ArcAngles ea = AnglesOf(e);
            const ArcAngles aa = AnglesOf(a);
            EXPECT_NEAR(ea.sweep, aa.sweep, 1e-9) << "a full circle must stay full";
        }
    }
}

TEST(DxfRoundTrip, RandomDrawingsSurviveSaveAndOpen) {
    TempDir dir;
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 random(seed);
        const DrawingContent saved = RandomContent(random, 60);
        const std::string path = dir.File("drawing.dxf");
        WriteDxfFile(path, saved);
        const DxfReadResult opened = ReadDxfFile(path);
        EXPECT_EQ(saved.layers, opened.content.layers);
        EXPECT_EQ(saved.scaleNumerator, opened.content.scaleNumerator);
        EXPECT_EQ(saved.scaleDenominator, opened.content.scaleDenominator);
        ExpectSameEntities(saved, opened.content);
        EXPECT_EQ(opened.report.skipped, 0U);
    }
}

TEST(DxfRoundTrip, ExtremeButValidCoordinatesKeepTheirPrecision) {
    TempDir dir;
    DrawingContent saved;
    saved.layers.push_back({0, "0", {}, true});
    saved.entities.push_back(MakeLine({1e11, -1e11}, {1e11 + 0.5, -3.25e10}));
    saved.entities.push_back(MakeLine({1e-7, 2e-7}, {-3.5e-6, 0.0}));
    EntityData tiny = MakeArc({0.001, 0.002}, {0.0010001, 0.002}, {0.001, 0.0020001});
    saved.entities.push_back(tiny);
    EntityData huge = MakeArc({-9e11, 9e11}, {-8e11, 9e11}, {-9e11, 1e12});
    saved.entities.push_back(huge);
    WriteDxfFile(dir.File("x.dxf"), saved);
    ExpectSameEntities(saved, ReadDxfFile(dir.File("x.dxf")).content);
}

TEST(DxfRoundTrip, EntityOnALayerMissingFromTheTableKeepsItsNumber) {
    TempDir dir;
    DrawingContent saved;
    saved.layers.push_back({0, "0", {}, true});
    saved.entities.push_back(MakeLine({0, 0}, {1, 1}, 77));
    WriteDxfFile(dir.File("x.dxf"), saved);
    const DrawingContent opened = ReadDxfFile(dir.File("x.dxf")).content;
    ASSERT_EQ(opened.entities.size(), 1U);
    EXPECT_EQ(opened.entities[0].layer, 77);
}

TEST(DxfSave, LayerNamesBecomeValidUniqueDxfNames) {
    TempDir dir;
    DrawingContent saved;
    saved.layers = {{0, "基準", {}, true},
                    {1, "Layer", {}, true},
                    {2, "LAYER", {}, true},
                    {3, "a/b", {}, true},
                    {4, "0", {}, true}};
    WriteDxfFile(dir.File("x.dxf"), saved);
    const std::string text = testing::ReadText(dir.File("x.dxf"));
    for (const char* name : {"\n0\n", "\nLayer\n", "\nLAYER_2\n", "\na_b\n", "\n0_4\n"}) {
        EXPECT_NE(text.find(std::string("  2") + name), std::string::npos) << name;
    }
    EXPECT_NE(text.find("AC1021"), std::string::npos);
    EXPECT_EQ(ReadDxfFile(dir.File("x.dxf")).content.layers, saved.layers);
}

TEST(DxfSave, FailureLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.File("keep.dxf");
    testing::WriteText(path, "old drawing");
    DrawingContent broken;
    broken.layers.push_back({0, "0", {}, true});
    broken.entities.push_back(MakeLine({0, 0}, {1, 1}));
    broken.entities.push_back(MakeLine({0, 0}, {std::nan(""), 1}));
    EXPECT_THROW(WriteDxfFile(path, broken), FileError);
    EXPECT_EQ(testing::ReadText(path), "old drawing");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(DxfSave, UnwritableFolderGivesAFileErrorNamingTheFile) {
    TempDir dir;
    DrawingContent content;
    content.layers.push_back({0, "0", {}, true});
    try {
        WriteDxfFile(dir.File("missing/図面.dxf"), content);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("図面.dxf"), std::string::npos) << error.what();
    }
}

TEST(DxfSave, ReplacingAFileKeepsItsPermissions) {
    TempDir dir;
    const std::string path = dir.File("p.dxf");
    testing::WriteText(path, "x");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    DrawingContent content;
    content.layers.push_back({0, "0", {}, true});
    WriteDxfFile(path, content);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
}

// A record moved near the start of a file of megabytes: the save copies the runs around it in
// pieces aligned in the file written; every byte before and after the record is as read.
TEST(DxfSave, AMovedRecordAheadOfMegabytesLeavesEveryOtherByteAsRead) {
    TempDir dir;
    std::string text = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < 90000; ++i) {
        const std::string x = std::to_string(i);
        text += "0\nLINE\n8\n0\n10\n" + x + "\n20\n0\n30\n0\n11\n" + x + "\n21\n1\n31\n0\n";
    }
    text += "0\nENDSEC\n0\nEOF\n";
    std::ofstream(dir.File("big.dxf"), std::ios::binary) << text;
    const DxfReadResult read = ReadDxfFile(dir.File("big.dxf"));
    ASSERT_GT(text.size(), std::size_t{4} << 20U);
    const std::uint32_t record = read.source->entityRecord.at(1);
    RecordEdit edit;
    edit.source = record;
    edit.placements.push_back(RecordPlacement{{}, 0.0, {0.5, 0.0}});
    const std::unordered_map<std::uint32_t, RecordEdit> edits{{record, edit}};
    std::vector<EntityData> entities = read.content.entities;
    MoveEntity(entities[1], {0.5, 0.0});
    DrawingState state;
    state.layers = read.content.layers;
    state.entities = entities;
    state.recordEdits = &edits;
    WriteDxf(dir.File("out.dxf"), *read.source, state);

    std::ifstream in(dir.File("out.dxf"), std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t begin = read.source->records.at(record);
    const std::size_t end = read.source->records.at(record + 1);
    const std::size_t tail = text.size() - end;
    ASSERT_GT(saved.size(), tail);
    EXPECT_TRUE(saved.compare(0, begin, text, 0, begin) == 0);
    EXPECT_TRUE(saved.compare(saved.size() - tail, tail, text, end, tail) == 0);
    const DxfReadResult again = ReadDxfFile(dir.File("out.dxf"));
    ASSERT_EQ(again.content.entities.size(), 90000U);
    EXPECT_EQ(again.content.entities[1].start, (Vec2{1.5, 0.0}));
    EXPECT_EQ(again.content.entities[2].start, (Vec2{2.0, 0.0}));
}

}  // namespace
}  // namespace pelimator::board
