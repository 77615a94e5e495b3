// The big drawing the board's benchmarks open: pelimator-batch draws a wave along paths straight
// paths of pointsPerPath points (1,000 × 1,001 gives about 1,000,000 arcs) into dir/big.dxf.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "support/temp_dir.h"

namespace pelimator::bench {

inline void WriteBigDrawing(const testing::TempDir& dir, int paths, int pointsPerPath) {
    {
        std::ofstream points(dir.File("points.txt"));
        for (int p = 0; p < paths; ++p) {
            for (int i = 0; i < pointsPerPath; ++i) points << i * 5 << " " << p * 100 << "\n";
            points << "\n";
        }
        std::ofstream(dir.File("Korvane.ini")) << "[Wave]\nWidth=5\nRadius=4\n";
    }
    const std::vector<std::string> args{"pelimator-batch",  "--points", dir.File("points.txt"),
                                        "--path",           "0",        "-o",
                                        dir.File("big.dxf")};
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    batch::BatchStreams streams{in, out, err, false};
    if (batch::RunBatch(args, streams, dir.Path().string()) != 0) {
        std::fputs(err.str().c_str(), stderr);
        std::abort();
    }
}

}  // namespace pelimator::bench
