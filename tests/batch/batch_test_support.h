// Helpers of the batch command's tests: running it with arguments and reading what it wrote.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "board/dxf/dxf_file.h"
#include "support/temp_dir.h"

namespace pelimator::batch::testing {

struct RunOutcome {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the command as "pelimator-batch" with args, feeding stdinText to standard input. The
// default settings file is looked for in programDir (give a folder without one for defaults).
inline RunOutcome RunCommand(const std::vector<std::string>& args, const std::string& programDir,
                             const std::string& stdinText = {}, bool terminal = false) {
    std::vector<std::string> argv{"pelimator-batch"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::istringstream in(stdinText);
    std::ostringstream out;
    std::ostringstream err;
    BatchStreams streams{in, out, err, terminal};
    RunOutcome outcome;
    outcome.exitCode = RunBatch(argv, streams, programDir);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

// A settings file with the wave and zigzag sizes and the layer choice given.
inline std::string SettingsText(int waveWidth, int waveRadius, int zigzagWidth, int zigzagHeight,
                                int layerChange = 1, int layerNumber = 200) {
    return "[Wave]\nWidth=" + std::to_string(waveWidth) + "\nRadius=" + std::to_string(waveRadius) +
           "\n[Zigzag]\nWidth=" + std::to_string(zigzagWidth) +
           "\nHeight=" + std::to_string(zigzagHeight) +
           "\n[Layer]\nChange=" + std::to_string(layerChange) +
           "\nNumber=" + std::to_string(layerNumber) + "\n";
}

}  // namespace pelimator::batch::testing
