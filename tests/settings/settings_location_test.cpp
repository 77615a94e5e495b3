// Where the settings file lives: the installed program against one run from its build folder.
#include "settings/settings_location.h"

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace pelimator::settings {
namespace {

struct PlaceRow {
    const char* name;
    ProgramPlace place;
    const char* expected;
};
// Rows are named in test output.
void PrintTo(const PlaceRow& row, std::ostream* os) { *os << row.name; }

class SettingsLocationRows : public ::testing::TestWithParam<PlaceRow> {};

TEST_P(SettingsLocationRows, ChoosesTheFile) {
    const PlaceRow& row = GetParam();
    EXPECT_EQ(ChooseSettingsFile(row.place), row.expected);
    EXPECT_EQ(IsInstalledProgram(row.place),
              std::string(row.expected).find("/Pelimator/Korvane.ini") != std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SettingsLocationRows,
    ::testing::Values(PlaceRow{"BuildFolder",
                               {"/src/pelimator/build/dev/src/app", true, "", "/home/u"},
                               "/src/pelimator/build/dev/src/app/Korvane.ini"},
                      PlaceRow{"UsrBin",
                               {"/usr/bin", false, "", "/home/u"},
                               "/home/u/.config/Pelimator/Korvane.ini"},
                      PlaceRow{"UsrBinWritableAsRoot",
                               {"/usr/bin", true, "", "/root"},
                               "/root/.config/Pelimator/Korvane.ini"},
                      PlaceRow{"LocalBinWithTrailingSlash",
                               {"/home/u/.local/bin/", true, "", "/home/u"},
                               "/home/u/.config/Pelimator/Korvane.ini"},
                      PlaceRow{"ConfigHomeWins",
                               {"/usr/local/bin", false, "/data/conf", "/home/u"},
                               "/data/conf/Pelimator/Korvane.ini"},
                      PlaceRow{"RelativeConfigHomeIgnored",
                               {"/usr/bin", false, "conf", "/home/u"},
                               "/home/u/.config/Pelimator/Korvane.ini"},
                      PlaceRow{"ReadOnlyFolderNotNamedBin",
                               {"/opt/pelimator", false, "", "/home/u"},
                               "/home/u/.config/Pelimator/Korvane.ini"},
                      PlaceRow{"FolderMerelyContainingBin",
                               {"/home/u/binaries", true, "", "/home/u"},
                               "/home/u/binaries/Korvane.ini"},
                      PlaceRow{"BinInTheMiddleOfThePath",
                               {"/opt/bin/pelimator", true, "", "/home/u"},
                               "/opt/bin/pelimator/Korvane.ini"},
                      PlaceRow{"InstalledWithoutHomeStaysBeside",
                               {"/usr/bin", false, "", ""},
                               "/usr/bin/Korvane.ini"},
                      PlaceRow{"InstalledWithOnlyConfigHome",
                               {"/usr/bin", false, "/c", ""},
                               "/c/Pelimator/Korvane.ini"}),
    [](const auto& row) { return std::string(row.param.name); });

// The process-level choice reads the environment and asks the file system.
TEST(SettingsFileForProgram, ReadsTheEnvironment) {
    const testing::TempDir dir;
    const std::string bin = (dir.Path() / "bin").string();
    const std::string build = (dir.Path() / "build").string();
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(build);
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = savedConfig != nullptr ? savedConfig : "";
    ::setenv("XDG_CONFIG_HOME", (dir.Path() / "conf").c_str(), 1);
    EXPECT_EQ(SettingsFileForProgram(bin), (dir.Path() / "conf/Pelimator/Korvane.ini").string());
    EXPECT_EQ(SettingsFileForProgram(build), build + "/Korvane.ini");
    if (savedConfig != nullptr) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace pelimator::settings
