// Units of length a drawing may be in, numbered as CAD files number them (DXF's $INSUNITS).
#pragma once

#include <cstdint>

namespace pelimator::board {

struct UnitDefinition {
    std::int32_t code;   // the number files store
    const char* symbol;  // for texts; "" for no unit
    double millimetres;  // one unit in millimetres (1 for no unit: taken as millimetres)
};

inline constexpr std::int32_t kNoUnit = 0;
inline constexpr std::int32_t kMillimetres = 4;

// The unit with this number (0 to 24: none, in, ft, mi, mm, cm, m, km, µin, mil, yd, Å, nm, µm,
// dm, dam, hm, Gm, au, ly, pc and the US survey foot, inch, yard and mile), or null.
[[nodiscard]] const UnitDefinition* FindUnit(std::int32_t code) noexcept;

}  // namespace pelimator::board
