// The tool object: connection, marks, rubber band, and canvas input forwarded as tool events.
#include "board/model/tool_object.h"

#include <utility>

#include "board/model/application.h"
#include "board/model/curve.h"
#include "board/model/entity.h"
#include "host/errors.h"
#include "host/point_list.h"

namespace pelimator::board {

std::shared_ptr<BoardToolObject> BoardToolObject::Create(std::weak_ptr<BoardApplication> app) {
    return std::shared_ptr<BoardToolObject>(new BoardToolObject(std::move(app)));
}

void BoardToolObject::SetCaption(const std::string& caption) {
    m_caption = caption;
    Notify(ToolChange::Caption);
}

void BoardToolObject::Start() {
    if (m_started) return;
    const auto app = m_app.lock();
    if (!app) throw HostError("ツールのアプリケーションがありません");
    const BoardDocumentPtr document = app->Active();
    if (!document) throw HostError("開いている図面がないのでツールを開始できません");
    const auto self = shared_from_this();
    if (const auto other = app->RunningTool(); other && other != self) other->Stop();
    m_started = true;
    m_view = document->View();
    app->SetRunningTool(self);
    Notify(ToolChange::Started);
    // A copy: the sink may stop the tool (and so clear m_view) inside the event.
    const host::HostViewPtr view = m_view;
    if (auto* sink = Sink()) sink->RapidTool_Connect(view);
}

void BoardToolObject::Stop() {
    if (!m_started) return;
    // The sink may release its reference to the tool inside RapidTool_DisConnect.
    const auto self = shared_from_this();
    const host::HostViewPtr view = std::move(m_view);
    host::HostToolEvents* sink = m_sink;
    m_started = false;
    m_view.reset();
    m_marks.clear();
    m_rubber.reset();
    m_preview.clear();
    m_previewAtCursor.clear();
    if (const auto app = m_app.lock(); app && app->RunningTool() == self) {
        app->SetRunningTool(nullptr);
    }
    Notify(ToolChange::Stopped);
    if (sink != nullptr) sink->RapidTool_DisConnect(view);
}

void BoardToolObject::Attach(std::int32_t /*mode*/, const host::HostViewPtr& view) {
    m_attached = view;
    Notify(ToolChange::Attached);
}

void BoardToolObject::AddMark(std::int32_t kind, const host::HostPoint& point,
                              const host::HostDocumentPtr& document) {
    m_marks.push_back({kind, {point.X(), point.Y()}, document});
    Notify(ToolChange::Marks);
}

void BoardToolObject::RemoveMark() {
    if (m_marks.empty()) return;
    m_marks.pop_back();
    Notify(ToolChange::Marks);
    if (m_marks.empty() && m_rubber) {
        m_rubber.reset();
        Notify(ToolChange::Rubber);
    }
    if (m_marks.empty() && (!m_preview.empty() || !m_previewAtCursor.empty())) {
        m_preview.clear();
        m_previewAtCursor.clear();
        Notify(ToolChange::Preview);
    }
}

void BoardToolObject::ClearMarks() {
    const bool hadRubber = static_cast<bool>(m_rubber);
    const bool hadPreview = !m_preview.empty() || !m_previewAtCursor.empty();
    m_marks.clear();
    m_rubber.reset();
    m_preview.clear();
    m_previewAtCursor.clear();
    Notify(ToolChange::Marks);
    if (hadRubber) Notify(ToolChange::Rubber);
    if (hadPreview) Notify(ToolChange::Preview);
}

void BoardToolObject::ShowPreview(const std::vector<host::HostEntityPtr>& entities,
                                  const std::vector<host::HostEntityPtr>& atCursor) {
    if (entities.empty() && atCursor.empty() && m_preview.empty() && m_previewAtCursor.empty()) {
        return;
    }
    m_preview = entities;
    m_previewAtCursor = atCursor;
    Notify(ToolChange::Preview);
}

namespace {

std::vector<EntityData> DataOf(const std::vector<host::HostEntityPtr>& entities) {
    std::vector<EntityData> data;
    data.reserve(entities.size());
    for (const auto& entity : entities) {
        if (const BoardEntity* board = entity ? AsBoardEntity(*entity) : nullptr) {
            data.push_back(board->Data());
        }
    }
    return data;
}

}  // namespace

std::vector<EntityData> BoardToolObject::PreviewEntities() const { return DataOf(m_preview); }

std::vector<EntityData> BoardToolObject::PreviewAtCursorEntities() const {
    return DataOf(m_previewAtCursor);
}

void BoardToolObject::ShowRubber(const host::HostEntityPtr& entity) {
    m_rubber = entity;
    Notify(ToolChange::Rubber);
}

std::vector<Vec2> BoardToolObject::RubberPolyline(double tolerance) const {
    if (!m_rubber) return {};
    if (const auto* curve = dynamic_cast<const BoardCurve*>(m_rubber.get())) {
        return curve->Polyline();
    }
    if (const BoardEntity* entity = AsBoardEntity(*m_rubber)) {
        return FlattenEntity(entity->Data(), tolerance);
    }
    return {};
}

host::HostDocumentPtr BoardToolObject::RubberDocument() const {
    if (!m_rubber) return nullptr;
    if (!m_marks.empty()) {
        if (auto document = m_marks.back().document.lock()) return document;
    }
    if (const auto* view = dynamic_cast<const BoardView*>(m_attached.get())) {
        return view->DocumentModel();
    }
    return nullptr;
}

host::HostToolEvents* BoardToolObject::Sink() const noexcept {
    return m_started ? m_sink : nullptr;
}

bool BoardToolObject::PrepareClick(const host::HostViewPtr& view, host::HostPoint& point) {
    auto* sink = Sink();
    if (sink == nullptr || !view) return false;
    std::int16_t bSnap = 0;
    sink->RapidTool_IsSnapOperation(bSnap);
    if (bSnap == 0) return true;
    if (Sink() == nullptr) return false;
    const auto document = view->Document();
    return document->Snap()->SnapPoint(point, *view);
}

// The forwards below copy view: the caller may pass a reference to a pointer that the event
// resets (ConnectedView() when the sink stops the tool).
void BoardToolObject::Click(const host::HostViewPtr& view, Vec2 point, std::int16_t shift) {
    const auto self = shared_from_this();
    const host::HostViewPtr target = view;  // NOLINT(performance-unnecessary-copy-initialization)
    const auto down = std::make_shared<host::PlainPoint>(point.x, point.y);
    if (shift == 0 && !PrepareClick(target, *down)) return;
    auto* sink = Sink();
    if (sink == nullptr || !target) return;
    // Cleared on the way out whatever the event does.
    struct Reset {  // NOLINT(cppcoreguidelines-special-member-functions): a local guard
        std::int16_t& flag;
        ~Reset() { flag = 0; }
    } reset{m_clickShift};
    m_clickShift = shift;
    sink->RapidTool_LButtonDown(target, down);
}

void BoardToolObject::DoubleClick(const host::HostViewPtr& view, Vec2 point) {
    const auto self = shared_from_this();
    const host::HostViewPtr target = view;  // NOLINT(performance-unnecessary-copy-initialization)
    const auto down = std::make_shared<host::PlainPoint>(point.x, point.y);
    if (!PrepareClick(target, *down)) return;
    if (auto* sink = Sink()) sink->RapidTool_LButtonDblck(target, down);
}

void BoardToolObject::Key(const host::HostViewPtr& view, std::int16_t keyCode, std::int16_t shift) {
    const auto self = shared_from_this();
    const host::HostViewPtr target = view;  // NOLINT(performance-unnecessary-copy-initialization)
    if (auto* sink = Sink()) sink->RapidTool_KeyDown(target, keyCode, shift);
}

void BoardToolObject::Back(const host::HostViewPtr& view) {
    const auto self = shared_from_this();
    const host::HostViewPtr target = view;  // NOLINT(performance-unnecessary-copy-initialization)
    if (auto* sink = Sink()) sink->RapidTool_BackOperation(target);
}

void BoardToolObject::MouseMove(const host::HostViewPtr& view, Vec2 point) {
    const auto self = shared_from_this();
    const host::HostViewPtr target = view;  // NOLINT(performance-unnecessary-copy-initialization)
    const auto move = std::make_shared<host::PlainPoint>(point.x, point.y);
    if (auto* sink = Sink()) sink->RapidTool_MouseMove(target, move);
}

void BoardToolObject::RubberDisplay(const host::HostViewPtr& view) {
    const auto self = shared_from_this();
    const host::HostViewPtr target = view;  // NOLINT(performance-unnecessary-copy-initialization)
    if (auto* sink = Sink()) sink->RapidTool_RubberDisp(target);
}

ObserverId BoardToolObject::AddObserver(std::function<void(ToolChange)> callback) {
    return m_observers.Add(std::move(callback));
}

void BoardToolObject::RemoveObserver(ObserverId id) noexcept { m_observers.Remove(id); }

void BoardToolObject::Notify(ToolChange change) const { m_observers.Notify(change); }

}  // namespace pelimator::board
