// What a drafter types after picking a base point: "@dx,dy" (an offset), "@dist<angle" (a distance
// at an angle in degrees, counter-clockwise from +X) or a plain distance taken along the cursor's
// direction from the base point; and a scale factor. Full-width characters (as a Japanese input
// method gives them) read as their ASCII forms; spaces around numbers are ignored.
#pragma once

#include <string>
#include <string_view>

namespace pelimator {

struct TypedOffset {
    double dx = 0.0;
    double dy = 0.0;
};

// The result of reading one typed entry: ok, or a Japanese message saying what is wrong.
template <typename T>
struct TypedResult {
    bool ok = false;
    T value{};
    std::string error;
};

// The displacement typed. cursorDx, cursorDy: from the base point to the cursor, used by a plain
// distance only (refused when the cursor sits on the base point).
[[nodiscard]] TypedResult<TypedOffset> ParseTypedOffset(std::string_view text, double cursorDx,
                                                        double cursorDy);

// A scale factor: a positive number, or a ratio "a/b" of two (as "1/2").
[[nodiscard]] TypedResult<double> ParseTypedFactor(std::string_view text);

}  // namespace pelimator
