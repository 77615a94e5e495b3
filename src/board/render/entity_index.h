// A grid of entity bounding boxes that finds the entities a view may show, kept in step with a
// drawing through its change counter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/model/drawing.h"
#include "board/model/entity.h"
#include "board/model/types.h"

namespace pelimator::board {

// Entities small against the cell size are filed in the cell of their box's lower-left corner;
// larger ones, and those added since the last rebuild, are kept in short lists checked one by
// one. Positions outside the grid are clamped to its border cells, which keeps every query
// conservative. The index is rebuilt when an existing entity changed its box or when the
// appended ones outgrow their list; undo only lowers the count the queries respect.
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
    [[nodiscard]] std::size_t Size() const noexcept { return m_boxes.size(); }
    // How many full rebuilds happened (for tests of the incremental path).
    [[nodiscard]] std::size_t RebuildCount() const noexcept { return m_rebuilds; }

private:
    void Rebuild();
    void Clear() noexcept;
    [[nodiscard]] std::int64_t CellX(double x) const noexcept;
    [[nodiscard]] std::int64_t CellY(double y) const noexcept;
    [[nodiscard]] static bool Overlaps(const Box& a, const Box& b) noexcept;

    const BoardDrawing* m_drawing = nullptr;
    std::uint64_t m_seenChange = 0;
    bool m_synced = false;
    std::size_t m_liveCount = 0;

    std::vector<Box> m_boxes;  // per entity, as last seen
    Vec2 m_gridMin;            // lower-left corner of cell (0, 0)
    double m_cellSize = 1.0;
    std::int64_t m_columns = 0;
    std::int64_t m_rows = 0;
    std::vector<std::uint32_t> m_cellStart;  // m_columns * m_rows + 1 offsets into m_cellItems
    std::vector<std::uint32_t> m_cellItems;
    std::vector<std::uint32_t> m_large;     // boxes bigger than a cell
    std::vector<std::uint32_t> m_appended;  // added since the last rebuild
    std::size_t m_rebuilds = 0;
};

inline bool EntityIndex::Overlaps(const Box& a, const Box& b) noexcept {
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y;
}

template <typename Visit>
void EntityIndex::Query(const Box& area, Visit&& visit) const {
    const auto visitIfShown = [&](std::uint32_t index) {
        if (index < m_liveCount && Overlaps(m_boxes[index], area)) visit(std::size_t{index});
    };
    if (m_columns > 0 && m_rows > 0) {
        // An entity filed at its lower-left corner reaches at most one cell up and right.
        const std::int64_t x0 = CellX(area.min.x - m_cellSize);
        const std::int64_t x1 = CellX(area.max.x);
        const std::int64_t y0 = CellY(area.min.y - m_cellSize);
        const std::int64_t y1 = CellY(area.max.y);
        for (std::int64_t row = y0; row <= y1; ++row) {
            for (std::int64_t column = x0; column <= x1; ++column) {
                const auto cell = static_cast<std::size_t>(row * m_columns + column);
                for (std::uint32_t k = m_cellStart[cell]; k < m_cellStart[cell + 1]; ++k) {
                    visitIfShown(m_cellItems[k]);
                }
            }
        }
    }
    for (const std::uint32_t index : m_large) visitIfShown(index);
    for (const std::uint32_t index : m_appended) visitIfShown(index);
}

}  // namespace pelimator::board
