// Integer arithmetic that raises OverflowError instead of wrapping.
#pragma once

#include <limits>
#include <string>

#include "base/errors.h"

namespace pelimator {

// a + b in T, or OverflowError naming what overflowed.
template <typename T>
[[nodiscard]] T CheckedAdd(T a, T b, const char* what) {
    T result{};
    if (__builtin_add_overflow(a, b, &result)) {
        throw OverflowError(std::string("整数のけた あふれ: ") + what);
    }
    return result;
}

}  // namespace pelimator
