// The error raised when a drawing file cannot be read or written.
#pragma once

#include "tool/host/errors.h"

namespace pelimator {

// A drawing file could not be opened, read, parsed or written. what() is a Japanese sentence
// that names the file and says what is wrong with it.
class FileError : public Error {
public:
    using Error::Error;
};

}  // namespace pelimator
