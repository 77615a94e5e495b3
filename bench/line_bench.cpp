// One mouse move while picking, as the main window handles it: the band, then the preview (the
// drawing run into a preview drawing), through the board. 1,000 picks on a gentle curve at 1:100,
// through-points curve: about 5,000 arcs at the default pitch of 5 mm (500 units). And taking an
// existing run of a large drawing as the path.
#include <cmath>
#include <memory>

#include <benchmark/benchmark.h>

#include "board/model/application.h"
#include "board/model/chains.h"
#include "board/model/factory.h"
#include "board/model/tool_object.h"
#include "geometry/calc.h"
#include "host/point_list.h"
#include "line/picking_session.h"
#include "line/preview_drawing.h"

using namespace pelimator;

namespace {

constexpr int kPicks = 1000;
constexpr double kSpacing = 2500.0;  // units between picks: 5 pitches

struct Picking {
    board::BoardApplicationPtr application = board::BoardApplication::Create();
    std::shared_ptr<board::BoardFactory> factory =
        std::make_shared<board::BoardFactory>(application);
    board::BoardDocumentPtr document = application->AddDocument("図面");
    host::HostToolPtr tool = factory->CreateTool();
    PickingSession session{*factory, {}};

    Picking() {
        M_Calc::InitPi();
        document->Scale()->SetNumerator(1);
        document->Scale()->SetDenominator(100);
        session.SetTool(tool);
        for (int i = 0; i < kPicks; ++i) {
            host::PlainPoint point(i * kSpacing, 20'000.0 * std::sin(i * 0.05));
            session.LButtonDown(document->View(), point);
        }
    }
};

LineOptions Options() {
    LineOptions options;
    options.pathKind = settings::PathKind::ThroughPoints;
    return options;
}

// The cursor a little past the last pick, moving by a pixel or so each time.
host::PlainPoint Cursor(int step) {
    return {kPicks * kSpacing + 300.0 + (step % 50) * 10.0, 1'000.0};
}

void BM_MoveBandOnly(benchmark::State& state) {
    Picking picking;
    int step = 0;
    for (auto _ : state) {
        const host::PlainPoint cursor = Cursor(step++);
        picking.session.MouseMove(picking.document->View(), cursor,
                                  settings::PathKind::ThroughPoints);
    }
}
BENCHMARK(BM_MoveBandOnly)->Unit(benchmark::kMillisecond);

void BM_MoveWithPreview(benchmark::State& state) {
    Picking picking;
    LineOptions options = Options();
    options.fitToEnd = state.range(0) != 0;
    const settings::RunSettings runSettings;
    int step = 0;
    std::size_t entities = 0;
    for (auto _ : state) {
        const host::PlainPoint cursor = Cursor(step++);
        picking.session.MouseMove(picking.document->View(), cursor,
                                  settings::PathKind::ThroughPoints);
        const auto scope =
            picking.session.UpdatePreview(picking.document->View(), options, runSettings);
        if (scope == PickingSession::PreviewScope::None) {
            state.SkipWithError("no preview");
        }
        state.counters["whole"] = scope == PickingSession::PreviewScope::WithCursor ? 1 : 0;
        entities =
            std::dynamic_pointer_cast<board::BoardToolObject>(picking.tool)->Preview().size();
    }
    state.counters["arcs"] = static_cast<double>(entities);
}
BENCHMARK(BM_MoveWithPreview)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The fitted run alone over the same picks, whatever the preview's budget: what it costs.
void BM_DrawFittedIntoPreview(benchmark::State& state) {
    Picking picking;
    LineOptions options = Options();
    options.fitToEnd = state.range(0) != 0;
    const settings::RunSettings runSettings;
    for (auto _ : state) {
        PreviewDrawing drawing(*picking.factory);
        DrawLineInto(*picking.factory, *picking.document, drawing, *picking.session.PickPoints(),
                     options, runSettings, {});
        benchmark::DoNotOptimize(drawing.Entities().size());
    }
}
BENCHMARK(BM_DrawFittedIntoPreview)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Taking an existing run in a drawing of 1,000,000 entities: a polyline of 1,000 segments on its
// own layer among 999,000 short lines scattered over the same area; the click on its middle.
void BM_TakeRunAlongEntity(benchmark::State& state) {
    const auto drawing = board::BoardDrawing::Create();
    std::uint64_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(seed >> 11) / 9007199254740992.0;
    };
    for (int i = 0; i < 999'000; ++i) {
        const board::Vec2 a{next() * 100'000.0, next() * 100'000.0};
        drawing->AddEntity(board::MakeLine(a, a + board::Vec2{next() * 50.0, next() * 50.0}, 0));
    }
    for (int i = 0; i < 1000; ++i) {
        const board::Vec2 a{i * 100.0, 50'000.0 + 3'000.0 * std::sin(i * 0.02)};
        const board::Vec2 b{(i + 1) * 100.0, 50'000.0 + 3'000.0 * std::sin((i + 1) * 0.02)};
        drawing->AddEntity(board::MakeLine(a, b, 7));
    }
    const auto visible = [](const board::EntityData& e) { return e.visible; };
    const board::Vec2 click{50'050.0, 50'000.0 + 3'000.0 * std::sin(500.5 * 0.02)};
    (void)board::RunAlongEntity(*drawing, click, 50.0, 0.01, visible);  // the index is built
    std::size_t pieces = 0;
    for (auto _ : state) {
        const auto run = board::RunAlongEntity(*drawing, click, 50.0, 0.01, visible);
        pieces = run ? run->chain.pieces.size() : 0;
        benchmark::DoNotOptimize(pieces);
    }
    if (pieces != 1000) state.SkipWithError("the run was not the whole polyline");
    state.counters["pieces"] = static_cast<double>(pieces);
}
BENCHMARK(BM_TakeRunAlongEntity)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
