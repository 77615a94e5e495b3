// The groups every DXF entity may carry, read in one place.
#include "board/dxf/dxf_common_groups.h"

#include <cstddef>

namespace pelimator::board {

bool TakeCommonGroup(DxfCommonGroups& common, int code, std::string_view text, double real,
                     std::int64_t integer) noexcept {
    switch (code) {
        case 8:
            common.layer = text;
            return true;
        case 62:
            common.colour = integer;
            return true;
        case 420:
            common.trueColour = integer;
            return true;
        case 6:
            common.linetype = text;
            return true;
        case 48:
            common.linetypeScale = real;
            return true;
        case 67:
            common.paper = integer != 0;
            return true;
        case 210:
        case 220:
        case 230:
            common.extrusion[static_cast<std::size_t>((code - 210) / 10)] = real;
            return true;
        default:
            return false;
    }
}

}  // namespace pelimator::board
