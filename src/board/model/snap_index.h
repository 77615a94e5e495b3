// The R-tree of entity boxes behind snapping, kept in step with a drawing's storage lazily.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "board/model/entity.h"
#include "board/model/types.h"

namespace pelimator::board {

// The boxes (ConservativeBox) of stored entities [0, Indexed()) as they are stored now. Entities
// past the shown count (undone ones) may stay in the tree; queries skip them. The tree catches up
// at the next query, so adds, undos and redos cost nothing here. Entities whose box is not finite
// are never filed.
//
// A change of many entities at once (a step moving 100,000) is only marked: their old boxes stay
// in the main tree, passed over by queries, and their new ones go into a second, small tree
// packed at the next query. Once a quarter of the entities are marked, the main tree is packed
// afresh.
class SnapIndex {
public:
    SnapIndex();
    ~SnapIndex();
    SnapIndex(const SnapIndex&) = delete;
    SnapIndex& operator=(const SnapIndex&) = delete;
    SnapIndex(SnapIndex&&) = delete;
    SnapIndex& operator=(SnapIndex&&) = delete;

    [[nodiscard]] std::size_t Indexed() const noexcept { return m_indexed; }
    // Files entities [Indexed(), stored.size()) and the new boxes of marked ones.
    void CatchUp(std::span<const EntityData> stored);
    // Forgets entities [size, Indexed()) before they are dropped from storage.
    void Truncate(std::span<const EntityData> stored, std::size_t size);
    // The entity at index changes from before to after: its box refiled now.
    void Replace(std::size_t index, const EntityData& before, const EntityData& after);
    // The entity at index changes: its box refiled at the next CatchUp.
    void MarkChanged(std::size_t index);
    void Reset();
    // Appends to out the entities below live whose box meets window.
    void Query(const Box& window, std::size_t live, std::vector<std::size_t>& out) const;

private:
    struct Tree;
    std::unique_ptr<Tree> m_tree;
    std::size_t m_indexed = 0;
    std::vector<std::uint8_t> m_marked;     // per indexed entity: its box in the main tree is old
    std::vector<std::size_t> m_markedList;  // the entities marked, each once
    bool m_movedOutOfDate = false;          // the second tree lacks what MarkChanged marked
};

}  // namespace pelimator::board
