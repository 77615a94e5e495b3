// The settings file of an installed program and of one run from its build folder.
#include "settings/settings_location.h"

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "settings/settings_file.h"

namespace pelimator::settings {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string ConfigFolder(const ProgramPlace& place) {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules ask.
    if (!place.configHome.empty() && place.configHome.front() == '/') return place.configHome;
    if (!place.home.empty()) return (std::filesystem::path(place.home) / ".config").string();
    return {};
}

}  // namespace

bool IsInstalledProgram(const ProgramPlace& place) {
    if (ConfigFolder(place).empty()) return false;
    if (!place.programDirWritable) return true;
    std::string dir = place.programDir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir.substr(dir.find_last_of('/') + 1) == "bin";
}

std::string ChooseSettingsFile(const ProgramPlace& place) {
    if (!IsInstalledProgram(place)) return SettingsFilePath(place.programDir);
    return (std::filesystem::path(ConfigFolder(place)) / "Pelimator" / "Korvane.ini").string();
}

std::string SettingsFileForProgram(const std::string& programDir) {
    ProgramPlace place;
    place.programDir = programDir;
    place.programDirWritable = ::access(programDir.empty() ? "." : programDir.c_str(), W_OK) == 0;
    place.configHome = Variable("XDG_CONFIG_HOME");
    place.home = Variable("HOME");
    return ChooseSettingsFile(place);
}

}  // namespace pelimator::settings
