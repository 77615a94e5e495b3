// The culling grid: change detection and the rebuild.
#include "board/render/entity_index.h"

#include <algorithm>
#include <vector>

#include "base/huge_pages.h"

namespace pelimator::board {

namespace {

bool SameBox(const Box& a, const Box& b) noexcept { return a.min == b.min && a.max == b.max; }

}  // namespace

void EntityIndex::Clear() noexcept {
    m_boxes.clear();
    m_grid = BoxGrid{};
    m_appended.clear();
    m_liveCount = 0;
    m_synced = false;
}

void EntityIndex::Update(const BoardDrawing& drawing) {
    if (m_drawing != &drawing) {
        Clear();
        m_drawing = &drawing;
    }
    if (m_synced && drawing.ChangeCount() == m_seenChange) return;
    const bool moved = TakeBoxes(drawing);
    if (moved || m_appended.size() > std::max<std::size_t>(1024, m_boxes.size() / 8)) Rebuild();
    m_seenChange = drawing.ChangeCount();
    m_synced = true;
}

bool EntityIndex::TakeBoxes(const BoardDrawing& drawing) {
    const auto entities = drawing.Entities();
    const std::size_t count = entities.size();
    // Entities the index already knows keep their slot unless their box moved (a live-handle
    // edit, or a new add that replaced an undone entity): then only a rebuild files them right.
    bool moved = false;
    const std::size_t known = std::min(count, m_boxes.size());
    if (count > m_boxes.capacity()) ReserveHuge(m_boxes, count);
    // So many new ones that a rebuild follows: no list of them.
    const bool rebuilding = count - known > std::max<std::size_t>(1024, count / 8);
    for (std::size_t i = 0; i < known; ++i) {
        const Box box = ConservativeBox(entities[i]);
        if (!SameBox(box, m_boxes[i])) {
            m_boxes[i] = box;
            moved = true;
        }
    }
    for (std::size_t i = m_boxes.size(); i < count; ++i) {
        m_boxes.push_back(ConservativeBox(entities[i]));
        if (!rebuilding && IsFiniteBox(m_boxes.back())) {
            m_appended.push_back(static_cast<std::uint32_t>(i));
        }
    }
    m_liveCount = count;
    return moved || rebuilding;
}

void EntityIndex::Rebuild() {
    ++m_rebuilds;
    m_appended.clear();
    // Only entities still shown are filed; undone ones beyond the count come back through the
    // appended list if a redo brings them.
    m_boxes.resize(m_liveCount);
    std::vector<Box> filed;
    ReserveHuge(filed, m_boxes.size());
    filed.assign(m_boxes.begin(), m_boxes.end());
    m_grid.Build(std::move(filed));
}

}  // namespace pelimator::board
