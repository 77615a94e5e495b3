// Errors of the batch command: a bad command line, and bad input it was given.
#pragma once

#include "base/errors.h"

namespace pelimator::batch {

// The command line cannot be understood (unknown option, missing or malformed value). The
// command answers it with exit status 2 and a hint at --help.
class UsageError : public Error {
public:
    using Error::Error;
};

// A file or path handed to the command cannot be used; what() names the file and, where there
// is one, the line.
class InputError : public Error {
public:
    using Error::Error;
};

}  // namespace pelimator::batch
