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

constexpr std::int16_t kKeyEnter = 13;
constexpr std::int16_t kKeyEscape = 27;
// PickCount and the prompt number PickCount + 1 are 16-bit: picks beyond this are ignored.
constexpr std::int16_t kMaxPicks = 32766;
constexpr const char* kTestDrawingName = "テスト図面";
constexpr const char* kStartPrompt = "開始点を指示して下さい。";
constexpr const char* kNextPrompt = "点目を指示して下さい。";

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
      m_status([this](std::string_view text) { SetStatus(text); }) {
    setWindowTitle(QStringLiteral("Pelimator"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    BuildControls();
}

F_Main::~F_Main() {
    if (m_rapidTool) m_rapidTool->SetEventSink(nullptr);
}

void F_Main::BuildControls() {
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);

    frmPolyLineType = new QGroupBox(QStringLiteral("曲線の種類"), central);
    frmPolyLineType->setObjectName("frmPolyLineType");
    auto* polyLayout = new QVBoxLayout(frmPolyLineType);
    const char* polyTexts[3] = {"折れ線", "点近傍曲線", "点通過曲線"};
    for (int i = 0; i < 3; ++i) {
        optPolyLineType[i] = new QRadioButton(QString::fromUtf8(polyTexts[i]), frmPolyLineType);
        optPolyLineType[i]->setObjectName(QStringLiteral("optPolyLineType%1").arg(i));
        polyLayout->addWidget(optPolyLineType[i]);
    }
    optPolyLineType[2]->setChecked(true);

    frmType = new QGroupBox(QStringLiteral("波線の種類"), central);
    frmType->setObjectName("frmType");
    auto* typeLayout = new QVBoxLayout(frmType);
    const char* typeTexts[2] = {"波", "ジグザグ"};
    for (int i = 0; i < 2; ++i) {
        optType[i] = new QRadioButton(QString::fromUtf8(typeTexts[i]), frmType);
        optType[i]->setObjectName(QStringLiteral("optType%1").arg(i));
        optType[i]->setIcon(i == 0 ? WaveOptionPicture() : ZigzagOptionPicture());
        optType[i]->setIconSize(QSize(40, 16));
        typeLayout->addWidget(optType[i]);
    }
    optType[0]->setChecked(true);

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
    magLayout->addWidget(txtMag);
    magLayout->addWidget(updMag);

    frmDir = new QGroupBox(QStringLiteral("上方向"), central);
    frmDir->setObjectName("frmDir");
    frmDir->setToolTip(QStringLiteral("進行方向に対してどちらを上方向にするか設定します"));
    auto* dirLayout = new QHBoxLayout(frmDir);
    const char* dirTexts[2] = {"左", "右"};
    for (int i = 0; i < 2; ++i) {
        optDir[i] = new QRadioButton(QString::fromUtf8(dirTexts[i]), frmDir);
        optDir[i]->setObjectName(QStringLiteral("optDir%1").arg(i));
        dirLayout->addWidget(optDir[i]);
    }
    optDir[0]->setChecked(true);

    cmdSet = new QPushButton(QStringLiteral("設定..."), central);
    cmdSet->setObjectName("cmdSet");
    cmdStart = new QPushButton(QStringLiteral("開始"), central);
    cmdStart->setObjectName("cmdStart");
    cmdEnd = new QPushButton(QStringLiteral("終了"), central);
    cmdEnd->setObjectName("cmdEnd");
    connect(cmdSet, &QPushButton::clicked, this, &F_Main::cmdSet_Click);
    connect(cmdStart, &QPushButton::clicked, this, &F_Main::cmdStart_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &F_Main::cmdEnd_Click);

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
    const settings::MainOptions options = settings::ReadMainOptions(ini);
    optPolyLineType[options.Poly]->setChecked(true);
    optType[options.Type]->setChecked(true);
    updMag->SetValue(options.Mag);
    optDir[options.Dir]->setChecked(true);
}

std::int16_t F_Main::GetPathKind() const {
    if (optPolyLineType[2]->isChecked()) return 2;
    if (optPolyLineType[1]->isChecked()) return 1;
    return 0;
}

std::int16_t F_Main::GetLineKind() const { return optType[1]->isChecked() ? 1 : 0; }

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
    // Progress repeats the same text many times; only a change is worth a repaint.
    if (text == m_lastStatus) return;
    m_lastStatus.assign(text);
    statusBar()->showMessage(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    statusBar()->repaint();
}

QString F_Main::StatusText() const { return statusBar()->currentMessage(); }

void F_Main::AtBoundary(const std::function<void()>& body) {
    QString failure;
    try {
        body();
        return;
    } catch (const SettingsError& error) {
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
        m_pickCount = 0;
        m_pickPoints.reset();
        m_rubberShape.reset();
        m_pickDocument.reset();
    }
    SetControlsEnabled(true);
    cmdStart->setEnabled(!m_rapidTool);
    m_presentError(this, failure);
}

void F_Main::ReleaseHost() {
    if (m_rapidTool) m_rapidTool->SetEventSink(nullptr);
    m_rapidTool.reset();
    m_hostApp.reset();
}

void F_Main::cmdStart_Click() {
    AtBoundary([this] {
        try {
            m_hostApp = m_factory->CreateApplication();
            m_rapidTool = m_factory->CreateTool();
            m_rapidTool->SetEventSink(this);
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

bool F_Main::PassesDrawingGuard(const host::HostViewPtr& vw) const {
    return m_pickCount == 0 || vw->Document() == m_pickDocument;
}

void F_Main::RapidTool_Connect(const host::HostViewPtr& vw) {
    AtBoundary([&] {
        m_rapidTool->SetCaption(windowTitle().toStdString());
        m_rapidTool->ClearMarks();
        vw->Document()->Drawing()->Redraw(false);
        m_pickDocument = vw->Document();
        m_rapidTool->Attach(0, vw);
        ShowPrompt();
    });
}

void F_Main::RapidTool_DisConnect(const host::HostViewPtr& /*vw*/) {
    QString failure;
    try {
        ResetPicking();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    m_pickCount = 0;
    m_pickPoints.reset();
    m_rubberShape.reset();
    m_pickDocument.reset();
    ReleaseHost();
    if (!failure.isEmpty()) m_presentError(this, failure);
    close();
}

void F_Main::RapidTool_IsSnapOperation(std::int16_t& bSnap) { bSnap = -1; }

void F_Main::RapidTool_LButtonDown(const host::HostViewPtr& vw,
                                   const host::HostPointPtr& DownPoint) {
    AtBoundary([&] {
        if (!PassesDrawingGuard(vw)) return;
        AddPickPoint(vw, *DownPoint);
    });
}

void F_Main::RapidTool_LButtonDblck(const host::HostViewPtr& vw,
                                    const host::HostPointPtr& DownPoint) {
    AtBoundary([&] {
        if (!PassesDrawingGuard(vw)) return;
        AddPickPoint(vw, *DownPoint);
        if (m_pickCount > 1) RunDrawing(vw);
    });
}

void F_Main::RapidTool_KeyDown(const host::HostViewPtr& vw, std::int16_t KeyCode,
                               std::int16_t /*Shift*/) {
    AtBoundary([&] {
        if (!PassesDrawingGuard(vw)) return;
        if (KeyCode == kKeyEnter) {
            if (m_pickCount > 1) RunDrawing(vw);
        } else if (KeyCode == kKeyEscape) {
            m_rapidTool->Stop();
        }
    });
}

void F_Main::RapidTool_BackOperation(const host::HostViewPtr& vw) {
    AtBoundary([&] {
        if (!PassesDrawingGuard(vw) || m_pickCount == 0) return;
        if (m_pickCount == 1) {
            m_pickDocument.reset();
            m_pickPoints.reset();
            m_rubberShape.reset();
        } else {
            m_pickPoints->Remove(m_pickCount - 1);
        }
        m_rapidTool->RemoveMark();
        m_pickCount = static_cast<std::int16_t>(m_pickCount - 1);
        ShowPrompt();
    });
}

void F_Main::RapidTool_MouseMove(const host::HostViewPtr& vw, const host::HostPointPtr& MovePoint) {
    AtBoundary([&] {
        if (m_pickCount <= 0 || vw->Document() != m_pickDocument) return;
        const double x = MovePoint->X();
        const double y = MovePoint->Y();
        m_pickPoints->Add(x, y);
        m_rubberShape.reset();
        m_rubberShape = m_factory->CreateCurve();
        m_rubberShape->SetPoints(GetPathKind(), *m_pickPoints);
        m_pickPoints->Remove(m_pickCount);
    });
}

void F_Main::RapidTool_RubberDisp(const host::HostViewPtr& vw) {
    AtBoundary([&] {
        if (m_pickCount > 0 && vw->Document() == m_pickDocument) {
            m_rapidTool->ShowRubber(m_rubberShape);
        }
    });
}

void F_Main::AddPickPoint(const host::HostViewPtr& view, host::HostPoint& point) {
    if (m_pickCount >= kMaxPicks) return;
    const bool ok = view->Document()->Snap()->SnapPoint(point, *view);
    if (!ok) return;
    if (m_pickCount == 0) {
        m_pickDocument = view->Document();
        m_pickPoints = m_factory->CreatePointList();
        m_rubberShape = m_factory->CreateCurve();
    } else {
        if (view->Document() != m_pickDocument) return;
        if (IsSamePoint(*m_pickPoints->Item(m_pickCount - 1), point)) return;
    }
    const double x = point.X();  // X before Y, as the host expects its reads
    const double y = point.Y();
    m_pickPoints->Add(x, y);
    m_rapidTool->AddMark(1, point, m_pickDocument);
    m_pickCount = static_cast<std::int16_t>(m_pickCount + 1);
    ShowPrompt();
}

bool F_Main::IsSamePoint(const host::HostPoint& a, const host::HostPoint& b) {
    // All four reads, left to right, whatever the first comparison gives.
    const double ax = a.X();
    const double bx = b.X();
    const double ay = a.Y();
    const double by = b.Y();
    return ax == bx && ay == by;
}

void F_Main::ShowPrompt() {
    if (m_pickCount == 0) {
        SetStatus(kStartPrompt);
    } else {
        SetStatus(std::to_string(m_pickCount + 1) + kNextPrompt);
    }
}

void F_Main::ResetPicking() {
    if (m_rapidTool) m_rapidTool->ClearMarks();
    m_pickCount = 0;
    m_rubberShape.reset();
    m_pickPoints.reset();
    m_pickDocument.reset();
    ShowPrompt();
}

void F_Main::RunDrawing(const host::HostViewPtr& view) {
    SetControlsEnabled(false);
    settings::clsIniEdit ini;
    ini.IniFilePath(m_settingsPath.toStdString());
    SyncMagnification();
    auto document = view->Document();
    const settings::RunSettings runSettings = settings::ReadRunSettings(ini);
    LineOptions options;
    options.pathKind = GetPathKind();
    options.lineKind = GetLineKind();
    options.magnification = updMag->Value();
    options.dir = optDir[0]->isChecked() ? std::int16_t{-1} : std::int16_t{0};
    DrawLine(*m_factory, *document, *m_pickPoints, options, runSettings, m_status);
    ResetPicking();
    settings::MainOptions stored;
    stored.Poly = GetPathKind();
    stored.Type = GetLineKind();
    stored.Mag = updMag->Value();
    stored.Dir = optDir[1]->isChecked() ? std::int16_t{1} : std::int16_t{0};
    const bool storedOk = settings::WriteMainOptions(ini, stored);
    SetControlsEnabled(true);
    cmdStart->setEnabled(false);
    if (!storedOk) {
        m_presentError(
            this, QStringLiteral("線は追加しましたが、設定ファイル %1 に書き込めませんでした。")
                      .arg(m_settingsPath));
    }
}

}  // namespace pelimator
