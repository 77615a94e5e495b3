// The spinner's buttons, keys and clamped stepping.
#include "settings/ui/up_down.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace pelimator::settings {

UpDown::UpDown(int minimum, int maximum, int step, int value, QWidget* parent)
    : QWidget(parent),
      m_minimum(minimum),
      m_maximum(maximum),
      m_step(step),
      m_value(std::clamp(value, minimum, maximum)),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(16, 11);
        layout->addWidget(button);
    }
    m_up->setObjectName("up");
    m_up->setArrowType(Qt::UpArrow);
    m_down->setObjectName("down");
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { StepBy(-1); });
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

bool UpDown::SetValue(int value) {
    if (value < m_minimum || value > m_maximum) return false;
    if (value != m_value) {
        m_value = value;
        emit valueChanged(m_value);
    }
    return true;
}

void UpDown::StepBy(int steps) {
    const long long target =
        static_cast<long long>(m_value) + static_cast<long long>(steps) * m_step;
    SetValue(static_cast<int>(std::clamp<long long>(target, m_minimum, m_maximum)));
}

void UpDown::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        StepBy(1);
    } else if (event->key() == Qt::Key_Down) {
        StepBy(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void UpDown::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0 && isEnabled()) StepBy(notches);
    event->accept();
}

}  // namespace pelimator::settings
