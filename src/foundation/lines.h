// Splitting text into lines the way every reader of the system's text files does.
#pragma once

#include <cstddef>
#include <string_view>

namespace tq {

// Calls line(text) for every line of text: CR LF, CR and LF each end a line, a break at the very
// end adds no empty line, and a last line without a break counts.
template <class Fn>
void ForEachLine(std::string_view text, Fn&& line) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    line(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
}

}  // namespace tq
