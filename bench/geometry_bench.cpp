// Benchmarks: CalcPathPoints over a million-point spiral, and the M_Calc routines.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "geometry/calc.h"
#include "geometry/path_points.h"
#include "host/point_list.h"

namespace {

using namespace pelimator;

constexpr int kSourcePoints = 1'000'000;
constexpr int kPathPoints = 100'000;

// A fine Archimedean spiral: a million points, about 0.07 units apart.
std::vector<std::pair<double, double>> Spiral() {
    std::vector<std::pair<double, double>> points;
    points.reserve(kSourcePoints);
    for (int i = 0; i < kSourcePoints; ++i) {
        const double t = 0.001 * i;
        const double r = 10.0 + 2.0 * t;
        points.emplace_back(r * std::cos(t), r * std::sin(t));
    }
    return points;
}

double Length(const std::vector<std::pair<double, double>>& points) {
    double length = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        length += std::hypot(points[i].first - points[i - 1].first,
                             points[i].second - points[i - 1].second);
    }
    return length;
}

void BM_CalcPathPoints(benchmark::State& state) {
    M_Calc::InitPi();
    const auto spiral = Spiral();
    const double pitch = Length(spiral) / kPathPoints;
    host::PlainPointList source;
    source.Reserve(spiral.size());
    for (auto [x, y] : spiral) source.Add(x, y);
    std::string statusText;
    const host::StatusSink status = [&statusText](std::string_view text) {
        statusText.assign(text);
    };
    std::int32_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The walk overwrites the source; put it back and start from an empty path.
        for (std::size_t i = 0; i < spiral.size(); ++i) {
            auto p = source.Item(static_cast<std::int32_t>(i));
            p->SetX(spiral[i].first);
            p->SetY(spiral[i].second);
        }
        host::PlainPointList dest;
        dest.Reserve(kPathPoints + 100);
        state.ResumeTiming();
        CalcPathPoints(source, pitch, dest, count, status);
        benchmark::DoNotOptimize(dest);
        state.PauseTiming();
        {
            host::PlainPointList drop = std::move(dest);  // freed outside the timed region
        }
        state.ResumeTiming();
    }
    state.counters["path_points"] = count;
    state.counters["per_source_point"] = benchmark::Counter(
        kSourcePoints, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CalcPathPoints)->Unit(benchmark::kMillisecond);

// The floor set by the host list: reading every point as the walk does (one Item per
// coordinate), with no geometry and no progress text.
void BM_ReadSourceOnly(benchmark::State& state) {
    const auto spiral = Spiral();
    host::PlainPointList source;
    source.Reserve(spiral.size());
    for (auto [x, y] : spiral) source.Add(x, y);
    for (auto _ : state) {
        double sum = 0;
        for (std::int32_t i = 0; i < kSourcePoints; ++i) {
            sum += source.Item(i)->X();
            sum += source.Item(i)->Y();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["per_source_point"] = benchmark::Counter(
        kSourcePoints, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadSourceOnly)->Unit(benchmark::kMillisecond);

struct Inputs {
    std::vector<double> values;
    explicit Inputs(std::size_t count) : values(count) {
        std::mt19937 random(99);
        std::uniform_real_distribution<double> coordinate(-100.0, 100.0);
        for (auto& v : values) v = coordinate(random);
    }
};

constexpr std::size_t kInputs = 4096;

template <typename Call>
void RunOverInputs(benchmark::State& state, Call call) {
    M_Calc::InitPi();
    const Inputs inputs(kInputs + 8);
    std::size_t i = 0;
    for (auto _ : state) {
        const double* v = inputs.values.data() + i;
        call(v);
        i = (i + 1) % kInputs;
    }
}

void BM_GetDistance(benchmark::State& state) {
    RunOverInputs(state, [](const double* v) {
        benchmark::DoNotOptimize(M_Calc::GetDistance(v[0], v[1], v[2], v[3]));
    });
}
BENCHMARK(BM_GetDistance);

void BM_GetManhattanDistance(benchmark::State& state) {
    RunOverInputs(state, [](const double* v) {
        benchmark::DoNotOptimize(M_Calc::GetManhattanDistance(v[0], v[1], v[2], v[3]));
    });
}
BENCHMARK(BM_GetManhattanDistance);

void BM_GetAngle(benchmark::State& state) {
    RunOverInputs(state, [](const double* v) {
        benchmark::DoNotOptimize(M_Calc::GetAngle(v[0], v[1], v[2], v[3]));
    });
}
BENCHMARK(BM_GetAngle);

void BM_RotatePoint(benchmark::State& state) {
    RunOverInputs(state, [](const double* v) {
        double x = 0;
        double y = 0;
        M_Calc::RotatePoint(v[0], v[1], v[2], v[3], v[4], x, y);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
    });
}
BENCHMARK(BM_RotatePoint);

void BM_GetCircleLineCross(benchmark::State& state) {
    // The centre is P1 itself and R a little over the distance to P2's foot: always crossing.
    RunOverInputs(state, [](const double* v) {
        double x = 0;
        double y = 0;
        M_Calc::GetCircleLineCross(v[0], v[1], 5.0, v[0], v[1], v[2], v[3], x, y);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
    });
}
BENCHMARK(BM_GetCircleLineCross);

void BM_GetApexPoint(benchmark::State& state) {
    RunOverInputs(state, [](const double* v) {
        double x = 0;
        double y = 0;
        M_Calc::GetApexPoint(-1, 2.0, v[0], v[1], v[2], v[3], x, y);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
    });
}
BENCHMARK(BM_GetApexPoint);

}  // namespace

BENCHMARK_MAIN();
