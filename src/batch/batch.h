// pelimator-batch: wave or zigzag lines along many paths of a DXF drawing, from the command line.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

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

// Runs the command: args[0] is the program's name, the rest its arguments. Every path is drawn
// through DrawLine, exactly as the interactive drawing run draws a line, each as one edit step;
// the output file is written once at the end, and not at all when anything fails.
// programDir locates the default settings file (empty: found through /proc/self/exe).
int RunBatch(std::span<const std::string> args, BatchStreams& streams,
             const std::string& programDir = {});

// The program's own directory, from /proc/self/exe ("" when it cannot be read).
[[nodiscard]] std::string ProgramDirectory();

}  // namespace pelimator::batch
