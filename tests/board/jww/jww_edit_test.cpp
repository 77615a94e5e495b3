// Edits of real Jw_cad drawings saved back: what the board added and erased stays out, and a save
// that cannot keep an edit does not mark the drawing saved.
#include <string>

#include <gtest/gtest.h>

#include "board/dxf/dxf_file.h"
#include "board/files/drawing_file.h"
#include "board/jww/jww_file.h"
#include "board/model/edits.h"
#include "board/model/selection.h"
#include "support/real_corpus.h"
#include "support/real_jww.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using pelimator::testing::ForEachRealJww;
using pelimator::testing::OpenedDrawing;
using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;

// A line the board added and then erased is not written: the save is the file as read, byte for
// byte, on every real drawing.
TEST(JwwEdits, ErasedBoardLineStaysOut) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    ForEachRealJww([&](const OpenedDrawing& opened) {
        const BoardDocumentPtr& document = opened.document;
        const std::string file = opened.file.string();
        BoardDrawing& drawing = *document->DrawingModel();
        const std::size_t kept = drawing.AddEntity(MakeLine({0, 0}, {10, 5}, 0));
        drawing.AddEntity(MakeArc({0, 0}, {3, 0}, {0, 3}, 0));
        drawing.Undo();  // the arc: undone
        Selection added;
        added.entities = {kept};
        (void)EraseSelection(*document, added);
        EXPECT_TRUE(SaveLosses(*document, dir.File("out.jww")).empty());
        SaveDrawing(*document, dir.File("out.jww"));
        EXPECT_TRUE(ReadBytes(dir.File("out.jww")) == ReadBytes(file));
        EXPECT_FALSE(drawing.IsModified());
    });
}

// Everything the drawing shows is picked as a drafter picks it (lines and arcs as entities, the
// rest as records drawn beneath) and erased: the saved list is empty and the block definitions
// stay. Undone, the save is the file as read, byte for byte.
TEST(JwwEdits, EverythingPickedAndErasedLeavesTheListAndUndoneGivesTheFileBack) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    ForEachRealJww([&](const OpenedDrawing& opened) {
        const BoardDocumentPtr& document = opened.document;
        const std::string file = opened.file.string();
        const auto& read = dynamic_cast<const JwwSource&>(*document->Source());
        BoardLayers& layers = *document->LayerTable();
        for (std::size_t i = 0; i < layers.Count(); ++i) {
            LayerData layer = layers.At(i);
            layer.visible = true;
            layers.Put(layer);
        }
        const Selection all = PickAll(*document);
        // Each line or arc is a record of its own; every other record is picked beneath.
        EXPECT_EQ(all.entities.size() + all.records.size(), read.records.size());
        (void)EraseSelection(*document, all);
        SaveDrawing(*document, dir.File("erased.jww"));
        const JwwReadResult erased = ReadJwwFile(dir.File("erased.jww"));
        EXPECT_EQ(erased.source->entityCount, 0U);
        EXPECT_EQ(erased.blocks.size(), ReadJwwFile(file).blocks.size());

        document->DrawingModel()->Undo();
        SaveDrawing(*document, dir.File("undone.jww"));
        EXPECT_TRUE(ReadBytes(dir.File("undone.jww")) == ReadBytes(file));
    });
}

// A converted copy holds what the drawing shows, copies of records too: a copied line of a real
// Jw_cad drawing goes into its DXF copy, and a copied DXF line into a JWW copy.
TEST(JwwEdits, ConvertedCopiesHoldCopiedRecords) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    const auto application = BoardApplication::Create();
    const std::string real = (*pelimator::testing::RealCorpus() / "real-jww/敷地図.jww").string();
    const BoardDocumentPtr jww = OpenDrawing(*application, real).document;
    const std::size_t lines = jww->DrawingModel()->Count();
    Selection first;
    first.entities = {0};
    (void)CopySelection(*jww, first, {3.0, 4.0});
    SaveDrawing(*jww, dir.File("copy.dxf"));
    EXPECT_EQ(ReadDxfFile(dir.File("copy.dxf")).content.entities.size(), lines + 1);

    DrawingContent content;
    content.layers = {{0, "0", {}, true}};
    content.entities = {MakeLine({0, 0}, {10, 0}, 0)};
    WriteDxfFile(dir.File("line.dxf"), content);
    const BoardDocumentPtr dxf = OpenDrawing(*application, dir.File("line.dxf")).document;
    (void)CopySelection(*dxf, first, {0.0, 5.0});
    SaveDrawing(*dxf, dir.File("copy.jww"));
    const JwwReadResult copy = ReadJwwFile(dir.File("copy.jww"));
    ASSERT_EQ(copy.content.entities.size(), 2U);
    EXPECT_EQ(copy.content.entities[1].start.y, 5.0);
}

}  // namespace
}  // namespace pelimator::board
