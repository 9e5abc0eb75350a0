// The line syntax shared by both forms of the settings store, so that they read a file alike.
// Free functions, safe on any thread.
#pragma once

#include <string>
#include <string_view>

#include "foundation/lines.h"

namespace tq {

// Drops control characters and blanks (bytes up to 0x20) at both ends.
std::string_view TrimBlanks(std::string_view text);

enum class TIniLineKind { ilkIgnored, ilkSection, ilkEntry };

// Classifies one line of a file. For a section header, out is the section name; for an entry,
// out is the line as stored in memory: trimmed name + "=" + trimmed value, or the trimmed line
// when it has no "=". Blank lines and ";" comments are ignored.
TIniLineKind ClassifyIniLine(std::string_view raw, std::string& out);

// Reads a whole file the way the in-memory stores do: onSection(name) for every section header,
// onEntry(entry) for every entry line after the first header (as ClassifyIniLine stores it);
// blank lines, comments and lines before the first section are skipped.
template <class OnSection, class OnEntry>
void ParseIniText(std::string_view text, OnSection&& onSection, OnEntry&& onEntry) {
  std::string stored;
  bool inSection = false;
  ForEachLine(text, [&](std::string_view line) {
    switch (ClassifyIniLine(line, stored)) {
      case TIniLineKind::ilkIgnored:
        break;
      case TIniLineKind::ilkSection:
        inSection = true;
        onSection(stored);
        break;
      case TIniLineKind::ilkEntry:
        if (inSection) onEntry(stored);
        break;
    }
  });
}

// The name of an entry as stored (text before the first "="), empty when it has none.
std::string_view IniEntryName(std::string_view entry);

}  // namespace tq
