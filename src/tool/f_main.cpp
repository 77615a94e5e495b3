// The tool's main window.
#include "tool/f_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <exception>

#include "geometry/calc.h"
#include "settings/ini_edit.h"
#include "settings/settings_file.h"
#include "settings/ui/up_down.h"
#include "tool/option_pictures.h"

namespace pelimator {

namespace {

constexpr const char* kTestDrawingName = "テスト図面";

void ShowErrorBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Pelimator"), text, QMessageBox::Ok,
                    parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

F_Main::F_Main(std::shared_ptr<host::HostFactory> factory, QString settingsPath, QWidget* parent)
    : QMainWindow(parent),
      m_factory(std::move(factory)),
      m_settingsPath(std::move(settingsPath)),
      m_presentError(ShowErrorBox),
      m_progress([this](std::string_view text) { SetProgress(text); }),
      m_picking(*m_factory, [this](std::string_view text) { SetStatus(text); }) {
    setWindowTitle(QStringLiteral("Pelimator"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    BuildControls();
    m_pendingTimer.setSingleShot(true);
    connect(&m_pendingTimer, &QTimer::timeout, this, [this] { ShowPendingProgress(); });
}

F_Main::~F_Main() {
    if (m_rapidTool) m_rapidTool->SetEventSink(nullptr);
}

void F_Main::BuildControls() {
    auto* central = new QWidget(this);
    BuildCurveFrames(central);
    BuildMagnificationFrame(central);
    BuildDirectionFrame(central);
    BuildButtons(central);

    auto* grid = new QGridLayout(central);
    grid->addWidget(frmPolyLineType, 0, 0, 2, 1);
    grid->addWidget(frmType, 0, 1);
    grid->addWidget(frmMag, 1, 1);
    grid->addWidget(frmDir, 2, 0);
    grid->addWidget(cmdSet, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdStart);
    buttons->addWidget(cmdEnd);
    grid->addLayout(buttons, 3, 0, 1, 2);
    setCentralWidget(central);
    statusBar()->setObjectName("StatusBar");
    statusBar()->setSizeGripEnabled(false);
}

// The kind of curve through the points and the kind of line along it.
void F_Main::BuildCurveFrames(QWidget* central) {
    frmPolyLineType = new QGroupBox(QStringLiteral("曲線の種類"), central);
    frmPolyLineType->setObjectName("frmPolyLineType");
    auto* polyLayout = new QVBoxLayout(frmPolyLineType);
    const std::array<const char*, 3> polyTexts{"折れ線", "点近傍曲線", "点通過曲線"};
    for (std::size_t i = 0; i < 3; ++i) {
        optPolyLineType[i] = new QRadioButton(QString::fromUtf8(polyTexts[i]), frmPolyLineType);
        optPolyLineType[i]->setObjectName(QStringLiteral("optPolyLineType%1").arg(i));
        polyLayout->addWidget(optPolyLineType[i]);
    }
    optPolyLineType[2]->setChecked(true);

    frmType = new QGroupBox(QStringLiteral("波線の種類"), central);
    frmType->setObjectName("frmType");
    auto* typeLayout = new QVBoxLayout(frmType);
    const std::array<const char*, 2> typeTexts{"波", "ジグザグ"};
    for (std::size_t i = 0; i < 2; ++i) {
        optType[i] = new QRadioButton(QString::fromUtf8(typeTexts[i]), frmType);
        optType[i]->setObjectName(QStringLiteral("optType%1").arg(i));
        optType[i]->setIcon(i == 0 ? WaveOptionPicture() : ZigzagOptionPicture());
        optType[i]->setIconSize(QSize(40, 16));
        typeLayout->addWidget(optType[i]);
    }
    optType[0]->setChecked(true);
}

// The magnification, typed or stepped.
void F_Main::BuildMagnificationFrame(QWidget* central) {
    frmMag = new QGroupBox(QStringLiteral("倍率(%)"), central);
    frmMag->setObjectName("frmMag");
    auto* magLayout = new QHBoxLayout(frmMag);
    txtMag = new QLineEdit(QStringLiteral("100"), frmMag);
    txtMag->setObjectName("txtMag");
    txtMag->setMaxLength(4);
    txtMag->setAlignment(Qt::AlignRight);
    txtMag->installEventFilter(this);
    updMag =
        new settings::UpDown(settings::kMagMin, settings::kMagMax, settings::kMagStep, 100, frmMag);
    updMag->setObjectName("updMag");
    connect(updMag, &settings::UpDown::valueChanged, txtMag,
            [this](int value) { txtMag->setText(QString::number(value)); });
    // What is typed shows the magnification the next line takes: more digits can only make a
    // number above the maximum larger, so it becomes the maximum at once; one below the minimum
    // may still be the start of a longer one, so it becomes the minimum when typing ends.
    connect(txtMag, &QLineEdit::textEdited, this, [this] { ShowMagnificationInRange(false); });
    connect(txtMag, &QLineEdit::editingFinished, this, [this] { ShowMagnificationInRange(true); });
    magLayout->addWidget(txtMag);
    magLayout->addWidget(updMag);
}

void F_Main::BuildDirectionFrame(QWidget* central) {
    frmDir = new QGroupBox(QStringLiteral("上方向"), central);
    frmDir->setObjectName("frmDir");
    frmDir->setToolTip(QStringLiteral("進行方向に対してどちらを上方向にするか設定します"));
    auto* dirLayout = new QHBoxLayout(frmDir);
    const std::array<const char*, 2> dirTexts{"左", "右"};
    for (std::size_t i = 0; i < 2; ++i) {
        optDir[i] = new QRadioButton(QString::fromUtf8(dirTexts[i]), frmDir);
        optDir[i]->setObjectName(QStringLiteral("optDir%1").arg(i));
        dirLayout->addWidget(optDir[i]);
    }
    optDir[0]->setChecked(true);
}

void F_Main::BuildButtons(QWidget* central) {
    cmdSet = new QPushButton(QStringLiteral("設定..."), central);
    cmdSet->setObjectName("cmdSet");
    cmdStart = new QPushButton(QStringLiteral("開始"), central);
    cmdStart->setObjectName("cmdStart");
    cmdEnd = new QPushButton(QStringLiteral("終了"), central);
    cmdEnd->setObjectName("cmdEnd");
    connect(cmdSet, &QPushButton::clicked, this, &F_Main::cmdSet_Click);
    connect(cmdStart, &QPushButton::clicked, this, &F_Main::cmdStart_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &F_Main::cmdEnd_Click);
}

bool F_Main::Form_Load(bool anotherInstanceRunning) {
    if (anotherInstanceRunning) {
        close();
        return false;
    }
    ApplyMainOptions();
    M_Calc::InitPi();
    return true;
}

void F_Main::ApplyMainOptions() {
    settings::clsIniEdit ini;
    ini.IniFilePath(m_settingsPath.toStdString());
    if (const std::string problem = settings::SettingsReadProblem(ini.IniFilePath());
        !problem.empty()) {
        m_presentError(this, QString::fromStdString(problem + "。このままでは線を描けません。"));
    }
    if (const std::string notes = settings::SettingsValueNotes(ini); !notes.empty()) {
        SetStatus(notes);
    }
    const settings::MainOptions options = settings::ReadMainOptions(ini);
    optPolyLineType[static_cast<int>(options.Poly)]->setChecked(true);
    optType[static_cast<int>(options.Type)]->setChecked(true);
    updMag->SetValue(options.Mag);
    optDir[static_cast<int>(options.Dir)]->setChecked(true);
}

settings::PathKind F_Main::GetPathKind() const {
    if (optPolyLineType[2]->isChecked()) return settings::PathKind::ThroughPoints;
    if (optPolyLineType[1]->isChecked()) return settings::PathKind::NearPoints;
    return settings::PathKind::Polyline;
}

settings::LineKind F_Main::GetLineKind() const {
    return optType[1]->isChecked() ? settings::LineKind::Zigzag : settings::LineKind::Wave;
}

settings::UpSide F_Main::GetUpSide() const {
    return optDir[1]->isChecked() ? settings::UpSide::Right : settings::UpSide::Left;
}

void F_Main::SyncMagnification() {
    bool ok = false;
    const int typed = txtMag->text().trimmed().toShort(&ok);
    if (ok) {
        // A number outside the spinner's range is brought to its nearer bound.
        updMag->SetValue(std::clamp(typed, updMag->Minimum(), updMag->Maximum()));
    }
    // The box shows the value the next line uses, also when the text could not be taken.
    txtMag->setText(QString::number(updMag->Value()));
}

void F_Main::ShowMagnificationInRange(bool typingEnded) {
    bool ok = false;
    const int typed = txtMag->text().trimmed().toShort(&ok);
    if (!ok) return;
    if (typed > updMag->Maximum()) {
        txtMag->setText(QString::number(updMag->Maximum()));
    } else if (typingEnded && typed < updMag->Minimum()) {
        txtMag->setText(QString::number(updMag->Minimum()));
    }
}

std::int32_t F_Main::MagnificationToUse() const {
    bool ok = false;
    const int typed = txtMag->text().trimmed().toShort(&ok);
    return ok ? std::clamp(typed, updMag->Minimum(), updMag->Maximum()) : updMag->Value();
}

LineOptions F_Main::OptionsForLine(std::int32_t magnification, bool fitToEnd) const {
    LineOptions options;
    options.pathKind = GetPathKind();
    options.lineKind = GetLineKind();
    options.magnification = magnification;
    options.up = GetUpSide();
    options.fitToEnd = fitToEnd;
    return options;
}

void F_Main::SetControlsEnabled(bool flag) {
    for (QWidget* widget : std::initializer_list<QWidget*>{
             frmMag, txtMag, updMag, frmDir, optDir[0], optDir[1], cmdSet, frmType, optType[0],
             optType[1], frmPolyLineType, optPolyLineType[0], optPolyLineType[1],
             optPolyLineType[2], cmdEnd, cmdStart, statusBar()}) {
        widget->setEnabled(flag);
    }
}

void F_Main::txtMag_KeyPress(int& KeyAscii) {
    if ((KeyAscii >= 32 && KeyAscii <= 47) || KeyAscii > 57) KeyAscii = 0;
}

bool F_Main::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtMag && event->type() == QEvent::KeyPress) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-static-cast-downcast): a KeyPress event
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty()) {
            int code = key->text().at(0).unicode();
            txtMag_KeyPress(code);
            if (code == 0) return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void F_Main::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    raise();
    // Starting is the first thing to do: Space or Enter does it from the keyboard.
    if (cmdStart->isEnabled()) cmdStart->setFocus();
}

void F_Main::closeEvent(QCloseEvent* event) {
    if (m_rapidTool) {
        // Stop answers with RapidTool_DisConnect, which releases the host and closes again.
        const host::HostToolPtr tool = m_rapidTool;
        try {
            tool->Stop();
        } catch (const std::exception& error) {
            m_presentError(this, QString::fromUtf8(error.what()));
        }
        ReleaseHost();
    }
    QMainWindow::closeEvent(event);
}

void F_Main::SetStatus(std::string_view text) {
    m_progressPending = false;
    m_lastStatus.assign(text);
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    statusBar()->showMessage(shown);
    // showMessage only schedules a paint; the window may be inside a long host event, with no
    // event loop to run it until the line is done.
    statusBar()->repaint();
    if (m_statusMirror) m_statusMirror(shown);
    m_sinceRepaint.start();
}

void F_Main::SetProgress(std::string_view text) {
    // Progress repeats the same text many times; only a change is worth a repaint.
    if (text == m_lastStatus) return;
    m_lastStatus.assign(text);
    if (!m_sinceRepaint.isValid() || m_sinceRepaint.elapsed() >= m_paintInterval) {
        SetStatus(text);
        return;
    }
    m_progressPending = true;
    if (!m_pendingTimer.isActive()) m_pendingTimer.start(m_paintInterval);
}

void F_Main::SetStatusPaintInterval(int milliseconds) {
    m_paintInterval = milliseconds;
    if (m_pendingTimer.isActive()) m_pendingTimer.start(milliseconds);
}

void F_Main::ShowPendingProgress() {
    if (m_progressPending) SetStatus(m_lastStatus);
}

QString F_Main::StatusText() const { return statusBar()->currentMessage(); }

void F_Main::AtBoundary(const std::function<void()>& body) {
    QString failure;
    try {
        body();
        return;
    } catch (const SettingsError& error) {
        failure = QString::fromUtf8(error.what());
    } catch (const WorkLimitError& error) {
        failure = QString::fromUtf8(error.what());
    } catch (const std::exception& error) {
        failure =
            QStringLiteral("処理を完了できませんでした。\n") + QString::fromUtf8(error.what());
    }
    try {
        ResetPicking();
    } catch (const std::exception& error) {
        failure += QStringLiteral("\n(点の指示をリセットできませんでした: %1)")
                       .arg(QString::fromUtf8(error.what()));
        m_picking.Forget();
    }
    SetControlsEnabled(true);
    cmdStart->setEnabled(!m_rapidTool);
    m_presentError(this, failure);
}

void F_Main::ReleaseHost() {
    if (m_rapidTool) m_rapidTool->SetEventSink(nullptr);
    m_rapidTool.reset();
    m_picking.SetTool(nullptr);
    m_hostApp.reset();
}

void F_Main::cmdStart_Click() {
    AtBoundary([this] {
        try {
            m_hostApp = m_factory->CreateApplication();
            m_rapidTool = m_factory->CreateTool();
            m_rapidTool->SetEventSink(this);
            m_picking.SetTool(m_rapidTool);
            m_hostApp->SetVisible(true);
            if (m_hostApp->Documents()->Count() == 0) {
                m_hostApp->Documents()->Add(kTestDrawingName);
            }
            cmdStart->setEnabled(false);
            m_hostApp->ActiveDocument()->Activate();
            m_rapidTool->Start();
        } catch (...) {
            // Not connected: let the user try again.
            ReleaseHost();
            throw;
        }
    });
}

void F_Main::cmdEnd_Click() {
    if (cmdStart->isEnabled() || !m_rapidTool) {
        close();
        return;
    }
    AtBoundary([this] { m_rapidTool->Stop(); });
}

void F_Main::cmdSet_Click() {
    if (m_openSettings) m_openSettings(m_settingsPath);
}

void F_Main::Follow(PickingSession::Next next, const host::HostViewPtr& vw) {
    switch (next) {
        case PickingSession::Next::Nothing:
            break;
        case PickingSession::Next::Draw:
            RunDrawing(vw);
            break;
        case PickingSession::Next::StopTool:
            m_rapidTool->Stop();
            break;
    }
}

void F_Main::RapidTool_Connect(const host::HostViewPtr& vw) {
    AtBoundary([&] {
        m_rapidTool->SetCaption(windowTitle().toStdString());
        m_picking.Connect(vw);
        // The first prompt says first what a hand-edited setting was replaced with.
        settings::clsIniEdit ini;
        ini.IniFilePath(m_settingsPath.toStdString());
        if (const std::string notes = settings::SettingsValueNotes(ini); !notes.empty()) {
            SetStatus(notes + m_picking.Prompt());
        }
    });
}

void F_Main::RapidTool_DisConnect(const host::HostViewPtr& /*vw*/) {
    QString failure;
    try {
        ResetPicking();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    m_picking.Forget();
    ReleaseHost();
    if (!failure.isEmpty()) m_presentError(this, failure);
    close();
}

void F_Main::RapidTool_IsSnapOperation(std::int16_t& bSnap) { bSnap = -1; }

void F_Main::RapidTool_LButtonDown(const host::HostViewPtr& vw,
                                   const host::HostPointPtr& DownPoint) {
    AtBoundary([&] {
        Follow(m_picking.LButtonDown(vw, *DownPoint), vw);
        RefreshPreview(vw);
    });
}

void F_Main::RapidTool_LButtonDblck(const host::HostViewPtr& vw,
                                    const host::HostPointPtr& DownPoint) {
    AtBoundary([&] { Follow(m_picking.LButtonDblck(vw, *DownPoint), vw); });
}

void F_Main::RapidTool_KeyDown(const host::HostViewPtr& vw, std::int16_t KeyCode,
                               std::int16_t /*Shift*/) {
    AtBoundary([&] { Follow(m_picking.KeyDown(vw, KeyCode), vw); });
}

void F_Main::RapidTool_BackOperation(const host::HostViewPtr& vw) {
    AtBoundary([&] {
        m_picking.BackOperation(vw);
        RefreshPreview(vw);
    });
}

void F_Main::RapidTool_MouseMove(const host::HostViewPtr& vw, const host::HostPointPtr& MovePoint) {
    AtBoundary([&] {
        m_picking.MouseMove(vw, *MovePoint, GetPathKind());
        RefreshPreview(vw);
    });
}

void F_Main::RapidTool_RubberDisp(const host::HostViewPtr& vw) {
    AtBoundary([&] { m_picking.RubberDisp(vw); });
}

void F_Main::ResetPicking() { m_picking.Reset(); }

void F_Main::RefreshPreview(const host::HostViewPtr& view) {
    if (m_picking.PickCount() == 0 && !m_picking.IsAlong()) return;
    settings::clsIniEdit ini;
    ini.IniFilePath(m_settingsPath.toStdString());
    const settings::BoardChoices choices = settings::ReadBoardChoices(ini);
    // No preview from defaults standing in for a file that cannot be read: the run refuses it.
    if (!choices.Preview || !settings::SettingsReadProblem(ini.IniFilePath()).empty()) {
        m_picking.HidePreview();
        return;
    }
    m_picking.UpdatePreview(view, OptionsForLine(MagnificationToUse(), choices.FitEnd),
                            settings::ReadRunSettings(ini));
}

void F_Main::RunDrawing(const host::HostViewPtr& view) {
    SetControlsEnabled(false);
    settings::clsIniEdit ini;
    ini.IniFilePath(m_settingsPath.toStdString());
    // A file that exists but cannot be read would give the defaults in place of its values.
    if (const std::string problem = settings::SettingsReadProblem(ini.IniFilePath());
        !problem.empty()) {
        throw SettingsError(problem + "。直すか取り除いてから描いて下さい。");
    }
    SyncMagnification();
    auto document = view->Document();
    const settings::RunSettings runSettings = settings::ReadRunSettings(ini);
    LineOptions options = OptionsForLine(updMag->Value(), settings::ReadBoardChoices(ini).FitEnd);
    // Along an existing line the path is its own geometry: no curve through it.
    if (m_picking.IsAlong()) options.pathKind = settings::PathKind::Polyline;
    const LineResult result =
        DrawLine(*m_factory, *document, *m_picking.PathPoints(), options, runSettings, m_progress);
    ResetPicking();
    // Why nothing appeared (the step stays, empty), why the pitch was not fitted, the pitch in a
    // unit other than the millimetre: said before what to do next.
    // A hand-edited value the run replaced is named, with the value used, before the rest.
    const std::string notes = settings::SettingsValueNotes(ini);
    if (const std::string report = LineReportText(result); !report.empty() || !notes.empty()) {
        SetStatus(notes + report + m_picking.Prompt());
    }
    settings::MainOptions stored;
    stored.Poly = GetPathKind();
    stored.Type = options.lineKind;
    stored.Mag = options.magnification;
    stored.Dir = options.up;
    const bool storedOk = settings::WriteMainOptions(ini, stored);
    SetControlsEnabled(true);
    cmdStart->setEnabled(false);
    if (!storedOk) {
        m_presentError(this, QStringLiteral("線は追加しましたが、") +
                                 QString::fromStdString(
                                     settings::SettingsWriteFailure(m_settingsPath.toStdString())) +
                                 QStringLiteral("。"));
    }
}

}  // namespace pelimator
