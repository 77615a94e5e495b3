// Selecting what a drawing shows: the board's entities and the records of the opened file drawn
// beneath, by a click, a window or a crossing window, on shown layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/model/document.h"
#include "board/model/types.h"

namespace pelimator::board {

// A set of selected things. Entities of the drawing by index (the board's own and those a file
// record gave it: a polyline's segments are selected together); records drawn beneath by key
// (see edit_step.h). Both sorted, without repeats.
struct Selection {
    std::vector<std::size_t> entities;
    std::vector<std::uint32_t> records;

    [[nodiscard]] bool Empty() const noexcept { return entities.empty() && records.empty(); }
    friend bool operator==(const Selection&, const Selection&) = default;
};

// a and b together; and what is in exactly one of them (Shift+click: adds or takes away).
[[nodiscard]] Selection Union(const Selection& a, const Selection& b);
[[nodiscard]] Selection SymmetricDifference(const Selection& a, const Selection& b);
// The selection without what is no longer shown (erased, undone, on a hidden layer).
[[nodiscard]] Selection StillShown(const BoardDocument& document, const Selection& selection);

// The record key the entity at index draws: a copy's key, the file's record, or kNoRecordKey
// for the board's own.
[[nodiscard]] std::uint32_t RecordKeyOfEntity(const BoardDocument& document, std::size_t index);

// What lies nearest to p within radius (drawing units): one entity with the rest of its record,
// or one record drawn beneath; none when nothing shown is that near. The board's entities win
// over what is beneath at equal distance.
[[nodiscard]] std::optional<Selection> PickAt(const BoardDocument& document, Vec2 p, double radius);

// What a window selects: crossing false, what lies wholly inside it (a record only when all of
// it does); crossing true, what it touches or crosses.
[[nodiscard]] Selection PickInWindow(const BoardDocument& document, const Box& window,
                                     bool crossing);

// Everything shown on shown layers.
[[nodiscard]] Selection PickAll(const BoardDocument& document);

// The entities the drawing step of the picked board entity added (one Pelimator line), or the
// pick itself when it came with the file.
[[nodiscard]] Selection WholeStepOf(const BoardDocument& document, const Selection& pick);

// The box of everything selected (arcs as their whole circles, records as the boxes of what
// they draw); none for an empty selection.
[[nodiscard]] std::optional<Box> BoxOfSelection(const BoardDocument& document,
                                                const Selection& selection);

// For the status bar: "3 個選択: 円弧 2、LINE 1" and, for one thing, its kind, layer, colour,
// linetype and length or radius. Empty for an empty selection.
[[nodiscard]] std::string DescribeSelection(const BoardDocument& document,
                                            const Selection& selection);

}  // namespace pelimator::board
