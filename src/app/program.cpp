// The program's windows and how a start, a later start and the board's ツール command use them.
#include "app/program.h"

#include <QAction>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>

#include "board/model/factory.h"
#include "board/recovery/recovery_store.h"
#include "board/ui/autosave.h"
#include "board/ui/board_window.h"
#include "board/ui/window_file_menu.h"
#include "settings/settings_file.h"
#include "settings/ui/f_setting.h"
#include "tool/board_choices_menu.h"
#include "tool/f_main.h"

namespace pelimator::app {

namespace {

void ShowMessageBox(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Pelimator"), text);
}

// Why a file given to the program cannot be opened before its content is read; empty when it
// can be tried. The file menu reports what is wrong inside a file.
QString ProblemBeforeReading(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("図面ファイル「%1」が見つかりません。").arg(path);
    if (info.isDir())
        return QStringLiteral("「%1」はフォルダです。図面ファイルを指定して下さい。").arg(path);
    if (!info.isReadable())
        return QStringLiteral("図面ファイル「%1」を読む権限がありません。").arg(path);
    return {};
}

// How often the board autosaves, in seconds, from the settings file's [Board] section (0: off).
int AutosaveSeconds(const QString& settingsPath) {
    settings::clsIniEdit ini;
    ini.IniFilePath(settingsPath.toStdString());
    return settings::ReadBoardChoices(ini).AutosaveSeconds;
}

void BringForward(QWidget& window) {
    if (window.isMinimized()) window.showNormal();
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace

Program::Program(const QString& settingsPath, QObject* parent)
    : QObject(parent),
      m_board(board::BoardApplication::Create()),
      m_boardWindow(std::make_unique<board::BoardWindow>(m_board)),
      m_fileMenu(std::make_unique<board::WindowFileMenu>(*m_boardWindow)),
      m_factory(std::make_shared<board::BoardFactory>(m_board)),
      m_tool(std::make_unique<F_Main>(m_factory, settingsPath)),
      m_autosave(std::make_unique<board::AutosaveService>(m_board, board::RecoveryRoot(),
                                                          AutosaveSeconds(settingsPath))),
      m_presentMessage(ShowMessageBox),
      m_askRecovery([](QWidget* owner, const std::vector<board::RecoveryEntry>& entries) {
          return board::AskRecovery(entries, owner);
      }) {
    m_tool->SetSettingsOpener([](const QString& path) {
        settings::F_Setting dialog(path.toStdString());
        dialog.exec();
    });
    m_tool->SetStatusMirror([board = m_boardWindow.get()](const QString& text) {
        QStatusBar* bar = board->statusBar();
        bar->showMessage(text);
        if (bar->isVisible()) bar->repaint();  // painted now: a long line holds the event loop
    });
    m_tool->Form_Load(false);

    m_showTool = new QAction(QIcon(QStringLiteral(":/pelimator.svg")),
                             QStringLiteral("Pelimator(&P)"), m_boardWindow.get());
    m_showTool->setObjectName(QStringLiteral("showToolAction"));
    m_showTool->setToolTip(QStringLiteral("Pelimator のツールを開きます"));
    connect(m_showTool, &QAction::triggered, this, &Program::ShowTool);
    m_boardWindow->AddToolCommand(m_showTool);
    // The line tool's own choices in the board's menus; the tool reads them at each move and run.
    AddBoardChoiceActions(m_boardWindow->ViewMenu(), m_boardWindow->DrawingMenu(), settingsPath,
                          m_boardWindow.get());

    // The state before a risky step (a save that drops part of the drawing) stays recoverable.
    m_boardWindow->autosaveNow = [this] { m_autosave->SaveNow(); };
    m_fileMenu->Actions().beforeLossySave = [window = m_boardWindow.get()] {
        window->AutosaveNow();
    };
    connect(m_autosave.get(), &board::AutosaveService::failed, this,
            [this](const QString& text) { m_boardWindow->statusBar()->showMessage(text); });
    connect(m_boardWindow.get(), &board::BoardWindow::closed, this, [this] {
        m_autosave->Finish();  // a clean end: nothing to recover at the next start
        m_tool->close();
        emit ended();
    });
    connect(&m_fileMenu->Actions(), &board::FileMenu::openEnded, this, &Program::OpenNext);
    m_boardWindow->openDropped = [this](const QStringList& files) { OpenDrawings(files); };
    // The first start: what the empty board offers, with the tool's own way in.
    m_boardWindow->SetEmptyHint(
        QStringLiteral("<p style='font-size:15pt'>図面が開いていません</p>"
                       "<p>ファイル → 開く... (Ctrl+O) で DXF か JWW の図面を開くか、<br>"
                       "図面のファイルをこのウィンドウにドロップして下さい。</p>"
                       "<p>新しい図面に描くには、Pelimator パネルの「開始」を押して下さい<br>"
                       "(パネルは ツール → Pelimator、Alt+T → P)。"
                       "ファイル → 新規 (Ctrl+N) でも新しい図面を作れます。</p>"),
        QStringLiteral("開く... (Ctrl+O) で図面を開くか、ファイルをドロップするか、"
                       "Pelimator パネルの「開始」で新しい図面に描いて下さい"));
}

Program::~Program() = default;

void Program::Start(const QStringList& files) {
    m_board->SetVisible(true);  // the board shows its window
    PlaceBeside(*m_boardWindow, *m_tool);
    m_tool->show();
    m_autosave->OfferRecovered(
        [this](const std::vector<board::RecoveryEntry>& entries) {
            return m_askRecovery(m_boardWindow.get(), entries);
        },
        [this](const QString& text) { m_presentMessage(m_boardWindow.get(), text); });
    if (!m_autosave->Problem().isEmpty()) {
        m_boardWindow->statusBar()->showMessage(
            QStringLiteral("自動保存できません: %1").arg(m_autosave->Problem()));
    }
    OpenDrawings(files);
}

void Program::Activate(const QStringList& files) {
    // Said in the window, so a start that only handed over is never silent.
    m_boardWindow->statusBar()->showMessage(
        files.isEmpty()
            ? QStringLiteral("もう一度起動されたので、このウィンドウを前に出しました")
            : QStringLiteral("別の起動から図面を %1 個受け取りました").arg(files.size()));
    if (!files.isEmpty()) {
        m_board->SetVisible(true);
        BringForward(*m_boardWindow);
        OpenDrawings(files);
    }
    ShowTool();
}

void Program::OpenDrawings(const QStringList& files) {
    QStringList problems;
    for (const QString& file : files) {
        const QString problem = ProblemBeforeReading(file);
        if (!problem.isEmpty()) {
            problems.append(problem);
        } else {
            m_waiting.append(file);
        }
    }
    if (!problems.isEmpty())
        m_presentMessage(m_boardWindow.get(), problems.join(QLatin1Char('\n')));
    OpenNext();
}

bool Program::IsOpening() const {
    return !m_waiting.isEmpty() || m_fileMenu->Actions().IsOpening();
}

void Program::OpenNext() {
    board::FileMenu& actions = m_fileMenu->Actions();
    // A file already open ends at once (and calls this again through openEnded).
    while (!m_waiting.isEmpty() && !actions.IsOpening()) {
        actions.OpenFileInBackground(m_waiting.takeFirst());
    }
}

void Program::ShowTool() {
    // A panel that ended is hidden and not connected: its controls are made usable again, with
    // the options it had. A panel that runs is only brought forward.
    if (m_tool->isHidden() && !m_tool->IsConnected()) m_tool->SetControlsEnabled(true);
    BringForward(*m_tool);
}

void PlaceBeside(QWidget& board, QWidget& tool) {
    const QScreen* screen = board.screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QSize toolSize = tool.sizeHint().expandedTo(tool.minimumSizeHint());
    constexpr int kGap = 8;
    constexpr int kMinBoardWidth = 400;
    QRect boardRect(area.topLeft(), board.size().boundedTo(area.size()));
    if (boardRect.width() + kGap + toolSize.width() > area.width()) {
        boardRect.setWidth(std::max(kMinBoardWidth, area.width() - kGap - toolSize.width()));
    }
    board.setGeometry(boardRect);
    const int toolX = std::min(boardRect.right() + 1 + kGap, area.right() + 1 - toolSize.width());
    tool.move(toolX, area.top());
}

}  // namespace pelimator::app
