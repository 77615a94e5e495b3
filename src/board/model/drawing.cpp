// Entity storage with step-range undo, the change counter, and the snap index.
#include "board/model/drawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "base/huge_pages.h"
#include "board/model/snap_index.h"
#include "host/errors.h"

namespace pelimator::board {

namespace {

// A live handle's view of one stored entity; it keeps the drawing alive.
class DrawingSlot final : public EntitySlot {
public:
    DrawingSlot(std::shared_ptr<BoardDrawing> drawing, std::size_t index, std::uint64_t id)
        : m_drawing(std::move(drawing)), m_index(index), m_id(id) {}
    [[nodiscard]] const EntityData& Get() const override {
        return m_drawing->SlotData(m_index, m_id);
    }
    void Set(const EntityData& data) override { m_drawing->SetSlotData(m_index, m_id, data); }

private:
    std::shared_ptr<BoardDrawing> m_drawing;
    std::size_t m_index;
    std::uint64_t m_id;
};

void Grow(Box& box, Vec2 p) noexcept {
    box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y)};
    box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y)};
}

// Grows box by the arc at its stored radius: its ends and the axis points its sweep passes.
// The quarter angles an arc's sweep can pass (start in (-pi, pi], sweep up to 2 pi), with their
// cosine and sine worked out once rather than for every arc.
struct Quarter {
    double angle;
    Vec2 direction;
};
const std::array<Quarter, 13>& Quarters() {
    static const std::array<Quarter, 13> quarters = [] {
        std::array<Quarter, 13> table{};
        for (int k = 0; k < 13; ++k) {
            const double a = (k - 4) * std::numbers::pi / 2.0;
            table[static_cast<std::size_t>(k)] = {a, {std::cos(a), std::sin(a)}};
        }
        return table;
    }();
    return quarters;
}

void GrowByArc(Box& box, const EntityData& arc) {
    const ArcAngles angles = AnglesOf(arc);
    const double r = arc.radius;
    const double end = angles.start + angles.sweep;
    Grow(box, arc.center + r * Vec2{std::cos(angles.start), std::sin(angles.start)});
    Grow(box, arc.center + r * Vec2{std::cos(end), std::sin(end)});
    for (const Quarter& quarter : Quarters()) {
        if (quarter.angle > angles.start && quarter.angle < end) {
            Grow(box, arc.center + r * quarter.direction);
        }
    }
}

// A step changing this many entities has the snap index refile their boxes at the next query,
// all together, rather than one by one now.
bool ManyChanges(const std::vector<EntityChange>& changes) noexcept {
    return changes.size() > 4096;
}

}  // namespace

std::shared_ptr<BoardDrawing> BoardDrawing::Create() {
    return std::shared_ptr<BoardDrawing>(new BoardDrawing());
}

BoardDrawing::BoardDrawing() : m_index(std::make_unique<SnapIndex>()) {}
BoardDrawing::~BoardDrawing() = default;

host::HostEntityPtr BoardDrawing::Add(const host::HostEntity& entity) {
    const BoardEntity* board = AsBoardEntity(entity);
    if (board == nullptr) throw HostError("この種類の図形は図面に追加できません");
    return Handle(AddEntity(board->Data()));
}

void BoardDrawing::BeginEdit(const std::string& title) {
    if (m_editOpen) throw HostError("編集はすでに始まっています");
    DropUndone();
    m_editOpen = true;
    m_editTitle = title;
    m_editBegin = m_liveCount;
}

void BoardDrawing::EndEdit(bool commit) {
    if (!m_editOpen) throw HostError("編集が始まっていません");
    m_editOpen = false;
    if (commit) {
        if (m_liveCount > m_editBegin) {
            PushStep(m_editTitle, m_editBegin, m_liveCount);
            Changed(DrawingChange::History, false);
        }
    } else if (m_liveCount > m_editBegin) {
        TruncateTo(m_editBegin);
        Changed(DrawingChange::Entities, false);
    }
    DropPending();
    m_editTitle.clear();
}

