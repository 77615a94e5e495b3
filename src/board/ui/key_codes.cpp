// Qt key to Windows virtual-key code.
#include "board/ui/key_codes.h"

namespace pelimator::board {

std::optional<std::int16_t> WindowsKeyCode(int qtKey) noexcept {
    // Letters and digits share their codes with ASCII upper case in both systems.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        return static_cast<std::int16_t>(qtKey);
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return static_cast<std::int16_t>(112 + (qtKey - Qt::Key_F1));
    }
    switch (qtKey) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
            return 18;
        case Qt::Key_Pause:
            return 19;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        default:
            return std::nullopt;
    }
}

std::int16_t ShiftState(Qt::KeyboardModifiers modifiers) noexcept {
    std::int16_t state = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) state |= 1;
    if (modifiers.testFlag(Qt::ControlModifier)) state |= 2;
    if (modifiers.testFlag(Qt::AltModifier)) state |= 4;
    return state;
}

}  // namespace pelimator::board
