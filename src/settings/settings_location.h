// Where the settings file lives: beside a program run from its build folder, in the user's
// configuration folder for an installed one.
#pragma once

#include <string>

namespace pelimator::settings {

// What the choice looks at, gathered by SettingsFileForProgram; separate so that every case can
// be tried without installing anything.
struct ProgramPlace {
    std::string programDir;  // the folder of the running executable
    bool programDirWritable = true;
    std::string configHome;  // $XDG_CONFIG_HOME, may be empty
    std::string home;        // $HOME, may be empty
};

// An installed program is one whose folder is named "bin" (every install prefix puts it there:
// /usr/bin, /usr/local/bin, ~/.local/bin; a build folder never is) or whose folder it may not
// write to (every save would fail there). It keeps the file in the user's configuration folder:
// $XDG_CONFIG_HOME (when absolute) or $HOME/.config, then "Pelimator/Korvane.ini". Any other
// program keeps it beside itself (SettingsFilePath), as does an installed one without either
// variable (nowhere better to go).
[[nodiscard]] std::string ChooseSettingsFile(const ProgramPlace& place);

// True when ChooseSettingsFile picks the configuration folder for place.
[[nodiscard]] bool IsInstalledProgram(const ProgramPlace& place);

// The choice for this process: programDir as given, its writability asked of the system, the
// two variables from the environment.
[[nodiscard]] std::string SettingsFileForProgram(const std::string& programDir);

}  // namespace pelimator::settings
