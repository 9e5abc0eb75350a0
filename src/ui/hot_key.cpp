#include "ui/hot_key.h"

namespace tq {
namespace {

constexpr int kShift = 1, kCtrl = 2, kAlt = 4;
constexpr int kF1 = 0x70, kF24 = 0x87;

}  // namespace

QKeySequence HotKeySequence(uint16_t code) {
  const int key = code & 0xFF;
  const int modifiers = code >> 8;
  int qtKey = 0;
  // Letters and digits share their codes with Qt's keys; F1 to F24 sit at a fixed distance.
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
    qtKey = key;
  } else if (key >= kF1 && key <= kF24) {
    qtKey = Qt::Key_F1 + (key - kF1);
  } else {
    return {};
  }
  if (modifiers & kShift) qtKey |= Qt::SHIFT;
  if (modifiers & kCtrl) qtKey |= Qt::CTRL;
  if (modifiers & kAlt) qtKey |= Qt::ALT;
  return QKeySequence(qtKey);
}

uint16_t HotKeyCode(const QKeySequence& sequence) {
  if (sequence.isEmpty()) return 0;
  const QKeyCombination combination = sequence[0];
  const int key = combination.key();
  int code = 0;
  if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
    code = key;
  } else if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
    code = kF1 + (key - Qt::Key_F1);
  } else {
    return 0;
  }
  const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
  if (modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return 0;
  if (modifiers & Qt::ShiftModifier) code |= kShift << 8;
  if (modifiers & Qt::ControlModifier) code |= kCtrl << 8;
  if (modifiers & Qt::AltModifier) code |= kAlt << 8;
  return static_cast<uint16_t>(code);
}

}  // namespace tq
