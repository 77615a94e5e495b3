// Benchmark of a whole batch run: 10,000 paths of 100 picked points each into one DXF, from
// reading the points to the written file.
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "batch/batch.h"
#include "support/temp_dir.h"

namespace pelimator::batch {
namespace {

constexpr int kPaths = 10000;
constexpr int kPointsPerPath = 100;

// A folder with the points file (random walks of about one pitch per step) and the settings.
class Workspace {
public:
    Workspace() {
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> turn(-0.6, 0.6);
        std::ofstream points(File("points.txt"));
        points.precision(10);
        for (int p = 0; p < kPaths; ++p) {
            double x = (p % 100) * 1000.0;
            double y = (p / 100) * 1000.0;
            double heading = 0.0;
            for (int i = 0; i < kPointsPerPath; ++i) {
                points << x << " " << y << "\n";
                heading += turn(random);
                x += 5.0 * std::cos(heading);
                y += 5.0 * std::sin(heading);
            }
            points << "\n";
        }
        std::ofstream(File("Korvane.ini")) << "[Wave]\nWidth=5\nRadius=4\n[Zigzag]\nWidth=5\n";
    }
    [[nodiscard]] std::string File(const std::string& name) const { return m_dir.File(name); }
    [[nodiscard]] std::string Dir() const { return m_dir.Path().string(); }

private:
    pelimator::testing::TempDir m_dir;
};

const Workspace& SharedWorkspace() {
    static const Workspace workspace;
    return workspace;
}

// The entity count from the run's summary ("図形 N 個").
double EntitiesIn(const std::string& summary) {
    const std::string key = "を描き、図形 ";
    const auto at = summary.find(key);
    return at == std::string::npos ? 0.0 : std::stod(summary.substr(at + key.size()));
}

void RunWhole(benchmark::State& state, const char* line, const char* path) {
    const Workspace& workspace = SharedWorkspace();
    const std::vector<std::string> args{"pelimator-batch",
                                        "--points",
                                        workspace.File("points.txt"),
                                        "--line",
                                        line,
                                        "--path",
                                        path,
                                        "-o",
                                        workspace.File("out.dxf")};
    double entities = 0.0;
    for (auto _ : state) {
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        BatchStreams streams{in, out, err, false};
        if (RunBatch(args, streams, workspace.Dir()) != kExitOk) {
            state.SkipWithError(err.str().c_str());
            return;
        }
        entities = EntitiesIn(err.str());
    }
    state.counters["entities"] = entities;
    state.counters["entities_per_s"] = benchmark::Counter(
        entities * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_BatchWavePolyline(benchmark::State& state) { RunWhole(state, "wave", "0"); }
void BM_BatchZigzagPolyline(benchmark::State& state) { RunWhole(state, "zigzag", "0"); }
void BM_BatchWaveThroughPoints(benchmark::State& state) { RunWhole(state, "wave", "2"); }

BENCHMARK(BM_BatchWavePolyline)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BatchZigzagPolyline)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BatchWaveThroughPoints)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

}  // namespace
}  // namespace pelimator::batch

BENCHMARK_MAIN();
