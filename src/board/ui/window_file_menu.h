// Connects the file menu's open, save and export actions to the board window.
#pragma once

#include <QSettings>
#include <memory>

#include "board/ui/board_window.h"
#include "board/ui/file_menu.h"

class QProgressBar;

namespace pelimator::board {

// The board window as the file menu's host: its menu, its application, its status bar. Also
// makes closing a modified drawing offer to save it.
class WindowFileMenu final : public FileMenuHost {
public:
    // settings: where recent files are kept (the program's QSettings when null).
    explicit WindowFileMenu(BoardWindow& window, std::unique_ptr<QSettings> settings = nullptr);
    ~WindowFileMenu() override;
    WindowFileMenu(const WindowFileMenu&) = delete;
    WindowFileMenu& operator=(const WindowFileMenu&) = delete;

    QMenu* FileMenu() override { return m_window.FileMenu(); }
    QWidget* DialogParent() override { return &m_window; }
    BoardApplication& Application() override { return *m_window.Application(); }
    // The window adds a tab for every document the application gains; an opened drawing is
    // shown whole.
    void AddDocumentTab(const BoardDocumentPtr& document) override;
    void ShowStatus(const QString& message) override;
    // The message and a busy bar in the status bar while a file is read.
    void ShowOpening(const QString& message) override;

    [[nodiscard]] board::FileMenu& Actions() { return *m_actions; }

private:
    BoardWindow& m_window;
    QProgressBar* m_progress = nullptr;
    std::unique_ptr<board::FileMenu> m_actions;
};

}  // namespace pelimator::board
