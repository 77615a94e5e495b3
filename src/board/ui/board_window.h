// The board's window: a tab per drawing, the menus of a small CAD program and the status bar.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "board/model/application.h"
#include "board/model/document.h"
#include "board/model/tool_object.h"

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabWidget;

namespace pelimator::board {

class Canvas;

// The window's title: "drawing — Pelimator" with Qt's modified-mark placeholder after the
// drawing's name, or just the program's name when no drawing is open.
[[nodiscard]] QString WindowTitle(const BoardDocument* document);

// Shows the application's documents while the application is visible (it shows itself when
// Visible becomes true). The active tab is the active document, both ways. Closing the window
// asks about every modified drawing, stops the running tool and then lets the window close; the
// window outlives the tool, so a tool that stops leaves it open with its drawings.
class BoardWindow final : public QMainWindow {
    Q_OBJECT

public:
    explicit BoardWindow(BoardApplicationPtr application, QWidget* parent = nullptr);
    ~BoardWindow() override;
    BoardWindow(const BoardWindow&) = delete;
    BoardWindow& operator=(const BoardWindow&) = delete;
    BoardWindow(BoardWindow&&) = delete;
    BoardWindow& operator=(BoardWindow&&) = delete;

    // Asked for each modified drawing before the window or its tab closes: true when the drawing
    // may go (saved, or the user chose to discard it), false to keep it open. While unset the
    // window asks whether to discard the changes.
    std::function<bool(BoardDocument&)> saveDocument;
    // Given the local files dropped on the window, to open them; while unset drops are refused.
    std::function<void(const QStringList&)> openDropped;
    // Autosaves the modified drawings now (set by the program; unset: nothing is done).
    std::function<void()> autosaveNow;
    // Before a risky step (a conversion, a big paste): the state before it stays recoverable.
    void AutosaveNow() const {
        if (autosaveNow) autosaveNow();
    }

    // What the empty board says a drafter can do (rich text), and the status bar's hint with it;
    // shown while no drawing is open, gone with the first.
    void SetEmptyHint(const QString& text, const QString& status);

    [[nodiscard]] const BoardApplicationPtr& Application() const noexcept { return m_application; }
    // The ファイル menu, for entries added later (open, save, export).
    [[nodiscard]] QMenu* FileMenu() const noexcept { return m_fileMenu; }
    // The 表示 and 図面 menus, for entries a tool adds (its own choices, kept by the tool).
    [[nodiscard]] QMenu* ViewMenu() const noexcept { return m_viewMenu; }
    [[nodiscard]] QMenu* DrawingMenu() const noexcept { return m_drawingMenu; }
    [[nodiscard]] QAction* UndoAction() const noexcept { return m_undo; }
    [[nodiscard]] QAction* RedoAction() const noexcept { return m_redo; }
    [[nodiscard]] QTabWidget* Tabs() const noexcept { return m_tabs; }
    // The canvas of the active tab, or null when no drawing is open.
    [[nodiscard]] Canvas* CurrentCanvas() const;
    // The canvas showing document, or null.
    [[nodiscard]] Canvas* CanvasOf(const BoardDocument* document) const;
    // The snap kinds switched on in the スナップ menu; they hold for every drawing of the
    // session (not saved).
    [[nodiscard]] SnapKinds SessionSnapKinds() const noexcept { return m_snapKinds; }

    // Asks about each modified drawing (see saveDocument); true when all may go.
    bool ConfirmCloseAll();
    // Closes the active drawing after asking; false when it stays open.
    bool CloseCurrentDocument();

    // Shows message in the status bar as the active drawing's: it comes back when that drawing's
    // tab is shown again, and another drawing's tab shows that drawing's own message.
    void ShowDocumentStatus(const QString& message);

    // Adds a command of a program working beside the board to the ツール menu and the toolbar
    // (both made on the first call). The window takes no ownership of action.
    void AddToolCommand(QAction* action);

    // Menu commands, also callable directly.
    void NewDocument();
    void Undo();
    void Redo();
    void EditScale();
    void EditLayers();
    void EditGridSpacing();

signals:
    // The window closed for good: every drawing was saved or given up and the tool stopped.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildFileMenu();
    void BuildEditMenu();
    void BuildViewMenu();
    void BuildDrawingMenu();
    void BuildSnapMenu();
    void AddTab(const BoardDocumentPtr& document);
    void RemoveTab(const BoardDocument* document);
    void SelectTab(const BoardDocument* document);
    // The tab change the user asked for: refused with a word while points are picked in another
    // drawing (the picks stay where they are); else the drawing is activated and its message
    // shown.
    void OnTabChanged();
    // The drawing whose points the running tool is picking, or null when none are picked.
    [[nodiscard]] const BoardDocument* PickingDocument() const;
    void OnApplicationChange(ApplicationChange change, const BoardDocumentPtr& document);
    void WatchTool();
    [[nodiscard]] std::vector<Canvas*> Canvases() const;
    void ToolChangedInAllCanvases();
    // Gives every open drawing the session's snap kinds.
    void ApplySnapKinds();
    void Refresh();
    void RefreshTitles();
    void RefreshActions();
    // The hint page while no drawing is open, the tabs once one is.
    void RefreshEmptyHint();
    bool ConfirmClose(BoardDocument& document);
    void ShowFailure(const QString& what, const QString& detail);
    // Runs a model edit, showing a message when it fails.
    template <typename Edit>
    void Guarded(const QString& what, Edit&& edit);

    BoardApplicationPtr m_application;
    ObserverId m_applicationObserver = 0;
    std::weak_ptr<BoardToolObject> m_watchedTool;
    ObserverId m_toolObserver = 0;
    int m_newCount = 0;
    bool m_syncingTabs = false;
    // The last message of each open drawing, shown again with its tab.
    std::vector<std::pair<const BoardDocument*, QString>> m_messages;
    bool m_refreshPending = false;  // a refresh of titles and menus is queued

    QTabWidget* m_tabs = nullptr;
    QStackedWidget* m_pages = nullptr;  // the empty board's hint, or the tabs
    QLabel* m_emptyHint = nullptr;
    QString m_emptyStatus;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_drawingMenu = nullptr;
    QAction* m_closeDocument = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_gridVisible = nullptr;
    SnapKinds m_snapKinds = kDefaultSnapKinds;
    std::vector<QAction*> m_snapActions;  // in the order of the スナップ menu
    QLabel* m_positionLabel = nullptr;
    QLabel* m_scaleLabel = nullptr;
    QLabel* m_layerLabel = nullptr;
    QLabel* m_toolLabel = nullptr;
};

}  // namespace pelimator::board
