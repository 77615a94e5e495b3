// Qt keys as the Windows key codes and shift state the tool's key event carries.
#pragma once

#include <Qt>
#include <cstdint>
#include <optional>

namespace pelimator::board {

// The Windows virtual-key code of a Qt key (Enter 13, Esc 27, letters 65..90, digits 48..57,
// F1 112, ...), or none for a key without one.
[[nodiscard]] std::optional<std::int16_t> WindowsKeyCode(int qtKey) noexcept;

// Shift state as the host passes it: 1 Shift, 2 Ctrl, 4 Alt, added together.
[[nodiscard]] std::int16_t ShiftState(Qt::KeyboardModifiers modifiers) noexcept;

}  // namespace pelimator::board
