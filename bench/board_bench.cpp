// Benchmarks of the board model: snap queries (sparse, and where entities cross everywhere)
// against a scan, curve flattening, large steps.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "board/model/application.h"
#include "board/model/curve.h"
#include "board/model/document.h"
#include "host/point_list.h"

namespace pelimator::board {
namespace {

constexpr double kArea = 100000.0;  // drawing units square

EntityData RandomEntity(std::mt19937& rng) {
    std::uniform_real_distribution<double> c(0, kArea);
    std::uniform_real_distribution<double> d(-50, 50);
    const Vec2 a{c(rng), c(rng)};
    if (rng() % 2 == 0) return MakeLine(a, a + Vec2{d(rng), d(rng)});
    return MakeArc(a, a + Vec2{10, 0}, a + Vec2{0, 10});
}

// One document with a million entities, shared by the snap benchmarks.
BoardDocumentPtr LargeDocument() {
    static BoardDocumentPtr document = [] {
        auto made = BoardDocument::Create("large", {});
        std::mt19937 rng(1);
        auto drawing = made->DrawingModel();
        drawing->BeginEdit("fill");
        for (int i = 0; i < 1000000; ++i) drawing->AddEntity(RandomEntity(rng));
        drawing->EndEdit(true);
        (void)made->SnapModel()->FindTarget({0, 0}, ViewTransform{});  // builds the index
        return made;
    }();
    return document;
}

std::vector<Vec2> QueryPoints() {
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> c(0, kArea);
    std::vector<Vec2> points(4096);
    for (auto& p : points) p = {c(rng), c(rng)};
    return points;
}

// Every kind switched on; nearest only changes anything where no point kind catches.
SnapSettings AllKinds(const BoardDocument& document) {
    SnapSettings settings = document.SnapModel()->Settings();
    for (const SnapKind kind : kAllSnapKinds) settings.kinds.Set(kind, true);
    return settings;
}

// range(0): 0 the default kinds (ends, middles, centres, crossings), 1 every kind.
void BM_SnapIndexed(benchmark::State& state) {
    const auto document = LargeDocument();
    const SnapSettings before = document->SnapModel()->Settings();
    if (state.range(0) == 1) document->SnapModel()->SetSettings(AllKinds(*document));
    const auto points = QueryPoints();
    ViewTransform transform;
    transform.pixelsPerUnit = 0.2;  // 10 px = 50 units
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            document->SnapModel()->FindTarget(points[i++ % points.size()], transform));
    }
    document->SnapModel()->SetSettings(before);
}
BENCHMARK(BM_SnapIndexed)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// A million lines and arcs packed so that they cross everywhere: lines up to 200 units long in
// every direction and arcs of radius 5 to 50 in a 20,000-unit square, about 50 entities under
// a 20-unit capture radius and a dozen of them crossing near it.
BoardDocumentPtr CrossingDocument() {
    static BoardDocumentPtr document = [] {
        auto made = BoardDocument::Create("crossings", {});
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> c(0, 20000);
        std::uniform_real_distribution<double> d(-100, 100);
        std::uniform_real_distribution<double> r(5, 50);
        std::uniform_real_distribution<double> angle(0, 6.283);
        auto drawing = made->DrawingModel();
        drawing->BeginEdit("fill");
        for (int i = 0; i < 1000000; ++i) {
            const Vec2 a{c(rng), c(rng)};
            if (i % 2 == 0) {
                drawing->AddEntity(MakeLine(a, a + Vec2{d(rng), d(rng)}));
            } else {
                const double radius = r(rng);
                const double from = angle(rng);
                const double to = angle(rng);
                drawing->AddEntity(MakeArc(a, a + radius * Vec2{std::cos(from), std::sin(from)},
                                           a + radius * Vec2{std::cos(to), std::sin(to)}));
            }
        }
        drawing->EndEdit(true);
        (void)made->SnapModel()->FindTarget({0, 0}, ViewTransform{});  // builds the index
        return made;
    }();
    return document;
}

