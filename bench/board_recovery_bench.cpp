// Autosave of the 1,000,000-arc drawing pelimator-batch writes from 1,000 straight paths of 1,001
// points: what the window's thread spends (the copy taken by SaveChanged) and what the worker
// spends writing the recovery file.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "batch/batch.h"
#include "big_drawing.h"
#include "board/files/drawing_file.h"
#include "board/files/drawing_snapshot.h"
#include "board/recovery/autosaver.h"
#include "board/recovery/recovery_store.h"
#include "support/temp_dir.h"

namespace {

using namespace pelimator::board;

// The batch's drawing opened as a document; removed at exit.
class Workspace {
public:
    Workspace() {
        pelimator::bench::WriteBigDrawing(m_dir, 1000, 1001);
        application = BoardApplication::Create();
        document = OpenDrawing(*application, File("big.dxf")).document;
    }
    [[nodiscard]] std::string File(const std::string& name) const { return m_dir.File(name); }

    BoardApplicationPtr application;
    BoardDocumentPtr document;

private:
    pelimator::testing::TempDir m_dir;
};

Workspace& Shared() {
    static Workspace workspace;
    return workspace;
}

// The window thread's share of one autosave: SaveChanged after a change, the write left to the
// worker (waited for outside the timing).
void BM_AutosaveWindowThread(benchmark::State& state) {
    Workspace& work = Shared();
    pelimator::testing::TempDir root;
    Autosaver saver(std::make_shared<RecoverySession>(root.File("Pelimator")),
                    [](const std::string& error) { std::fputs(error.c_str(), stderr); });
    double x = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        x += 1.0;
        work.document->DrawingModel()->AddEntity(MakeLine({x, 0.0}, {x, 1.0}));
        state.ResumeTiming();
        if (saver.SaveChanged(*work.application) != 1) state.SkipWithError("nothing copied");
        state.PauseTiming();
        saver.Wait();
        state.ResumeTiming();
    }
    state.counters["entities"] = static_cast<double>(work.document->DrawingModel()->Count());
}
BENCHMARK(BM_AutosaveWindowThread)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The worker's share: writing the copy as the recovery file, over the file read.
void BM_AutosaveWrite(benchmark::State& state) {
    Workspace& work = Shared();
    const DrawingSnapshot snapshot = SnapshotOf(*work.document);
    const std::string path = work.File("recovered.dxf");
    for (auto _ : state) WriteSnapshot(snapshot, path);
}
BENCHMARK(BM_AutosaveWrite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
