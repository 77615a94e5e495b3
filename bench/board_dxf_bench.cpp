// Opening and saving the 1,000,000-arc drawing pelimator-batch writes from 1,000 straight paths
// of 1,001 points (about 200 MB of DXF), and ezdxf reading the same file for comparison.
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "batch/batch.h"
#include "big_drawing.h"
#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_file.h"
#include "board/files/drawing_file.h"
#include "board/model/edits.h"
#include "board/model/selection.h"
#include "support/temp_dir.h"

namespace {

using namespace pelimator::board;

constexpr int kPaths = 1000;
constexpr int kPointsPerPath = 1001;

// A folder holding the batch's points, settings and the drawing it wrote; removed at exit.
class Workspace {
public:
    Workspace() { pelimator::bench::WriteBigDrawing(m_dir, kPaths, kPointsPerPath); }
    [[nodiscard]] std::string File(const std::string& name) const { return m_dir.File(name); }

private:
    pelimator::testing::TempDir m_dir;
};

const Workspace& Shared() {
    static const Workspace workspace;
    return workspace;
}

void Count(benchmark::State& state, std::size_t entities) {
    state.counters["MB"] =
        static_cast<double>(std::filesystem::file_size(Shared().File("big.dxf"))) / 1e6;
    state.counters["entities"] = static_cast<double>(entities);
}

// Reading the file into plain content and the kept records.
void BM_ReadDxf(benchmark::State& state) {
    const std::string path = Shared().File("big.dxf");
    std::size_t entities = 0;
    for (auto _ : state) {
        const DxfReadResult read = ReadDxfFile(path);
        entities = read.content.entities.size();
    }
    Count(state, entities);
}
BENCHMARK(BM_ReadDxf)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The index of blocks and their users the reader builds at open (a dimension's block is found
// through it), its share of BM_ReadDxf.
void BM_BlockIndex(benchmark::State& state) {
    const DxfReadResult read = ReadDxfFile(Shared().File("big.dxf"));
    std::size_t blocks = 0;
    for (auto _ : state) blocks = ReadDxfBlockIndex(*read.source)->blocks.size();
    state.counters["blocks"] = static_cast<double>(blocks);
    Count(state, read.content.entities.size());
}
BENCHMARK(BM_BlockIndex)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// What 開く does: reading plus filling a new document of the board.
void BM_OpenDrawing(benchmark::State& state) {
    const std::string path = Shared().File("big.dxf");
    std::size_t entities = 0;
    for (auto _ : state) {
        const auto application = BoardApplication::Create();
        entities = OpenDrawing(*application, path).document->DrawingModel()->Count();
    }
    Count(state, entities);
}
BENCHMARK(BM_OpenDrawing)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// 上書き保存 of the opened drawing (unchanged: every record written back as read; fsync included).
void BM_SaveDrawing(benchmark::State& state) {
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = OpenDrawing(*application, Shared().File("big.dxf")).document;
    for (auto _ : state) SaveDrawing(*document, Shared().File("saved.dxf"));
    Count(state, document->DrawingModel()->Count());
}
BENCHMARK(BM_SaveDrawing)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Open, draw a wave of 1,000 arcs on a new layer, save.
void BM_OpenDrawSave(benchmark::State& state) {
    std::size_t entities = 0;
    for (auto _ : state) {
        const auto application = BoardApplication::Create();
        const BoardDocumentPtr document =
            OpenDrawing(*application, Shared().File("big.dxf")).document;
        document->LayerTable()->Put({77, "追加", {255, 0, 0}, true});
        BoardDrawing& drawing = *document->DrawingModel();
        drawing.BeginEdit("波線");
        for (int i = 0; i < 1000; ++i) {
            const double x = 5.0 * i;
            drawing.AddEntity(MakeArc({x + 2.5, -50.0}, {x + 5.0, -50.0}, {x, -50.0}, 77));
        }
        drawing.EndEdit(true);
        SaveDrawing(*document, Shared().File("saved.dxf"));
        entities = drawing.Count();
    }
    Count(state, entities);
}
BENCHMARK(BM_OpenDrawSave)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Edits on the opened drawing: 100 of its 1,000 rows of arcs (100,000 records) in a window.
// The snap index is built first, as the window's first snap builds it: an edit keeps it up.
struct Opened {
    Opened() {
        std::vector<std::size_t> near;
        document->DrawingModel()->EntitiesNear({{0.0, 0.0}, {1.0, 1.0}}, near);
    }
    BoardApplicationPtr application = BoardApplication::Create();
    BoardDocumentPtr document = OpenDrawing(*application, Shared().File("big.dxf")).document;
    // Rows lie 100 units apart from y = 0; arcs reach 4 units about their row.
    Box window{{-10.0, -10.0}, {6000.0, 9910.0}};
};

Opened& OpenedOnce() {
    static Opened opened;
    return opened;
}

void BM_WindowSelect100k(benchmark::State& state) {
    const Opened& opened = OpenedOnce();
    std::size_t selected = 0;
    for (auto _ : state) {
        const Selection selection = PickInWindow(*opened.document, opened.window, false);
        selected = selection.entities.size() + selection.records.size();
    }
    state.counters["selected"] = static_cast<double>(selected);
}
BENCHMARK(BM_WindowSelect100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// 削除 of the window's 100,000 and its 元に戻す, each timed alone (manual time).
void EraseAndUndo(benchmark::State& state, bool timeUndo) {
    Opened& opened = OpenedOnce();
    const Selection selection = PickInWindow(*opened.document, opened.window, false);
    BoardDrawing& drawing = *opened.document->DrawingModel();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        (void)EraseSelection(*opened.document, selection);
        const auto erased = std::chrono::steady_clock::now();
        drawing.Undo();
        const auto undone = std::chrono::steady_clock::now();
        state.SetIterationTime(
            std::chrono::duration<double>(timeUndo ? undone - erased : erased - start).count());
    }
    state.counters["selected"] = static_cast<double>(selection.entities.size());
}
void BM_Erase100k(benchmark::State& state) { EraseAndUndo(state, false); }
void BM_UndoErase100k(benchmark::State& state) { EraseAndUndo(state, true); }
BENCHMARK(BM_Erase100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_UndoErase100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// 移動 of the same 100,000 records (its undo untimed).
void BM_Move100k(benchmark::State& state) {
    Opened& opened = OpenedOnce();
    const Selection selection = PickInWindow(*opened.document, opened.window, false);
    BoardDrawing& drawing = *opened.document->DrawingModel();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        (void)MoveSelection(*opened.document, selection, {3.0, 4.0});
        const auto moved = std::chrono::steady_clock::now();
        drawing.Undo();
        state.SetIterationTime(std::chrono::duration<double>(moved - start).count());
    }
}
BENCHMARK(BM_Move100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// Wall and CPU seconds of one timed part, summed over the iterations.
class PartTimer {
public:
    void Start() {
        m_wall = std::chrono::steady_clock::now();
        m_cpu = std::clock();
    }
    // The seconds (wall) since Start, added to the sums.
    double Stop() {
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_wall).count();
        m_wallSum += wall;
        m_cpuSum += static_cast<double>(std::clock() - m_cpu) / CLOCKS_PER_SEC;
        return wall;
    }
    // Average milliseconds per iteration as counters name_ms and name_cpu_ms.
    void Report(benchmark::State& state, const std::string& name) const {
        state.counters[name + "_ms"] =
            benchmark::Counter(m_wallSum * 1e3, benchmark::Counter::kAvgIterations);
        state.counters[name + "_cpu_ms"] =
            benchmark::Counter(m_cpuSum * 1e3, benchmark::Counter::kAvgIterations);
    }

private:
    std::chrono::steady_clock::time_point m_wall;
    std::clock_t m_cpu = 0;
    double m_wallSum = 0.0;
    double m_cpuSum = 0.0;
};

using Edit = Selection (*)(BoardDocument&, const Selection&);

Selection Move(BoardDocument& document, const Selection& selection) {
    return MoveSelection(document, selection, {3.0, 4.0});
}
Selection Rotate(BoardDocument& document, const Selection& selection) {
    return RotateSelection(document, selection, {3000.0, 5000.0}, 30.0);
}
Selection Mirror(BoardDocument& document, const Selection& selection) {
    return MirrorSelection(document, selection, {0.0, 0.0}, {1.0, 2.0});
}
Selection Scale(BoardDocument& document, const Selection& selection) {
    return ScaleSelection(document, selection, {3000.0, 5000.0}, 1.5);
}

// An edit of the window's 100,000 records, then 上書き保存 (fsync included), then its undo: the
// manual time is the edit and the save together; counters give each part alone, wall and CPU.
void EditAndSave(benchmark::State& state, Edit edit) {
    Opened& opened = OpenedOnce();
    const Selection selection = PickInWindow(*opened.document, opened.window, false);
    BoardDrawing& drawing = *opened.document->DrawingModel();
    const std::string saved = Shared().File("saved.dxf");
    PartTimer editTimer;
    PartTimer saveTimer;
    for (auto _ : state) {
        editTimer.Start();
        (void)edit(*opened.document, selection);
        double seconds = editTimer.Stop();
        saveTimer.Start();
        SaveDrawing(*opened.document, saved);
        seconds += saveTimer.Stop();
        drawing.Undo();
        state.SetIterationTime(seconds);
    }
    editTimer.Report(state, "edit");
    saveTimer.Report(state, "save");
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(saved)) / 1e6;
}
void BM_MoveSave100k(benchmark::State& state) { EditAndSave(state, &Move); }
void BM_Rotate100k(benchmark::State& state) { EditAndSave(state, &Rotate); }
void BM_Mirror100k(benchmark::State& state) { EditAndSave(state, &Mirror); }
void BM_Scale100k(benchmark::State& state) { EditAndSave(state, &Scale); }
BENCHMARK(BM_MoveSave100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Rotate100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Mirror100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Scale100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// 元に戻す of an edit of the window's 100,000 records, timed alone (the edit untimed).
void UndoOf(benchmark::State& state, Edit edit) {
    Opened& opened = OpenedOnce();
    const Selection selection = PickInWindow(*opened.document, opened.window, false);
    BoardDrawing& drawing = *opened.document->DrawingModel();
    PartTimer undoTimer;
    for (auto _ : state) {
        (void)edit(*opened.document, selection);
        undoTimer.Start();
        drawing.Undo();
        state.SetIterationTime(undoTimer.Stop());
    }
    undoTimer.Report(state, "undo");
}
void BM_UndoMove100k(benchmark::State& state) { UndoOf(state, &Move); }
void BM_UndoRotate100k(benchmark::State& state) { UndoOf(state, &Rotate); }
void BM_UndoMirror100k(benchmark::State& state) { UndoOf(state, &Mirror); }
void BM_UndoScale100k(benchmark::State& state) { UndoOf(state, &Scale); }
BENCHMARK(BM_UndoMove100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_UndoRotate100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_UndoMirror100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_UndoScale100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The first snap query after 移動 of the window's 100,000: the index files their new boxes then
// (the move and its undo untimed).
void BM_FirstSnapAfterMove100k(benchmark::State& state) {
    Opened& opened = OpenedOnce();
    const Selection selection = PickInWindow(*opened.document, opened.window, false);
    BoardDrawing& drawing = *opened.document->DrawingModel();
    std::vector<std::size_t> near;
    for (auto _ : state) {
        (void)Move(*opened.document, selection);
        const auto start = std::chrono::steady_clock::now();
        near.clear();
        drawing.EntitiesNear({{3.0, 4.0}, {8.0, 9.0}}, near);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        drawing.Undo();
    }
    state.counters["found"] = static_cast<double>(near.size());
}
BENCHMARK(BM_FirstSnapAfterMove100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// 上書き保存 of the opened drawing unchanged, and after 移動 of one record of it (the move and
// its undo untimed). Each iteration of the second saves unchanged too, before or after (in turn),
// so that its ratio comes from saves side by side on the same loaded machine.
void BM_SaveUnchanged(benchmark::State& state) {
    Opened& opened = OpenedOnce();
    const std::string saved = Shared().File("saved.dxf");
    for (auto _ : state) SaveDrawing(*opened.document, saved);
}
BENCHMARK(BM_SaveUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_SaveAfterOneEdit(benchmark::State& state) {
    Opened& opened = OpenedOnce();
    Selection one;  // the first arc of the window: one record of the file
    one.entities.push_back(PickInWindow(*opened.document, opened.window, false).entities.front());
    BoardDrawing& drawing = *opened.document->DrawingModel();
    const std::string saved = Shared().File("saved.dxf");
    PartTimer unchanged;
    PartTimer edited;
    bool unchangedFirst = true;
    const auto saveUnchanged = [&] {
        unchanged.Start();
        SaveDrawing(*opened.document, saved);
        (void)unchanged.Stop();
    };
    for (auto _ : state) {
        if (unchangedFirst) saveUnchanged();
        (void)Move(*opened.document, one);
        edited.Start();
        SaveDrawing(*opened.document, saved);
        state.SetIterationTime(edited.Stop());
        drawing.Undo();
        if (!unchangedFirst) saveUnchanged();
        unchangedFirst = !unchangedFirst;
    }
    unchanged.Report(state, "unchanged");
    edited.Report(state, "edited");
}
BENCHMARK(BM_SaveAfterOneEdit)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);

// An independent reader on the same file, through python3 (Debian's, with python3-ezdxf).
void BM_EzdxfRead(benchmark::State& state) {
    const std::string command =
        "/usr/bin/python3 -c 'import ezdxf,sys; ezdxf.readfile(sys.argv[1])' " +
        Shared().File("big.dxf");
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ezdxf could not read the file (is python3-ezdxf installed?)");
            break;
        }
    }
    Count(state, 0);
}
BENCHMARK(BM_EzdxfRead)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
