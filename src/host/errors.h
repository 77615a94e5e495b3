// The error a host object raises when it refuses an operation.
#pragma once

#include "base/errors.h"

namespace pelimator {

// A host object refused an operation (index out of range, a missing layer, a zero scale, ...).
class HostError : public Error {
public:
    using Error::Error;
};

}  // namespace pelimator
