// A drawing of the board: stored entities, edit steps with undo and redo, the change counter,
// observers and the spatial index behind snapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "board/model/edit_step.h"
#include "board/model/entity.h"
#include "board/model/observers.h"
#include "board/model/types.h"
#include "host/host.h"

namespace pelimator::board {

// What changed, as told to a drawing's observers.
enum class DrawingChange : std::uint8_t {
    Entities,  // entities added, discarded or edited
    History,   // an undo or redo (entities came or went too)
    Layers,    // a layer added, removed or edited, or the current layer changed
    Scale,     // the drawing scale
    Redraw,    // Redraw was called: repaint
    Saved,     // MarkSaved: the modified state changed
};

// Title of the undo step made by an Add outside BeginEdit / EndEdit.
inline constexpr const char* kSingleAddTitle = "図形追加";

class SnapIndex;

// Entities are kept in one contiguous array in the order they were added. The drawing shows the
// first Count() of them; an undo only lowers that count and a redo raises it again, so both cost
// nothing per entity. Adding after an undo drops the undone entities (and their redo steps).
// Changes made through live handles (moving a point, changing a layer) are kept but are not undo
// steps of their own; they mark the drawing modified.
class BoardDrawing final : public host::HostDrawing,
                           public std::enable_shared_from_this<BoardDrawing> {
public:
    [[nodiscard]] static std::shared_ptr<BoardDrawing> Create();
    ~BoardDrawing() override;
    BoardDrawing(const BoardDrawing&) = delete;
    BoardDrawing& operator=(const BoardDrawing&) = delete;
    BoardDrawing(BoardDrawing&&) = delete;
    BoardDrawing& operator=(BoardDrawing&&) = delete;

    // Inserts a copy of a board line or arc (HostError for anything else) and returns a live
    // handle onto the stored one. Outside an edit step the add is an undo step of its own.
    // Inside one, observers hear of the whole step once, at EndEdit.
    host::HostEntityPtr Add(const host::HostEntity& entity) override;
    // Opens an edit step; HostError when one is already open.
    void BeginEdit(const std::string& title) override;
    // true: what was added since BeginEdit becomes one undo step titled as given (nothing added:
    // no step); false: it is discarded. HostError when no step is open.
    void EndEdit(bool commit) override;
    // Tells the observers to repaint.
    void Redraw(bool all) override;

    // Applies step as one undo step titled title (an empty step: nothing). Changed entities take
    // their after state, added ones are appended, records take their after edit. HostError while
    // an edit step is open or when a change names an entity not shown.
    void Apply(const std::string& title, EditStep step);
    // Whether the entity at index was erased by an edit (it stays stored, hidden, for undo).
    [[nodiscard]] bool IsErased(std::size_t index) const noexcept {
        return index < m_erased.size() && m_erased[index] != 0;
    }
    // The record key an entity draws (see edit_step.h): for one added by Apply, as given; for
    // others kNoRecordKey (a file's entities know their record through the document's source).
    [[nodiscard]] std::uint32_t RecordKeyOf(std::size_t index) const noexcept {
        return index < m_recordKeys.size() ? m_recordKeys[index] : kNoRecordKey;
    }
    // Per stored entity: erased (1) or not (0); and the record keys, as above.
    [[nodiscard]] std::span<const std::uint8_t> ErasedFlags() const noexcept {
        return {m_erased.data(), m_liveCount};
    }
    [[nodiscard]] std::span<const std::uint32_t> RecordKeys() const noexcept {
        return {m_recordKeys.data(), m_liveCount};
    }
    // How records of the opened file differ from the file, by key; copies that exist now.
    [[nodiscard]] const std::unordered_map<std::uint32_t, RecordEdit>& RecordEdits()
        const noexcept {
        return m_recordEdits;
    }
    // Grows whenever RecordEdits changes (an edit, its undo or redo).
    [[nodiscard]] std::uint64_t RecordSerial() const noexcept { return m_recordSerial; }
    // A key for a new copy of a record, never handed out before.
    [[nodiscard]] std::uint32_t NewCopyKey() noexcept { return m_nextCopyKey++; }

    // The entities [first, second) added by the done step that added the entity at index; none
    // for an entity that came with the drawing.
    [[nodiscard]] std::optional<std::pair<std::size_t, std::size_t>> StepRangeOf(
        std::size_t index) const noexcept;

    // The same as Add for plain data; returns the index of the stored entity.
    std::size_t AddEntity(const EntityData& data);
    // Entities shown, in the order added.
    [[nodiscard]] std::size_t Count() const noexcept { return m_liveCount; }
    [[nodiscard]] std::span<const EntityData> Entities() const noexcept;
    // Entity at index (HostError when index >= Count()).
    [[nodiscard]] const EntityData& At(std::size_t index) const;
    // A live handle onto the entity at index (HostError when index >= Count()).
    [[nodiscard]] host::HostEntityPtr Handle(std::size_t index);
    // Replaces the entity at index (not an undo step). HostError when index >= Count().
    void SetEntity(std::size_t index, const EntityData& data);
    // The smallest box holding every shown entity (arcs as their flattened curves), or none.
    [[nodiscard]] std::optional<Box> Bounds() const;

    [[nodiscard]] bool InEdit() const noexcept { return m_editOpen; }
    [[nodiscard]] bool CanUndo() const noexcept;
    [[nodiscard]] bool CanRedo() const noexcept;
    // Titles of the steps Undo / Redo would take, or "" when there is none.
    [[nodiscard]] std::string UndoTitle() const;
    [[nodiscard]] std::string RedoTitle() const;
    // HostError when there is nothing to undo / redo or an edit step is open.
    void Undo();
    void Redo();
    // Forgets every undo and redo step (after opening a file); keeps the entities.
    void ClearHistory();
    // Removes every entity and step, as a new drawing; marks the drawing not modified.
    void Clear();
    // Replaces every entity and step with entities, shown and not undoable (opening a file);
    // the drawing counts as not modified. The storage is moved in, not copied.
    void Load(std::vector<EntityData> entities);

    // Grows by one on every change of anything the drawing shows or saves.
    [[nodiscard]] std::uint64_t ChangeCount() const noexcept { return m_changeCount; }
    // Whether the drawing differs from when MarkSaved was last called (undoing back to that
    // point counts as unmodified unless something outside the undo history changed).
    [[nodiscard]] bool IsModified() const noexcept;
    void MarkSaved();
    // For the document's layers and scale: records a change outside the undo history.
    void NoteChange(DrawingChange change);

    // A change of the document beside its entities, just made, that the next edit step adding
    // entities takes along: undoing the step calls undo, redoing it calls redo (a layer that a
    // line needed, created just before the line's step). Until then it counts as a change
    // outside the history; any other such change, a step that adds nothing or is discarded, an
    // undo or a redo first leave it there for good.
    struct StepCompanion {
        std::function<void()> undo;
        std::function<void()> redo;
    };
    void AttachToNextStep(StepCompanion companion, DrawingChange change);

    ObserverId AddObserver(std::function<void(DrawingChange)> callback);
    void RemoveObserver(ObserverId id) noexcept;

    // Appends to out the shown entities whose box (ConservativeBox) meets window, in no
    // particular order. The index catches up with adds, undos and redos here, so a query after a
    // large step may take longer once.
    void EntitiesNear(const Box& window, std::vector<std::size_t>& out) const;

    // For live handles: the stored entity at index if it is still the one with this id.
    [[nodiscard]] const EntityData& SlotData(std::size_t index, std::uint64_t id) const;
    void SetSlotData(std::size_t index, std::uint64_t id, const EntityData& data);

private:
    BoardDrawing();
    struct Step {
        std::string title;
        std::size_t begin = 0;
        std::size_t end = 0;
        std::uint64_t serial = 0;
        // Edits of existing content (Apply): swapped on undo and redo.
        std::vector<EntityChange> changes;
        std::vector<RecordChange> records;
        std::vector<StepCompanion> companions;
    };
    // Adds a committed step, taking the pending companions along.
    void PushStep(std::string title, std::size_t begin, std::size_t end);
    // Leaves the pending companions as changes outside the history.
    void DropPending() noexcept { m_pending.clear(); }
    void Push(std::size_t index, std::uint32_t recordKey);
    // many: one of a step's many changes (the snap index refiles it lazily).
    void SetData(std::size_t index, const EntityData& data, bool erased, bool many);
    void SetRecord(std::uint32_t key, const std::optional<RecordEdit>& edit);
    // Load and Clear: every entity replaced, the history forgotten, the drawing unmodified.
    void ReplaceAll(std::vector<EntityData> entities, const char* what);
    void DropUndone();
    void TruncateTo(std::size_t size);
    void Changed(DrawingChange change, bool outsideHistory);
    [[nodiscard]] std::uint64_t TopSerial() const noexcept;
    void CheckNoEdit(const char* what) const;

    std::vector<EntityData> m_entities;
    std::vector<std::uint64_t> m_ids;  // identity of each stored entity, for stale handles
    std::vector<std::uint8_t> m_erased;
    std::vector<std::uint32_t> m_recordKeys;
    std::unordered_map<std::uint32_t, RecordEdit> m_recordEdits;
    std::uint64_t m_recordSerial = 0;
    std::uint32_t m_nextCopyKey = kFirstCopyKey;
    std::uint64_t m_nextId = 1;
    std::size_t m_liveCount = 0;
    std::vector<Step> m_steps;
    std::size_t m_appliedSteps = 0;  // steps [0, m_appliedSteps) are done; the rest are redos
    std::uint64_t m_nextSerial = 1;
    bool m_editOpen = false;
    std::string m_editTitle;
    std::size_t m_editBegin = 0;
    std::uint64_t m_changeCount = 0;
    std::uint64_t m_savedSerial = 0;
    bool m_dirtyOutsideHistory = false;
    std::vector<StepCompanion> m_pending;  // for the next step; see AttachToNextStep
    bool m_dirtyBeforePending = false;     // m_dirtyOutsideHistory before the first of them
    ObserverList<DrawingChange> m_observers;
    std::unique_ptr<SnapIndex> m_index;
};
using BoardDrawingPtr = std::shared_ptr<BoardDrawing>;

}  // namespace pelimator::board
