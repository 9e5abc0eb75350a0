// Line classification of settings files.
#include "foundation/ini_syntax.h"

namespace tq {

std::string_view TrimBlanks(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

TIniLineKind ClassifyIniLine(std::string_view raw, std::string& out) {
  const auto line = TrimBlanks(raw);
  if (line.empty() || line.front() == ';') return TIniLineKind::ilkIgnored;
  if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
    out = TrimBlanks(line.substr(1, line.size() - 2));
    return TIniLineKind::ilkSection;
  }
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) {
    out = line;
  } else {
    out = TrimBlanks(line.substr(0, eq));
    out += '=';
    out += TrimBlanks(line.substr(eq + 1));
  }
  return TIniLineKind::ilkEntry;
}

std::string_view IniEntryName(std::string_view entry) {
  const auto eq = entry.find('=');
  return eq == std::string_view::npos ? std::string_view() : entry.substr(0, eq);
}

}  // namespace tq
