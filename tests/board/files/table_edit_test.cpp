// A table turned, mirrored or scaled on the board looks as the saved file draws it: the board's
// picture of the table after the edit (its items placed by the edit) against its picture read back
// from the saved file (the *T block drawn at the saved insertion point along the saved direction).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/model/edits.h"
#include "board/model/selection.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

// The table's record key (the only ACAD_TABLE of the drawing).
std::uint32_t TableRecord(const BoardDocument& document) {
    for (const UnderlayItem& item : document.UnderlayModel()->items) {
        if (item.record != kNoUnderlayIndex &&
            document.Source()->RecordKind(item.record) == "ACAD_TABLE")
            return item.record;
    }
    return kNoRecordKey;
}

// What the record's items draw: each line's points and each text's string, origin and direction,
// rounded to 1e-6 and sorted (the order of items is the reader's).
using Mark = std::tuple<std::string, long long, long long, long long, long long>;
std::vector<Mark> Picture(const BoardDocument& document, std::uint32_t record) {
    const Underlay& underlay = *document.UnderlayModel();
    const auto round = [](double v) { return std::llround(v * 1e6); };
    std::vector<Mark> marks;
    for (const UnderlayItem& item : underlay.items) {
        if (item.record != record) continue;
        if (item.text != kNoUnderlayIndex) {
            const UnderlayText& text = underlay.texts[item.text];
            marks.emplace_back(text.utf8, round(text.origin.x), round(text.origin.y),
                               round(text.xAxis.x * 1000.0), round(text.xAxis.y * 1000.0));
            continue;
        }
        for (std::uint32_t k = item.first; k < item.first + item.count; ++k) {
            marks.emplace_back("", round(underlay.points[k].x), round(underlay.points[k].y), 0, 0);
        }
    }
    std::sort(marks.begin(), marks.end());
    return marks;
}

TEST(TableEdits, TheBoardShowsATurnedMirroredOrScaledTableAsTheSavedFileDrawsIt) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    testing::TempDir dir;
    const std::string path =
        (*pelimator::testing::RealCorpus() / "real-dxf/acad_2018_netdxf_sample.dxf").string();
    for (const std::string edit : {"turn", "mirror", "scale"}) {
        SCOPED_TRACE(edit);
        const auto application = BoardApplication::Create();
        const BoardDocumentPtr document = OpenDrawing(*application, path).document;
        const std::uint32_t table = TableRecord(*document);
        ASSERT_NE(table, kNoRecordKey);
        const Selection selection{{}, {table}};
        if (edit == "mirror") {
            (void)MirrorSelection(*document, selection, {3.0, 4.0}, {3.5, 5.0});
        } else if (edit == "scale") {
            (void)ScaleSelection(*document, selection, {3.0, 4.0}, 2.5);
        } else {
            (void)RotateSelection(*document, selection, {3.0, 4.0}, 30.0);
        }
        const std::vector<Mark> shown = Picture(*document, table);
        const std::string saved = dir.File(edit + ".dxf");
        SaveDrawing(*document, saved);
        const BoardDocumentPtr back = OpenDrawing(*application, saved).document;
        const std::vector<Mark> read = Picture(*back, TableRecord(*back));
        EXPECT_GT(shown.size(), 20U);
        EXPECT_EQ(shown, read);
    }
}

}  // namespace
}  // namespace pelimator::board
