// Paths taken from a drawing: lines and arcs whose ends meet, chained into maximal runs.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "board/model/entity.h"
#include "board/model/types.h"

namespace pelimator::batch {

// One entity of a chain, run from start to end (reversed: from end to start).
struct ChainPiece {
    std::size_t entity = 0;  // index into the entities given
    bool reversed = false;
};

// A maximal run of entities joined end to end. Closed: its last end meets its first start.
struct Chain {
    std::vector<ChainPiece> pieces;
    bool closed = false;
};

// Ends closer than this are the same point: 1e-9 of the largest coordinate (at least 1e-9), so
// that the digits a file drops on the way do not split a chain.
[[nodiscard]] double JoinToleranceFor(std::span<const board::EntityData> entities,
                                      const std::function<bool(const board::EntityData&)>& take);

// Chains the entities that take() accepts. Entity ends within joinTolerance are one node; a run
// goes on through nodes where exactly two ends meet and stops at a free end or a branch (three
// or more ends), so a T-junction gives three chains. Chains come in the file order of their
// earliest entity, and each runs the way its earliest line runs in the file (a polyline keeps
// its vertex order); a chain of arcs only runs counter-clockwise along its earliest arc. A
// closed chain starts with its earliest entity.
[[nodiscard]] std::vector<Chain> ChainEntities(
    std::span<const board::EntityData> entities,
    const std::function<bool(const board::EntityData&)>& take, double joinTolerance);

// The chain as points: each entity flattened to within flattenTolerance (arcs as the board
// flattens them), joints taken once. A closed chain ends on its first point again.
[[nodiscard]] std::vector<board::Vec2> ChainPoints(const Chain& chain,
                                                   std::span<const board::EntityData> entities,
                                                   double flattenTolerance);

}  // namespace pelimator::batch
