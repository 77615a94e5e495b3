// Lines and arcs whose ends meet, chained into runs: every maximal run of a drawing (the batch
// command's paths) or the one run through a clicked entity (drawing along an existing line).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "board/model/drawing.h"
#include "board/model/entity.h"
#include "board/model/types.h"

namespace pelimator::board {

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
[[nodiscard]] double JoinToleranceFor(std::span<const EntityData> entities,
                                      const std::function<bool(const EntityData&)>& take);

// Chains the entities that take() accepts. Entity ends within joinTolerance are one node; a run
// goes on through nodes where exactly two ends meet and stops at a free end or a branch (three
// or more ends), so a T-junction gives three chains. Chains come in the file order of their
// earliest entity, and each runs the way its earliest line runs in the file (a polyline keeps
// its vertex order); a chain of arcs only runs counter-clockwise along its earliest arc. A
// closed chain starts with its earliest entity.
[[nodiscard]] std::vector<Chain> ChainEntities(std::span<const EntityData> entities,
                                               const std::function<bool(const EntityData&)>& take,
                                               double joinTolerance);

// The chain as points: each entity flattened to within flattenTolerance (arcs as the board
// flattens them), joints taken once. A closed chain ends on its first point again.
[[nodiscard]] std::vector<Vec2> ChainPoints(const Chain& chain,
                                            std::span<const EntityData> entities,
                                            double flattenTolerance);

// Calls found(index) for every entity with an end (start or end) within radius of p; an entity
// may be reported more than once, and entities farther off may be too. The board answers from its
// spatial index, tests by a scan.
using EndsNear =
    std::function<void(Vec2 p, double radius, const std::function<void(std::size_t)>& found)>;

// The run through entities[index] among those take() accepts (index itself need not be), by
// ChainEntities' rule: it goes on through a point where exactly two ends meet and stops at a free
// end or where three or more meet (a branch: no way on is preferred, so none is taken). Only
// the ends near each joint are asked for, so the cost follows the run, not the drawing.
// Direction: the run starts at its end nearer `from` measured along the run (a click on it). A
// closed run starts at the end of entities[index] nearer `from` and runs through it first.
// recordOf (when given) names the file record an entity came from: segments of one polyline
// record count as one entity, so at a branch the run goes on along its own polyline when exactly
// one other end there is of the same record.
using RecordOf = std::function<std::optional<std::size_t>(std::size_t entity)>;
[[nodiscard]] Chain ChainThrough(std::span<const EntityData> entities, std::size_t index,
                                 const std::function<bool(const EntityData&)>& take,
                                 double joinTolerance, const EndsNear& endsNear, Vec2 from,
                                 const RecordOf& recordOf = {});

// The entity take() accepts whose curve passes nearest to p, no farther than radius; ties go to
// the earliest. A scan with a box test first: a few milliseconds for a million entities.
[[nodiscard]] std::optional<std::size_t> EntityNear(
    std::span<const EntityData> entities, Vec2 p, double radius,
    const std::function<bool(const EntityData&)>& take);

// Drawing along an existing line: the entity of drawing nearest to `click` within radius (among
// shown ones that accept() allows), with the run through it on its own layer (ends within the
// drawing's join tolerance meet), as points flattened within flattenTolerance running from the
// end nearer the click; a closed run ends on its first point again. None when no entity is
// near. The run's entity indices come with it, for highlighting.
struct RunAlong {
    Chain chain;
    std::vector<Vec2> points;
};
[[nodiscard]] std::optional<RunAlong> RunAlongEntity(
    const BoardDrawing& drawing, Vec2 click, double radius, double flattenTolerance,
    const std::function<bool(const EntityData&)>& accept, const RecordOf& recordOf = {});

// Distance from p to the entity's curve (an arc at its stored radius, within its sweep).
[[nodiscard]] double DistanceToEntity(const EntityData& entity, Vec2 p) noexcept;

}  // namespace pelimator::board
