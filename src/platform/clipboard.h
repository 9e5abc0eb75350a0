// The desktop's clipboard as the lower layers read it. The core links no GUI library, so the
// desktop program fills the slot with an implementation over QClipboard; until then (the CLI,
// tests that set nothing) the clipboard holds no text. Interface thread only, as QClipboard is.
#pragma once

#include <memory>
#include <string>

namespace tq {

class IClipboard {
 public:
  virtual ~IClipboard() = default;
  // True when the clipboard offers plain text.
  virtual bool HasText() const = 0;
  // That text, UTF-8; empty when there is none.
  virtual std::string Text() const = 0;
};

// The program-wide clipboard. Set once at start; nullptr restores the empty one.
void SetClipboard(std::shared_ptr<IClipboard> clipboard);
IClipboard& Clipboard();

}  // namespace tq
