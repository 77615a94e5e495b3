// Painting speed of the board canvas on a 1920 x 1080 image: a million entities at zoom to fit
// and zoomed in, and the rubber band of the longest picking; the same million beneath a plan's
// text and block inserts (the underlay), painted and snapped to; a scripted pan and zoom of the
// canvas over that plan, frame by frame, and mouse moves while picking on it; the band and the
// highlight of a move of many selected entities.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "board/dxf/dxf_file.h"
#include "board/model/application.h"
#include "board/model/curve.h"
#include "board/model/entity.h"
#include "board/model/selection.h"
#include "board/model/tool_object.h"
#include "board/render/entity_index.h"
#include "board/render/scene_painter.h"
#include "board/ui/canvas.h"
#include "board/ui/edit_controller.h"
#include "host/host.h"
#include "host/point_list.h"

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

// Longer than the canvas waits before it paints the full picture of a view that keeps still.
constexpr unsigned long kStillMs = 200;

// The scripted movement: from the fit, the wheel in tenfold about a point, a pan across, the
// wheel in to about a hundredfold, a pan, the wheel out to the fit, a pan; a stop after each
// part (the view keeps still long enough for the canvas to paint its full picture).
struct Step {
    enum Kind { Wheel, Pan, Stop } kind;
    QPointF at;  // the wheel's cursor, or the pan's move in pixels
    int notches = 0;
};

