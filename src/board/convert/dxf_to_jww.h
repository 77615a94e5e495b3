// DXF drawings written as Jw_cad drawings: lines and arcs as the board holds them, with their
// pens and line types, what the DXF shows beneath them (texts, points, filled areas, every other
// outline), and, given the DXF itself, its blocks and dimensions as Jw_cad records, in paper
// millimetres at the drawing's scale.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "board/dxf/dxf_source.h"
#include "board/model/drawing_content.h"
#include "board/model/underlay.h"

namespace pelimator::board {

// What a conversion wrote: records by Jw_cad class, and what the JWW does not hold as the DXF
// did, one Japanese sentence per item.
struct DxfJwwReport {
    std::map<std::string, std::size_t> written;
    std::vector<std::string> losses;
};

// A new Jw_cad drawing (version 700) of state and of what underlay shows: every layer group at
// the drawing's scale 1:N (its Denominator / Numerator), coordinates in paper millimetres (the
// drawing's units in millimetres, $INSUNITS, divided by N); board layer n on group n / 16, layer
// n % 16 (from 256 on: the write layer); colours the nearest of pens 1-9 (a fill its own RGB).
// Given the DXF itself, its blocks stay blocks: each model-space insert a Jw_cad block insert
// holds as it is (one copy, no attributes, seen from above) becomes one, and the blocks they
// use, nested ones included, Jw_cad block definitions numbered from 1.
[[nodiscard]] std::string DxfStateAsJwwBytes(const DrawingState& state, const Underlay* underlay,
                                             DxfJwwReport* report = nullptr,
                                             const DxfSource* dxf = nullptr);

// What that conversion does not hold as the DXF did (DxfJwwReport::losses).
[[nodiscard]] std::vector<std::string> DxfAsJwwLosses(const DrawingState& state,
                                                      const Underlay* underlay,
                                                      const DxfSource* dxf = nullptr);

// Writes DxfStateAsJwwBytes to path atomically; FileError when it cannot be written.
void WriteDxfAsJww(const std::string& path, const DrawingState& state, const Underlay* underlay,
                   const DxfSource* dxf = nullptr);

}  // namespace pelimator::board
