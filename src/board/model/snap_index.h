// The R-tree of entity boxes behind snapping, kept in step with a drawing's storage lazily.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "board/model/entity.h"
#include "board/model/types.h"

namespace pelimator::board {

// The boxes (ConservativeBox) of entities [0, Indexed()) as they are stored now. Entities past
// the shown count (undone ones) may stay in the tree; queries skip them. The tree catches up at
// the next query, so adds, undos and redos cost nothing here. Entities whose box is not finite
// are never filed.
class SnapIndex {
public:
    SnapIndex();
    ~SnapIndex();
    SnapIndex(const SnapIndex&) = delete;
    SnapIndex& operator=(const SnapIndex&) = delete;
    SnapIndex(SnapIndex&&) = delete;
    SnapIndex& operator=(SnapIndex&&) = delete;

    [[nodiscard]] std::size_t Indexed() const noexcept { return m_indexed; }
    // Files entities [Indexed(), entities.size()).
    void CatchUp(std::span<const EntityData> entities);
    // Forgets entities [size, Indexed()) before they are dropped from storage.
    void Truncate(std::span<const EntityData> entities, std::size_t size);
    // The entity at index changes from before to after.
    void Replace(std::size_t index, const EntityData& before, const EntityData& after);
    void Reset();
    // Appends to out the entities below live whose box meets window.
    void Query(const Box& window, std::size_t live, std::vector<std::size_t>& out) const;

private:
    struct Tree;
    std::unique_ptr<Tree> m_tree;
    std::size_t m_indexed = 0;
};

}  // namespace pelimator::board
