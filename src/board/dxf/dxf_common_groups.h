// The groups every DXF entity may carry (layer, colour, linetype, paper space, extrusion), read in
// one place for the reader and for the shapes drawn beneath.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pelimator::board {

struct DxfCommonGroups {
    std::string_view layer = "0";                    // group 8
    std::int64_t colour = 256;                       // group 62: 0 BYBLOCK, 256 BYLAYER
    std::optional<std::int64_t> trueColour;          // group 420: 0xRRGGBB
    std::string_view linetype;                       // group 6; empty: BYLAYER
    double linetypeScale = 1.0;                      // group 48
    bool paper = false;                              // group 67: in paper space
    std::array<double, 3> extrusion{0.0, 0.0, 1.0};  // groups 210, 220, 230
};

// Takes a tag's value into common when its group is one of the common groups; false for any
// other group. text: the value as text, blanks trimmed.
bool TakeCommonGroup(DxfCommonGroups& common, int code, std::string_view text, double real,
                     std::int64_t integer) noexcept;

}  // namespace pelimator::board
