// The drafter's edits of a DXF's own records carried over to the block structure kept in a Jw_cad
// drawing: inserts and dimensions the board erased, moved, turned, mirrored, scaled or put on
// another layer are kept as the board shows them.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "board/convert/dxf_blocks.h"
#include "board/dxf/dxf_source.h"
#include "board/model/edit_step.h"
#include "board/model/layers.h"
#include "board/model/underlay.h"

namespace pelimator::board {

using DxfRecordEdits = std::unordered_map<std::uint32_t, RecordEdit>;

// structure with edits applied to model space's kept inserts and dimensions: erased ones left
// out, placed ones placed, re-layered ones on the named layer of layers. Returns the edits of
// the kept inserts' attributes (drawn beside them), keyed by the attributes' own records, for
// EditedUnderlay of what the structure draws.
DxfRecordEdits ApplyDxfRecordEdits(const DxfSource& source, const DxfRecordEdits& edits,
                                   std::span<const LayerData> layers, DxfBlockStructure& structure);

}  // namespace pelimator::board
