// Records of a JWW entity list edited in place: moved, turned, put on another layer, in the
// file's own coordinates, every other byte kept.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "board/model/edit_step.h"

namespace pelimator::board::jww {

// A record's class as stored ("CDataSen", ...) and the fields after its tag.
struct RecordFields {
    std::string_view className;
    std::string_view bytes;
    std::uint32_t version = 0;  // the file's
};

// The fields with every placement applied in order, and with the layer and layer group of each
// common part set when groupAndLayer is given; as long as the fields were (nothing but numbers
// changes). Placements are in the file's coordinates, paper mm, which the board shows as they
// are whatever the layer group's scale. Angles follow as Jw_cad keeps them: a text's in degrees, an
// arc's start (its tilt for an ellipse), a marker's and an insert's in radians; a circle solid's
// tilt. FileError when the fields are not what their class holds.
[[nodiscard]] std::string PlacedFields(
    const RecordFields& record, std::span<const RecordPlacement> placements,
    std::optional<std::pair<std::uint16_t, std::uint16_t>> groupAndLayer);

// Why the record cannot be moved, turned or copied exactly, a Japanese sentence naming its kind;
// "" when it can.
[[nodiscard]] std::string PlacementRefusalOf(const RecordFields& record);

// Jw_cad's name of the record's kind: 線, 円, 円弧, 楕円弧, 点, 文字, ソリッド, 寸法, ブロック.
[[nodiscard]] std::string KindNameOf(const RecordFields& record);

}  // namespace pelimator::board::jww
