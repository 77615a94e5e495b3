// The batch command's options: parsing the command line and the help text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board/export/export_sheet.h"
#include "line/line_run.h"
#include "settings/settings_file.h"

namespace pelimator::batch {

// Where the paths come from.
enum class PathSource : std::uint8_t {
    PointsFile,  // a text file of picked points ("-": standard input)
    Layers,      // lines and arcs of named layers of the input drawing
    None,        // no paths: only a picture of the drawing is exported
    Convert,     // no paths: the input drawing saved as the output (DXF from JWW, ...)
};

enum class PictureFormat : std::uint8_t { Svg, Pdf, Png };

// --export: the picture the window's File menu would export, after the paths are drawn.
struct PictureRequest {
    std::string path;
    PictureFormat format = PictureFormat::Svg;
    // The sheet (none: for a PDF the smallest that holds the drawing at scale, landscape first,
    // for SVG and PNG the drawing plus its margin; A4 landscape when fitted) and whether the
    // drawing is fitted to it.
    std::optional<board::Sheet> sheet;
    bool fit = false;
    std::int32_t dpi = 254;  // PNG
};

// The dots per inch --dpi takes.
inline constexpr std::int32_t kMinDpi = 10;
inline constexpr std::int32_t kMaxDpi = 2400;

struct BatchOptions {
    bool help = false;
    std::string input;  // the drawing to add to; empty: a new drawing
    PathSource source = PathSource::PointsFile;
    std::string pointsFile;           // with PathSource::PointsFile
    std::vector<std::string> layers;  // with PathSource::Layers: names or numbers
    settings::LineKind lineKind = settings::LineKind::Wave;
    // Unset: through the points for picked points (the main window's default), a polyline for
    // paths taken from the drawing (they follow it as drawn).
    std::optional<settings::PathKind> pathKind;
    std::int32_t magnification = 100;  // percent, 10..1000
    settings::UpSide up = settings::UpSide::Left;
    std::int32_t scaleDenominator = 1;               // 1:N for a drawing that stores no scale
    std::int64_t maxEntities = kDefaultEntityLimit;  // of the whole run, refused above
    bool scaleGiven = false;
    std::string settingsFile;  // empty: Korvane.ini beside the program
    std::string output;        // empty: beside the input with kOutputSuffix
    bool overwriteInput = false;
    bool allowLoss = false;  // save even when the drawing's version cannot hold everything
    bool force = false;      // replace outputs whose permissions forbid writing (mode 0444)
    std::optional<PictureRequest> picture;
    // --fit-end / --no-fit-end: the pitch fitted so each line ends on its path's end; unset: as
    // the settings file's [Board] FitEnd says, as in the window.
    std::optional<bool> fitEnd;
};

// Added to the input's name (its ".dxf" dropped) when no output file is named.
inline constexpr const char* kOutputSuffix = "-pelimator.dxf";
// The same for a JWW input (its ".jww" dropped).
inline constexpr const char* kOutputSuffixJww = "-pelimator.jww";

// Reads the arguments after the program's name. UsageError (a Japanese sentence naming the
// option) for anything it cannot take; --help anywhere gives options with help set and nothing
// else checked.
[[nodiscard]] BatchOptions ParseOptions(std::span<const std::string> args);

// The output file for options: the one named, or the input's name with kOutputSuffix.
[[nodiscard]] std::string OutputPathFor(const BatchOptions& options);

// The --help text (UTF-8, ends with a newline); program is the name shown in the usage line.
[[nodiscard]] std::string HelpText(const std::string& program);

}  // namespace pelimator::batch
