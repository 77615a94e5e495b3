// Edits of real Jw_cad drawings saved back: what the board added and erased stays out, and a save
// that cannot keep an edit does not mark the drawing saved.
#include <string>

#include <gtest/gtest.h>

#include "board/files/drawing_file.h"
#include "board/model/edits.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using pelimator::testing::ReadBytes;
using pelimator::testing::RealDrawings;
using pelimator::testing::TempDir;

// A line the board added and then erased is not written: the save is the file as read, byte for
// byte, on every real drawing.
TEST(JwwEdits, ErasedBoardLineStaysOut) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    const auto files = RealDrawings("real-jww", ".jww");
    ASSERT_FALSE(files.empty());
    TempDir dir;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const auto application = BoardApplication::Create();
        const BoardDocumentPtr document = OpenDrawing(*application, file.string()).document;
        BoardDrawing& drawing = *document->DrawingModel();
        const std::size_t kept = drawing.AddEntity(MakeLine({0, 0}, {10, 5}, 0));
        drawing.AddEntity(MakeArc({0, 0}, {3, 0}, {0, 3}, 0));
        drawing.Undo();  // the arc: undone
        Selection added;
        added.entities = {kept};
        (void)EraseSelection(*document, added);
        EXPECT_TRUE(SaveLosses(*document, dir.File("out.jww")).empty());
        SaveDrawing(*document, dir.File("out.jww"));
        EXPECT_TRUE(ReadBytes(dir.File("out.jww")) == ReadBytes(file.string()));
        EXPECT_FALSE(drawing.IsModified());
    }
}

}  // namespace
}  // namespace pelimator::board
