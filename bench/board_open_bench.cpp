// Opening the 1,000,000-arc drawing in the board's window as 開く does: time from choosing the
// file to the first full picture on the canvas, and the process's memory then, against the file.
// Run each benchmark in a process of its own (--benchmark_filter) for a clean peak.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include "batch/batch.h"
#include "board/ui/board_window.h"
#include "board/ui/canvas.h"
#include "board/ui/window_file_menu.h"
#include "support/temp_dir.h"

namespace {

using namespace pelimator::board;

std::string
    g_file;  // the drawing: $PELIMATOR_BIG_DXF (written there when missing) or a scratch one

// Writes the drawing pelimator-batch makes from 1,000 straight paths of 1,001 points (wave,
// 5 mm, 1:1) as file, in a child process so that this one's memory stays clean.
void WriteDrawing(const std::filesystem::path& file) {
    const std::filesystem::path dir = file.parent_path();
    const pid_t child = fork();
    if (child == 0) {
        {
            std::ofstream points(dir / "points.txt");
            for (int p = 0; p < 1000; ++p) {
                for (int i = 0; i < 1001; ++i) points << i * 5 << " " << p * 100 << "\n";
                points << "\n";
            }
            std::ofstream(dir / "Korvane.ini") << "[Wave]\nWidth=5\nRadius=4\n";
        }
        const std::vector<std::string> args{
            "pelimator-batch", "--points", (dir / "points.txt").string(), "--path", "0", "-o",
            file.string()};
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        pelimator::batch::BatchStreams streams{in, out, err, false};
        _exit(pelimator::batch::RunBatch(args, streams, dir.string()));
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || status != 0) std::abort();
}

// Resident and peak memory of this process in MB (/proc/self/status).
double StatusMb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(std::string(key).size())) / 1024.0;
    }
    return 0.0;
}

// Opens the drawing in a fresh window (background read, or the read on the window's thread)
// and waits for the first full picture of it.
void OpenAndWait(benchmark::State& state, bool background) {
    QTemporaryDir settings;
    double fileMb = static_cast<double>(std::filesystem::file_size(g_file)) / 1e6;
    double seconds = 0.0;
    for (auto _ : state) {
        const auto application = BoardApplication::Create();
        BoardWindow window(application);
        WindowFileMenu files(
            window, std::make_unique<QSettings>(settings.filePath("s.ini"), QSettings::IniFormat));
        window.resize(1600, 1000);
        application->SetVisible(true);
        QCoreApplication::processEvents();
        const double baseMb = StatusMb("VmRSS:");
        // Wakes the wait below now and then; the wait itself sleeps between events.
        QTimer tick;
        tick.start(20);
        const auto start = std::chrono::steady_clock::now();
        if (background) {
            files.Actions().OpenFileInBackground(QString::fromStdString(g_file));
        } else {
            files.Actions().OpenFile(QString::fromStdString(g_file));
        }
        const auto since = [&start] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        double added = 0.0;  // when the read drawing became the window's document
        for (;;) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const Canvas* canvas = window.CurrentCanvas();
            const bool opened = canvas != nullptr && !canvas->Document()->Path().empty();
            if (opened && added == 0.0) added = since();
            if (opened && canvas->PictureIsExact()) break;
        }
        seconds = since();
        state.counters["added_s"] = added;
        state.SetIterationTime(seconds);
        state.counters["first_picture_s"] = seconds;
        state.counters["window_before_MB"] = baseMb;
        state.counters["rss_MB"] = StatusMb("VmRSS:");
        state.counters["peak_MB"] = StatusMb("VmHWM:");
        state.counters["file_MB"] = fileMb;
        state.counters["rss_per_file"] = StatusMb("VmRSS:") / fileMb;
        state.counters["peak_per_file"] = StatusMb("VmHWM:") / fileMb;
    }
}

void BM_OpenToFirstPicture(benchmark::State& state) { OpenAndWait(state, true); }
BENCHMARK(BM_OpenToFirstPicture)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

// For comparison: the read on the window's thread (what 開く did before).
void BM_OpenToFirstPictureBlocking(benchmark::State& state) { OpenAndWait(state, false); }
BENCHMARK(BM_OpenToFirstPictureBlocking)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    std::optional<pelimator::testing::TempDir> scratch;
    if (const char* given = std::getenv("PELIMATOR_BIG_DXF")) {
        g_file = given;
        if (!std::filesystem::exists(g_file)) WriteDrawing(g_file);
    } else {
        g_file = scratch.emplace().File("big.dxf");
        WriteDrawing(g_file);
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
