// Connects the file menu's actions to the board window.
#include "board/ui/window_file_menu.h"

#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>

#include "board/ui/canvas.h"

namespace pelimator::board {

WindowFileMenu::WindowFileMenu(BoardWindow& window, std::unique_ptr<QSettings> settings)
    : m_window(window), m_actions(std::make_unique<board::FileMenu>(*this, std::move(settings))) {
    m_actions->Install();
    m_window.saveDocument = [this](BoardDocument& document) {
        return m_actions->ConfirmClose(document.shared_from_this());
    };
}

WindowFileMenu::~WindowFileMenu() { m_window.saveDocument = nullptr; }

void WindowFileMenu::AddDocumentTab(const BoardDocumentPtr& document) {
    if (Canvas* canvas = m_window.CanvasOf(document.get())) canvas->ZoomToFit();
}

void WindowFileMenu::ShowOpening(const QString& message) {
    if (m_progress == nullptr) {
        m_progress = new QProgressBar(&m_window);
        m_progress->setObjectName(QStringLiteral("openProgress"));
        m_progress->setRange(0, 0);  // busy: the reader does not tell how far it is
        m_progress->setMaximumWidth(160);
        m_window.statusBar()->addPermanentWidget(m_progress);
    }
    m_progress->setVisible(!message.isEmpty());
    if (message.isEmpty()) {
        m_window.statusBar()->clearMessage();
    } else {
        m_window.statusBar()->showMessage(message);
    }
}

void WindowFileMenu::ShowStatus(const QString& message) { m_window.ShowDocumentStatus(message); }

}  // namespace pelimator::board
