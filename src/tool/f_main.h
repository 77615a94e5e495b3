// The tool's main window: options of the next line, start and end, picking and the drawing run.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/host.h"
#include "line/line_run.h"
#include "line/picking_session.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace pelimator {

namespace settings {
class UpDown;
}

// The always-on-top panel beside the drawing. It owns the host application, the tool object and
// the picking session for the life of the connection; host events arrive through HostToolEvents
// and are forwarded to the session, whose prompts the status bar shows.
// Every host event and button handler is a boundary: a failure inside it discards the open edit
// step, is shown in a message box titled "Pelimator", resets the picking and enables the window.
class F_Main : public QMainWindow, public host::HostToolEvents {
    Q_OBJECT

public:
    // Shows an error text to the user; replaced in tests so nothing blocks.
    using ErrorPresenter = std::function<void(QWidget* parent, const QString& text)>;
    // Opens the settings dialog modally.
    using SettingsOpener = std::function<void(const QString& settingsPath)>;

    F_Main(std::shared_ptr<host::HostFactory> factory, QString settingsPath,
           QWidget* parent = nullptr);
    ~F_Main() override;
    F_Main(const F_Main&) = delete;
    F_Main& operator=(const F_Main&) = delete;
    F_Main(F_Main&&) = delete;
    F_Main& operator=(F_Main&&) = delete;

    // Start-up: reads the "Main" options and initialises the geometry. Returns false (and closes
    // the window) when anotherInstanceRunning is true.
    bool Form_Load(bool anotherInstanceRunning = false);

    void SetErrorPresenter(ErrorPresenter presenter) { m_presentError = std::move(presenter); }
    // Also hands every prompt and progress text that this window paints to mirror (the host's
    // own status bar, where the drafter's eye is), at the same moments.
    void SetStatusMirror(std::function<void(const QString& text)> mirror) {
        m_statusMirror = std::move(mirror);
    }
    void SetSettingsOpener(SettingsOpener opener) { m_openSettings = std::move(opener); }

    // The options the next line uses, as the controls show them.
    [[nodiscard]] settings::PathKind GetPathKind() const;
    [[nodiscard]] settings::LineKind GetLineKind() const;
    [[nodiscard]] settings::UpSide GetUpSide() const;
    void SyncMagnification();
    // The magnification SyncMagnification would settle on, without changing the controls.
    [[nodiscard]] std::int32_t MagnificationToUse() const;
    // Shows a typed magnification above the spinner's maximum as the maximum; when typingEnded,
    // one below the minimum as the minimum too. The spinner's value is left to SyncMagnification.
    void ShowMagnificationInRange(bool typingEnded);
    void SetControlsEnabled(bool flag);

    // Discards the character when it may not be typed into the magnification box (code set 0).
    static void txtMag_KeyPress(int& KeyAscii);

    void ResetPicking();
    void RunDrawing(const host::HostViewPtr& view);
    // Shows the line a double click would draw now, or hides it when the board's 表示 menu has
    // the preview off (both read from the settings file, as the run reads them).
    void RefreshPreview(const host::HostViewPtr& view);

    // The status bar's one line of text (prompts and progress).
    [[nodiscard]] QString StatusText() const;
    // The sink the drawing run reports progress to: the status bar, repainted at once for a
    // changed text unless the last repaint was less than the paint interval ago (a skipped
    // text is shown when the event loop runs again, or replaced by the next one).
    [[nodiscard]] const host::StatusSink& ProgressSink() const { return m_progress; }
    void SetStatusPaintInterval(int milliseconds);
    // Default interval: a status-bar repaint costs well under a millisecond, so at most one in
    // 50 ms keeps a long run within a few per cent of its time and the text still moves.
    static constexpr int kStatusPaintInterval = 50;

    [[nodiscard]] std::int16_t PickCount() const { return m_picking.PickCount(); }
    [[nodiscard]] const host::HostPointListPtr& PickPoints() const {
        return m_picking.PickPoints();
    }
    [[nodiscard]] bool IsConnected() const { return m_rapidTool != nullptr; }

    // Host tool events.
    void RapidTool_Connect(const host::HostViewPtr& vw) override;
    void RapidTool_DisConnect(const host::HostViewPtr& vw) override;
    void RapidTool_IsSnapOperation(std::int16_t& bSnap) override;
    void RapidTool_LButtonDown(const host::HostViewPtr& vw,
                               const host::HostPointPtr& DownPoint) override;
    void RapidTool_LButtonDblck(const host::HostViewPtr& vw,
                                const host::HostPointPtr& DownPoint) override;
    void RapidTool_KeyDown(const host::HostViewPtr& vw, std::int16_t KeyCode,
                           std::int16_t Shift) override;
    void RapidTool_BackOperation(const host::HostViewPtr& vw) override;
    void RapidTool_MouseMove(const host::HostViewPtr& vw,
                             const host::HostPointPtr& MovePoint) override;
    void RapidTool_RubberDisp(const host::HostViewPtr& vw) override;

public slots:  // NOLINT(readability-redundant-access-specifiers): Qt's slot section
    void cmdStart_Click();
    void cmdEnd_Click();
    void cmdSet_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Closing the window while the tool runs stops the tool first.
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildCurveFrames(QWidget* central);
    void BuildMagnificationFrame(QWidget* central);
    void BuildDirectionFrame(QWidget* central);
    void BuildButtons(QWidget* central);
    void ApplyMainOptions();
    // Shows text now (prompts, messages).
    void SetStatus(std::string_view text);
    // Shows progress text, throttled (see ProgressSink).
    void SetProgress(std::string_view text);
    void ShowPendingProgress();
    // Runs body; a failure is reported and the window made usable again.
    void AtBoundary(const std::function<void()>& body);
    // Acts on what the picking session asks for after an event.
    void Follow(PickingSession::Next next, const host::HostViewPtr& vw);
    void ReleaseHost();
    // The main window's options as the next line takes them.
    [[nodiscard]] LineOptions OptionsForLine(std::int32_t magnification, bool fitToEnd) const;

    std::shared_ptr<host::HostFactory> m_factory;
    QString m_settingsPath;
    ErrorPresenter m_presentError;
    std::function<void(const QString& text)> m_statusMirror;
    SettingsOpener m_openSettings;
    host::StatusSink m_progress;
    std::string m_lastStatus;
    QElapsedTimer m_sinceRepaint;
    int m_paintInterval = kStatusPaintInterval;
    bool m_progressPending = false;
    QTimer m_pendingTimer;

    // Host objects of the connection.
    host::HostApplicationPtr m_hostApp;
    host::HostToolPtr m_rapidTool;

    PickingSession m_picking;

    // Controls, named as the program's description names them.
    // NOLINTBEGIN(readability-identifier-naming)
    QGroupBox* frmMag = nullptr;
    QLineEdit* txtMag = nullptr;
    settings::UpDown* updMag = nullptr;
    QGroupBox* frmDir = nullptr;
    std::array<QRadioButton*, 2> optDir{};
    QPushButton* cmdSet = nullptr;
    QGroupBox* frmType = nullptr;
    std::array<QRadioButton*, 2> optType{};
    QGroupBox* frmPolyLineType = nullptr;
    std::array<QRadioButton*, 3> optPolyLineType{};
    QPushButton* cmdEnd = nullptr;
    QPushButton* cmdStart = nullptr;
    // NOLINTEND(readability-identifier-naming)
};

}  // namespace pelimator
