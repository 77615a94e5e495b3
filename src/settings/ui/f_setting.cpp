// The settings dialog: layout, typed-text filtering, the radius check, reading and saving.
#include "settings/ui/f_setting.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "settings/settings_file.h"
#include "settings/ui/setting_pictures.h"
#include "settings/ui/up_down.h"

namespace pelimator::settings {
namespace {

struct BoxSetup {
    int minimum;
    int maximum;
    int initial;
    int maxLength;
    const char* what;  // the box in messages
};

// Spinner ranges, initial values (before the file is read), box lengths and names, by index.
constexpr std::array<BoxSetup, 5> kBoxes{{{kLengthMin, kLengthMax, 5, 2, "波線の幅(W)"},
                                          {kLengthMin, kLengthMax, 3, 2, "波線の半径(R)"},
                                          {kLengthMin, kLengthMax, 5, 2, "ジグザグ線の幅(W)"},
                                          {kLengthMin, kLengthMax, 5, 2, "ジグザグ線の高さ(H)"},
                                          {kLayerMin, kLayerMax, 200, 9, "レイヤの番号"}}};

// A box's text as a number: digits only (at most 18); none for an empty box or any other text.
std::optional<long long> BoxNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 18) return std::nullopt;
    long long value = 0;
    for (const QChar c : text) {
        if (c.unicode() < u'0' || c.unicode() > u'9') return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

}  // namespace

F_Setting::F_Setting(std::string settingsFilePath, QWidget* parent)
    : QDialog(parent), m_settingsFilePath(std::move(settingsFilePath)) {
    setWindowTitle(QStringLiteral("設定(単位：mm)"));
    setToolTip(QStringLiteral("設定ファイル: ") + QString::fromStdString(m_settingsFilePath));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setModal(true);
    BuildControls();
    Form_Load();
    m_cmdOK->setFocus();
}

// The three frames, the labelled boxes with their spinners, and the two pictures.
void F_Setting::BuildBoxes() {
    const std::array<const char*, 3> frameTitles{"波線", "ジグザグ線", "レイヤ"};
    for (int i = 0; i < 3; ++i) {
        m_frmSet[i] = new QGroupBox(QString::fromUtf8(frameTitles[i]), this);
        m_frmSet[i]->setObjectName(QStringLiteral("frmSet%1").arg(i));
    }
    const std::array<const char*, kBoxCount> labels{"幅(W)", "半径(R)", "幅(W)", "高さ(H)", "番号"};
    for (int i = 0; i < kBoxCount; ++i) {
        m_lblSet[i] = new QLabel(QString::fromUtf8(labels[i]));
        m_lblSet[i]->setObjectName(QStringLiteral("lblSet%1").arg(i));
        m_txtSet[i] = new QLineEdit(QString::number(kBoxes[i].initial));
        m_txtSet[i]->setObjectName(QStringLiteral("txtSet%1").arg(i));
        m_txtSet[i]->setMaxLength(kBoxes[i].maxLength);
        m_txtSet[i]->setAlignment(Qt::AlignRight);
        m_txtSet[i]->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
        m_txtSet[i]->setFixedWidth(
            m_txtSet[i]->fontMetrics().horizontalAdvance(QString(kBoxes[i].maxLength + 1, u'0')) +
            12);
        m_txtSet[i]->installEventFilter(this);
        m_updSet[i] = new UpDown(kBoxes[i].minimum, kBoxes[i].maximum, 1, kBoxes[i].initial);
        m_updSet[i]->setObjectName(QStringLiteral("updSet%1").arg(i));
        QLineEdit* box = m_txtSet[i];
        connect(m_updSet[i], &UpDown::valueChanged, box,
                [box](int value) { box->setText(QString::number(value)); });
    }
    const std::array<QImage, 2> pictures{WavePicture(), ZigzagPicture()};
    for (int i = 0; i < 2; ++i) {
        m_imgSet[i] = new QLabel;
        m_imgSet[i]->setObjectName(QStringLiteral("imgSet%1").arg(i));
        m_imgSet[i]->setPixmap(QPixmap::fromImage(pictures[i]));
        m_imgSet[i]->setFixedSize(kPictureSize, kPictureSize);
        m_imgSet[i]->setFrameShape(QFrame::Box);
    }
}

void F_Setting::LayOutFrames() {
    // Wave and zigzag frames: picture at the left, two label / box / spinner rows to its right.
    for (int frame = 0; frame < 2; ++frame) {
        auto* rows = new QGridLayout;
        for (int row = 0; row < 2; ++row) {
            const int i = frame * 2 + row;
            rows->addWidget(m_lblSet[i], row, 0);
            rows->addWidget(m_txtSet[i], row, 1);
            rows->addWidget(m_updSet[i], row, 2);
        }
        auto* layout = new QHBoxLayout(m_frmSet[frame]);
        layout->addWidget(m_imgSet[frame]);
        layout->addLayout(rows);
    }
    m_chkSet = new QCheckBox(QStringLiteral("レイヤを指定する"));
    m_chkSet->setObjectName(QStringLiteral("chkSet"));
    m_chkSet->setChecked(true);
    auto* layerLayout = new QHBoxLayout(m_frmSet[2]);
    layerLayout->addWidget(m_chkSet);
    layerLayout->addStretch();
    layerLayout->addWidget(m_lblSet[4]);
    layerLayout->addWidget(m_txtSet[4]);
    layerLayout->addWidget(m_updSet[4]);
}

void F_Setting::BuildControls() {
    BuildBoxes();
    LayOutFrames();

    m_cmdOK = new QPushButton(QStringLiteral("了　解"));
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = new QPushButton(QStringLiteral("取　消"));
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_frmSet[0], 0, 0);
    grid->addWidget(m_frmSet[1], 0, 1);
    grid->addWidget(m_frmSet[2], 1, 0);
    grid->addLayout(buttons, 1, 1, Qt::AlignBottom);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* previous = m_cmdOK;
    for (QWidget* next : std::initializer_list<QWidget*>{
             m_cmdCancel, m_txtSet[0], m_updSet[0], m_txtSet[1], m_updSet[1], m_txtSet[2],
             m_updSet[2], m_txtSet[3], m_updSet[3], m_chkSet, m_txtSet[4], m_updSet[4]}) {
        setTabOrder(previous, next);
        previous = next;
    }

