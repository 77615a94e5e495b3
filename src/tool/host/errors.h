// The program's error hierarchy: every failure the tool reports is one of these.
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

// A host object refused an operation (index out of range, a missing layer, a zero scale, ...).
class HostError : public Error {
public:
    using Error::Error;
};

// A signed integer counter or index left its range.
class OverflowError : public Error {
public:
    using Error::Error;
};

}  // namespace pelimator
