// The generators through the board: each line is one undo step with its title.
#include <ostream>

#include <gtest/gtest.h>

#include "board/model/application.h"
#include "board/model/document.h"
#include "board/model/drawing.h"
#include "board/model/factory.h"
#include "geometry/calc.h"
#include "geometry/errors.h"
#include "host/point_list.h"
#include "patterns/wave.h"
#include "patterns/zigzag.h"

namespace pelimator {
namespace {

struct BoardRow {
    const char* name;
    bool wave;
    const char* title;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const BoardRow& row, std::ostream* out) { *out << row.name; }

class PatternOnBoard : public ::testing::TestWithParam<BoardRow> {
protected:
    void SetUp() override {
        M_Calc::InitPi();
        for (int i = 0; i <= 6; ++i) path.Add(i * 6.0, (i % 2) * 1.0);
    }
    void Draw(double radius = 5.0) {
        if (GetParam().wave) {
            AddArcWave(factory, radius, 6.0, -1, path, *document->Drawing(), 3, [](auto) {});
        } else {
            AddZigzagLine(factory, 4.0, -1, path, *document->Drawing(), 3, [](auto) {});
        }
    }

    board::BoardApplicationPtr application = board::BoardApplication::Create();
    board::BoardFactory factory{application};
    board::BoardDocumentPtr document = application->AddDocument("図面");
    host::PlainPointList path;
};

TEST_P(PatternOnBoard, OneUndoRemovesTheWholeLineAndRedoRestoresIt) {
    auto& drawing = *document->DrawingModel();
    drawing.AddEntity(board::MakeLine({0, 0}, {1, 1}, 0));  // something drawn before
    Draw();
    ASSERT_EQ(drawing.Count(), 7U);
    EXPECT_EQ(drawing.UndoTitle(), GetParam().title);
    std::vector<board::EntityData> drawn;
    for (std::size_t i = 0; i < drawing.Count(); ++i) drawn.push_back(drawing.At(i));

    drawing.Undo();
    EXPECT_EQ(drawing.Count(), 1U);
    EXPECT_EQ(drawing.RedoTitle(), GetParam().title);
    drawing.Redo();
    ASSERT_EQ(drawing.Count(), 7U);
    for (std::size_t i = 0; i < drawing.Count(); ++i) {
        EXPECT_EQ(drawing.At(i), drawn[i]) << "entity " << i;
    }
}

TEST_P(PatternOnBoard, FailurePartWayLeavesTheBoardDrawingAsItWas) {
    auto& drawing = *document->DrawingModel();
    path.Add(36.0, 0.0);  // same as the last point: the last segment cannot be drawn
    const auto undoBefore = drawing.UndoTitle();
    EXPECT_THROW(Draw(), ArithmeticError);
    EXPECT_EQ(drawing.Count(), 0U);
    EXPECT_EQ(drawing.UndoTitle(), undoBefore);
    EXPECT_FALSE(drawing.IsModified());
}

INSTANTIATE_TEST_SUITE_P(Rows, PatternOnBoard,
                         ::testing::Values(BoardRow{"Wave", true, "波線追加"},
                                           BoardRow{"Zigzag", false, "ジグザグ線追加"}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator
