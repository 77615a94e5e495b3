// Painting speed of the board canvas on a 1920 x 1080 image: a million entities at zoom to fit
// and zoomed in, and the rubber band of the longest picking; the same million beneath a plan's
// text and block inserts (the underlay), painted and snapped to.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "board/dxf/dxf_file.h"
#include "board/model/application.h"
#include "board/model/entity.h"
#include "board/render/entity_index.h"
#include "board/render/scene_painter.h"

using namespace pelimator::board;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// 1000 rows of 1000 entities 10 units apart, half-circle arcs and lines in turn, on four
// coloured layers: like a sheet full of wave lines.
struct MillionBoard {
    BoardApplicationPtr app = BoardApplication::Create();
    BoardDocumentPtr document = app->AddDocument("百万");

    MillionBoard() {
        BoardLayers& layers = *document->LayerTable();
        const Rgb colours[4] = {{0, 0, 0}, {200, 0, 0}, {0, 120, 0}, {0, 0, 200}};
        for (int layer = 1; layer < 4; ++layer) {
            layers.Add(layer, "", 0);
            layers.SetColour(layer, colours[layer]);
        }
        BoardDrawing& drawing = *document->DrawingModel();
        drawing.BeginEdit("波線追加");
        for (int row = 0; row < 1000; ++row) {
            const double y = row * 10.0;
            for (int column = 0; column < 1000; ++column) {
                const double x = column * 10.0;
                const int layer = row % 4;
                if (column % 2 == 0) {
                    drawing.AddEntity(MakeArc({x + 5.0, y}, {x + 10.0, y}, {x, y}, layer));
                } else {
                    drawing.AddEntity(MakeLine({x, y}, {x + 8.0, y + 3.0}, layer));
                }
            }
        }
        drawing.EndEdit(true);
    }
};

MillionBoard& Board() {
    static MillionBoard board;
    return board;
}

SceneOverlay NoOverlay() {
    SceneOverlay overlay;
    overlay.gridVisible = true;
    overlay.gridSpacing = 10.0;
    return overlay;
}

void PaintLoop(benchmark::State& state, const ViewTransform& transform, const SceneOverlay& overlay,
               const BoardDocument& document) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    ScenePainter painter;
    EntityIndex index;
    index.Update(*document.DrawingModel());  // built once, as a canvas keeps it
    for (auto _ : state) {
        QPainter qp(&image);
        painter.Paint(qp, image.size(), document, transform, overlay, index);
        qp.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["candidates"] = static_cast<double>(painter.Stats().candidates);
    state.counters["lines"] = static_cast<double>(painter.Stats().lines);
    state.counters["points"] = static_cast<double>(painter.Stats().points);
    state.counters["rubberPoints"] = static_cast<double>(painter.Stats().rubberPoints);
}

void BM_RepaintMillionAtFit(benchmark::State& state) {
    const BoardDocument& document = *Board().document;
    ViewTransform transform;
    transform.Fit(*document.DrawingModel()->Bounds(), kWidth, kHeight, 24.0);
    PaintLoop(state, transform, NoOverlay(), document);
}
BENCHMARK(BM_RepaintMillionAtFit)->Unit(benchmark::kMillisecond);

void BM_RepaintMillionZoomedToAThousand(benchmark::State& state) {
    const BoardDocument& document = *Board().document;
    // One entity per 100 square units: 1000 of them fill 1e5 square units of screen.
    const double zoom = std::sqrt(static_cast<double>(kWidth) * kHeight / 1.0e5);
    ViewTransform transform{zoom, {0.0, 0.0}};
    transform.Fit(Box{{4000.0, 4000.0}, {4000.0, 4000.0}}, kWidth, kHeight, 0.0);
    PaintLoop(state, transform, NoOverlay(), document);
}
BENCHMARK(BM_RepaintMillionZoomedToAThousand)->Unit(benchmark::kMillisecond);

void BM_RubberBandOfLongestPicking(benchmark::State& state) {
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("空");
    SceneOverlay overlay = NoOverlay();
    // 32,766 points winding across the whole screen.
    for (int i = 0; i < 32766; ++i) {
        const double t = i / 32765.0;
        overlay.rubber.push_back({t * 1900.0, 540.0 + 400.0 * std::sin(t * 60.0)});
    }
    const ViewTransform transform{1.0, {0.0, 1080.0}};
    PaintLoop(state, transform, overlay, *document);
}
BENCHMARK(BM_RubberBandOfLongestPicking)->Unit(benchmark::kMillisecond);

// For comparison: background and grid only.
void BM_RepaintEmpty(benchmark::State& state) {
    const auto app = BoardApplication::Create();
    const auto document = app->AddDocument("空");
    PaintLoop(state, ViewTransform{4.55, {0.0, 0.0}}, NoOverlay(), *document);
}
BENCHMARK(BM_RepaintEmpty)->Unit(benchmark::kMillisecond);

// The million beneath 100,000 Japanese texts (316 x 316, 32 units apart) and 10,000 inserts
// (100 x 100, 100 units apart) of a block of 20 entities (lines, circles, arcs, a polyline),
// read from DXF as an opened drawing is.
struct PlanBoard {
    MillionBoard board;

