// The program's windows: the board, the tool panel beside it, and what connects them.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "board/model/application.h"
#include "board/ui/recovery_dialog.h"

class QAction;
class QWidget;

namespace pelimator {
class F_Main;
namespace board {
class AutosaveService;
class BoardFactory;
class BoardWindow;
class WindowFileMenu;
}  // namespace board
}  // namespace pelimator

namespace pelimator::app {

// The board is the CAD program the tool sits beside: it is shown from the start and outlives the
// tool. Ending the tool only hides its panel (the panel keeps its options); the board's ツール
// command, or a later start of the program, shows it again. Closing the board ends the program
// (ended() is emitted).
class Program final : public QObject {
    Q_OBJECT

public:
    // Shows a message about drawings that could not be opened; replaced in tests.
    using MessagePresenter = std::function<void(QWidget* parent, const QString& text)>;

    explicit Program(const QString& settingsPath, QObject* parent = nullptr);
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    Program(Program&&) = delete;
    Program& operator=(Program&&) = delete;

    void SetMessagePresenter(MessagePresenter presenter) {
        m_presentMessage = std::move(presenter);
    }
    // Asks what to do with the drawings a session that did not end cleanly autosaved (the
    // recovery dialog); replaced in tests.
    using RecoveryAsker = std::function<std::vector<board::RecoveryChoice>(
        QWidget* parent, const std::vector<board::RecoveryEntry>& entries)>;
    void SetRecoveryAsker(RecoveryAsker asker) { m_askRecovery = std::move(asker); }

    // Shows the board and the tool panel beside it, offers the drawings a crashed session
    // autosaved, then opens files.
    void Start(const QStringList& files);
    // A later start asked for files (absolute paths; none: just come forward).
    void Activate(const QStringList& files);
    // Opens each file in a tab of its own, read one after another away from the window's thread
    // (the window answers meanwhile; Esc gives up the file being read, the next ones still
    // open). Files that are missing or no files are named in one message at once; a file that
    // is no drawing is reported when its read ends; the others open all the same.
    void OpenDrawings(const QStringList& files);
    // Whether files given to OpenDrawings are still waiting or being read.
    [[nodiscard]] bool IsOpening() const;
    // Brings the tool panel forward, or shows it again (with the options it had) after it ended.
    void ShowTool();

    [[nodiscard]] board::BoardWindow& Board() const { return *m_boardWindow; }
    [[nodiscard]] F_Main& Tool() const { return *m_tool; }
    [[nodiscard]] QAction* ShowToolAction() const { return m_showTool; }
    [[nodiscard]] const board::BoardApplicationPtr& BoardApplication() const { return m_board; }
    [[nodiscard]] board::AutosaveService& Autosave() const { return *m_autosave; }

signals:
    // The board closed for good: the program should end.
    void ended();

private:
    // Starts reading the next waiting file unless a read runs.
    void OpenNext();

    board::BoardApplicationPtr m_board;
    std::unique_ptr<board::BoardWindow> m_boardWindow;
    std::unique_ptr<board::WindowFileMenu> m_fileMenu;
    std::shared_ptr<board::BoardFactory> m_factory;
    std::unique_ptr<F_Main> m_tool;
    QAction* m_showTool = nullptr;
    std::unique_ptr<board::AutosaveService> m_autosave;
    MessagePresenter m_presentMessage;
    RecoveryAsker m_askRecovery;
    QStringList m_waiting;  // files OpenDrawings has not started reading yet
};

// Puts tool beside board on board's screen: to its right when both fit, otherwise the board
// narrowed to leave room for the tool at the screen's right edge.
void PlaceBeside(QWidget& board, QWidget& tool);

}  // namespace pelimator::app
