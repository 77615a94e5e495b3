// The settings file Korvane.ini: its path, keys, defaults, ranges, and one reader per user.
#pragma once

#include <cstdint>
#include <string>

#include "settings/ini_edit.h"

namespace pelimator::settings {

// programDir + "/" (unless it already ends in "/") + "Korvane.ini"; an empty programDir gives
// "Korvane.ini" (the current directory).
std::string SettingsFilePath(const std::string& programDir);

// Why the settings file at path cannot be used, for a message: "設定ファイルを読めません: ", the
// reason (larger than kMaxProfileBytes, a folder, no permission, ...) and the path in brackets,
// no final "。"; empty when it can be read or does not exist (the defaults apply). Its values are
// never silently replaced by the defaults: the drawing run and the batch command refuse to draw
// while this is not empty.
[[nodiscard]] std::string SettingsReadProblem(const std::string& path);

// What a failed write of the settings file at path says: "設定ファイルに書き込めませんでした: ",
// the reason of this thread's last failed write (LastProfileWriteError) and the path in
// brackets, no final "。".
[[nodiscard]] std::string SettingsWriteFailure(const std::string& path);

inline constexpr std::int32_t kMagMin = 10, kMagMax = 1000, kMagStep = 1;  // main window spinner
inline constexpr std::int32_t kLengthMin = 1, kLengthMax = 50, kLayerMin = 1, kLayerMax = 999999999;

// The wave's arcs can only span the width when the radius is at least half of it.
[[nodiscard]] constexpr bool WaveRadiusFits(std::int32_t radius, std::int32_t width) noexcept {
    return 2 * static_cast<std::int64_t>(radius) >= width;
}
// What the user is told when WaveRadiusFits is false (the dialog, the window and the batch).
inline constexpr const char* kRadiusTooSmallMessage = "半径(R)は幅(W)÷２以上に設定して下さい。";

// Readers bring values the program never writes back into range: an option index outside its
// group gives the default; lengths, the layer number and the magnification are clamped to their
// spinner's range; "Change" becomes 1 when it is 1 and 0 otherwise. A wave radius below half the
// width is left alone: the drawing run refuses it.

// The main window's choices. The file stores each as its option index (the enumerator's value);
// the readers turn any other number into the default, so no code meets an impossible kind.
enum class PathKind : std::uint8_t {
    Polyline = 0,       // 折れ線
    NearPoints = 1,     // 点近傍曲線: a smooth curve near the points
    ThroughPoints = 2,  // 点通過曲線: a smooth curve through every point
};
enum class LineKind : std::uint8_t { Wave = 0, Zigzag = 1 };
enum class UpSide : std::uint8_t { Left = 0, Right = 1 };  // seen along the direction of travel

// Section "Main": the main window's options (keys Poly, Type, Mag in percent, Dir).
struct MainOptions {
    PathKind Poly = PathKind::ThroughPoints;
    LineKind Type = LineKind::Wave;
    std::int32_t Mag = 100;
    UpSide Dir = UpSide::Left;
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

// What the settings dialog shows and saves: the values the drawing run uses, with the run's
// defaults for keys the file lacks, so the dialog never shows one value while lines are drawn
// with another, and OK without a change changes nothing.
using DialogSettings = RunSettings;
DialogSettings ReadDialogSettings(const clsIniEdit& ini);
// The six keys in order, in one replacement of the file: all written (true) or none (false).
bool WriteDialogSettings(clsIniEdit& ini, const DialogSettings& s);

// What the readers made of values the program never writes (a hand-edited "Width=abc", a length
// past its range): one Japanese sentence per such key of the run's six, naming the key, its text
// and the value used instead; "" when every key present is a whole number in its range.
[[nodiscard]] std::string SettingsValueNotes(const clsIniEdit& ini);

// Section "Board": the choices the board's menus make for the tool, kept apart from the main
// window's keys. FitEnd (0/1, default 0): the pitch is fitted so a line ends where its path ends.
// Preview (0/1, default 1): the line a double click would draw is shown while picking. Any
// number but 1 (FitEnd) or 0 (Preview) gives the default.
// AutosaveMinutes (default 5): how often the board autosaves modified drawings for recovery
// after a crash; 0 switches autosave off; other numbers are brought into 1 to 120.
// AutosaveSeconds, when present, sets the interval to the second instead (0 off, others brought
// into 1 to 7200): for a drafter who wants it more often than every minute, and for tests.
struct BoardChoices {
    bool FitEnd = false;
    bool Preview = true;
    std::int32_t AutosaveMinutes = 5;
    std::int32_t AutosaveSeconds = 300;  // the interval in effect, from either key; 0: off
};
inline constexpr std::int32_t kAutosaveMinutesMax = 120;
inline constexpr std::int32_t kAutosaveSecondsMax = kAutosaveMinutesMax * 60;
BoardChoices ReadBoardChoices(const clsIniEdit& ini);
// One key in one replacement of the file; true when written.
bool WriteFitEnd(clsIniEdit& ini, bool fitEnd);
bool WritePreview(clsIniEdit& ini, bool preview);

}  // namespace pelimator::settings