void BoardDrawing::Redraw(bool /*all*/) { m_observers.Notify(DrawingChange::Redraw); }

std::size_t BoardDrawing::AddEntity(const EntityData& data) {
    if (!m_editOpen) DropUndone();
    const std::size_t index = m_entities.size();
    m_entities.push_back(data);
    Push(index, kNoRecordKey);
    m_liveCount = m_entities.size();
    if (m_editOpen) {
        ++m_changeCount;  // observers hear of the whole step at EndEdit
        return index;
    }
    PushStep(kSingleAddTitle, index, index + 1);
    Changed(DrawingChange::Entities, false);
    return index;
}

void BoardDrawing::PushStep(std::string title, std::size_t begin, std::size_t end) {
    Step step{std::move(title), begin, end, m_nextSerial++, {}, {}, {}};
    if (!m_pending.empty()) {
        // What was pending is now undone and redone with the step, so it no longer counts as
        // a change outside the history.
        step.companions = std::move(m_pending);
        m_pending.clear();
        m_dirtyOutsideHistory = m_dirtyBeforePending;
    }
    m_steps.push_back(std::move(step));
    m_appliedSteps = m_steps.size();
}

void BoardDrawing::AttachToNextStep(StepCompanion companion, DrawingChange change) {
    if (m_pending.empty()) m_dirtyBeforePending = m_dirtyOutsideHistory;
    m_pending.push_back(std::move(companion));
    ++m_changeCount;
    m_dirtyOutsideHistory = true;
    m_observers.Notify(change);
}

void BoardDrawing::Load(std::vector<EntityData> entities) {
    ReplaceAll(std::move(entities), "図面を読み込めません");
}

void BoardDrawing::ReplaceAll(std::vector<EntityData> entities, const char* what) {
    CheckNoEdit(what);
    m_index->Reset();
    m_entities = std::move(entities);
    m_ids.clear();
    ReserveHuge(m_ids, m_entities.size());
    m_ids.resize(m_entities.size());
    for (std::uint64_t& id : m_ids) id = m_nextId++;
    m_erased.assign(m_entities.size(), 0);
    m_recordKeys.clear();
    ReserveHuge(m_recordKeys, m_entities.size());
    m_recordKeys.assign(m_entities.size(), kNoRecordKey);
    m_recordEdits.clear();
    ++m_recordSerial;
    m_liveCount = m_entities.size();
    m_steps.clear();
    m_appliedSteps = 0;
    m_savedSerial = 0;
    ++m_changeCount;
    m_dirtyOutsideHistory = false;
    DropPending();
    m_observers.Notify(DrawingChange::Entities);
}

std::span<const EntityData> BoardDrawing::Entities() const noexcept {
    return {m_entities.data(), m_liveCount};
}

const EntityData& BoardDrawing::At(std::size_t index) const {
    if (index >= m_liveCount) {
        throw HostError("図形の番号が範囲外です: " + std::to_string(index));
    }
    return m_entities[index];
}

host::HostEntityPtr BoardDrawing::Handle(std::size_t index) {
    (void)At(index);
    return MakeEntityHandle(std::make_shared<DrawingSlot>(shared_from_this(), index, m_ids[index]));
}

void BoardDrawing::SetEntity(std::size_t index, const EntityData& data) {
    (void)At(index);
    SetSlotData(index, m_ids[index], data);
}

std::optional<Box> BoardDrawing::Bounds() const {
    std::optional<Box> box;
    for (std::size_t i = 0; i < m_liveCount; ++i) {
        const EntityData& e = m_entities[i];
        if (!IsFinite(e.start) || !IsFinite(e.end) || m_erased[i] != 0) continue;
        if (!box) box = Box{e.start, e.start};
        switch (e.kind) {
            case EntityKind::Line:
                Grow(*box, e.start);
                Grow(*box, e.end);
                break;
            case EntityKind::Arc:
                if (IsFinite(e.center) && std::isfinite(e.radius)) GrowByArc(*box, e);
                break;
        }
    }
    return box;
}