    connect(m_chkSet, &QCheckBox::toggled, this, [this] { chkSet_Click(); });
    connect(m_cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void F_Setting::Form_Load() { ReadSettings(); }

void F_Setting::chkSet_Click() {
    const bool enabled = m_chkSet->isChecked();
    m_lblSet[4]->setEnabled(enabled);
    m_txtSet[4]->setEnabled(enabled);
    m_updSet[4]->setEnabled(enabled);
}

void F_Setting::txtSet_KeyPress(int /*index*/, int& keyAscii) noexcept {
    const bool digit = keyAscii >= '0' && keyAscii <= '9';
    if (!digit && keyAscii >= 32) keyAscii = 0;
}

bool F_Setting::eventFilter(QObject* watched, QEvent* event) {
    const auto* key = event->type() == QEvent::KeyPress ? dynamic_cast<QKeyEvent*>(event) : nullptr;
    if (key != nullptr) {
        for (int i = 0; i < kBoxCount; ++i) {
            if (watched != m_txtSet[i]) continue;
            const QString text = key->text();
            if (text.isEmpty()) break;  // arrows, function keys: the box handles them
            // Every character the key would type must pass.
            for (const QChar c : text) {
                int keyAscii = static_cast<int>(c.unicode());
                txtSet_KeyPress(i, keyAscii);
                if (keyAscii == 0) return true;
            }
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void F_Setting::cmdOK_Click() {
    if (const int outside = SyncUpDowns(); outside >= 0) {
        const BoxSetup& box = kBoxes[static_cast<std::size_t>(outside)];
        ShowStopMessage(QStringLiteral("%1 の %2 は範囲外です。%3〜%4 の数を入力して下さい。")
                            .arg(QString::fromUtf8(box.what), m_txtSet[outside]->text())
                            .arg(box.minimum)
                            .arg(box.maximum));
        m_txtSet[outside]->setFocus();
        m_txtSet[outside]->selectAll();
        return;
    }
    if (!WaveRadiusFits(m_updSet[1]->Value(), m_updSet[0]->Value())) {
        ShowStopMessage(QString::fromUtf8(kRadiusTooSmallMessage));
        m_txtSet[1]->setFocus();
        return;
    }
    if (!WriteSettings()) {
        ShowStopMessage(QString::fromStdString(SettingsWriteFailure(m_settingsFilePath) + "。"));
        return;
    }
    accept();
}

void F_Setting::cmdCancel_Click() { reject(); }

void F_Setting::ReadSettings() {
    clsIniEdit ini;
    ini.IniFilePath(m_settingsFilePath);
    const DialogSettings s = ReadDialogSettings(ini);
    m_updSet[0]->SetValue(s.WaveWidth);
    m_updSet[1]->SetValue(s.WaveRadius);
    m_updSet[2]->SetValue(s.ZigzagWidth);
    m_updSet[3]->SetValue(s.ZigzagHeight);
    m_chkSet->setChecked(s.LayerChange == 1);
    m_updSet[4]->SetValue(s.LayerNumber);
    for (int i = 0; i < kBoxCount; ++i) m_txtSet[i]->setText(QString::number(m_updSet[i]->Value()));
    chkSet_Click();
}

bool F_Setting::WriteSettings() {
    clsIniEdit ini;
    ini.IniFilePath(m_settingsFilePath);
    DialogSettings s;
    s.WaveWidth = m_updSet[0]->Value();
    s.WaveRadius = m_updSet[1]->Value();
    s.ZigzagWidth = m_updSet[2]->Value();
    s.ZigzagHeight = m_updSet[3]->Value();
    s.LayerChange = m_chkSet->isChecked() ? 1 : 0;
    s.LayerNumber = m_updSet[4]->Value();
    return WriteDialogSettings(ini, s);
}

int F_Setting::SyncUpDowns() {
    int outside = -1;
    for (int i = 0; i < kBoxCount; ++i) {
        const std::optional<long long> value = BoxNumber(m_txtSet[i]->text());
        if (!value) continue;
        if (*value < m_updSet[i]->Minimum() || *value > m_updSet[i]->Maximum()) {
            if (outside < 0) outside = i;
            continue;
        }
        if (!m_updSet[i]->SetValue(static_cast<int>(*value))) continue;
        m_txtSet[i]->setText(QString::number(*value));
    }
    return outside;
}

void F_Setting::ShowStopMessage(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Pelimator"), text, QMessageBox::Ok,
                    this);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    box.exec();
}

}  // namespace pelimator::settings
