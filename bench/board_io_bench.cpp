// Saving and opening a drawing of 1,000,000 lines and arcs as DXF, and ezdxf reading the same
// file for comparison.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "board/io/drawing_file.h"
#include "board/io/dxf_file.h"

namespace {

using namespace pelimator::board;

constexpr std::size_t kEntities = 1'000'000;

const DrawingContent& BigDrawing() {
    static const DrawingContent content = [] {
        DrawingContent c;
        c.layers = {{0, "0", {}, true}, {1, "波線", {255, 0, 0}, true}, {2, "ジグザグ線", {0, 0, 255}, true}};
        c.scaleDenominator = 50;
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> coordinate(-10000.0, 10000.0);
        std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
        c.entities.reserve(kEntities);
        for (std::size_t i = 0; i < kEntities; ++i) {
            const Vec2 a{coordinate(random), coordinate(random)};
            const auto layer = static_cast<std::int32_t>(i % 3);
            if (i % 2 == 0) {
                c.entities.push_back(MakeLine(a, {coordinate(random), coordinate(random)}, layer));
            } else {
                const double from = angle(random);
                const double to = angle(random);
                c.entities.push_back(MakeArc(a, a + 2.5 * Vec2{std::cos(from), std::sin(from)},
                                             a + 2.5 * Vec2{std::cos(to), std::sin(to)}, layer));
            }
        }
        return c;
    }();
    return content;
}

std::string BenchFile() {
    return (std::filesystem::temp_directory_path() / "pelimator_board_io_bench.dxf").string();
}

void BM_SaveDxf(benchmark::State& state) {
    const DrawingContent& content = BigDrawing();
    for (auto _ : state) WriteDxfFile(BenchFile(), content);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(BenchFile())) / 1e6;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kEntities));
}
BENCHMARK(BM_SaveDxf)->Unit(benchmark::kMillisecond)->Iterations(2);

// Reading the file into plain content: the checking pass, dxflib and the conversion.
void BM_ReadDxf(benchmark::State& state) {
    WriteDxfFile(BenchFile(), BigDrawing());
    for (auto _ : state) benchmark::DoNotOptimize(ReadDxfFile(BenchFile()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kEntities));
}
BENCHMARK(BM_ReadDxf)->Unit(benchmark::kMillisecond)->Iterations(2);

// What the 開く action does: reading plus filling a new document of the board.
void BM_OpenDrawing(benchmark::State& state) {
    WriteDxfFile(BenchFile(), BigDrawing());
    for (auto _ : state) {
        const auto application = BoardApplication::Create();
        benchmark::DoNotOptimize(OpenDrawing(*application, BenchFile()));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kEntities));
}
BENCHMARK(BM_OpenDrawing)->Unit(benchmark::kMillisecond)->Iterations(2);

// An independent reader on the same file, through python3 (Debian's, with python3-ezdxf).
void BM_EzdxfRead(benchmark::State& state) {
    WriteDxfFile(BenchFile(), BigDrawing());
    const std::string command = "/usr/bin/python3 -c \"import ezdxf, sys; d = ezdxf.readfile('" +
                                BenchFile() + "'); sys.exit(0 if len(d.modelspace()) == " +
                                std::to_string(kEntities) + " else 1)\"";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ezdxf could not read the file (is python3-ezdxf installed?)");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kEntities));
}
BENCHMARK(BM_EzdxfRead)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
