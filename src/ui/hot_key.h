// Stored hot-key codes and key sequences. A code keeps the key in its low byte (letters, digits,
// F1 to F24) and the modifiers in its high byte: Shift 1, Ctrl 2, Alt 4.
#pragma once

#include <cstdint>

#include <QKeySequence>

namespace tq {

// The shortcut of a code; empty for 0 and for a key of another kind.
QKeySequence HotKeySequence(uint16_t code);
// The code of a sequence's first key combination; 0 when it has none or a code cannot hold it.
uint16_t HotKeyCode(const QKeySequence& sequence);

}  // namespace tq
