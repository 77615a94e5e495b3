// Opening and saving the 1,000,000-arc drawing pelimator-batch writes from 1,000 straight paths
// of 1,001 points (about 200 MB of DXF), and ezdxf reading the same file for comparison.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "batch/batch.h"
#include "big_drawing.h"
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
struct Opened {
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
