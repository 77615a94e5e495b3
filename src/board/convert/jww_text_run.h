// A text the underlay shows as the run a Jw_cad text record holds.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "board/model/types.h"
#include "board/model/underlay.h"

namespace pelimator::board {

// Where a strike-through crosses a run's cells, in cell heights above their bottom: the middle.
inline constexpr double kCellStrikeAt = 0.5;

// A Jw_cad run at paper size: start (the cells' bottom left) and end, cell width and height,
// spacing after each cell, angle, italic flag; its under-, overlines and strike-throughs as lines;
// what of the text it does not hold.
struct JwwTextRun {
    Vec2 start;
    Vec2 end;
    double width = 0.0;
    double height = 0.0;
    double spacing = 0.0;
    double degrees = 0.0;
    bool italic = false;
    std::vector<std::array<Vec2, 2>> rules;
    bool aligned = false;    // centred, right, middle or top: Jw_cad holds no alignment
    bool slanted = false;    // an oblique other than Jw_cad's italic
    bool fromBelow = false;  // mirrored: Jw_cad's cells stand left of the run's direction
};

// The run of text t (drawing units) at paper size: factor paper mm per unit, from origin (a
// block's base point); none when it has no size. cellFont: its font lays Jw_cad's cells out (else
// the cells span the length the text's proportional face draws).
[[nodiscard]] std::optional<JwwTextRun> JwwRunOf(const UnderlayText& t, Vec2 origin, double factor,
                                                 bool cellFont = true);

}  // namespace pelimator::board
