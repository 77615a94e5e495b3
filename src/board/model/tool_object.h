// The board's interactive tool object: connection, marks and rubber band for the tool, and the
// canvas input that reaches the tool as its events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/model/entity.h"
#include "board/model/observers.h"
#include "board/model/types.h"
#include "host/host.h"

namespace pelimator::board {

class BoardApplication;

// A mark the tool placed at a picked point of a document.
struct ToolMark {
    std::int32_t kind = 1;
    Vec2 point;
    std::weak_ptr<host::HostDocument> document;
};

// What changed, as told to the tool's observers.
enum class ToolChange : std::uint8_t {
    Started,
    Stopped,
    Caption,
    Marks,
    Rubber,
    Attached,
    Preview
};

// Windows key codes the canvas passes to Key.
inline constexpr std::int16_t kKeyBack = 8;
inline constexpr std::int16_t kKeyEnter = 13;
inline constexpr std::int16_t kKeyEscape = 27;

// Events go to the sink only while the tool is started (between Start and Stop). Each forward
// keeps the tool alive to its end, so the sink may stop and release the tool inside an event.
class BoardToolObject final : public host::HostTool,
                              public std::enable_shared_from_this<BoardToolObject> {
public:
    [[nodiscard]] static std::shared_ptr<BoardToolObject> Create(
        std::weak_ptr<BoardApplication> app);

    void SetEventSink(host::HostToolEvents* sink) override { m_sink = sink; }
    [[nodiscard]] std::string Caption() const override { return m_caption; }
    void SetCaption(const std::string& caption) override;
    // Connects to the active document's view and raises RapidTool_Connect there. Stops another
    // started tool of the application first. Starting a started tool does nothing. HostError
    // when the application is gone or has no active document.
    void Start() override;
    // Raises RapidTool_DisConnect on the view it connected to; clears marks and rubber band.
    // Stopping a tool that is not started does nothing.
    void Stop() override;
    // Records the view the tool works in; mode is not used by the board.
    void Attach(std::int32_t mode, const host::HostViewPtr& view) override;
    void AddMark(std::int32_t kind, const host::HostPoint& point,
                 const host::HostDocumentPtr& document) override;
    // Drops the newest mark (nothing when there is none). When the last mark goes, the rubber
    // band goes too: no picking is under way.
    void RemoveMark() override;
    // Drops all marks, the rubber band and the preview: the picking was reset.
    void ClearMarks() override;
    // The entity to draw as rubber band (null hides it). The band is shown in the document of
    // the newest mark, else the attached view's.
    void ShowRubber(const host::HostEntityPtr& entity) override;
    // The entities to draw as the preview of the tool's line (empty hides it), in the rubber
    // band's document. They are kept as handed over: never part of a drawing.
    void ShowPreview(const std::vector<host::HostEntityPtr>& entities,
                     const std::vector<host::HostEntityPtr>& atCursor) override;
    [[nodiscard]] std::int16_t ClickShift() const override { return m_clickShift; }

    [[nodiscard]] bool IsStarted() const noexcept { return m_started; }
    [[nodiscard]] const host::HostViewPtr& ConnectedView() const noexcept { return m_view; }
    [[nodiscard]] const host::HostViewPtr& AttachedView() const noexcept { return m_attached; }
    [[nodiscard]] const std::vector<ToolMark>& Marks() const noexcept { return m_marks; }
    [[nodiscard]] const host::HostEntityPtr& Rubber() const noexcept { return m_rubber; }
    // The rubber band as a point sequence (empty when none); arcs flattened to tolerance.
    // Entities of other hosts give an empty sequence.
    [[nodiscard]] std::vector<Vec2> RubberPolyline(double tolerance) const;
    [[nodiscard]] const std::vector<host::HostEntityPtr>& Preview() const noexcept {
        return m_preview;
    }
    // The preview's board lines and arcs as data (entities of other hosts are left out): what
    // finishing now would draw, and what finishing at the cursor would draw instead.
    [[nodiscard]] std::vector<EntityData> PreviewEntities() const;
    [[nodiscard]] std::vector<EntityData> PreviewAtCursorEntities() const;
    // The document whose views show the rubber band, or null.
    [[nodiscard]] host::HostDocumentPtr RubberDocument() const;

    // Canvas input on view, forwarded to the started tool's sink. Points are in drawing units.
    // Click asks RapidTool_IsSnapOperation first; when the tool wants snapping the point is
    // snapped by view's document (a point that cannot snap is dropped), then
    // RapidTool_LButtonDown. A double click reaches the canvas as a press then a double click:
    // call Click for the press and DoubleClick for the second; DoubleClick snaps the same way
    // and raises RapidTool_LButtonDblck.
    // shift: 1 when Shift is held. A Shift+click is not snapped: it names an entity, not a point.
    void Click(const host::HostViewPtr& view, Vec2 point, std::int16_t shift = 0);
    void DoubleClick(const host::HostViewPtr& view, Vec2 point);
    // RapidTool_KeyDown with a Windows key code (13 Enter, 27 Esc, ...) and shift state.
    void Key(const host::HostViewPtr& view, std::int16_t keyCode, std::int16_t shift);
    // RapidTool_BackOperation (Backspace or right click).
    void Back(const host::HostViewPtr& view);
    // RapidTool_MouseMove with the unsnapped point.
    void MouseMove(const host::HostViewPtr& view, Vec2 point);
    // RapidTool_RubberDisp: asks the tool to hand over its rubber band (after a move or to
    // repaint).
    void RubberDisplay(const host::HostViewPtr& view);

    ObserverId AddObserver(std::function<void(ToolChange)> callback);
    void RemoveObserver(ObserverId id) noexcept;

private:
    explicit BoardToolObject(std::weak_ptr<BoardApplication> app) : m_app(std::move(app)) {}
    // The sink, when events may go out now.
    [[nodiscard]] host::HostToolEvents* Sink() const noexcept;
    // Asks the tool about snapping and snaps point; false when the click must be dropped.
    bool PrepareClick(const host::HostViewPtr& view, host::HostPoint& point);
    void Notify(ToolChange change) const;

    std::weak_ptr<BoardApplication> m_app;
    host::HostToolEvents* m_sink = nullptr;
    std::string m_caption;
    bool m_started = false;
    host::HostViewPtr m_view;
    host::HostViewPtr m_attached;
    std::vector<ToolMark> m_marks;
    host::HostEntityPtr m_rubber;
    std::vector<host::HostEntityPtr> m_preview;
    std::vector<host::HostEntityPtr> m_previewAtCursor;
    std::int16_t m_clickShift = 0;
    ObserverList<ToolChange> m_observers;
};
using BoardToolPtr = std::shared_ptr<BoardToolObject>;

}  // namespace pelimator::board
