// Benchmarks: resampling plus the wave or zigzag of 100,000 segments through a host, and a bare
// loop computing the same arc geometry without host objects.
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "geometry/calc.h"
#include "geometry/path_points.h"
#include "patterns/wave.h"
#include "patterns/zigzag.h"
#include "board/model/application.h"
#include "board/model/document.h"
#include "board/model/factory.h"

namespace {

using namespace pelimator;

// The host the benchmarks draw into. The only host-specific code of this file.
struct BenchHost {
    std::shared_ptr<host::HostFactory> factory;
    // A fresh, empty drawing; the previous one may be released.
    std::function<host::HostDrawingPtr()> newDrawing;
};

// The board, as the program draws into it. Each drawing is a new document of one application.
BenchHost MakeBenchHost() {
    auto application = board::BoardApplication::Create();
    auto factory = std::make_shared<board::BoardFactory>(application);
    BenchHost bench;
    bench.factory = factory;
    bench.newDrawing = [application] {
        while (application->DocumentCount() > 0) application->RemoveDocument(0);
        return application->AddDocument("bench")->Drawing();
    };
    return bench;
}

constexpr int kSegments = 100'000;
constexpr double kWidth = 5.0;
constexpr double kRadius = 4.0;
constexpr double kHeight = 3.0;

// A gentle meander 5 source points per pitch long, so resampling yields kSegments segments.
std::vector<std::pair<double, double>> Meander() {
    std::vector<std::pair<double, double>> points;
    const int count = kSegments * 5 + 1;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double x = i * kWidth / 5.0;
        points.emplace_back(x, 20.0 * std::sin(x / 200.0));
    }
    return points;
}

host::HostPointListPtr MakeList(host::HostFactory& factory,
                                const std::vector<std::pair<double, double>>& points) {
    auto list = factory.CreatePointList();
    for (auto [x, y] : points) list->Add(x, y);
    return list;
}

// A straight path of kSegments full-pitch segments along a slow curve, for generation alone.
std::vector<std::pair<double, double>> Path() {
    std::vector<std::pair<double, double>> points;
    points.reserve(kSegments + 1);
    double x = 0;
    double y = 0;
    double heading = 0;
    for (int i = 0; i <= kSegments; ++i) {
        points.emplace_back(x, y);
        heading += 0.01 * std::sin(i / 50.0);
        x += kWidth * std::cos(heading);
        y += kWidth * std::sin(heading);
    }
    return points;
}

enum class Pattern { Wave, Zigzag };

void Generate(Pattern pattern, BenchHost& bench, const host::HostPointList& path,
              host::HostDrawing& drawing, const host::StatusSink& status) {
    if (pattern == Pattern::Wave) {
        AddArcWave(*bench.factory, kRadius, kWidth, -1, path, drawing, 200, status);
    } else {
        AddZigzagLine(*bench.factory, kHeight, -1, path, drawing, 200, status);
    }
}

void SetPerSegment(benchmark::State& state) {
    state.counters["per_segment"] = benchmark::Counter(
        kSegments, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Resampling of the host curve plus generation, as one line is drawn.
void BM_ResampleAndGenerate(benchmark::State& state, Pattern pattern) {
    M_Calc::InitPi();
    BenchHost bench = MakeBenchHost();
    const auto meander = Meander();
    std::string statusText;
    const host::StatusSink status = [&statusText](std::string_view text) {
        statusText.assign(text);
    };
    std::int32_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto source = MakeList(*bench.factory, meander);
        auto path = bench.factory->CreatePointList();
        auto drawing = bench.newDrawing();
        state.ResumeTiming();
        CalcPathPoints(*source, kWidth, *path, count, status);
        Generate(pattern, bench, *path, *drawing, status);
        state.PauseTiming();
        source.reset();
        path.reset();
        drawing.reset();
        state.ResumeTiming();
    }
    state.counters["segments"] = count - 1;
    SetPerSegment(state);
}
BENCHMARK_CAPTURE(BM_ResampleAndGenerate, Wave, Pattern::Wave)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ResampleAndGenerate, Zigzag, Pattern::Zigzag)->Unit(benchmark::kMillisecond);

// Generation alone from a ready path.
void BM_Generate(benchmark::State& state, Pattern pattern) {
    M_Calc::InitPi();
    BenchHost bench = MakeBenchHost();
    auto path = MakeList(*bench.factory, Path());
    std::string statusText;
    const host::StatusSink status = [&statusText](std::string_view text) {
        statusText.assign(text);
    };
    for (auto _ : state) {
        state.PauseTiming();
        auto drawing = bench.newDrawing();
        state.ResumeTiming();
        Generate(pattern, bench, *path, *drawing, status);
        state.PauseTiming();
        drawing.reset();
        state.ResumeTiming();
    }
    SetPerSegment(state);
}
BENCHMARK_CAPTURE(BM_Generate, Wave, Pattern::Wave)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Generate, Zigzag, Pattern::Zigzag)->Unit(benchmark::kMillisecond);

// The same arc geometry with no host objects: angle, turn of the template's three points, shift.
struct ArcGeometry {
    double cx, cy, sx, sy, ex, ey;
};

void BM_BareArcLoop(benchmark::State& state) {
    M_Calc::InitPi();
    const auto path = Path();
    const double h = std::sqrt(kRadius * kRadius - kWidth * kWidth / 4);
    const ArcGeometry templates[2] = {{kWidth / 2, -h, kWidth, 0, 0, 0},
                                      {kWidth / 2, h, 0, 0, kWidth, 0}};
    std::vector<ArcGeometry> arcs(kSegments);
    for (auto _ : state) {
        for (std::size_t i = 1; i < path.size(); ++i) {
            const auto [x0, y0] = path[i - 1];
            const auto [x1, y1] = path[i];
            const double theta = M_Calc::GetAngle(x0, y0, x1, y1);
            const ArcGeometry& t = templates[i % 2];
            ArcGeometry& a = arcs[i - 1];
            M_Calc::RotatePoint(0, 0, theta, t.cx, t.cy, a.cx, a.cy);
            M_Calc::RotatePoint(0, 0, theta, t.sx, t.sy, a.sx, a.sy);
            M_Calc::RotatePoint(0, 0, theta, t.ex, t.ey, a.ex, a.ey);
            a.cx += x0;
            a.cy += y0;
            a.sx += x0;
            a.sy += y0;
            a.ex += x0;
            a.ey += y0;
        }
        benchmark::DoNotOptimize(arcs.data());
        benchmark::ClobberMemory();
    }
    SetPerSegment(state);
}
BENCHMARK(BM_BareArcLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