// range(0) as above; the counter says how often the answer was a crossing.
void BM_SnapAmongCrossings(benchmark::State& state) {
    const auto document = CrossingDocument();
    if (state.range(0) == 1) document->SnapModel()->SetSettings(AllKinds(*document));
    std::mt19937 rng(6);
    std::uniform_real_distribution<double> c(0, 20000);
    std::vector<Vec2> points(4096);
    for (auto& p : points) p = {c(rng), c(rng)};
    ViewTransform transform;
    transform.pixelsPerUnit = 0.5;  // 10 px = 20 units
    std::size_t i = 0;
    std::size_t crossings = 0;
    std::size_t queries = 0;
    for (auto _ : state) {
        const auto target =
            document->SnapModel()->FindTarget(points[i++ % points.size()], transform);
        crossings += target && target->kind == SnapKind::Intersection ? 1 : 0;
        ++queries;
        benchmark::DoNotOptimize(target);
    }
    state.counters["crossing_share"] =
        static_cast<double>(crossings) / static_cast<double>(std::max<std::size_t>(queries, 1));
}
BENCHMARK(BM_SnapAmongCrossings)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The same question answered by looking at every end point and centre.
void BM_SnapBruteForce(benchmark::State& state) {
    const auto document = LargeDocument();
    const auto points = QueryPoints();
    const auto entities = document->DrawingModel()->Entities();
    const auto& layers = *document->LayerTable();
    std::size_t i = 0;
    for (auto _ : state) {
        const Vec2 p = points[i++ % points.size()];
        double best = 50.0;
        Vec2 found = p;
        for (const EntityData& e : entities) {
            if (!e.visible || !layers.IsShown(e.layer)) continue;
            for (const Vec2 q : {e.start, e.end}) {
                const double d = Distance(p, q);
                if (d <= best) {
                    best = d;
                    found = q;
                }
            }
            if (e.kind == EntityKind::Arc && Distance(p, e.center) <= best) {
                best = Distance(p, e.center);
                found = e.center;
            }
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_SnapBruteForce)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly();

host::PlainPointList RandomWalk32766() {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> step(1.0, 20.0);
    std::uniform_real_distribution<double> turn(-1.0, 1.0);
    host::PlainPointList picks;
    Vec2 p{0, 0};
    double heading = 0.0;
    for (int i = 0; i < 32766; ++i) {
        picks.Add(p.x, p.y);
        heading += turn(rng);
        const double length = step(rng);
        p = p + Vec2{length * std::cos(heading), length * std::sin(heading)};
    }
    return picks;
}

// The most picks the tool takes, 1 to 20 units apart, turning up to a radian at each: the curve
// through them, flattened to range(0) / 1000 drawing units (0.01 at 1:1, 1.0 at 1:100).
void BM_CurveThroughPoints32766(benchmark::State& state) {
    const auto picks = RandomWalk32766();
    const double tolerance = static_cast<double>(state.range(0)) / 1000.0;
    BoardCurve curve([tolerance] { return tolerance; });
    for (auto _ : state) {
        curve.SetPoints(static_cast<std::int16_t>(host::CurveKind::ThroughPoints), picks);
        benchmark::DoNotOptimize(curve.Polyline().data());
    }
    state.counters["points"] = static_cast<double>(curve.Polyline().size());
}
BENCHMARK(BM_CurveThroughPoints32766)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

// The same, with the host point list the drawing run reads made too.
void BM_CurveThroughPoints32766WithPointList(benchmark::State& state) {
    const auto picks = RandomWalk32766();
    BoardCurve curve([] { return kDefaultCurveTolerance; });
    for (auto _ : state) {
        curve.SetPoints(static_cast<std::int16_t>(host::CurveKind::ThroughPoints), picks);
        benchmark::DoNotOptimize(curve.Points());
    }
}
BENCHMARK(BM_CurveThroughPoints32766WithPointList)->Unit(benchmark::kMillisecond);

// Adds 100,000 arcs through the host interface in one step, then undoes and redoes it; each
// phase timed on its own and reported as its median over the iterations.
void BM_ArcStep100k(benchmark::State& state) {
    const auto arc = BoardArc::CreateFree(MakeArc({0, 0}, {10, 0}, {0, 10}, 1));
    std::vector<double> addTimes;
    std::vector<double> undoTimes;
    std::vector<double> redoTimes;
    for (auto _ : state) {
        auto document = BoardDocument::Create("step", {});
        auto drawing = document->DrawingModel();
        using Clock = std::chrono::steady_clock;
        const auto t0 = Clock::now();
        drawing->BeginEdit("波線追加");
        for (int i = 0; i < 100000; ++i) {
            arc->Move(1, 0);
            benchmark::DoNotOptimize(drawing->Add(*arc));
        }
        drawing->EndEdit(true);
        const auto t1 = Clock::now();
        drawing->Undo();
        const auto t2 = Clock::now();
        drawing->Redo();
        const auto t3 = Clock::now();
        addTimes.push_back(std::chrono::duration<double>(t1 - t0).count());
        undoTimes.push_back(std::chrono::duration<double>(t2 - t1).count());
        redoTimes.push_back(std::chrono::duration<double>(t3 - t2).count());
        state.SetIterationTime(std::chrono::duration<double>(t3 - t0).count());
    }
    const auto median = [](std::vector<double> times) {
        std::nth_element(times.begin(),
                         times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2),
                         times.end());
        return times[times.size() / 2];
    };
    state.counters["add_ms"] = median(addTimes) * 1e3;
    state.counters["undo_us"] = median(undoTimes) * 1e6;
    state.counters["redo_us"] = median(redoTimes) * 1e6;
}
BENCHMARK(BM_ArcStep100k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The first snap after a 100,000-arc step pays for bringing the index up to date.
void BM_FirstSnapAfter100kStep(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto document = BoardDocument::Create("step", {});
        auto drawing = document->DrawingModel();
        std::mt19937 rng(4);
        drawing->BeginEdit("波線追加");
        for (int i = 0; i < 100000; ++i) drawing->AddEntity(RandomEntity(rng));
        drawing->EndEdit(true);
        state.ResumeTiming();
        benchmark::DoNotOptimize(document->SnapModel()->FindTarget({500, 500}, ViewTransform{}));
    }
}
BENCHMARK(BM_FirstSnapAfter100kStep)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace pelimator::board
BENCHMARK_MAIN();
