// Documents to and from files: what opening and saving do to the board's documents.
#include "board/files/drawing_file.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "base/errors.h"
#include "board/dxf/dxf_test_support.h"
#include "board/model/edits.h"
#include "host/errors.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using testing::TempDir;

TEST(DrawingFile, SavedDocumentOpensAsANewUnmodifiedDocumentWithoutHistory) {
    TempDir dir;
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr original = application->AddDocument("図面1");
    original->LayerTable()->Put({5, "ジグザグ線", {1, 2, 3}, false});
    original->ScaleModel()->SetNumerator(2);
    original->ScaleModel()->SetDenominator(3);
    original->DrawingModel()->AddEntity(MakeLine({0, 0}, {1, 2}, 5));
    original->DrawingModel()->AddEntity(MakeLine({9, 9}, {8, 8}, 5));
    original->DrawingModel()->Undo();  // an undone entity is not part of the drawing
    const std::string path = dir.File("保存.dxf");
    SaveDrawing(*original, path);
    EXPECT_EQ(original->Path(), path);
    EXPECT_EQ(original->Name(), "保存.dxf");
    EXPECT_FALSE(original->DrawingModel()->IsModified());

    const OpenedDrawing opened = OpenDrawing(*application, path);
    EXPECT_EQ(application->DocumentCount(), 2U);
    EXPECT_EQ(application->Active(), opened.document);
    EXPECT_EQ(opened.document->Name(), "保存.dxf");
    EXPECT_EQ(opened.document->Path(), path);
    const DrawingContent expected = ContentOf(*original);
    const DrawingContent actual = ContentOf(*opened.document);
    EXPECT_EQ(actual.layers, expected.layers);
    EXPECT_EQ(actual.entities, expected.entities);
    EXPECT_EQ(actual.entities.size(), 1U);
    EXPECT_EQ(actual.scaleNumerator, 2);
    EXPECT_EQ(actual.scaleDenominator, 3);
    EXPECT_FALSE(opened.document->DrawingModel()->IsModified());
    EXPECT_FALSE(opened.document->DrawingModel()->CanUndo());
    EXPECT_EQ(opened.Summary().rfind("線 1 本、円弧 0 本", 0), 0U) << opened.Summary();
}

TEST(DrawingFile, EntitiesKnowTheRecordTheyCameFrom) {
    TempDir dir;
    testing::WriteText(dir.File("p.dxf"),
                       "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n3\n10\n0\n20\n0\n10\n1\n"
                       "20\n0\n10\n1\n20\n1\n0\nLINE\n8\n0\n11\n5\n21\n5\n0\nENDSEC\n0\nEOF\n");
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = OpenDrawing(*application, dir.File("p.dxf")).document;
    document->DrawingModel()->AddEntity(MakeLine({0, 0}, {2, 2}));
    ASSERT_EQ(document->DrawingModel()->Count(), 4U);
    const auto first = SourceRecordOf(*document, 0);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(SourceRecordOf(*document, 1), first) << "both segments are one polyline";
    EXPECT_EQ(SourceRecordOf(*document, 2), *first + 1);
    EXPECT_FALSE(SourceRecordOf(*document, 3).has_value()) << "drawn in the board";
    EXPECT_FALSE(SourceRecordOf(*application->AddDocument("新規"), 0).has_value());
}

TEST(DrawingFile, EntitiesKeepTheColourTheFileGaveThem) {
    // By layer, an index colour, BYBLOCK (shown as colour 7, black on paper), a true colour on a
    // polyline (both segments), a true colour beside an index colour (the true colour wins), then
    // by layer.
    TempDir dir;
    testing::WriteText(dir.File("c.dxf"),
                       "0\nSECTION\n2\nENTITIES\n"
                       "0\nLINE\n8\n0\n11\n1\n"
                       "0\nLINE\n8\n0\n62\n1\n11\n1\n"
                       "0\nLINE\n8\n0\n62\n0\n11\n1\n"
                       "0\nLWPOLYLINE\n8\n0\n420\n1193046\n90\n3\n10\n0\n20\n0\n10\n1\n"
                       "20\n0\n10\n1\n20\n1\n"
                       "0\nARC\n8\n0\n62\n3\n420\n255\n40\n1\n50\n0\n51\n90\n"
                       "0\nCIRCLE\n8\n0\n62\n256\n40\n1\n"
                       "0\nENDSEC\n0\nEOF\n");
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = OpenDrawing(*application, dir.File("c.dxf")).document;
    document->DrawingModel()->AddEntity(MakeLine({0, 0}, {2, 2}));
    ASSERT_EQ(document->DrawingModel()->Count(), 8U);
    const std::span<const std::uint32_t> own = document->Source()->OwnColours();
    const auto colourOf = [&](std::size_t i) { return i < own.size() ? own[i] : 0U; };
    const std::uint32_t expected[] = {0,
                                      kOwnColour | 0xFF0000U,
                                      kOwnColour,  // colour 7: the foreground, black
                                      kOwnColour | 0x123456U,
                                      kOwnColour | 0x123456U,
                                      kOwnColour | 0x0000FFU,
                                      0,
                                      0};
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(colourOf(i), expected[i]) << "entity " << i;
}

