// In-memory settings store over a list of sections, each owning the list of its lines.
#include "foundation/mem_ini_file.h"

#include "foundation/ansi.h"
#include "foundation/atomic_file.h"
#include "foundation/ini_syntax.h"

namespace tq {

TVornMemIniFile::TVornMemIniFile(std::string fileName) : TVornCustomIniFile(std::move(fileName)) {
  std::string text;
  switch (ReadWholeFile(FileName(), text)) {
    case TFileReadResult::frOk:
      SetText(text);
      break;
    case TFileReadResult::frMissing:
      break;
    case TFileReadResult::frError:
      throw EIniFileException("Unable to read " + FileName());
  }
}

TVornMemIniFile::~TVornMemIniFile() = default;

void TVornMemIniFile::Clear() {
  m_byName.clear();
  m_sections.clear();
}

THashedStringList* TVornMemIniFile::AddSection(std::string name) {
  std::string folded = AnsiUpperCase(name);
  m_sections.push_back(
      {std::move(name), std::move(folded), std::make_unique<THashedStringList>(), m_nextOrder++});
  const auto added = std::prev(m_sections.end());
  m_byName.emplace(added->Folded, added);
  return added->Lines.get();
}

TVornMemIniFile::TSectionList::iterator TVornMemIniFile::FindSectionAt(
    std::string_view name) const {
  auto found = m_sections.end();
  auto [first, last] = m_byName.equal_range(AnsiUpperCase(IniName(name)));
  for (auto it = first; it != last; ++it) {
    if (found == m_sections.end() || it->second->Order > found->Order) found = it->second;
  }
  return found;
}

void TVornMemIniFile::SetText(std::string_view text) {
  Clear();
  THashedStringList* current = nullptr;
  ParseIniText(
      text,
      // A name met twice makes a second section; lookups then find the later one.
      [&](const std::string& name) { current = AddSection(name); },
      [&](const std::string& entry) { current->Add(entry); });
}

std::string TVornMemIniFile::GetText() const {
  std::string text;
  for (const TSection& section : m_sections) {
    text += '[';
    text += section.Name;
    text += "]\r\n";
    const THashedStringList* lines = section.Lines.get();
    for (int j = 0; j < lines->Count(); ++j) {
      text += lines->Strings(j);
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

THashedStringList* TVornMemIniFile::FindSection(std::string_view name) const {
  const auto it = FindSectionAt(name);
  return it == m_sections.end() ? nullptr : it->Lines.get();
}

std::string TVornMemIniFile::ReadString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue) const {
  const auto* lines = FindSection(section);
  if (lines == nullptr) return std::string(defaultValue);
  const int j = lines->IndexOfName(IniName(key));
  return j < 0 ? std::string(defaultValue) : lines->ValueFromIndex(j);
}

void TVornMemIniFile::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value) {
  auto* lines = FindSection(section);
  if (lines == nullptr) lines = AddSection(IniName(section));
  const std::string name = IniName(key);
  std::string line = name + '=' + IniValue(value);
  const int j = lines->IndexOfName(name);
  if (j >= 0) {
    lines->Put(j, std::move(line));
  } else {
    lines->Add(std::move(line));
  }
}

void TVornMemIniFile::ReadSection(std::string_view section, std::vector<std::string>& names) const {
  names.clear();
  const auto* lines = FindSection(section);
  if (lines == nullptr) return;
  names.reserve(static_cast<size_t>(lines->Count()));
  for (int j = 0; j < lines->Count(); ++j) names.push_back(lines->Names(j));
}

void TVornMemIniFile::ReadSections(std::vector<std::string>& names) const {
  names.clear();
  names.reserve(m_sections.size());
  for (const TSection& section : m_sections) names.push_back(section.Name);
}

void TVornMemIniFile::ReadSectionValues(std::string_view section,
                                        std::vector<std::string>& result) const {
  result.clear();
  const auto* lines = FindSection(section);
  if (lines == nullptr) return;
  for (int j = 0; j < lines->Count(); ++j) result.push_back(lines->Strings(j));
}

void TVornMemIniFile::EraseSection(std::string_view section) {
  const auto found = FindSectionAt(section);
  if (found == m_sections.end()) return;
  auto [first, last] = m_byName.equal_range(found->Folded);
  for (auto it = first; it != last; ++it) {
    if (it->second == found) {
      m_byName.erase(it);
      break;
    }
  }
  m_sections.erase(found);
}

void TVornMemIniFile::DeleteKey(std::string_view section, std::string_view key) {
  auto* lines = FindSection(section);
  if (lines == nullptr) return;
  const int j = lines->IndexOfName(IniName(key));
  if (j >= 0) lines->Delete(j);
}

void TVornMemIniFile::UpdateFile() {
  if (!WriteFileAtomically(FileName(), GetText())) {
    throw EIniFileException("Unable to write to " + FileName());
  }
}

}  // namespace tq