bool BoardDrawing::CanUndo() const noexcept { return !m_editOpen && m_appliedSteps > 0; }
bool BoardDrawing::CanRedo() const noexcept {
    return !m_editOpen && m_appliedSteps < m_steps.size();
}
std::string BoardDrawing::UndoTitle() const {
    return CanUndo() ? m_steps[m_appliedSteps - 1].title : std::string();
}
std::string BoardDrawing::RedoTitle() const {
    return CanRedo() ? m_steps[m_appliedSteps].title : std::string();
}

void BoardDrawing::Undo() {
    CheckNoEdit("元に戻せません");
    if (m_appliedSteps == 0) throw HostError("元に戻す操作がありません");
    DropPending();
    const Step& step = m_steps[--m_appliedSteps];
    const bool many = ManyChanges(step.changes);
    // Last change first.
    for (std::size_t k = step.changes.size(); k-- > 0;) {
        const auto& change = step.changes[k];
        SetData(change.index, change.before, change.erasedBefore, many);
    }
    for (std::size_t k = step.records.size(); k-- > 0;) {
        SetRecord(step.records[k].key, step.records[k].before);
    }
    m_liveCount = step.begin;
    for (std::size_t k = step.companions.size(); k-- > 0;) step.companions[k].undo();
    Changed(DrawingChange::History, false);
}

void BoardDrawing::Redo() {
    CheckNoEdit("やり直せません");
    if (m_appliedSteps >= m_steps.size()) throw HostError("やり直す操作がありません");
    DropPending();
    const Step& step = m_steps[m_appliedSteps++];
    for (const StepCompanion& companion : step.companions) companion.redo();
    m_liveCount = step.end;
    const bool many = ManyChanges(step.changes);
    for (const EntityChange& change : step.changes) {
        SetData(change.index, change.after, change.erasedAfter, many);
    }
    for (const RecordChange& change : step.records) SetRecord(change.key, change.after);
    Changed(DrawingChange::History, false);
}

void BoardDrawing::ClearHistory() {
    CheckNoEdit("履歴を消せません");
    DropUndone();
    // The saved state keeps its meaning: unmodified stays unmodified.
    const bool wasModified = IsModified();
    m_steps.clear();
    m_appliedSteps = 0;
    m_savedSerial = 0;
    m_dirtyOutsideHistory = wasModified;
    DropPending();
    Changed(DrawingChange::History, false);
}

void BoardDrawing::Clear() { ReplaceAll({}, "図面を消去できません"); }

bool BoardDrawing::IsModified() const noexcept {
    return TopSerial() != m_savedSerial || m_dirtyOutsideHistory ||
           (m_editOpen && m_liveCount > m_editBegin);
}

void BoardDrawing::MarkSaved() {
    m_savedSerial = TopSerial();
    m_dirtyOutsideHistory = false;
    ++m_changeCount;
    m_observers.Notify(DrawingChange::Saved);
}

void BoardDrawing::NoteChange(DrawingChange change) { Changed(change, true); }

ObserverId BoardDrawing::AddObserver(std::function<void(DrawingChange)> callback) {
    return m_observers.Add(std::move(callback));
}
void BoardDrawing::RemoveObserver(ObserverId id) noexcept { m_observers.Remove(id); }

void BoardDrawing::EntitiesNear(const Box& window, std::vector<std::size_t>& out) const {
    m_index->CatchUp(m_entities);
    m_index->Query(window, m_liveCount, out);
}

const EntityData& BoardDrawing::SlotData(std::size_t index, std::uint64_t id) const {
    if (index >= m_entities.size() || m_ids[index] != id) {
        throw HostError("この図形はもう図面にありません");
    }
    return m_entities[index];
}

void BoardDrawing::SetSlotData(std::size_t index, std::uint64_t id, const EntityData& data) {
    (void)SlotData(index, id);
    m_index->Replace(index, m_entities[index], data);
    m_entities[index] = data;
    // An entity added in the open edit step changes with that step; others outside history.
    if (m_editOpen && index >= m_editBegin) {
        ++m_changeCount;
        return;
    }
    Changed(DrawingChange::Entities, true);
}