TEST(DrawingFile, FailedOpenLeavesTheApplicationAsItWas) {
    TempDir dir;
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr existing = application->AddDocument("今の図面");
    testing::WriteText(dir.File("bad.dxf"),
                       "0\nSECTION\n2\nENTITIES\n0\nARC\n40\n-1\n0\nENDSEC\n0\nEOF\n");
    EXPECT_THROW((void)OpenDrawing(*application, dir.File("bad.dxf")), FileError);
    EXPECT_EQ(application->DocumentCount(), 1U);
    EXPECT_EQ(application->Active(), existing);
}

TEST(DrawingFile, FailedSaveKeepsTheDocumentsFileAndState) {
    TempDir dir;
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = application->AddDocument("図面");
    document->DrawingModel()->AddEntity(MakeLine({0, 0}, {1, 1}));
    const std::string good = dir.File("good.dxf");
    SaveDrawing(*document, good);
    document->DrawingModel()->AddEntity(MakeLine({2, 2}, {3, 3}));
    EXPECT_THROW(SaveDrawing(*document, dir.File("missing/x.dxf")), FileError);
    EXPECT_EQ(document->Path(), good);
    EXPECT_TRUE(document->DrawingModel()->IsModified());
}

// An open drawing's file, as read, backs every later save: a save over itself (a new file in its
// place) keeps backing the next one; a rewrite in place by another program refuses the save and
// leaves that program's file as it wrote it.
class FileUnderTheDrawing : public ::testing::TestWithParam<const char*> {};

TEST_P(FileUnderTheDrawing, BacksEverySaveOrRefusesOnceRewrittenInPlace) {
    TempDir dir;
    const std::string path = dir.File(std::string("図面") + GetParam());
    const auto application = BoardApplication::Create();
    {
        const BoardDocumentPtr made = application->AddDocument("作成");
        made->DrawingModel()->AddEntity(MakeLine({0, 0}, {10, 0}));
        made->DrawingModel()->AddEntity(MakeArc({0, 0}, {5, 0}, {0, 5}));
        SaveDrawing(*made, path);
    }
    const BoardDocumentPtr document = OpenDrawing(*application, path).document;
    for (int round = 1; round <= 2; ++round) {
        document->DrawingModel()->AddEntity(MakeLine({0, 1.0 * round}, {10, 1.0 * round}));
        SaveDrawing(*document, path);
    }
    const BoardDocumentPtr reopened = OpenDrawing(*application, path).document;
    EXPECT_EQ(ContentOf(*reopened).entities, ContentOf(*document).entities);
    ASSERT_EQ(ContentOf(*reopened).entities.size(), 4U);

    // Another program truncates the file just opened and writes its own drawing there.
    const std::string theirs = ::pelimator::testing::ReadBytes(path).substr(0, 200);
    {
        std::FILE* file = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(::ftruncate(::fileno(file), 0), 0);
        std::fwrite(theirs.data(), 1, theirs.size(), file);
        std::fclose(file);
    }
    reopened->DrawingModel()->AddEntity(MakeLine({0, 9}, {10, 9}));
    try {
        SaveDrawing(*reopened, path);
        ADD_FAILURE() << "saved over a file rewritten in place";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("ほかのプログラム"), std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(::pelimator::testing::ReadBytes(path) == theirs);
    EXPECT_TRUE(reopened->DrawingModel()->IsModified());
    // Nor is a record of it moved: its bytes are no longer what was read.
    Selection record;
    record.records = {0};
    EXPECT_THROW((void)MoveSelection(*reopened, record, {1, 0}), HostError);

    // Elsewhere, what the board holds is kept as a new drawing, and the save says so first.
    const std::string rescue = dir.File(std::string("救出") + GetParam());
    const std::vector<std::string> losses = SaveLosses(*reopened, rescue);
    ASSERT_FALSE(losses.empty());
    EXPECT_NE(losses.front().find("ほかのプログラム"), std::string::npos) << losses.front();
    SaveDrawing(*reopened, rescue);
    EXPECT_EQ(ContentOf(*OpenDrawing(*application, rescue).document).entities,
              ContentOf(*reopened).entities);
    // The rescued file is the document's now: saved again, it takes the next line.
    reopened->DrawingModel()->AddEntity(MakeLine({0, 10}, {10, 10}));
    SaveDrawing(*reopened, rescue);
    EXPECT_EQ(ContentOf(*OpenDrawing(*application, rescue).document).entities.size(), 6U);
}

INSTANTIATE_TEST_SUITE_P(Formats, FileUnderTheDrawing, ::testing::Values(".dxf", ".jww"),
                         [](const auto& row) { return std::string(row.param + 1); });

TEST(DrawingFile, LoadContentReplacesEverything) {
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = application->AddDocument("図面");
    document->LayerTable()->Put({9, "old", {}, true});
    document->DrawingModel()->AddEntity(MakeLine({0, 0}, {1, 1}, 9));
    document->CurrentAttributesModel()->SetLayer(9);
    DrawingContent content;
    content.layers = {{0, "基準", {}, true}, {4, "new", {1, 1, 1}, true}};
    content.entities = {MakeArc({0, 0}, {1, 0}, {0, 1}, 4)};
    LoadContent(*document, content);
    const DrawingContent loaded = ContentOf(*document);
    EXPECT_EQ(loaded.layers, content.layers);
    EXPECT_EQ(loaded.entities, content.entities);
    EXPECT_EQ(document->CurrentAttributesModel()->Layer(), 0);
}

}  // namespace
}  // namespace pelimator::board
