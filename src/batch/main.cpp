// pelimator-batch: adds wave or zigzag lines to DXF drawings from the command line.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "batch/batch.h"
#ifdef PELIMATOR_BATCH_PICTURES
#include "batch/picture_export.h"
#endif

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails the write with a message, as a full disk does,
    // instead of ending the program part way.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> args(argv, argv + argc);
    pelimator::batch::BatchStreams streams{std::cin, std::cout, std::cerr,
                                           ::isatty(STDERR_FILENO) == 1};
#ifdef PELIMATOR_BATCH_PICTURES
    return pelimator::batch::RunBatch(args, streams, {}, pelimator::batch::WritePicture);
#else
    return pelimator::batch::RunBatch(args, streams);
#endif
}
