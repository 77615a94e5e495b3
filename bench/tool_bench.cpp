// What painting the progress texts costs a long line: one straight wave drawn into the board
// with no status sink, with the main window's throttled sink, and with every change painted.
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <cstdlib>
#include <memory>

#include <benchmark/benchmark.h>

#include "board/model/application.h"
#include "board/model/factory.h"
#include "geometry/calc.h"
#include "line/line_run.h"
#include "tool/f_main.h"

using namespace pelimator;

namespace {

enum class Sink { None, Throttled, EveryChange };

// state.range(0) arcs along a straight polyline at the default pitch of 5 units.
void DrawWave(benchmark::State& state, Sink kind) {
    M_Calc::InitPi();
    auto application = board::BoardApplication::Create();
    auto factory = std::make_shared<board::BoardFactory>(application);
    F_Main window(factory, QStringLiteral("/nonexistent/Korvane.ini"));
    window.show();
    // Repaints of a window not yet exposed are deferred: wait until painting is real.
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() != nullptr && window.windowHandle()->isExposed()) &&
           waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (!window.windowHandle()->isExposed()) state.SkipWithError("the window was never exposed");
    window.SetStatusPaintInterval(kind == Sink::EveryChange ? 0 : F_Main::kStatusPaintInterval);
    const host::StatusSink none;
    const host::StatusSink& sink = kind == Sink::None ? none : window.ProgressSink();

    LineOptions options;
    options.pathKind = settings::PathKind::Polyline;
    const settings::RunSettings runSettings;
    const double length = 5.0 * static_cast<double>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto document = application->AddDocument("図面");
        auto picks = factory->CreatePointList();
        picks->Add(0.0, 0.0);
        picks->Add(length, 0.0);
        state.ResumeTiming();
        const LineResult result = DrawLine(*factory, *document, *picks, options, runSettings, sink);
        benchmark::DoNotOptimize(result.entities);
        state.PauseTiming();
        application->RemoveDocument(0);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_WaveNoStatus(benchmark::State& state) { DrawWave(state, Sink::None); }
void BM_WaveStatusThrottled(benchmark::State& state) { DrawWave(state, Sink::Throttled); }
void BM_WaveStatusEveryChange(benchmark::State& state) { DrawWave(state, Sink::EveryChange); }

BENCHMARK(BM_WaveNoStatus)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WaveStatusThrottled)
    ->Arg(5000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_WaveStatusEveryChange)
    ->Arg(5000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
