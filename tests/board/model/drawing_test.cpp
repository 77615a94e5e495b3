// Drawings: edit steps, undo and redo by step, discarding, live handles, the modified state.
#include "board/model/drawing.h"

#include <algorithm>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/model/curve.h"
#include "board/model/layers.h"
#include "host/errors.h"

namespace pelimator::board {
namespace {

std::vector<EntityData> Snapshot(const BoardDrawing& drawing) {
    return {drawing.Entities().begin(), drawing.Entities().end()};
}

EntityData RandomEntity(std::mt19937& rng) {
    std::uniform_real_distribution<double> c(-100, 100);
    if (rng() % 2 == 0) return MakeLine({c(rng), c(rng)}, {c(rng), c(rng)}, 1);
    return MakeArc({c(rng), c(rng)}, {c(rng), c(rng)}, {c(rng), c(rng)}, 2);
}

TEST(BoardDrawing, AddInsertsACopyAndReturnsALiveHandleOntoIt) {
    auto drawing = BoardDrawing::Create();
    auto arc = BoardArc::CreateFree(MakeArc({0, 0}, {1, 0}, {0, 1}));
    auto added = std::dynamic_pointer_cast<host::HostArc>(drawing->Add(*arc));
    ASSERT_NE(added, nullptr);
    arc->Move(100, 0);  // the template moves on; the stored copy stays
    EXPECT_EQ(drawing->At(0).center, (Vec2{0, 0}));
    added->StartPoint()->SetY(3);
    added->SetLayer(4);
    EXPECT_EQ(drawing->At(0).start, (Vec2{1, 3}));
    EXPECT_EQ(drawing->At(0).layer, 4);
}

TEST(BoardDrawing, CommittedStepUndoesAndRedoesAsOneWithItsTitle) {
    auto drawing = BoardDrawing::Create();
    drawing->AddEntity(MakeLine({0, 0}, {1, 0}));
    drawing->BeginEdit("波線追加");
    for (int i = 0; i < 5; ++i) drawing->AddEntity(MakeLine({0, 0}, {1.0 * i, 1}));
    drawing->EndEdit(true);
    EXPECT_EQ(drawing->Count(), 6U);
    EXPECT_EQ(drawing->UndoTitle(), "波線追加");
    drawing->Undo();
    EXPECT_EQ(drawing->Count(), 1U);
    EXPECT_EQ(drawing->UndoTitle(), kSingleAddTitle);
    EXPECT_EQ(drawing->RedoTitle(), "波線追加");
    drawing->Undo();
    EXPECT_EQ(drawing->Count(), 0U);
    EXPECT_FALSE(drawing->CanUndo());
    drawing->Redo();
    drawing->Redo();
    EXPECT_EQ(drawing->Count(), 6U);
    EXPECT_FALSE(drawing->CanRedo());
}

TEST(BoardDrawing, StepThenUndoThenRedoGivesTheSameDrawing) {
    const unsigned seed = 8080;
    std::mt19937 rng(seed);
    for (int round = 0; round < 20; ++round) {
        auto drawing = BoardDrawing::Create();
        for (int i = 0; i < static_cast<int>(rng() % 5); ++i) drawing->AddEntity(RandomEntity(rng));
        const auto before = Snapshot(*drawing);
        drawing->BeginEdit("step");
        for (int i = 0; i < 1 + static_cast<int>(rng() % 50); ++i) {
            drawing->AddEntity(RandomEntity(rng));
        }
        drawing->EndEdit(true);
        const auto after = Snapshot(*drawing);
        drawing->Undo();
        ASSERT_EQ(Snapshot(*drawing), before) << "seed " << seed << " round " << round;
        drawing->Redo();
        ASSERT_EQ(Snapshot(*drawing), after) << "seed " << seed << " round " << round;
    }
}

TEST(BoardDrawing, DiscardedStepLeavesTheDrawingAsBeforeAndItsHandlesDead) {
    auto drawing = BoardDrawing::Create();
    drawing->AddEntity(MakeLine({0, 0}, {1, 0}));
    const auto before = Snapshot(*drawing);
    const auto changes = drawing->ChangeCount();
    drawing->BeginEdit("ジグザグ線追加");
    auto line = BoardLine::CreateFree(MakeLine({5, 5}, {6, 6}));
    auto added = std::dynamic_pointer_cast<host::HostLine>(drawing->Add(*line));
    drawing->EndEdit(false);
    EXPECT_EQ(Snapshot(*drawing), before);
    EXPECT_GT(drawing->ChangeCount(), changes);
    EXPECT_EQ(drawing->UndoTitle(), kSingleAddTitle);
    EXPECT_THROW((void)added->Layer(), HostError);
    // A new entity in the freed slot is not reachable through the old handle.
    drawing->AddEntity(MakeLine({7, 7}, {8, 8}));
    EXPECT_THROW(added->SetLayer(3), HostError);
    EXPECT_EQ(drawing->At(1).layer, 0);
}

TEST(BoardDrawing, AddingAfterUndoDropsTheRedoSteps) {
    auto drawing = BoardDrawing::Create();
    drawing->AddEntity(MakeLine({0, 0}, {1, 0}));
    drawing->AddEntity(MakeLine({0, 0}, {2, 0}));
    drawing->Undo();
    drawing->AddEntity(MakeLine({0, 0}, {3, 0}));
    EXPECT_FALSE(drawing->CanRedo());
    ASSERT_EQ(drawing->Count(), 2U);
    EXPECT_EQ(drawing->At(1).end, (Vec2{3, 0}));
    drawing->Undo();
    drawing->Undo();
    EXPECT_EQ(drawing->Count(), 0U);
}

TEST(BoardDrawing, EmptyCommittedStepMakesNoUndoStep) {
    auto drawing = BoardDrawing::Create();
    drawing->BeginEdit("nothing");
    drawing->EndEdit(true);
    EXPECT_FALSE(drawing->CanUndo());
    EXPECT_FALSE(drawing->IsModified());
}

struct FailingRow {
    const char* name;
    std::function<void(BoardDrawing&)> act;
};

void PrintTo(const FailingRow& row, std::ostream* os) { *os << row.name; }

class DrawingFailure : public ::testing::TestWithParam<FailingRow> {};

TEST_P(DrawingFailure, RaisesHostErrorWithAMessage) {
    auto drawing = BoardDrawing::Create();
    drawing->AddEntity(MakeLine({0, 0}, {1, 0}));
    try {
        GetParam().act(*drawing);
        FAIL() << "no error";
    } catch (const HostError& error) {
        EXPECT_GT(std::string(error.what()).size(), 0U);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrawingFailure,
    ::testing::Values(FailingRow{"EndEditWithoutBegin", [](BoardDrawing& d) { d.EndEdit(true); }},
                      FailingRow{"DiscardWithoutBegin", [](BoardDrawing& d) { d.EndEdit(false); }},
                      FailingRow{"BeginTwice",
                                 [](BoardDrawing& d) {
                                     d.BeginEdit("a");
                                     d.BeginEdit("b");
                                 }},
                      FailingRow{"UndoInsideAStep",
                                 [](BoardDrawing& d) {
                                     d.BeginEdit("a");
                                     d.Undo();
                                 }},
                      FailingRow{"RedoWithNothingUndone", [](BoardDrawing& d) { d.Redo(); }},
                      FailingRow{"UndoPastTheStart",
                                 [](BoardDrawing& d) {
                                     d.Undo();
                                     d.Undo();
                                 }},
                      FailingRow{"AtPastTheEnd", [](BoardDrawing& d) { (void)d.At(1); }},
                      FailingRow{"HandleOfUndoneEntity",
                                 [](BoardDrawing& d) {
                                     d.Undo();
                                     (void)d.Handle(0);
                                 }},
                      FailingRow{"AddACurve", [](BoardDrawing& d) { (void)d.Add(BoardCurve()); }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BoardDrawing, ModifiedFollowsTheSavedPointThroughUndoAndRedo) {
    auto drawing = BoardDrawing::Create();
    EXPECT_FALSE(drawing->IsModified());
    drawing->AddEntity(MakeLine({0, 0}, {1, 0}));
    EXPECT_TRUE(drawing->IsModified());
    drawing->MarkSaved();
    EXPECT_FALSE(drawing->IsModified());
    drawing->AddEntity(MakeLine({0, 0}, {2, 0}));
    EXPECT_TRUE(drawing->IsModified());
    drawing->Undo();
    EXPECT_FALSE(drawing->IsModified());
    drawing->Undo();
    EXPECT_TRUE(drawing->IsModified());
    drawing->Redo();
    EXPECT_FALSE(drawing->IsModified());
    drawing->BeginEdit("open");
    drawing->AddEntity(MakeLine({0, 0}, {3, 0}));
    EXPECT_TRUE(drawing->IsModified());
    drawing->EndEdit(false);
    EXPECT_FALSE(drawing->IsModified());
    // Edits outside the history (a layer, a moved point) stay modified until saved.
    drawing->NoteChange(DrawingChange::Layers);
    EXPECT_TRUE(drawing->IsModified());
    drawing->MarkSaved();
    drawing->SetEntity(0, MakeLine({0, 0}, {9, 9}));
    EXPECT_TRUE(drawing->IsModified());
}

// A layer the host adds for the next line goes with that line's step: undone with it (the drawing
// back at its saved state), redone with it. Anything else first, or something lying on it when
// the step is undone, keeps it as a change of its own.
TEST(BoardDrawing, ALayerAddedForTheNextStepGoesAndComesBackWithIt) {
    struct Row {
        const char* name;
        std::function<void(BoardDrawing&, BoardLayers&)> between;  // after Add, before the step
        std::function<void(BoardDrawing&)> beforeUndo;
        bool goesWithTheStep;
    };
    const std::vector<Row> rows = {
        {"Alone", {}, {}, true},
        {"RenamedFirst", [](BoardDrawing&, BoardLayers& l) { l.SetName(200, "x"); }, {}, false},
        {"DiscardedStepFirst",
         [](BoardDrawing& d, BoardLayers&) {
             d.BeginEdit("捨てる");
             d.AddEntity(MakeLine({0, 0}, {1, 1}, 200));
             d.EndEdit(false);
         },
         {},
         false},
        {"SomethingElseMovedOntoIt",
         {},
         [](BoardDrawing& d) {
             d.SetEntity(0, MakeLine({5, 5}, {6, 6}, 200));
         },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto drawing = BoardDrawing::Create();
        auto layers = BoardLayers::Create(drawing);
        drawing->AddEntity(MakeLine({0, 0}, {1, 0}, 0));
        drawing->MarkSaved();
        (void)layers->Add(200, "地況線", 0);
        EXPECT_TRUE(drawing->IsModified());
        if (row.between) row.between(*drawing, *layers);
        drawing->BeginEdit("波線追加");
        drawing->AddEntity(MakeLine({0, 0}, {10, 0}, 200));
        drawing->EndEdit(true);
        if (row.beforeUndo) row.beforeUndo(*drawing);
        drawing->Undo();
        EXPECT_EQ(layers->Find(200) == nullptr, row.goesWithTheStep);
        EXPECT_EQ(drawing->IsModified(), !row.goesWithTheStep);
        drawing->Redo();
        ASSERT_NE(layers->Find(200), nullptr);
        EXPECT_TRUE(drawing->IsModified());
        EXPECT_EQ(drawing->Count(), 2U);
    }
}

TEST(BoardDrawing, ClearHistoryKeepsEntitiesAndTheModifiedState) {
    auto drawing = BoardDrawing::Create();
    drawing->AddEntity(MakeLine({0, 0}, {1, 0}));
    drawing->MarkSaved();
    drawing->ClearHistory();
    EXPECT_FALSE(drawing->CanUndo());
    EXPECT_FALSE(drawing->IsModified());
    EXPECT_EQ(drawing->Count(), 1U);
    drawing->AddEntity(MakeLine({0, 0}, {2, 0}));
    drawing->ClearHistory();
    EXPECT_TRUE(drawing->IsModified());
}

TEST(BoardDrawing, ObserversHearEveryKindOfChangeAndMayLeaveWhileNotified) {
    auto drawing = BoardDrawing::Create();
    std::vector<DrawingChange> heard;
    ObserverId self = 0;
    self = drawing->AddObserver([&](DrawingChange change) {
        heard.push_back(change);
        if (change == DrawingChange::Saved) drawing->RemoveObserver(self);
    });
    drawing->AddEntity(MakeLine({0, 0}, {1, 0}));
    drawing->BeginEdit("step");
    for (int i = 0; i < 3; ++i) drawing->AddEntity(MakeLine({0, 0}, {2, 0}));
    drawing->EndEdit(true);  // heard once
    drawing->Undo();
    drawing->Redraw(false);
    drawing->MarkSaved();
    drawing->Redo();  // no longer heard
    const std::vector<DrawingChange> expected{DrawingChange::Entities, DrawingChange::History,
                                              DrawingChange::History, DrawingChange::Redraw,
                                              DrawingChange::Saved};
    EXPECT_EQ(heard, expected);
}

TEST(BoardDrawing, BoundsCoverArcBulgesNotJustTheirEnds) {
    auto drawing = BoardDrawing::Create();
    EXPECT_FALSE(drawing->Bounds().has_value());
    // Upper half circle of radius 2 about (0, 0): reaches y = 2 between its ends.
    drawing->AddEntity(MakeArc({0, 0}, {2, 0}, {-2, 0}));
    drawing->AddEntity(MakeLine({5, -1}, {6, -3}));
    const auto box = drawing->Bounds();
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->min.x, -2, 1e-12);
    EXPECT_NEAR(box->max.y, 2, 1e-12);
    EXPECT_NEAR(box->min.y, -3, 1e-12);
    EXPECT_NEAR(box->max.x, 6, 1e-12);
}

// A line or arc a few units across, somewhere in a 200-unit square (as a drawing's entities are:
// small against the drawing).
EntityData SmallEntity(std::mt19937& rng) {
    std::uniform_real_distribution<double> c(-100, 100);
    std::uniform_real_distribution<double> d(-3, 3);
    const Vec2 p{c(rng), c(rng)};
    if (rng() % 2 == 0) return MakeLine(p, p + Vec2{d(rng), d(rng)}, 1);
    return MakeArc(p + Vec2{d(rng), d(rng)}, p + Vec2{d(rng), d(rng)}, p + Vec2{d(rng), d(rng)}, 2);
}

// What EntitiesNear must find: every shown entity whose box meets window, each once.
std::vector<std::size_t> NearByScan(const BoardDrawing& drawing, const Box& window) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < drawing.Count(); ++i) {
        const Box box = ConservativeBox(drawing.At(i));
        if (!IsFiniteBox(box)) continue;
        if (box.max.x < window.min.x || box.min.x > window.max.x || box.max.y < window.min.y ||
            box.min.y > window.max.y) {
            continue;
        }
        out.push_back(i);
    }
    return out;
}

// The index against a scan after every kind of change: steps moving many entities (refiled
// lazily) and few (refiled at once), their undos and redos, adds, a step dropped by a later
// add, an entity changed through its handle.
TEST(BoardDrawing, EntitiesNearFindsWhatAScanFindsThroughEditsUndosAndRedos) {
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    auto drawing = BoardDrawing::Create();
    for (int i = 0; i < 20000; ++i) drawing->AddEntity(SmallEntity(rng));
    std::uniform_real_distribution<double> at(-120, 120);
    const auto check = [&](int round) {
        for (int q = 0; q < 6; ++q) {
            const double x = at(rng);
            const double y = at(rng);
            const double r = q < 3 ? 2.0 : 30.0;
            const Box window{{x - r, y - r}, {x + r, y + r}};
            std::vector<std::size_t> found;
            drawing->EntitiesNear(window, found);
            std::sort(found.begin(), found.end());
            ASSERT_EQ(found, NearByScan(*drawing, window)) << "seed " << seed << " round " << round;
        }
    };
    check(-1);
    for (int round = 0; round < 30; ++round) {
        const unsigned op = rng() % 6;
        if (op <= 1 && drawing->Count() > 0) {
            // A step moving many (op 0: more than the lazy threshold, a fifth of the drawing) or a
            // few entities.
            EditStep step;
            const std::size_t n = op == 0 ? 4200 : 1 + rng() % 20;
            const Vec2 delta{at(rng) / 4, at(rng) / 4};
            std::vector<bool> taken(drawing->Count());
            while (step.changes.size() < n) {
                const std::size_t i = rng() % drawing->Count();
                if (taken[i]) continue;
                taken[i] = true;
                EntityChange change{i, drawing->At(i), drawing->At(i), false, false};
                MoveEntity(change.after, delta);
                step.changes.push_back(change);
            }
            drawing->Apply("移動", std::move(step));
        } else if (op == 2 && drawing->CanUndo()) {
            drawing->Undo();
        } else if (op == 3 && drawing->CanRedo()) {
            drawing->Redo();
        } else if (op == 4) {
            drawing->BeginEdit("追加");
            for (int k = 0; k < 1 + static_cast<int>(rng() % 300); ++k) {
                drawing->AddEntity(SmallEntity(rng));
            }
            drawing->EndEdit(true);
        } else if (drawing->Count() > 0) {
            drawing->SetEntity(rng() % drawing->Count(), SmallEntity(rng));
        }
        check(round);
    }
    // Entities added by a step and changed among many by the next, both undone, then others
    // added in their place: none of the changed boxes may stay behind.
    const auto addSome = [&] {
        drawing->BeginEdit("追加");
        for (int k = 0; k < 300; ++k) drawing->AddEntity(SmallEntity(rng));
        drawing->EndEdit(true);
    };
    addSome();
    EditStep step;
    for (std::size_t i = drawing->Count() - 4400; i < drawing->Count(); ++i) {
        EntityChange change{i, drawing->At(i), drawing->At(i), false, false};
        MoveEntity(change.after, {7.0, 7.0});
        step.changes.push_back(change);
    }
    drawing->Apply("移動", std::move(step));
    check(100);
    drawing->Undo();
    drawing->Undo();
    check(101);
    addSome();
    check(102);
}

}  // namespace
}  // namespace pelimator::board
