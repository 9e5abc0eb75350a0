// Splitting a srcset attribute into candidates.
#include "formats/srcset.h"

namespace tq {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

}  // namespace

std::vector<TSrcsetCandidate> ParseSrcset(std::string_view value) {
  std::vector<TSrcsetCandidate> candidates;
  std::size_t pos = 0;
  const std::size_t size = value.size();
  while (pos < size) {
    while (pos < size && (IsBlank(value[pos]) || value[pos] == ',')) ++pos;
    if (pos == size) break;
    // An address runs to the next blank; commas inside it belong to it (data: addresses hold
    // them), only commas at its end separate candidates.
    const std::size_t begin = pos;
    while (pos < size && !IsBlank(value[pos])) ++pos;
    std::size_t end = pos;
    const bool commaEnded = value[end - 1] == ',';
    while (value[end - 1] == ',') --end;  // the first character is no comma
    candidates.push_back({begin, end});
    if (commaEnded) continue;
    // Descriptors up to the next comma outside parentheses ("calc(1px, 2px)" is one).
    bool inParens = false;
    for (; pos < size; ++pos) {
      const char c = value[pos];
      if (inParens) {
        inParens = c != ')';
      } else if (c == '(') {
        inParens = true;
      } else if (c == ',') {
        ++pos;
        break;
      }
    }
  }
  return candidates;
}

}  // namespace tq
