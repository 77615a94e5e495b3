// What a DXF linetype's name or description says of the Jw_cad line type it is.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelimator::board {

// The Jw_cad type a linetype names: style, a type of its own (2-9, 16-19: its Jw_cad name as
// the linetype's name, or as its description after "Jw_cad ", as JWW -> DXF writes it); else
// marks, the dashes and dots a period of the kind its name says (1 dashed, 2 one-dot chain,
// 3 two-dot chain). Both 0: the name says nothing.
struct NamedLineType {
    std::uint8_t style = 0;
    int marks = 0;
};

[[nodiscard]] NamedLineType LineTypeOfName(std::string_view name, std::string_view description);

}  // namespace pelimator::board
