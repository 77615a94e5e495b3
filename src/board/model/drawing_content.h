// What a drawing file holds and what a save sees of the board's drawing, whatever the format.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "board/model/edit_step.h"
#include "board/model/entity.h"
#include "board/model/layers.h"
#include "board/model/units.h"

namespace pelimator::board {

// What a drawing file holds: the layer table (in table order, layer 0 always present), the lines
// and arcs, the scale Numerator:Denominator (both positive), the current layer and the unit of
// length (numbered as board/model/units.h: millimetres for a new drawing; as read from a file, 0
// when it names none or one the board does not know).
struct DrawingContent {
    std::vector<LayerData> layers;
    std::vector<EntityData> entities;
    std::int32_t scaleNumerator = 1;
    std::int32_t scaleDenominator = 1;
    std::int32_t currentLayer = 0;
    std::int32_t unitCode = kMillimetres;
};

// The board's drawing as a save sees it: every layer, the shown entities (the first ones are
// those read from the file, as many as the file's source says), the scale, and the current layer
// and the unit (none: as the file has them).
// Edits of existing content: erased (per entity, empty: none), the record key each added entity
// draws (empty: all the board's own; a copied record is written as that record, not as lines),
// and how the file's records were edited (null: not at all).
struct DrawingState {
    std::span<const LayerData> layers;
    std::span<const EntityData> entities;
    std::int32_t scaleNumerator = 1;
    std::int32_t scaleDenominator = 1;
    std::optional<std::int32_t> currentLayer = std::nullopt;
    std::optional<std::int32_t> unitCode = std::nullopt;
    std::span<const std::uint8_t> erased = {};
    std::span<const std::uint32_t> recordKeys = {};
    const std::unordered_map<std::uint32_t, RecordEdit>* recordEdits = nullptr;
};

}  // namespace pelimator::board
