// What one edit of existing content changes: entities of the drawing, and records of the file
// the drawing was opened from, each before and after, so that undo and redo only swap them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "board/model/entity.h"
#include "board/model/types.h"

namespace pelimator::board {

class DocumentSource;
class Underlay;

// A placement: about pivot, scale by factor and, when mirror, reflect in the line through pivot
// along x (y -> -y); then turn by degrees (counter-clockwise) and move by delta. A mirror in the
// line through pivot at angle a is {pivot, 2a, mirror}. Kept as given (not as a matrix) so that a
// save can apply it to every group of a record exactly as the drafter asked.
struct RecordPlacement {
    Vec2 pivot;
    double degrees = 0.0;
    Vec2 delta;
    bool mirror = false;
    double factor = 1.0;
    friend bool operator==(const RecordPlacement&, const RecordPlacement&) = default;
};

// Where a placement takes a point and a direction (a direction is scaled too).
[[nodiscard]] Vec2 PlacePoint(const RecordPlacement& placement, Vec2 p) noexcept;
[[nodiscard]] Vec2 PlaceDirection(const RecordPlacement& placement, Vec2 v) noexcept;
// Where it takes the direction at angle degrees, in degrees (not reduced to a range).
[[nodiscard]] double PlaceAngle(const RecordPlacement& placement, double degrees) noexcept;
// Neither mirrored nor scaled: only turned and moved.
[[nodiscard]] constexpr bool IsRigidTurn(const RecordPlacement& placement) noexcept {
    return !placement.mirror && placement.factor == 1.0;
}

// Record keys: a record of the file is keyed by its index among the file's records; a copy of
// one by kFirstCopyKey and up, in the order the copies were made.
inline constexpr std::uint32_t kFirstCopyKey = 0x80000000U;
inline constexpr std::uint32_t kNoRecordKey = std::numeric_limits<std::uint32_t>::max();
[[nodiscard]] constexpr bool IsCopyKey(std::uint32_t key) noexcept {
    return key >= kFirstCopyKey && key != kNoRecordKey;
}

// How a record of the file differs from how it was read. A copy names the record it copies.
// A copy pasted from another drawing names that drawing's file (source numbers its records) and
// what that file draws as read; its layer, when set, is one of this drawing's.
struct RecordEdit {
    std::uint32_t source = 0;  // the file's record (for a copy: the one copied)
    bool erased = false;
    std::vector<RecordPlacement> placements;       // applied in this order
    std::optional<std::int32_t> layer;             // the board layer it was put on
    std::shared_ptr<const DocumentSource> from;    // null: this drawing's own file
    std::shared_ptr<const Underlay> fromUnderlay;  // from's drawing beneath, as read
    friend bool operator==(const RecordEdit&, const RecordEdit&) = default;
};

struct RecordChange {
    std::uint32_t key = 0;
    std::optional<RecordEdit> before;  // none: as read (or, for a copy, not there)
    std::optional<RecordEdit> after;
};

// One entity of the drawing, before and after.
struct EntityChange {
    std::size_t index = 0;
    EntityData before;
    EntityData after;
    bool erasedBefore = false;
    bool erasedAfter = false;
};

// One undoable edit: entities changed, entities added (each with the record key it draws, or
// kNoRecordKey for the board's own), records changed.
struct EditStep {
    std::vector<EntityChange> changes;
    std::vector<EntityData> added;
    std::vector<std::uint32_t> addedRecords;  // as long as added
    std::vector<RecordChange> records;
    [[nodiscard]] bool Empty() const noexcept {
        return changes.empty() && added.empty() && records.empty();
    }
};

}  // namespace pelimator::board
