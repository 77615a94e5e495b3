// Reading and writing the settings file's keys with their defaults and ranges.
#include "settings/settings_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <string_view>
#include <system_error>

namespace pelimator::settings {
namespace {

// An option index as its enumerator; a number outside [0, last] gives the default.
template <typename Kind>
Kind OptionIndex(const clsIniEdit& ini, const char* key, Kind defaultValue, Kind last) {
    const std::int32_t value = ini.GetInt("Main", key, static_cast<std::int32_t>(defaultValue));
    return value >= 0 && value <= static_cast<std::int32_t>(last) ? static_cast<Kind>(value)
                                                                  : defaultValue;
}

template <typename Kind>
std::string IndexText(Kind kind) {
    return std::to_string(static_cast<int>(kind));
}

std::int32_t Clamped(const clsIniEdit& ini, const char* section, const char* key,
                     std::int32_t defaultValue, std::int32_t low, std::int32_t high) {
    return std::clamp(ini.GetInt(section, key, defaultValue), low, high);
}

std::int32_t Length(const clsIniEdit& ini, const char* section, const char* key,
                    std::int32_t defaultValue) {
    return Clamped(ini, section, key, defaultValue, kLengthMin, kLengthMax);
}

// The defaults are the structures' own initial values, written once in the header.
std::int32_t Change(const clsIniEdit& ini, std::int32_t defaultValue) {
    return ini.GetInt("Layer", "Change", defaultValue) == 1 ? 1 : 0;
}

std::int32_t Layer(const clsIniEdit& ini, std::int32_t defaultValue) {
    return Clamped(ini, "Layer", "Number", defaultValue, kLayerMin, kLayerMax);
}

// Whether text (blanks around it allowed) is a whole number from low to high, as the program
// itself writes them.
bool WholeNumberIn(std::string_view text, std::int32_t low, std::int32_t high) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && value >= low &&
           value <= high;
}

}  // namespace

std::string SettingsReadProblem(const std::string& path) {
    const std::string reason = ProfileReadProblem(path);
    if (reason.empty()) return {};
    return "設定ファイルを読めません: " + reason + " (" + path + ")";
}

std::string SettingsWriteFailure(const std::string& path) {
    const std::string& reason = LastProfileWriteError();
    return "設定ファイルに書き込めませんでした" + (reason.empty() ? "" : ": " + reason) + " (" +
           path + ")";
}

std::string SettingsFilePath(const std::string& programDir) {
    if (programDir.empty()) return "Korvane.ini";
    return programDir.back() == '/' ? programDir + "Korvane.ini" : programDir + "/Korvane.ini";
}

MainOptions ReadMainOptions(const clsIniEdit& ini) {
    const MainOptions d;
    MainOptions o;
    o.Poly = OptionIndex(ini, "Poly", d.Poly, PathKind::ThroughPoints);
    o.Type = OptionIndex(ini, "Type", d.Type, LineKind::Zigzag);
    o.Mag = Clamped(ini, "Main", "Mag", d.Mag, kMagMin, kMagMax);
    o.Dir = OptionIndex(ini, "Dir", d.Dir, UpSide::Right);
    return o;
}

bool WriteMainOptions(clsIniEdit& ini, const MainOptions& o) {
    const std::string poly = IndexText(o.Poly);
    const std::string type = IndexText(o.Type);
    const std::string mag = std::to_string(o.Mag);
    const std::string dir = IndexText(o.Dir);
    const std::array<ProfileChange, 4> entries{{{"Main", "Poly", poly},
                                                {"Main", "Type", type},
                                                {"Main", "Mag", mag},
                                                {"Main", "Dir", dir}}};
    return ini.WriteStrings(entries) != 0;
}

RunSettings ReadRunSettings(const clsIniEdit& ini) {
    const RunSettings d;
    RunSettings s;
    s.LayerChange = Change(ini, d.LayerChange);
    s.LayerNumber = Layer(ini, d.LayerNumber);
    s.WaveWidth = Length(ini, "Wave", "Width", d.WaveWidth);
    s.WaveRadius = Length(ini, "Wave", "Radius", d.WaveRadius);
    s.ZigzagWidth = Length(ini, "Zigzag", "Width", d.ZigzagWidth);
    s.ZigzagHeight = Length(ini, "Zigzag", "Height", d.ZigzagHeight);
    return s;
}

DialogSettings ReadDialogSettings(const clsIniEdit& ini) { return ReadRunSettings(ini); }

std::string SettingsValueNotes(const clsIniEdit& ini) {
    const RunSettings used = ReadRunSettings(ini);
    struct Key {
        const char* section;
        const char* name;
        std::int32_t low;
        std::int32_t high;
        std::int32_t used;
    };
    const std::array<Key, 6> keys{{{"Wave", "Width", kLengthMin, kLengthMax, used.WaveWidth},
                                   {"Wave", "Radius", kLengthMin, kLengthMax, used.WaveRadius},
                                   {"Zigzag", "Width", kLengthMin, kLengthMax, used.ZigzagWidth},
                                   {"Zigzag", "Height", kLengthMin, kLengthMax, used.ZigzagHeight},
                                   {"Layer", "Change", 0, 1, used.LayerChange},
                                   {"Layer", "Number", kLayerMin, kLayerMax, used.LayerNumber}}};
    std::string notes;
    for (const Key& key : keys) {
        const std::string text = ini.GetString(key.section, key.name, "");
        if (text.empty() || WholeNumberIn(text, key.low, key.high)) continue;
        notes += "設定ファイルの [" + std::string(key.section) + "] " + key.name + "=" + text +
                 " は使えないので " + std::to_string(key.used) + " を使います。";
    }
    return notes;
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

BoardChoices ReadBoardChoices(const clsIniEdit& ini) {
    const BoardChoices d;
    BoardChoices c;
    c.FitEnd = ini.GetInt("Board", "FitEnd", d.FitEnd ? 1 : 0) == 1;
    c.Preview = ini.GetInt("Board", "Preview", d.Preview ? 1 : 0) != 0;
    const std::int32_t minutes = ini.GetInt("Board", "AutosaveMinutes", d.AutosaveMinutes);
    c.AutosaveMinutes = minutes == 0 ? 0 : std::clamp(minutes, 1, kAutosaveMinutesMax);
    c.AutosaveSeconds = c.AutosaveMinutes * 60;
    constexpr std::int32_t kAbsent = std::numeric_limits<std::int32_t>::min();
    const std::int32_t seconds = ini.GetInt("Board", "AutosaveSeconds", kAbsent);
    if (seconds != kAbsent) {
        c.AutosaveSeconds = seconds == 0 ? 0 : std::clamp(seconds, 1, kAutosaveSecondsMax);
    }
    return c;
}

bool WriteFitEnd(clsIniEdit& ini, bool fitEnd) {
    return ini.WriteString("Board", "FitEnd", fitEnd ? "1" : "0") != 0;
}

bool WritePreview(clsIniEdit& ini, bool preview) {
    return ini.WriteString("Board", "Preview", preview ? "1" : "0") != 0;
}

}  // namespace pelimator::settings
