// The culling grid: boxes, change detection and the rebuild.
#include "board/render/entity_index.h"

#include <algorithm>
#include <cmath>

namespace pelimator::board {

namespace {

bool SameBox(const Box& a, const Box& b) noexcept { return a.min == b.min && a.max == b.max; }

// Cells wanted per entity filed in the grid: a few entities per cell keeps both the grid and
// the per-query cell walk small.
constexpr double kEntitiesPerCell = 4.0;
constexpr std::int64_t kMaxCellsPerAxis = 4096;

}  // namespace

void EntityIndex::Clear() noexcept {
    m_boxes.clear();
    m_cellStart.clear();
    m_cellItems.clear();
    m_large.clear();
    m_appended.clear();
    m_columns = 0;
    m_rows = 0;
    m_liveCount = 0;
    m_synced = false;
}

void EntityIndex::Update(const BoardDrawing& drawing) {
    if (m_drawing != &drawing) {
        Clear();
        m_drawing = &drawing;
    }
    if (m_synced && drawing.ChangeCount() == m_seenChange) return;
    const auto entities = drawing.Entities();
    const std::size_t count = entities.size();

    // Entities the index already knows keep their slot unless their box moved (a live-handle
    // edit, or a new add that replaced an undone entity): then only a rebuild files them right.
    bool moved = false;
    const std::size_t known = std::min(count, m_boxes.size());
    for (std::size_t i = 0; i < known; ++i) {
        const Box box = ConservativeBox(entities[i]);
        if (!SameBox(box, m_boxes[i])) {
            m_boxes[i] = box;
            moved = true;
        }
    }
    for (std::size_t i = m_boxes.size(); i < count; ++i) {
        m_boxes.push_back(ConservativeBox(entities[i]));
        if (IsFiniteBox(m_boxes.back())) m_appended.push_back(static_cast<std::uint32_t>(i));
    }
    m_liveCount = count;
    if (moved || m_appended.size() > std::max<std::size_t>(1024, m_boxes.size() / 8)) Rebuild();
    m_seenChange = drawing.ChangeCount();
    m_synced = true;
}

std::int64_t EntityIndex::CellX(double x) const noexcept {
    const double cell = std::floor((x - m_gridMin.x) / m_cellSize);
    return static_cast<std::int64_t>(std::clamp(cell, 0.0, static_cast<double>(m_columns - 1)));
}

std::int64_t EntityIndex::CellY(double y) const noexcept {
    const double cell = std::floor((y - m_gridMin.y) / m_cellSize);
    return static_cast<std::int64_t>(std::clamp(cell, 0.0, static_cast<double>(m_rows - 1)));
}

void EntityIndex::Rebuild() {
    ++m_rebuilds;
    m_cellStart.clear();
    m_cellItems.clear();
    m_large.clear();
    m_appended.clear();
    m_columns = 0;
    m_rows = 0;

    // Only entities still shown are filed; undone ones beyond the count come back through the
    // appended list if a redo brings them.
    m_boxes.resize(m_liveCount);
    std::vector<double> extents;
    extents.reserve(m_boxes.size());
    Box bounds{};
    bool any = false;
    for (const Box& box : m_boxes) {
        if (!IsFiniteBox(box)) continue;
        if (!any) {
            bounds = box;
            any = true;
        }
        bounds.min.x = std::min(bounds.min.x, box.min.x);
        bounds.min.y = std::min(bounds.min.y, box.min.y);
        bounds.max.x = std::max(bounds.max.x, box.max.x);
        bounds.max.y = std::max(bounds.max.y, box.max.y);
        extents.push_back(std::max(box.max.x - box.min.x, box.max.y - box.min.y));
    }
    if (!any) return;

    // The cell is at least as large as nine entities in ten, so few land in the large list.
    const double width = bounds.max.x - bounds.min.x;
    const double height = bounds.max.y - bounds.min.y;
    const double wantedCells =
        std::max(1.0, static_cast<double>(extents.size()) / kEntitiesPerCell);
    double cell = std::sqrt(std::max(width * height, 0.0) / wantedCells);
    const auto tenth = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() * 9 / 10);
    std::nth_element(extents.begin(), tenth, extents.end());
    cell = std::max(cell, *tenth);
    cell = std::max({cell, width / kMaxCellsPerAxis, height / kMaxCellsPerAxis});
    if (!(cell > 0.0) || !std::isfinite(cell)) cell = std::max({width, height, 1.0});
    if (!std::isfinite(cell)) return;  // coordinates near the double range: lists only
    m_cellSize = cell;
    m_gridMin = bounds.min;
    m_columns =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(width / cell) + 1, 1, kMaxCellsPerAxis);
    m_rows =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(height / cell) + 1, 1, kMaxCellsPerAxis);

    // Counting sort of the small entities by cell.
    const auto cells = static_cast<std::size_t>(m_columns * m_rows);
    std::vector<std::uint32_t> cellOf(m_boxes.size(), UINT32_MAX);
    m_cellStart.assign(cells + 1, 0);
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        const Box& box = m_boxes[i];
        if (!IsFiniteBox(box)) continue;
        if (box.max.x - box.min.x > cell || box.max.y - box.min.y > cell) {
            m_large.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        const auto c = static_cast<std::uint32_t>(CellY(box.min.y) * m_columns + CellX(box.min.x));
        cellOf[i] = c;
        ++m_cellStart[c + 1];
    }
    for (std::size_t c = 0; c < cells; ++c) m_cellStart[c + 1] += m_cellStart[c];
    m_cellItems.resize(m_cellStart[cells]);
    std::vector<std::uint32_t> fill(m_cellStart.begin(), m_cellStart.end() - 1);
    for (std::size_t i = 0; i < cellOf.size(); ++i) {
        if (cellOf[i] != UINT32_MAX) m_cellItems[fill[cellOf[i]]++] = static_cast<std::uint32_t>(i);
    }
}

}  // namespace pelimator::board
