// What a file draws beneath once its records were erased, moved, turned, copied or put on
// another layer.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "board/model/edit_step.h"
#include "board/model/underlay.h"

namespace pelimator::board {

// base with edits applied: items and snap points of an erased record left out, those of a
// placed record carried along, those of a copy added under the copy's key (in key order). An
// item coloured by its record's layer takes the colour layerColours gives the layer it is put on
// (unchanged when the map lacks it).
[[nodiscard]] Underlay EditedUnderlay(const Underlay& base,
                                      const std::unordered_map<std::uint32_t, RecordEdit>& edits,
                                      const std::unordered_map<std::int32_t, Rgb>& layerColours);

}  // namespace pelimator::board
