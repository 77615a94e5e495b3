// The board application: the running CAD program the tool connects to, holding the open
// documents, the active one, and the tool that is started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/model/document.h"
#include "board/model/observers.h"
#include "host/host.h"

namespace pelimator::board {

class BoardToolObject;

// What changed, as told to the application's observers; document is the one concerned (null
// for Visibility and Tool).
enum class ApplicationChange : std::uint8_t {
    Visibility,         // Visible() changed
    DocumentAdded,      // a document was added (it is active too: DocumentActivated follows)
    DocumentActivated,  // the active document changed (document null when none is left)
    DocumentRemoved,    // a document was closed
    Tool,               // a tool was started or stopped
};

class BoardApplication final : public host::HostApplication,
                               public std::enable_shared_from_this<BoardApplication> {
public:
    // Invisible, with no documents.
    [[nodiscard]] static std::shared_ptr<BoardApplication> Create();

    [[nodiscard]] bool Visible() const override { return m_visible; }
    void SetVisible(bool visible) override;
    [[nodiscard]] host::HostDocumentsPtr Documents() override;
    [[nodiscard]] host::HostDocumentPtr ActiveDocument() override { return m_active; }

    [[nodiscard]] std::size_t DocumentCount() const noexcept { return m_documents.size(); }
    // HostError for an index out of range.
    [[nodiscard]] const BoardDocumentPtr& DocumentAt(std::size_t index) const;
    // Index of document, or -1 when it is not open here.
    [[nodiscard]] std::int64_t IndexOf(const host::HostDocument* document) const noexcept;
    // A new empty drawing named name, which becomes the active one.
    BoardDocumentPtr AddDocument(const std::string& name);
    // Makes an open document active; HostError when it is not open here.
    void ActivateDocument(const host::HostDocument* document);
    // Closes the document at index (HostError when out of range). When it was active, the one
    // before it (or the first) becomes active, or none when it was the last.
    void RemoveDocument(std::size_t index);
    [[nodiscard]] const BoardDocumentPtr& Active() const noexcept { return m_active; }

    // A new tool object of this application (not started).
    [[nodiscard]] std::shared_ptr<BoardToolObject> CreateTool();
    // The started tool, or null: the window forwards its canvas input there.
    [[nodiscard]] std::shared_ptr<BoardToolObject> RunningTool() const noexcept {
        return m_runningTool.lock();
    }
    // For BoardToolObject: records the started tool (null when it stopped) and tells the observers.
    void SetRunningTool(const std::shared_ptr<BoardToolObject>& tool);

    using Observer = std::function<void(ApplicationChange, const BoardDocumentPtr&)>;
    ObserverId AddObserver(Observer callback);
    void RemoveObserver(ObserverId id) noexcept;

private:
    BoardApplication() = default;
    void Notify(ApplicationChange change, const BoardDocumentPtr& document) const;

    bool m_visible = false;
    std::vector<BoardDocumentPtr> m_documents;
    BoardDocumentPtr m_active;
    std::weak_ptr<BoardToolObject> m_runningTool;
    ObserverList<ApplicationChange, const BoardDocumentPtr&> m_observers;
};
using BoardApplicationPtr = std::shared_ptr<BoardApplication>;

// The documents collection of an application, as the host interface shows it.
class BoardDocuments final : public host::HostDocuments {
public:
    explicit BoardDocuments(BoardApplicationPtr application)
        : m_application(std::move(application)) {}
    [[nodiscard]] std::int32_t Count() const override;
    // A new empty drawing, which becomes active.
    host::HostDocumentPtr Add(const std::string& name) override;
    // The document at index (HostError when out of range).
    [[nodiscard]] host::HostDocumentPtr Item(std::int32_t index) const;
    // Closes the document at index (HostError when out of range).
    void Remove(std::int32_t index);

private:
    BoardApplicationPtr m_application;
};

}  // namespace pelimator::board
