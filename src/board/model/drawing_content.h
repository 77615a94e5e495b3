// What a drawing file holds and what a save sees of the board's drawing, whatever the format.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "board/model/entity.h"
#include "board/model/layers.h"

namespace pelimator::board {

// What a drawing file holds: the layer table (in table order, layer 0 always present), the lines
// and arcs, and the scale Numerator:Denominator (both positive).
struct DrawingContent {
    std::vector<LayerData> layers;
    std::vector<EntityData> entities;
    std::int32_t scaleNumerator = 1;
    std::int32_t scaleDenominator = 1;
};

// The board's drawing as a save sees it: every layer, the shown entities (the first ones are
// those read from the file, as many as the file's source says) and the scale.
struct DrawingState {
    std::span<const LayerData> layers;
    std::span<const EntityData> entities;
    std::int32_t scaleNumerator = 1;
    std::int32_t scaleDenominator = 1;
};

}  // namespace pelimator::board
