// A static uniform grid over boxes: finds the boxes that overlap an area without visiting all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/model/types.h"

namespace pelimator::board {

// Boxes small against the cell are filed in the cell of their lower-left corner; larger ones are
// kept in a list checked one by one. Positions outside the grid are clamped to its border cells,
// which keeps every query conservative. Boxes that are empty (min > max) or not finite are never
// filed and never visited.
class BoxGrid {
public:
    // Files boxes[i] under i; forgets what was filed before.
    void Build(std::vector<Box> boxes);

    // Calls visit(i) once for every filed i whose box overlaps area (edges touching count).
    template <typename Visit>
    void Query(const Box& area, Visit&& visit) const;

    // The boxes as given to Build.
    [[nodiscard]] const std::vector<Box>& Boxes() const noexcept { return m_boxes; }

private:
    [[nodiscard]] std::int64_t CellX(double x) const noexcept;
    [[nodiscard]] std::int64_t CellY(double y) const noexcept;
    void ChooseCells(const Box& bounds, std::vector<double> extents);
    void FileBoxes();

    std::vector<Box> m_boxes;
    Vec2 m_gridMin;  // lower-left corner of cell (0, 0)
    double m_cellSize = 1.0;
    std::int64_t m_columns = 0;
    std::int64_t m_rows = 0;
    std::vector<std::uint32_t> m_cellStart;  // m_columns * m_rows + 1 offsets into m_cellItems
    std::vector<std::uint32_t> m_cellItems;
    std::vector<std::uint32_t> m_large;  // boxes bigger than a cell
};

template <typename Visit>
void BoxGrid::Query(const Box& area, Visit&& visit) const {
    const auto check = [&](std::uint32_t i) {
        if (BoxesOverlap(m_boxes[i], area)) visit(std::size_t{i});
    };
    if (m_columns > 0 && m_rows > 0) {
        // A box filed at its lower-left corner reaches at most one cell up and right.
        const std::int64_t x0 = CellX(area.min.x - m_cellSize);
        const std::int64_t x1 = CellX(area.max.x);
        const std::int64_t y0 = CellY(area.min.y - m_cellSize);
        const std::int64_t y1 = CellY(area.max.y);
        for (std::int64_t row = y0; row <= y1; ++row) {
            for (std::int64_t column = x0; column <= x1; ++column) {
                const auto cell = static_cast<std::size_t>(row * m_columns + column);
                for (std::uint32_t k = m_cellStart[cell]; k < m_cellStart[cell + 1]; ++k) {
                    check(m_cellItems[k]);
                }
            }
        }
    }
    for (const std::uint32_t i : m_large) check(i);
}

}  // namespace pelimator::board
