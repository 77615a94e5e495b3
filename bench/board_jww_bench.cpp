// Opening and saving a JWW drawing of 1,000,000 lines and arcs (half each) that our own writer
// wrote: a new version-700 file with the entities appended, about 64 MB. The drawing is written
// to a file once, outside the timed region; BM_Open opens it as the board does (OpenDrawing),
// BM_Save saves the opened drawing unchanged (SaveDrawing), BM_SaveDrawn with 1,000 arcs added.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/file.h"
#include "board/files/drawing_file.h"
#include "board/jww/jww_file.h"
#include "board/model/application.h"
#include "support/temp_dir.h"

namespace {

using namespace pelimator;
using namespace pelimator::board;

constexpr int kEntities = 1000000;

// A folder holding the drawing; removed at exit.
class Workspace {
public:
    Workspace() {
        std::vector<LayerData> layers{{0, "0", {}, true}};
        std::vector<EntityData> entities;
        entities.reserve(kEntities);
        for (int i = 0; i < kEntities; ++i) {
            const double x = (i % 1000) * 10.0;
            const double y = (i / 1000) * 10.0;
            entities.push_back(i % 2 == 0 ? MakeLine({x, y}, {x + 8.0, y + 3.0}, i % 256)
                                          : MakeArc({x, y}, {x + 4.0, y}, {x, y + 4.0}, i % 256));
        }
        const DrawingState state{layers, entities, 1, 100};
        const JwwReadResult empty = ReadJwwBytes(NewJwwBytes(layers, 100.0), "new.jww");
        WriteJww(File("big.jww"), *empty.source, state);
    }
    [[nodiscard]] std::string File(const std::string& name) const { return m_dir.File(name); }

private:
    pelimator::testing::TempDir m_dir;
};

Workspace& Files() {
    static Workspace workspace;
    return workspace;
}

void BM_Open(benchmark::State& state) {
    const std::string path = Files().File("big.jww");
    for (auto _ : state) {
        const auto application = BoardApplication::Create();
        const OpenedDrawing opened = OpenDrawing(*application, path);
        benchmark::DoNotOptimize(opened.document.get());
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Save(benchmark::State& state, int added) {
    const std::string path = Files().File("big.jww");
    const auto application = BoardApplication::Create();
    const OpenedDrawing opened = OpenDrawing(*application, path);
    for (int i = 0; i < added; ++i) {
        const double x = i * 3.0;
        opened.document->DrawingModel()->AddEntity(MakeArc({x, -50}, {x + 1, -50}, {x, -49}, 18));
    }
    for (auto _ : state) SaveDrawing(*opened.document, Files().File("out.jww"));
}
BENCHMARK_CAPTURE(BM_Save, Unchanged, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_Save, Drawn, 1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
