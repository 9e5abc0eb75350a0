// The desktop's clipboard for the lower layers (IClipboard) over QClipboard. Interface thread
// only, as QClipboard is.
#pragma once

#include "platform/clipboard.h"

namespace tq {

class TQtClipboard final : public IClipboard {
 public:
  bool HasText() const override;
  std::string Text() const override;
};

}  // namespace tq
