// The line syntax shared by both forms of the settings store, so that they read a file alike.
// Free functions, safe on any thread.
#pragma once

#include <string>
#include <string_view>

namespace tq {

// Drops control characters and blanks (bytes up to 0x20) at both ends.
std::string_view TrimBlanks(std::string_view text);

// Calls line(text) for every line; CR LF, CR and LF all end a line, and a last line without an
// end counts.
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

enum class TIniLineKind { ilkIgnored, ilkSection, ilkEntry };

// Classifies one line of a file. For a section header, out is the section name; for an entry,
// out is the line as stored in memory: trimmed name + "=" + trimmed value, or the trimmed line
// when it has no "=". Blank lines and ";" comments are ignored.
TIniLineKind ClassifyIniLine(std::string_view raw, std::string& out);

// The name of an entry as stored (text before the first "="), empty when it has none.
std::string_view IniEntryName(std::string_view entry);

}  // namespace tq
