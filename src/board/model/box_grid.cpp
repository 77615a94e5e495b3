// The grid's cell size and the filing of boxes.
#include "board/model/box_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "base/huge_pages.h"

namespace pelimator::board {

namespace {

// Cells wanted per box filed in the grid: a few boxes per cell keeps both the grid and the
// per-query cell walk small.
constexpr double kBoxesPerCell = 4.0;
constexpr std::int64_t kMaxCellsPerAxis = 4096;
constexpr std::uint32_t kNotFiled = std::numeric_limits<std::uint32_t>::max();

bool Fileable(const Box& box) noexcept {
    return IsFiniteBox(box) && box.min.x <= box.max.x && box.min.y <= box.max.y;
}

}  // namespace

std::int64_t BoxGrid::CellX(double x) const noexcept {
    const double cell = std::floor((x - m_gridMin.x) / m_cellSize);
    if (!(cell > 0.0)) return 0;  // NaN too
    return static_cast<std::int64_t>(std::min(cell, static_cast<double>(m_columns - 1)));
}

std::int64_t BoxGrid::CellY(double y) const noexcept {
    const double cell = std::floor((y - m_gridMin.y) / m_cellSize);
    if (!(cell > 0.0)) return 0;  // NaN too
    return static_cast<std::int64_t>(std::min(cell, static_cast<double>(m_rows - 1)));
}

void BoxGrid::Build(std::vector<Box> boxes) {
    m_boxes = std::move(boxes);
    m_cellStart.clear();
    m_cellItems.clear();
    m_large.clear();
    m_columns = 0;
    m_rows = 0;

    std::vector<double> extents;
    ReserveHuge(extents, m_boxes.size());
    Box bounds{};
    for (const Box& box : m_boxes) {
        if (!Fileable(box)) continue;
        if (extents.empty()) bounds = box;
        bounds.min.x = std::min(bounds.min.x, box.min.x);
        bounds.min.y = std::min(bounds.min.y, box.min.y);
        bounds.max.x = std::max(bounds.max.x, box.max.x);
        bounds.max.y = std::max(bounds.max.y, box.max.y);
        extents.push_back(std::max(box.max.x - box.min.x, box.max.y - box.min.y));
    }
    if (extents.empty()) return;
    ChooseCells(bounds, std::move(extents));
    FileBoxes();
}

void BoxGrid::ChooseCells(const Box& bounds, std::vector<double> extents) {
    // The cell is at least as large as nine boxes in ten, so few land in the large list.
    const double width = bounds.max.x - bounds.min.x;
    const double height = bounds.max.y - bounds.min.y;
    const double wantedCells = std::max(1.0, static_cast<double>(extents.size()) / kBoxesPerCell);
    double cell = std::sqrt(std::max(width * height, 0.0) / wantedCells);
    const auto tenth = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() * 9 / 10);
    std::nth_element(extents.begin(), tenth, extents.end());
    cell = std::max(cell, *tenth);
    cell = std::max({cell, width / kMaxCellsPerAxis, height / kMaxCellsPerAxis});
    if (!(cell > 0.0) || !std::isfinite(cell)) cell = std::max({width, height, 1.0});
    m_gridMin = bounds.min;
    m_cellSize = cell;
    if (!std::isfinite(cell)) return;  // coordinates near the double range: the list only
    m_columns =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(width / cell) + 1, 1, kMaxCellsPerAxis);
    m_rows =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(height / cell) + 1, 1, kMaxCellsPerAxis);
}

void BoxGrid::FileBoxes() {
    // Counting sort of the small boxes by cell; with no cells every box goes to the list.
    const auto cells = static_cast<std::size_t>(m_columns * m_rows);
    std::vector<std::uint32_t> cellOf;
    ReserveHuge(cellOf, m_boxes.size());
    cellOf.assign(m_boxes.size(), kNotFiled);
    m_cellStart.assign(cells + 1, 0);
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        const Box& box = m_boxes[i];
        if (!Fileable(box)) continue;
        if (cells == 0 || box.max.x - box.min.x > m_cellSize ||
            box.max.y - box.min.y > m_cellSize) {
            m_large.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        const auto c = static_cast<std::uint32_t>(CellY(box.min.y) * m_columns + CellX(box.min.x));
        cellOf[i] = c;
        ++m_cellStart[c + 1];
    }
    for (std::size_t c = 0; c < cells; ++c) m_cellStart[c + 1] += m_cellStart[c];
    ReserveHuge(m_cellItems, m_cellStart[cells]);
    m_cellItems.resize(m_cellStart[cells]);
    std::vector<std::uint32_t> fill(m_cellStart.begin(), m_cellStart.end() - 1);
    for (std::size_t i = 0; i < cellOf.size(); ++i) {
        if (cellOf[i] != kNotFiled) m_cellItems[fill[cellOf[i]]++] = static_cast<std::uint32_t>(i);
    }
}

}  // namespace pelimator::board
