// The error raised by the LHA format code (headers, codecs) for data it cannot accept.
// Callers above the formats layer turn it into their own error with context (archive, member).
#pragma once

#include <stdexcept>
#include <string>

namespace tq {

class ELhaError : public std::runtime_error {
 public:
  explicit ELhaError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tq
