// The settings file Korvane.ini: its path, keys, defaults, ranges, and one reader per user.
#pragma once

#include <cstdint>
#include <string>

#include "settings/ini_edit.h"

namespace pelimator::settings {

// programDir + "/" (unless it already ends in "/") + "Korvane.ini"; an empty programDir gives
// "Korvane.ini" (the current directory).
std::string SettingsFilePath(const std::string& programDir);

inline constexpr std::int32_t kMagMin = 10, kMagMax = 1000, kMagStep = 1;  // main window spinner
inline constexpr std::int32_t kLengthMin = 1, kLengthMax = 50, kLayerMin = 1, kLayerMax = 999999999;

// Readers bring values the program never writes back into range: an option index outside its
// group gives the default; lengths, the layer number and the magnification are clamped to their
// spinner's range; "Change" becomes 1 when it is 1 and 0 otherwise. A wave radius below half the
// width is left alone: the drawing run refuses it.

// Section "Main": the main window's options. Poly 0 polyline, 1 near, 2 through the points;
// Type 0 wave, 1 zigzag; Mag percent; Dir 0 left, 1 right.
struct MainOptions {
    std::int16_t Poly = 2;
    std::int16_t Type = 0;
    std::int32_t Mag = 100;
    std::int16_t Dir = 0;
};
MainOptions ReadMainOptions(const clsIniEdit& ini);  // main window start-up
// After a line: Poly, Type, Mag, Dir, in one replacement of the file. True when written.
bool WriteMainOptions(clsIniEdit& ini, const MainOptions& o);

// What the drawing run uses; lengths in millimetres.
struct RunSettings {
    std::int32_t WaveWidth = 5, WaveRadius = 4, ZigzagWidth = 5, ZigzagHeight = 3, LayerChange = 1,
                 LayerNumber = 200;
};
RunSettings ReadRunSettings(const clsIniEdit& ini);  // the drawing run's defaults

// What the settings dialog shows and saves.
struct DialogSettings {
    std::int32_t WaveWidth = 5, WaveRadius = 3, ZigzagWidth = 5, ZigzagHeight = 5, LayerChange = 1,
                 LayerNumber = 200;
};
DialogSettings ReadDialogSettings(const clsIniEdit& ini);  // the dialog's defaults
// The six keys in order, in one replacement of the file: all written (true) or none (false).
bool WriteDialogSettings(clsIniEdit& ini, const DialogSettings& s);

}  // namespace pelimator::settings
