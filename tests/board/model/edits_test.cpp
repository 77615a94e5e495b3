// Selection rows (click, window, crossing, Shift, hidden layers) and each edit with its undo and
// redo on the board's model.
#include "board/model/edits.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/model/document.h"
#include "board/model/selection.h"
#include "board/model/underlay.h"

namespace pelimator::board {
namespace {

// Three lines and an arc on layers 0 and 1; layer 1 can be hidden.
BoardDocumentPtr MakeDocument() {
    auto document = BoardDocument::Create("試験", {});
    document->LayerTable()->Put({1, "壁", {255, 0, 0}, true});
    BoardDrawing& drawing = *document->DrawingModel();
    drawing.AddEntity(MakeLine({0, 0}, {10, 0}));           // 0
    drawing.AddEntity(MakeLine({0, 5}, {10, 5}));           // 1
    drawing.AddEntity(MakeArc({20, 0}, {23, 0}, {17, 0}));  // 2: upper half, r 3
    drawing.AddEntity(MakeLine({30, 0}, {40, 10}, 1));      // 3 on layer 1
    return document;
}

struct SelectRow {
    const char* name;
    std::function<Selection(const BoardDocument&)> pick;
    bool hideLayer1;
    std::vector<std::size_t> expected;
};

class SelectTest : public ::testing::TestWithParam<SelectRow> {};

TEST_P(SelectTest, Picks) {
    const SelectRow& row = GetParam();
    auto document = MakeDocument();
    if (row.hideLayer1) document->LayerTable()->SetVisible(1, false);
    EXPECT_EQ(row.pick(*document).entities, row.expected);
}

const Box kLeftHalf{{-1, -1}, {11, 6}};
const Box kThroughArc{{19, 2}, {25, 4}};  // crosses the arc's top, holds none of it

INSTANTIATE_TEST_SUITE_P(
    Rows, SelectTest,
    ::testing::Values(
        SelectRow{"click_on_line",
                  [](const BoardDocument& d) {
                      return *PickAt(d, {5, 0.2}, 0.5);
                  },
                  false,
                  {0}},
        SelectRow{"click_on_arc_top",
                  [](const BoardDocument& d) {
                      return *PickAt(d, {20, 3.1}, 0.5);
                  },
                  false,
                  {2}},
        SelectRow{"click_below_arc_misses",
                  [](const BoardDocument& d) {
                      return PickAt(d, {20, -3}, 0.5).value_or(Selection{});
                  },
                  false,
                  {}},
        SelectRow{"window_inside",
                  [](const BoardDocument& d) { return PickInWindow(d, kLeftHalf, false); },
                  false,
                  {0, 1}},
        SelectRow{"window_holds_no_part",
                  [](const BoardDocument& d) { return PickInWindow(d, kThroughArc, false); },
                  false,
                  {}},
        SelectRow{"crossing_touches_arc",
                  [](const BoardDocument& d) { return PickInWindow(d, kThroughArc, true); },
                  false,
                  {2}},
        SelectRow{"shift_click_takes_away",
                  [](const BoardDocument& d) {
                      return SymmetricDifference(PickInWindow(d, kLeftHalf, false),
                                                 *PickAt(d, {5, 5}, 0.5));
                  },
                  false,
                  {0}},
        SelectRow{"shift_click_adds",
                  [](const BoardDocument& d) {
                      return SymmetricDifference(*PickAt(d, {5, 0}, 0.5), *PickAt(d, {20, 3}, 0.5));
                  },
                  false,
                  {0, 2}},
        SelectRow{"hidden_layer_not_clicked",
                  [](const BoardDocument& d) {
                      return PickAt(d, {35, 5}, 0.5).value_or(Selection{});
                  },
                  true,
                  {}},
        SelectRow{"select_all_skips_hidden_layer",
                  [](const BoardDocument& d) { return PickAll(d); },
                  true,
                  {0, 1, 2}},
        SelectRow{
            "select_all", [](const BoardDocument& d) { return PickAll(d); }, false, {0, 1, 2, 3}}),
    [](const ::testing::TestParamInfo<SelectRow>& row) { return std::string(row.param.name); });

struct EditRow {
    const char* name;
    const char* title;
    std::function<Selection(BoardDocument&, const Selection&)> edit;
    std::function<void(const BoardDocument&)> check;  // the state after the edit
};

class EditTest : public ::testing::TestWithParam<EditRow> {};

TEST_P(EditTest, AppliesUndoesAndRedoes) {
    const EditRow& row = GetParam();
    auto document = MakeDocument();
    BoardDrawing& drawing = *document->DrawingModel();
    const std::vector<EntityData> before(drawing.Entities().begin(), drawing.Entities().end());
    Selection selection;
    selection.entities = {0, 2};
    (void)row.edit(*document, selection);
    EXPECT_EQ(drawing.UndoTitle(), row.title);
    EXPECT_TRUE(drawing.IsModified());
    row.check(*document);
    drawing.Undo();
    EXPECT_EQ(std::vector<EntityData>(drawing.Entities().begin(), drawing.Entities().end()),
              before);
    EXPECT_FALSE(drawing.IsErased(0));
    EXPECT_EQ(PickAll(*document).entities, (std::vector<std::size_t>{0, 1, 2, 3}));
    drawing.Redo();
    row.check(*document);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EditTest,
    ::testing::Values(EditRow{
                          "erase", kEraseTitle,
                          [](BoardDocument& d, const Selection& s) { return EraseSelection(d, s); },
                          [](const BoardDocument& d) {
                              EXPECT_EQ(PickAll(d).entities, (std::vector<std::size_t>{1, 3}));
                              EXPECT_FALSE(PickAt(d, {5, 0}, 0.5).has_value());
                          }},
                      EditRow{"move", kMoveTitle,
                              [](BoardDocument& d, const Selection& s) {
                                  return MoveSelection(d, s, {1, 2});
                              },
                              [](const BoardDocument& d) {
                                  EXPECT_EQ(d.DrawingModel()->At(0).start, (Vec2{1, 2}));
                                  EXPECT_EQ(d.DrawingModel()->At(2).center, (Vec2{21, 2}));
                                  EXPECT_EQ(d.DrawingModel()->At(1).start, (Vec2{0, 5}));
                              }},
                      EditRow{"copy", kCopyTitle,
                              [](BoardDocument& d, const Selection& s) {
                                  const Selection copies = CopySelection(d, s, {0, -10});
                                  EXPECT_EQ(copies.entities, (std::vector<std::size_t>{4, 5}));
                                  return copies;
                              },
                              [](const BoardDocument& d) {
                                  ASSERT_EQ(d.DrawingModel()->Count(), 6U);
                                  EXPECT_EQ(d.DrawingModel()->At(4).end, (Vec2{10, -10}));
                                  EXPECT_EQ(d.DrawingModel()->At(0).end, (Vec2{10, 0}));
                              }},
                      EditRow{"rotate_quarter_exact", kRotateTitle,
                              [](BoardDocument& d, const Selection& s) {
                                  return RotateSelection(d, s, {0, 0}, 90.0);
                              },
                              [](const BoardDocument& d) {
                                  EXPECT_EQ(d.DrawingModel()->At(0).end, (Vec2{0, 10}));
                                  EXPECT_EQ(d.DrawingModel()->At(2).center, (Vec2{0, 20}));
                              }},
                      EditRow{"change_layer", kLayerTitle,
                              [](BoardDocument& d, const Selection& s) {
                                  return ChangeLayerOfSelection(d, s, 1);
                              },
                              [](const BoardDocument& d) {
                                  EXPECT_EQ(d.DrawingModel()->At(0).layer, 1);
                                  EXPECT_EQ(d.DrawingModel()->At(2).layer, 1);
                                  EXPECT_EQ(d.DrawingModel()->At(1).layer, 0);
                              }}),
    [](const ::testing::TestParamInfo<EditRow>& row) { return std::string(row.param.name); });

// A double click on one arc of a line selects the whole step that drew it.
TEST(WholeStepTest, DoubleClickTakesTheWholeLine) {
    auto document = MakeDocument();
    BoardDrawing& drawing = *document->DrawingModel();
    drawing.BeginEdit("波線");
    drawing.AddEntity(MakeArc({50, 0}, {51, 0}, {49, 0}));
    drawing.AddEntity(MakeArc({52, 0}, {53, 0}, {51, 0}));
    drawing.EndEdit(true);
    const Selection whole = WholeStepOf(*document, *PickAt(*document, {52, 1}, 0.2));
    EXPECT_EQ(whole.entities, (std::vector<std::size_t>{4, 5}));
}

// A record of the file put on another layer: what it draws in its layer's colour takes the new
// layer's colour, what has a colour of its own keeps it; undo gives the old colour back.
TEST(RecordLayerTest, ByLayerColourFollowsTheLayer) {
    auto document = MakeDocument();
    auto underlay = std::make_shared<Underlay>();
    underlay->points = {{0, 20}, {10, 20}, {0, 30}, {10, 30}};
    UnderlayItem byLayer;
    byLayer.count = 2;
    byLayer.byLayer = true;
    byLayer.colour = {0, 0, 0};
    byLayer.record = 0;
    UnderlayItem own = byLayer;
    own.first = 2;
    own.byLayer = false;
    own.colour = {0, 0, 255};
    underlay->items = {byLayer, own};
    underlay->Finish();
    document->SetUnderlay(underlay);
    Selection record;
    record.records = {0};
    (void)ChangeLayerOfSelection(*document, record, 1);
    const auto colours = [&] {
        std::vector<Rgb> out;
        for (const UnderlayItem& item : document->UnderlayModel()->items) {
            EXPECT_EQ(item.layer, 1);
            out.push_back(item.colour);
        }
        return out;
    };
    EXPECT_EQ(colours(), (std::vector<Rgb>{{255, 0, 0}, {0, 0, 255}}));
    document->DrawingModel()->Undo();
    EXPECT_EQ(document->UnderlayModel()->items[0].colour, (Rgb{0, 0, 0}));
    EXPECT_EQ(document->UnderlayModel()->items[0].layer, 0);
}

// A construction line follows the drawing's extents: moving the board's lines and the file's
// other record far away cuts it again to reach past them, still through its own point (a ray
// still from its point); undo gives the cut as read back.
TEST(ConstructionLineTest, CutFollowsTheDrawingsExtents) {
    auto document = MakeDocument();  // board lines and an arc within x 0..40, y 0..10
    auto underlay = std::make_shared<Underlay>();
    underlay->points = {{0, 20}, {10, 20}, {-60, 15}, {100, 15}, {5, 15}, {5, 80}};
    UnderlayItem record;  // a line of the file's record 0
    record.count = 2;
    record.record = 0;
    UnderlayItem xline = record;  // through (20, 15) along x, record 1
    xline.first = 2;
    xline.record = 1;
    xline.unbounded = true;
    UnderlayItem ray = xline;  // from (5, 15) up, record 2
    ray.first = 4;
    ray.record = 2;
    ray.ray = true;
    underlay->items = {record, xline, ray};
    underlay->Finish();
    document->SetUnderlay(underlay);
    const auto ends = [&](std::size_t item) {
        const Underlay& shown = *document->UnderlayModel();
        const UnderlayItem& it = shown.items.at(item);
        return std::pair{shown.points.at(it.first), shown.points.at(it.first + 1)};
    };
    ASSERT_EQ(ends(1).first, (Vec2{-60, 15}));  // as read: nothing changed
    Selection far;
    far.entities = {0, 1, 2, 3};
    far.records = {0};
    (void)MoveSelection(*document, far, {1000, 0});
    const auto [a, b] = ends(1);
    EXPECT_DOUBLE_EQ(a.y, 15.0);
    EXPECT_DOUBLE_EQ(b.y, 15.0);
    EXPECT_DOUBLE_EQ(0.5 * (a.x + b.x), 20.0);  // its point midway
    EXPECT_GT(b.x, 1040.0);                     // past the moved lines
    const auto [from, to] = ends(2);
    EXPECT_EQ(from, (Vec2{5, 15}));
    EXPECT_DOUBLE_EQ(to.x, 5.0);
    EXPECT_GT(to.y, 15.0);
    document->DrawingModel()->Undo();
    EXPECT_EQ(ends(1), (std::pair{Vec2{-60, 15}, Vec2{100, 15}}));
}

}  // namespace
}  // namespace pelimator::board
