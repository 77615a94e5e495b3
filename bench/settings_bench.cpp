// Cost of the settings file's reads and atomic writes, on the settings file and on a large file.
#include <string>

#include <benchmark/benchmark.h>

#include "settings/ini_edit.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace {

using pelimator::settings::clsIniEdit;

// A settings file in a scratch directory, removed afterwards.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& content) : m_path(m_dir.File("Korvane.ini")) {
        pelimator::testing::WriteBytes(m_path, content);
    }
    [[nodiscard]] const std::string& Path() const { return m_path; }

private:
    pelimator::testing::TempDir m_dir;
    std::string m_path;
};

const char* const kSettings =
    "[Main]\nPoly=2\nType=0\nMag=100\nDir=0\n[Wave]\nWidth=5\nRadius=3\n[Zigzag]\nWidth=5\n"
    "Height=5\n[Layer]\nChange=1\nNumber=200\n";

std::string LargeFile(int sections) {
    std::string text;
    for (int s = 0; s < sections; ++s) {
        text += "[Section" + std::to_string(s) + "]\n";
        for (int k = 0; k < 10; ++k)
            text += "Key" + std::to_string(k) + "=" + std::to_string(s) + "\n";
    }
    return text + kSettings;
}

void BM_ReadDialogSettings(benchmark::State& state) {
    ScratchFile file(state.range(0) == 0 ? std::string(kSettings)
                                         : LargeFile(static_cast<int>(state.range(0))));
    clsIniEdit ini;
    ini.IniFilePath(file.Path());
    for (auto _ : state) benchmark::DoNotOptimize(pelimator::settings::ReadDialogSettings(ini));
}
BENCHMARK(BM_ReadDialogSettings)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_WriteDialogSettings(benchmark::State& state) {
    ScratchFile file(state.range(0) == 0 ? std::string(kSettings)
                                         : LargeFile(static_cast<int>(state.range(0))));
    clsIniEdit ini;
    ini.IniFilePath(file.Path());
    pelimator::settings::DialogSettings s;
    for (auto _ : state) {
        s.LayerNumber = s.LayerNumber == 200 ? 201 : 200;  // a real change every time
        benchmark::DoNotOptimize(pelimator::settings::WriteDialogSettings(ini, s));
    }
}
BENCHMARK(BM_WriteDialogSettings)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
