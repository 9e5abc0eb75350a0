// The error raised by the LHA format code (headers, codecs) for data it cannot accept.
// Callers above the formats layer turn it into their own error with context (archive, member).
#pragma once

#include <string>

#include "foundation/errors.h"

namespace tq {

class ELhaError : public EVornError {
 public:
  explicit ELhaError(const std::string& message) : EVornError(message) {}
};

}  // namespace tq