std::vector<Step> Script() {
    std::vector<Step> steps;
    const auto wheel = [&](QPointF at, int notches, int times) {
        for (int i = 0; i < times; ++i) steps.push_back({Step::Wheel, at, notches});
        steps.push_back({Step::Stop, {}, 0});
    };
    const auto pan = [&](QPointF by, int times) {
        for (int i = 0; i < times; ++i) steps.push_back({Step::Pan, by, 0});
        steps.push_back({Step::Stop, {}, 0});
    };
    wheel({700.0, 400.0}, 1, 10);  // 1.25^10: 9.3x
    pan({-40.0, 10.0}, 30);
    wheel({1100.0, 600.0}, 1, 11);  // 1.25^21: 108x
    pan({35.0, -20.0}, 30);
    wheel({960.0, 540.0}, -1, 21);  // back to the fit
    pan({25.0, 15.0}, 20);
    return steps;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Frame times of moving and stopped frames, in milliseconds (wall and the thread's CPU).
struct FrameTimes {
    std::vector<double> moving;
    std::vector<double> movingCpu;
    std::vector<double> stopped;
    std::vector<double> stoppedCpu;
    void Report(benchmark::State& state) const {
        state.counters["frames"] = static_cast<double>(moving.size());
        state.counters["median_ms"] = Median(moving);
        state.counters["worst_ms"] =
            moving.empty() ? 0.0 : *std::max_element(moving.begin(), moving.end());
        state.counters["median_cpu_ms"] = Median(movingCpu);
        state.counters["worst_cpu_ms"] =
            movingCpu.empty() ? 0.0 : *std::max_element(movingCpu.begin(), movingCpu.end());
        state.counters["stop_median_cpu_ms"] = Median(stoppedCpu);
        state.counters["stops"] = static_cast<double>(stopped.size());
        state.counters["stop_median_ms"] = Median(stopped);
        state.counters["stop_worst_ms"] =
            stopped.empty() ? 0.0 : *std::max_element(stopped.begin(), stopped.end());
    }
};

// Before: every frame of the script painted in full, as the canvas did for each move.
void BM_PanZoomScriptFullPaints(benchmark::State& state) {
    const BoardDocument& document = *Plan().board.document;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    ScenePainter painter;
    EntityIndex index;
    index.Update(*document.DrawingModel());
    FrameTimes times;
    for (auto _ : state) {
        times = {};
        ViewTransform transform;
        transform.Fit(*document.DrawingModel()->Bounds(), kWidth, kHeight, 24.0);
        for (const Step& step : Script()) {
            if (step.kind == Step::Wheel) {
                transform.ZoomAbout({step.at.x(), step.at.y()}, std::pow(1.25, step.notches));
            } else if (step.kind == Step::Pan) {
                transform.PanByPixels({step.at.x(), step.at.y()});
            } else {
                continue;  // a stop changes nothing here: each frame was painted in full
            }
            const auto start = std::chrono::steady_clock::now();
            const double cpu = ThreadCpuMs();
            QPainter qp(&image);
            painter.Paint(qp, image.size(), document, transform, NoOverlay(), index);
            qp.end();
            times.movingCpu.push_back(ThreadCpuMs() - cpu);
            times.moving.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
    }
    times.Report(state);
}
BENCHMARK(BM_PanZoomScriptFullPaints)->Unit(benchmark::kMillisecond)->Iterations(1);

// After: the canvas itself, shown offscreen, each step painted at once (repaint); at a stop the
// canvas is left alone until its refinement timer runs, and that full paint is timed apart.
void BM_PanZoomScriptCanvas(benchmark::State& state) {
    const auto& plan = Plan();
    Canvas canvas(plan.board.app, plan.board.document);
    canvas.resize(kWidth, kHeight);
    canvas.show();
    canvas.ZoomToFit();
    canvas.repaint();
    FrameTimes times;
    for (auto _ : state) {
        times = {};
        canvas.ZoomToFit();
        canvas.repaint();
        for (const Step& step : Script()) {
            if (step.kind == Step::Stop) {
                QThread::msleep(kStillMs);
                QCoreApplication::processEvents();  // the timer: the next paint refines
                const auto start = std::chrono::steady_clock::now();
                const double cpu = ThreadCpuMs();
                canvas.repaint();
                times.stoppedCpu.push_back(ThreadCpuMs() - cpu);
                times.stopped.push_back(std::chrono::duration<double, std::milli>(
                                            std::chrono::steady_clock::now() - start)
                                            .count());
                continue;
            }
            const auto start = std::chrono::steady_clock::now();
            const double cpu = ThreadCpuMs();
            if (step.kind == Step::Wheel) {
                QWheelEvent wheel(step.at, canvas.mapToGlobal(step.at), QPoint(),
                                  QPoint(0, 120 * step.notches), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(&canvas, &wheel);
            } else {
                canvas.PanByPixels(step.at);
            }
            canvas.repaint();
            times.movingCpu.push_back(ThreadCpuMs() - cpu);
            times.moving.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
    }
    times.Report(state);
}
BENCHMARK(BM_PanZoomScriptCanvas)->Unit(benchmark::kMillisecond)->Iterations(1);

// A tool that answers each move as the picking tool does: a band from the last pick to the
// cursor (the picks are marks).
class BandingSink final : public pelimator::host::HostToolEvents {
public:
    std::shared_ptr<BoardToolObject> tool;
    BoardDocumentPtr document;
    void RapidTool_Connect(const pelimator::host::HostViewPtr&) override {}
    void RapidTool_DisConnect(const pelimator::host::HostViewPtr&) override {}
    void RapidTool_IsSnapOperation(std::int16_t& snap) override { snap = 1; }
    void RapidTool_LButtonDown(const pelimator::host::HostViewPtr&,
                               const pelimator::host::HostPointPtr&) override {}
    void RapidTool_LButtonDblck(const pelimator::host::HostViewPtr&,
                                const pelimator::host::HostPointPtr&) override {}
    void RapidTool_KeyDown(const pelimator::host::HostViewPtr&, std::int16_t,
                           std::int16_t) override {}
    void RapidTool_BackOperation(const pelimator::host::HostViewPtr&) override {}
    void RapidTool_MouseMove(const pelimator::host::HostViewPtr&,
                             const pelimator::host::HostPointPtr& p) override {
        pelimator::host::PlainPointList points;
        points.Add(2000.0, 3000.0);
        points.Add(4000.0, 5000.0);
        points.Add(p->X(), p->Y());
        auto band = std::make_shared<BoardCurve>();
        band->SetTolerance(1.0);
        band->SetPoints(0, points);
        tool->ShowRubber(band);
    }
    void RapidTool_RubberDisp(const pelimator::host::HostViewPtr&) override {}
};

// Mouse moves while picking on the plan at the fit, every snap kind on: the band, two marks, the
// snap glyph and the crosshair follow the cursor. CPU time per move, paint included.
void BM_MouseMoveWhilePicking(benchmark::State& state) {
    const auto& plan = Plan();
    BandingSink sink;
    sink.tool = plan.board.app->CreateTool();
    sink.document = plan.board.document;
    sink.tool->SetEventSink(&sink);
    sink.tool->Start();
    SnapSettings settings;
    for (const SnapKind kind : kAllSnapKinds) settings.kinds.Set(kind, true);
    plan.board.document->SnapModel()->SetSettings(settings);
    sink.tool->AddMark(1, pelimator::host::PlainPoint(2000.0, 3000.0), plan.board.document);
    sink.tool->AddMark(1, pelimator::host::PlainPoint(4000.0, 5000.0), plan.board.document);
    Canvas canvas(plan.board.app, plan.board.document);
    canvas.resize(kWidth, kHeight);
    canvas.show();
    canvas.ZoomToFit();
    canvas.repaint();
    QCoreApplication::processEvents();
    int i = 0;
    const auto moveOnce = [&] {
        const QPointF at(300.0 + (i * 37) % 1300, 200.0 + (i * 23) % 700);
        ++i;
        QMouseEvent move(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&canvas, &move);
        QCoreApplication::processEvents();  // the paint it asked for
    };
    // The first moves build the snap index and paint the first picture: not timed.
    for (int warm = 0; warm < 5; ++warm) moveOnce();
    for (auto _ : state) {
        const QPointF at(300.0 + (i * 37) % 1300, 200.0 + (i * 23) % 700);
        ++i;
        QMouseEvent move(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&canvas, &move);
        QCoreApplication::processEvents();  // the paint it asked for
    }
    sink.tool->Stop();
    sink.tool->SetEventSink(nullptr);
}
BENCHMARK(BM_MouseMoveWhilePicking)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_IndexBuildMillion(benchmark::State& state) {
    const BoardDrawing& drawing = *Board().document->DrawingModel();
    for (auto _ : state) {
        EntityIndex index;
        index.Update(drawing);
        benchmark::DoNotOptimize(index.Size());
    }
}
BENCHMARK(BM_IndexBuildMillion)->Unit(benchmark::kMillisecond);

// One mouse move of 移動's band with range(0) rows of the million selected (1,000 entities a
// row): the controller's handling of the move (its snap) and its overlay's paint, highlight and
// band. Past 2,000 selected the band is the selection's box, past 20,000 the highlight too.
void BM_BandMouseMove(benchmark::State& state) {
    MillionBoard& board = Board();
    Canvas canvas(board.app, board.document);
    canvas.resize(kWidth, kHeight);
    ViewTransform transform;
    transform.Fit(*board.document->DrawingModel()->Bounds(), kWidth, kHeight, 24.0);
    canvas.SetTransform(transform);
    EditController controller(board.app, &canvas);
    const double top = static_cast<double>(state.range(0)) * 10.0 - 5.0;
    controller.SetSelection(
        PickInWindow(*board.document, Box{{-1.0, -1.0}, {10001.0, top}}, false));
    controller.StartMove();
    const auto send = [&](QEvent::Type type, QPointF at) {
        QMouseEvent event(type, at, at, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&canvas, &event);
    };
    send(QEvent::MouseButtonPress, canvas.ToScreen({5000.0, 500.0}));
    send(QEvent::MouseButtonRelease, canvas.ToScreen({5000.0, 500.0}));
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        send(QEvent::MouseMove, QPointF(300.0 + (step++ % 200), 400.0));
        QPainter painter(&image);
        controller.Paint(painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["selected"] = static_cast<double>(controller.Current().entities.size());
    controller.CancelCommand();
}
BENCHMARK(BM_BandMouseMove)->Arg(2)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond);

// The highlight drawn anew (a new selection, a zoom or a pan) for range(0) rows selected.
void BM_HighlightRedraw(benchmark::State& state) {
    MillionBoard& board = Board();
    Canvas canvas(board.app, board.document);
    canvas.resize(kWidth, kHeight);
    ViewTransform transform;
    transform.Fit(*board.document->DrawingModel()->Bounds(), kWidth, kHeight, 24.0);
    canvas.SetTransform(transform);
    EditController controller(board.app, &canvas);
    const double top = static_cast<double>(state.range(0)) * 10.0 - 5.0;
    const Selection selection =
        PickInWindow(*board.document, Box{{-1.0, -1.0}, {10001.0, top}}, false);
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        controller.SetSelection(selection);
        QPainter painter(&image);
        controller.Paint(painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["selected"] = static_cast<double>(selection.entities.size());
}
BENCHMARK(BM_HighlightRedraw)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);

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
