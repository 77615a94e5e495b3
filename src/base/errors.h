// The root of the program's errors, and the errors of the parts every layer uses.
#pragma once

#include <stdexcept>
#include <string>

namespace pelimator {

// Base of all of the program's errors. what() is a short Japanese sentence saying what failed,
// fit to be shown to the user as it stands.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A signed integer counter or index left its range.
class OverflowError : public Error {
public:
    using Error::Error;
};

// A file could not be opened, read, parsed or written. what() is a Japanese sentence that names
// the file and says what is wrong with it.
class FileError : public Error {
public:
    using Error::Error;
};

// Work given up because its caller asked (Esc during a read): not a failure to report.
class Cancelled : public Error {
public:
    using Error::Error;
};

}  // namespace pelimator
