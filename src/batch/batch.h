// pelimator-batch: wave or zigzag lines along many paths of a DXF drawing, from the command line.
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string>

#include "batch/options.h"

namespace pelimator::board {
class BoardDocument;
}

namespace pelimator::batch {

// Exit statuses of the command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // bad input, a path that cannot be drawn, a write error
inline constexpr int kExitUsage = 2;    // a command line that cannot be understood

// The streams of one run and whether standard error is a terminal.
struct BatchStreams {
    std::istream& in;   // picked points read with --points -
    std::ostream& out;  // --help
    std::ostream& err;  // progress, summary and messages
    bool errIsTerminal = false;
};

// Writes the picture --export asks for (the sheet already chosen): the board's export, which
// needs Qt. Raises an Error (board::FileError) when it cannot.
using PictureWriter =
    std::function<void(const board::BoardDocument& document, const PictureRequest& picture)>;

// Runs the command: args[0] is the program's name, the rest its arguments. Every path is drawn
// through DrawLine, exactly as the interactive drawing run draws a line, each as one edit step;
// then the picture of --export is written (through writePicture; without one, --export is
// refused as not built in), then the output file once at the end; nothing is written after a
// failure. programDir locates the default settings file (empty: found through /proc/self/exe).
int RunBatch(std::span<const std::string> args, BatchStreams& streams,
             const std::string& programDir = {}, const PictureWriter& writePicture = {});

// The program's own directory, from /proc/self/exe ("" when it cannot be read).
[[nodiscard]] std::string ProgramDirectory();

}  // namespace pelimator::batch