void BoardDrawing::DropUndone() {
    if (m_appliedSteps < m_steps.size()) m_steps.resize(m_appliedSteps);
    TruncateTo(m_liveCount);
}

void BoardDrawing::TruncateTo(std::size_t size) {
    if (size >= m_entities.size()) return;
    m_index->Truncate(m_entities, size);
    m_entities.resize(size);
    m_ids.resize(size);
    m_erased.resize(size);
    m_recordKeys.resize(size);
    m_liveCount = std::min(m_liveCount, size);
}

void BoardDrawing::Apply(const std::string& title, EditStep step) {
    CheckNoEdit("図形を編集できません");
    if (step.Empty()) return;
    for (const EntityChange& change : step.changes) (void)At(change.index);
    if (step.addedRecords.size() != step.added.size()) {
        step.addedRecords.resize(step.added.size(), kNoRecordKey);
    }
    DropUndone();
    const std::size_t begin = m_entities.size();
    m_entities.reserve(begin + step.added.size());
    for (std::size_t i = 0; i < step.added.size(); ++i) {
        m_entities.push_back(step.added[i]);
        Push(begin + i, step.addedRecords[i]);
    }
    m_liveCount = m_entities.size();
    const bool many = ManyChanges(step.changes);
    for (const EntityChange& change : step.changes) {
        SetData(change.index, change.after, change.erasedAfter, many);
    }
    for (const RecordChange& change : step.records) SetRecord(change.key, change.after);
    if (!step.changes.empty() || !step.records.empty()) {
        DropPending();  // a layer made for a new line stays outside an edit of existing content
    }
    // A step that only adds (a paste) takes the layers made for it along, as an added line does.
    PushStep(title, begin, m_liveCount);
    m_steps.back().changes = std::move(step.changes);
    m_steps.back().records = std::move(step.records);
    Changed(DrawingChange::History, false);
}

std::optional<std::pair<std::size_t, std::size_t>> BoardDrawing::StepRangeOf(
    std::size_t index) const noexcept {
    for (std::size_t s = m_appliedSteps; s-- > 0;) {
        const Step& step = m_steps[s];
        if (step.begin <= index && index < step.end) return std::pair{step.begin, step.end};
    }
    return std::nullopt;
}

void BoardDrawing::Push(std::size_t index, std::uint32_t recordKey) {
    (void)index;
    m_ids.push_back(m_nextId++);
    m_erased.push_back(0);
    m_recordKeys.push_back(recordKey);
}

void BoardDrawing::SetData(std::size_t index, const EntityData& data, bool erased, bool many) {
    EntityData& stored = m_entities[index];
    const bool sameShape = stored.kind == data.kind && stored.start == data.start &&
                           stored.end == data.end && stored.center == data.center &&
                           stored.radius == data.radius;
    // Erasing keeps the shape: the snap index needs no work (hidden entities are not caught).
    if (!sameShape && many) {
        m_index->MarkChanged(index);
    } else if (!sameShape) {
        m_index->Replace(index, stored, data);
    }
    stored = data;
    m_erased[index] = erased ? 1 : 0;
}

void BoardDrawing::SetRecord(std::uint32_t key, const std::optional<RecordEdit>& edit) {
    if (edit) {
        m_recordEdits[key] = *edit;
    } else {
        m_recordEdits.erase(key);
    }
    ++m_recordSerial;
}

void BoardDrawing::Changed(DrawingChange change, bool outsideHistory) {
    ++m_changeCount;
    if (outsideHistory) {
        DropPending();
        m_dirtyOutsideHistory = true;
    }
    m_observers.Notify(change);
}

std::uint64_t BoardDrawing::TopSerial() const noexcept {
    return m_appliedSteps > 0 ? m_steps[m_appliedSteps - 1].serial : 0;
}

void BoardDrawing::CheckNoEdit(const char* what) const {
    if (m_editOpen) throw HostError(std::string("編集の途中なので") + what);
}

}  // namespace pelimator::board
