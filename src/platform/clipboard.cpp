// The program-wide clipboard slot and the empty default.
#include "platform/clipboard.h"

namespace tq {
namespace {

class TEmptyClipboard final : public IClipboard {
 public:
  bool HasText() const override { return false; }
  std::string Text() const override { return {}; }
};

std::shared_ptr<IClipboard>& Slot() {
  static std::shared_ptr<IClipboard> slot = std::make_shared<TEmptyClipboard>();
  return slot;
}

}  // namespace

void SetClipboard(std::shared_ptr<IClipboard> clipboard) {
  Slot() = clipboard ? std::move(clipboard) : std::make_shared<TEmptyClipboard>();
}

IClipboard& Clipboard() {
  return *Slot();
}

}  // namespace tq
