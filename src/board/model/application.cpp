// The board application and its documents collection.
#include "board/model/application.h"

#include <algorithm>
#include <string>

#include "board/model/tool_object.h"
#include "host/errors.h"

namespace pelimator::board {

namespace {
[[noreturn]] void ThrowDocumentIndex(std::int64_t index) {
    throw HostError("図面の番号が範囲外です: " + std::to_string(index));
}
}  // namespace

std::shared_ptr<BoardApplication> BoardApplication::Create() {
    return std::shared_ptr<BoardApplication>(new BoardApplication());
}

void BoardApplication::SetVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    Notify(ApplicationChange::Visibility, nullptr);
}

host::HostDocumentsPtr BoardApplication::Documents() {
    return std::make_shared<BoardDocuments>(shared_from_this());
}

const BoardDocumentPtr& BoardApplication::DocumentAt(std::size_t index) const {
    if (index >= m_documents.size()) ThrowDocumentIndex(static_cast<std::int64_t>(index));
    return m_documents[index];
}

std::int64_t BoardApplication::IndexOf(const host::HostDocument* document) const noexcept {
    for (std::size_t i = 0; i < m_documents.size(); ++i) {
        if (m_documents[i].get() == document) return static_cast<std::int64_t>(i);
    }
    return -1;
}

BoardDocumentPtr BoardApplication::AddDocument(const std::string& name) {
    auto document = BoardDocument::Create(name, weak_from_this());
    m_documents.push_back(document);
    Notify(ApplicationChange::DocumentAdded, document);
    m_active = document;
    Notify(ApplicationChange::DocumentActivated, document);
    return document;
}

void BoardApplication::ActivateDocument(const host::HostDocument* document) {
    const std::int64_t index = IndexOf(document);
    if (index < 0) throw HostError("この図面は開かれていません");
    const auto& chosen = m_documents[static_cast<std::size_t>(index)];
    if (chosen == m_active) return;
    m_active = chosen;
    Notify(ApplicationChange::DocumentActivated, m_active);
}

void BoardApplication::RemoveDocument(std::size_t index) {
    if (index >= m_documents.size()) ThrowDocumentIndex(static_cast<std::int64_t>(index));
    const BoardDocumentPtr removed = m_documents[index];
    m_documents.erase(m_documents.begin() + static_cast<std::ptrdiff_t>(index));
    const bool wasActive = removed == m_active;
    if (wasActive) {
        m_active = m_documents.empty() ? nullptr : m_documents[index > 0 ? index - 1 : 0];
    }
    Notify(ApplicationChange::DocumentRemoved, removed);
    if (wasActive) Notify(ApplicationChange::DocumentActivated, m_active);
}

std::shared_ptr<BoardToolObject> BoardApplication::CreateTool() {
    return BoardToolObject::Create(weak_from_this());
}

void BoardApplication::SetRunningTool(const std::shared_ptr<BoardToolObject>& tool) {
    m_runningTool = tool;
    Notify(ApplicationChange::Tool, nullptr);
}

ObserverId BoardApplication::AddObserver(Observer callback) {
    return m_observers.Add(std::move(callback));
}

void BoardApplication::RemoveObserver(ObserverId id) noexcept { m_observers.Remove(id); }

void BoardApplication::Notify(ApplicationChange change, const BoardDocumentPtr& document) const {
    m_observers.Notify(change, document);
}

std::int32_t BoardDocuments::Count() const {
    return static_cast<std::int32_t>(m_application->DocumentCount());
}

host::HostDocumentPtr BoardDocuments::Add(const std::string& name) {
    return m_application->AddDocument(name);
}

host::HostDocumentPtr BoardDocuments::Item(std::int32_t index) const {
    if (index < 0) ThrowDocumentIndex(index);
    return m_application->DocumentAt(static_cast<std::size_t>(index));
}

void BoardDocuments::Remove(std::int32_t index) {
    if (index < 0) ThrowDocumentIndex(index);
    m_application->RemoveDocument(static_cast<std::size_t>(index));
}

}  // namespace pelimator::board
