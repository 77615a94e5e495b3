// The tool's main window: options of the next line, start and end, picking and the drawing run.
#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/host.h"
#include "line/line_run.h"

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
// the picking state for the life of the connection; host events arrive through HostToolEvents.
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

    // Start-up: reads the "Main" options and initialises the geometry. Returns false (and closes
    // the window) when anotherInstanceRunning is true.
    bool Form_Load(bool anotherInstanceRunning = false);

    void SetErrorPresenter(ErrorPresenter presenter) { m_presentError = std::move(presenter); }
    void SetSettingsOpener(SettingsOpener opener) { m_openSettings = std::move(opener); }

    // Option indices as stored in the settings file.
    [[nodiscard]] std::int16_t GetPathKind() const;
    [[nodiscard]] std::int16_t GetLineKind() const;
    void SyncMagnification();
    void SetControlsEnabled(bool flag);

    // Discards the character when it may not be typed into the magnification box (code set 0).
    static void txtMag_KeyPress(int& KeyAscii);

    // Picking.
    void AddPickPoint(const host::HostViewPtr& view, host::HostPoint& point);
    static bool IsSamePoint(const host::HostPoint& a, const host::HostPoint& b);
    void ShowPrompt();
    void ResetPicking();
    void RunDrawing(const host::HostViewPtr& view);

    // The status bar's one line of text (prompts and progress).
    [[nodiscard]] QString StatusText() const;
    [[nodiscard]] std::int16_t PickCount() const { return m_pickCount; }
    [[nodiscard]] const host::HostPointListPtr& PickPoints() const { return m_pickPoints; }
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

public slots:
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
    void ApplyMainOptions();
    void SetStatus(std::string_view text);
    // Runs body; a failure is reported and the window made usable again.
    void AtBoundary(const std::function<void()>& body);
    bool PassesDrawingGuard(const host::HostViewPtr& vw) const;
    void ReleaseHost();

    std::shared_ptr<host::HostFactory> m_factory;
    QString m_settingsPath;
    ErrorPresenter m_presentError;
    SettingsOpener m_openSettings;
    host::StatusSink m_status;
    std::string m_lastStatus;

    // Host objects of the connection.
    host::HostApplicationPtr m_hostApp;
    host::HostToolPtr m_rapidTool;

    // Picking state.
    std::int16_t m_pickCount = 0;
    host::HostDocumentPtr m_pickDocument;
    host::HostPointListPtr m_pickPoints;
    host::HostCurvePtr m_rubberShape;

    // Controls, named as the program's description names them.
    QGroupBox* frmMag = nullptr;
    QLineEdit* txtMag = nullptr;
    settings::UpDown* updMag = nullptr;
    QGroupBox* frmDir = nullptr;
    QRadioButton* optDir[2] = {};
    QPushButton* cmdSet = nullptr;
    QGroupBox* frmType = nullptr;
    QRadioButton* optType[2] = {};
    QGroupBox* frmPolyLineType = nullptr;
    QRadioButton* optPolyLineType[3] = {};
    QPushButton* cmdEnd = nullptr;
    QPushButton* cmdStart = nullptr;
};

}  // namespace pelimator
