// The error raised when a geometry routine meets an invalid or non-finite result.
#pragma once

#include "base/errors.h"

namespace pelimator {

// 0/0, the square root of a negative number, an overflow to infinity or a NaN input: the routine
// stops instead of handing on a NaN or an infinity. what() names the routine, in Japanese.
class ArithmeticError : public Error {
public:
    using Error::Error;
};

}  // namespace pelimator
