// The culling grid: change detection and the rebuild.
#include "board/render/entity_index.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/huge_pages.h"

namespace pelimator::board {

namespace {

bool SameBox(const Box& a, const Box& b) noexcept { return a.min == b.min && a.max == b.max; }

}  // namespace

void EntityIndex::Clear() noexcept {
    m_grid = BoxGrid{};
    m_extra.clear();
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
    if (TakeBoxes(drawing)) Rebuild(drawing);
    m_seenChange = drawing.ChangeCount();
    m_synced = true;
}

bool EntityIndex::TakeBoxes(const BoardDrawing& drawing) {
    const auto entities = drawing.Entities();
    const std::size_t count = entities.size();
    m_liveCount = count;
    // Entities the index already knows keep their slot unless their box moved (a live-handle
    // edit, or a new add that replaced an undone entity): then only a rebuild files them right.
    const std::size_t known = std::min(count, Size());
    for (std::size_t i = 0; i < known; ++i) {
        if (!SameBox(ConservativeBox(entities[i]), KnownBox(i))) return true;
    }
    const std::size_t limit = std::max<std::size_t>(1024, count / 8);
    if (count - known > limit) return true;
    for (std::size_t i = Size(); i < count; ++i) {
        m_extra.push_back(ConservativeBox(entities[i]));
        if (IsFiniteBox(m_extra.back())) m_appended.push_back(static_cast<std::uint32_t>(i));
    }
    return m_appended.size() > limit;
}

void EntityIndex::Rebuild(const BoardDrawing& drawing) {
    ++m_rebuilds;
    m_extra.clear();
    m_appended.clear();
    // Only entities still shown are filed; undone ones beyond the count come back as new ones
    // if a redo brings them.
    const auto entities = drawing.Entities();
    std::vector<Box> boxes;
    ReserveHuge(boxes, entities.size());
    for (const EntityData& entity : entities) boxes.push_back(ConservativeBox(entity));
    m_grid.Build(std::move(boxes));
}

}  // namespace pelimator::board
