// Jw_cad drawings saved as DXF from the board: a converted copy stays DXF when it is saved again,
// and an added line reaches the DXF at real size.
#include <string>

#include <gtest/gtest.h>

#include "board/dxf/dxf_file.h"
#include "board/files/drawing_file.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_format.h"
#include "support/real_corpus.h"
#include "support/real_jww.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using pelimator::testing::ForEachRealJww;
using pelimator::testing::OpenedDrawing;
using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;

// Saved as x.dxf, then saved again (上書き保存) to x.dxf: the file is still a DXF, read back with
// the same lines as the first save, and the board's own new line is there at real size.
TEST(JwwToDxf, ConvertedCopySavedAgainStaysDxf) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    ForEachRealJww([&](const OpenedDrawing& opened) {
        const BoardDocumentPtr& document = opened.document;
        const JwwSource& source = *AsJwwSource(*document->Source());
        const std::string path = dir.File("copy.dxf");
        SaveDrawing(*document, path);
        const std::string first = ReadBytes(path);
        EXPECT_FALSE(document->DrawingModel()->IsModified());
        // A line on layer 0-1 (group 0), 10 paper mm long.
        document->DrawingModel()->AddEntity(MakeLine({0, 0}, {10, 0}, 1));
        SaveDrawing(*document, path);
        const std::string second = ReadBytes(path);
        ASSERT_FALSE(IsJwwBytes(second));
        const DxfReadResult read = ReadDxfText(second, "copy.dxf");
        EXPECT_EQ(read.content.entities.size(),
                  ReadDxfText(first, "copy.dxf").content.entities.size() + 1);
        const double scale = source.GroupScale(0);
        const EntityData& added = read.content.entities.back();
        EXPECT_DOUBLE_EQ(added.end.x - added.start.x, 10.0 * scale);
    });
}

}  // namespace
}  // namespace pelimator::board
