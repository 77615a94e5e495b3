// Reading and writing the settings file's keys with their defaults and ranges.
#include "settings/settings_file.h"

#include <algorithm>
#include <array>

namespace pelimator::settings {
namespace {

std::int16_t OptionIndex(const clsIniEdit& ini, const char* key, std::int16_t defaultValue,
                         std::int16_t last) {
    const std::int32_t value = ini.GetInt("Main", key, defaultValue);
    return value >= 0 && value <= last ? static_cast<std::int16_t>(value) : defaultValue;
}

std::int32_t Clamped(const clsIniEdit& ini, const char* section, const char* key,
                     std::int32_t defaultValue, std::int32_t low, std::int32_t high) {
    return std::clamp(ini.GetInt(section, key, defaultValue), low, high);
}

std::int32_t Length(const clsIniEdit& ini, const char* section, const char* key,
                    std::int32_t defaultValue) {
    return Clamped(ini, section, key, defaultValue, kLengthMin, kLengthMax);
}

std::int32_t Change(const clsIniEdit& ini) { return ini.GetInt("Layer", "Change", 1) == 1 ? 1 : 0; }

std::int32_t Layer(const clsIniEdit& ini) {
    return Clamped(ini, "Layer", "Number", 200, kLayerMin, kLayerMax);
}

}  // namespace

std::string SettingsFilePath(const std::string& programDir) {
    if (programDir.empty()) return "Korvane.ini";
    return programDir.back() == '/' ? programDir + "Korvane.ini" : programDir + "/Korvane.ini";
}

MainOptions ReadMainOptions(const clsIniEdit& ini) {
    MainOptions o;
    o.Poly = OptionIndex(ini, "Poly", 2, 2);
    o.Type = OptionIndex(ini, "Type", 0, 1);
    o.Mag = Clamped(ini, "Main", "Mag", 100, kMagMin, kMagMax);
    o.Dir = OptionIndex(ini, "Dir", 0, 1);
    return o;
}

bool WriteMainOptions(clsIniEdit& ini, const MainOptions& o) {
    const std::string poly = std::to_string(o.Poly);
    const std::string type = std::to_string(o.Type);
    const std::string mag = std::to_string(o.Mag);
    const std::string dir = std::to_string(o.Dir);
    const std::array<ProfileChange, 4> entries{{{"Main", "Poly", poly},
                                                {"Main", "Type", type},
                                                {"Main", "Mag", mag},
                                                {"Main", "Dir", dir}}};
    return ini.WriteStrings(entries) != 0;
}

RunSettings ReadRunSettings(const clsIniEdit& ini) {
    RunSettings s;
    s.LayerChange = Change(ini);
    s.LayerNumber = Layer(ini);
    s.WaveWidth = Length(ini, "Wave", "Width", 5);
    s.WaveRadius = Length(ini, "Wave", "Radius", 4);
    s.ZigzagWidth = Length(ini, "Zigzag", "Width", 5);
    s.ZigzagHeight = Length(ini, "Zigzag", "Height", 3);
    return s;
}

DialogSettings ReadDialogSettings(const clsIniEdit& ini) {
    DialogSettings s;
    s.WaveWidth = Length(ini, "Wave", "Width", 5);
    s.WaveRadius = Length(ini, "Wave", "Radius", 3);
    s.ZigzagWidth = Length(ini, "Zigzag", "Width", 5);
    s.ZigzagHeight = Length(ini, "Zigzag", "Height", 5);
    s.LayerChange = Change(ini);
    s.LayerNumber = Layer(ini);
    return s;
}

bool WriteDialogSettings(clsIniEdit& ini, const DialogSettings& s) {
    const std::array<std::string, 6> values{
        std::to_string(s.WaveWidth),   std::to_string(s.WaveRadius),
        std::to_string(s.ZigzagWidth), std::to_string(s.ZigzagHeight),
        std::to_string(s.LayerChange), std::to_string(s.LayerNumber)};
    const std::array<ProfileChange, 6> entries{{{"Wave", "Width", values[0]},
                                                {"Wave", "Radius", values[1]},
                                                {"Zigzag", "Width", values[2]},
                                                {"Zigzag", "Height", values[3]},
                                                {"Layer", "Change", values[4]},
                                                {"Layer", "Number", values[5]}}};
    return ini.WriteStrings(entries) != 0;
}

}  // namespace pelimator::settings
