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
    bool sheared = false;  // italic by its own oblique, whatever its face
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

// A part of a run in one face, a Jw_cad text of its own: bytes [from, to) of the text, its start
// and end, and its face (font: an index into Underlay::fonts; italic as Jw_cad's flag).
struct JwwTextPiece {
    std::size_t from = 0;
    std::size_t to = 0;
    Vec2 start;
    Vec2 end;
    std::uint32_t font = kNoUnderlayIndex;
    std::uint8_t face = 0;
    bool italic = false;
};

// Run (JwwRunOf(t)) as Jw_cad texts of one face each: the whole run where t has one face, else a
// piece per face run (UnderlayText::faceRuns), each where its cells lie along the run (fitted to
// its end as they are), so that the pieces read as the run did.
[[nodiscard]] std::vector<JwwTextPiece> JwwRunPieces(const UnderlayText& t, const JwwTextRun& run);

}  // namespace pelimator::board
