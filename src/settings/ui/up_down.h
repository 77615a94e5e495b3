// A spinner bound to a text box: up and down arrows stepping a value within a range.
#pragma once

#include <QWidget>

class QToolButton;

namespace pelimator::settings {

// Holds an integer within [minimum, maximum]; the arrows (buttons, Up/Down keys, the wheel)
// change it by the step and stop at the ends. The text box it serves follows valueChanged.
class UpDown : public QWidget {
    Q_OBJECT

public:
    UpDown(int minimum, int maximum, int step, int value, QWidget* parent = nullptr);

    [[nodiscard]] int Value() const noexcept { return m_value; }
    [[nodiscard]] int Minimum() const noexcept { return m_minimum; }
    [[nodiscard]] int Maximum() const noexcept { return m_maximum; }
    // Takes value when it lies within the range and returns true; otherwise refuses it, keeping
    // the current value, and returns false.
    bool SetValue(int value);
    // Moves by steps × step, stopping at the ends of the range.
    void StepBy(int steps);

signals:
    void valueChanged(int value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_minimum;
    int m_maximum;
    int m_step;
    int m_value;
    QToolButton* m_up;
    QToolButton* m_down;
};

}  // namespace pelimator::settings
