// F_Setting: the modal dialog that edits the wave, zigzag and layer settings.
#pragma once

#include <QDialog>
#include <array>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelimator::settings {

class UpDown;

// Shows the settings file's wave width and radius, zigzag width and height, layer change and
// layer number (in millimetres), lets the user edit them, refuses a typed number outside its
// spinner's range and a radius below half the width (naming them and staying open), and saves
// the six values on OK. Modal and always on top; built anew for each opening.
// Controls carry their names as object names: txtSet0..4, updSet0..4, lblSet0..4, frmSet0..2,
// imgSet0..1, chkSet, cmdOK, cmdCancel.
class F_Setting : public QDialog {
    Q_OBJECT

public:
    explicit F_Setting(std::string settingsFilePath, QWidget* parent = nullptr);

    // Filters typed characters: digits and control characters pass; anything else is
    // discarded by setting keyAscii to 0.
    static void txtSet_KeyPress(int index, int& keyAscii) noexcept;

protected:
    // Shows a message box titled "Pelimator" with the stop icon and an OK button, and waits.
    // Tests override it to record the text instead.
    virtual void ShowStopMessage(const QString& text);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int kBoxCount = 5;

    void BuildControls();
    void BuildBoxes();
    void LayOutFrames();
    void Form_Load();
    void chkSet_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    // File to controls.
    void ReadSettings();
    // Controls to file; false when the file could not be written.
    bool WriteSettings();
    // Typed text to spinners: each box whose text is a number within its spinner's range sets
    // the spinner; any other box is skipped and its spinner keeps its value. Returns the index of
    // the first box holding a number outside its range (OK names it and stays open), or -1.
    int SyncUpDowns();

    std::string m_settingsFilePath;
    std::array<QGroupBox*, 3> m_frmSet{};
    std::array<QLabel*, 2> m_imgSet{};
    std::array<QLabel*, kBoxCount> m_lblSet{};
    std::array<QLineEdit*, kBoxCount> m_txtSet{};
    std::array<UpDown*, kBoxCount> m_updSet{};
    QCheckBox* m_chkSet = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};

}  // namespace pelimator::settings
