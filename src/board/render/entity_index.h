// A grid of entity bounding boxes that finds the entities a view may show, kept in step with a
// drawing through its change counter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/model/box_grid.h"
#include "board/model/drawing.h"
#include "board/model/entity.h"
#include "board/model/types.h"

namespace pelimator::board {

// The entities' boxes filed in a BoxGrid; those added since the last rebuild are kept in a short
// list checked one by one. The grid is rebuilt when an existing entity changed its box or when
// the appended ones outgrow their list; undo only lowers the count the queries respect. The
// grid's boxes are the index's own record of the boxes it filed (no second copy).
class EntityIndex {
public:
    // Brings the index up to date with drawing. Costs nothing when the change counter did not
    // move; one pass over the boxes otherwise.
    void Update(const BoardDrawing& drawing);

    // Calls visit(index) once for every shown entity whose box may overlap area; entities with
    // a box that is not finite are never visited.
    template <typename Visit>
    void Query(const Box& area, Visit&& visit) const;

    // Entities known to the index, shown or undone.
    [[nodiscard]] std::size_t Size() const noexcept {
        return m_grid.Boxes().size() + m_extra.size();
    }
    // How many full rebuilds happened (for tests of the incremental path).
    [[nodiscard]] std::size_t RebuildCount() const noexcept { return m_rebuilds; }

private:
    // Files the boxes of the drawing's shown entities afresh.
    void Rebuild(const BoardDrawing& drawing);
    void Clear() noexcept;
    // Takes the boxes of entities new to the index; true when a rebuild is due instead (a box
    // the index knew has moved, or too many are new).
    bool TakeBoxes(const BoardDrawing& drawing);
    [[nodiscard]] const Box& KnownBox(std::size_t index) const noexcept {
        const std::size_t filed = m_grid.Boxes().size();
        return index < filed ? m_grid.Boxes()[index] : m_extra[index - filed];
    }

    const BoardDrawing* m_drawing = nullptr;
    std::uint64_t m_seenChange = 0;
    bool m_synced = false;
    std::size_t m_liveCount = 0;

    BoxGrid m_grid;                         // the entities shown at the last rebuild
    std::vector<Box> m_extra;               // boxes of the entities known since
    std::vector<std::uint32_t> m_appended;  // those of them with a finite box
    std::size_t m_rebuilds = 0;
};

template <typename Visit>
void EntityIndex::Query(const Box& area, Visit&& visit) const {
    m_grid.Query(area, [&](std::size_t index) {
        if (index < m_liveCount) visit(index);
    });
    for (const std::uint32_t index : m_appended) {
        if (index < m_liveCount && BoxesOverlap(KnownBox(index), area)) visit(std::size_t{index});
    }
}

}  // namespace pelimator::board