    PlanBoard() {
        std::string dxf =
            "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1021\n0\nENDSEC\n"
            "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nSYM\n70\n0\n10\n0\n20\n0\n";
        const auto n = [](double v) { return std::to_string(v); };
        for (int i = 0; i < 10; ++i) {
            dxf += "0\nLINE\n8\n0\n10\n" + n(i) + "\n20\n0\n11\n" + n(i) + "\n21\n8\n";
        }
        for (int i = 0; i < 5; ++i) {
            dxf += "0\nCIRCLE\n8\n0\n10\n" + n(2.0 * i) + "\n20\n12\n40\n1.5\n";
        }
        for (int i = 0; i < 4; ++i) {
            dxf += "0\nARC\n8\n0\n62\n1\n10\n" + n(3.0 * i) + "\n20\n16\n40\n2\n50\n0\n51\n180\n";
        }
        dxf +=
            "0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n-2\n20\n-2\n10\n12\n20\n-2\n10\n12\n20\n"
            "20\n10\n-2\n20\n20\n0\nENDBLK\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
        for (int row = 0; row < 100; ++row) {
            for (int column = 0; column < 100; ++column) {
                dxf += "0\nINSERT\n8\n0\n2\nSYM\n10\n" + n(column * 100.0 + 40.0) + "\n20\n" +
                       n(row * 100.0 + 40.0) + "\n50\n" + n((row * 7 + column) % 360) + "\n";
            }
        }
        for (int row = 0; row < 316; ++row) {
            for (int column = 0; column < 316; ++column) {
                dxf += "0\nTEXT\n8\n0\n10\n" + n(column * 32.0) + "\n20\n" + n(row * 32.0 + 5.0) +
                       "\n40\n2.5\n1\n部屋" + std::to_string(row * 316 + column) + "\n";
            }
        }
        dxf += "0\nENDSEC\n0\nEOF\n";
        DxfReadResult read = ReadDxfText(dxf, "plan.dxf");
        board.document->SetUnderlay(std::move(read.underlay));
    }
};

PlanBoard& Plan() {
    static PlanBoard plan;
    return plan;
}

void UnderlayCounters(benchmark::State& state, const ViewTransform& transform,
                      const BoardDocument& document) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    ScenePainter painter;
    EntityIndex index;
    index.Update(*document.DrawingModel());
    const SceneOverlay overlay = NoOverlay();
    for (auto _ : state) {
        QPainter qp(&image);
        painter.Paint(qp, image.size(), document, transform, overlay, index);
        qp.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    const UnderlayStats& stats = painter.UnderlayStatsOfLastPaint();
    state.counters["entities"] = static_cast<double>(painter.Stats().candidates);
    state.counters["underlay"] = static_cast<double>(stats.candidates);
    state.counters["texts"] = static_cast<double>(stats.texts);
    state.counters["pixels"] = static_cast<double>(stats.pixels);
}

void BM_RepaintPlanAtFit(benchmark::State& state) {
    const BoardDocument& document = *Plan().board.document;
    ViewTransform transform;
    transform.Fit(*document.DrawingModel()->Bounds(), kWidth, kHeight, 24.0);
    UnderlayCounters(state, transform, document);
}
BENCHMARK(BM_RepaintPlanAtFit)->Unit(benchmark::kMillisecond);

// About 1,000 entities in view: the million's 770, 77 texts and 15 inserts of 20.
void BM_RepaintPlanZoomedToAThousand(benchmark::State& state) {
    const BoardDocument& document = *Plan().board.document;
    const double zoom = std::sqrt(static_cast<double>(kWidth) * kHeight / 0.77e5);
    ViewTransform transform{zoom, {0.0, 0.0}};
    transform.Fit(Box{{4000.0, 4000.0}, {4000.0, 4000.0}}, kWidth, kHeight, 0.0);
    UnderlayCounters(state, transform, document);
}
BENCHMARK(BM_RepaintPlanZoomedToAThousand)->Unit(benchmark::kMillisecond);

// One snap query with every kind on at the zoom above, at random points; the median is reported
// by --benchmark_repetitions.
void BM_SnapPlanEveryKind(benchmark::State& state) {
    const BoardDocument& document = *Plan().board.document;
    SnapSettings settings;
    for (const SnapKind kind : kAllSnapKinds) settings.kinds.Set(kind, true);
    document.SnapModel()->SetSettings(settings);
    const double zoom = std::sqrt(static_cast<double>(kWidth) * kHeight / 0.77e5);
    const ViewTransform transform{zoom, {0.0, 0.0}};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> where(100.0, 9900.0);
    for (auto _ : state) {
        const auto target =
            document.SnapModel()->FindTarget({where(random), where(random)}, transform);
        benchmark::DoNotOptimize(target);
    }
}
BENCHMARK(BM_SnapPlanEveryKind)->Unit(benchmark::kMicrosecond);

void BM_IndexBuildMillion(benchmark::State& state) {
    const BoardDrawing& drawing = *Board().document->DrawingModel();
    for (auto _ : state) {
        EntityIndex index;
        index.Update(drawing);
        benchmark::DoNotOptimize(index.Size());
    }
}
BENCHMARK(BM_IndexBuildMillion)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
