// In-memory settings store over a list of sections, each owning the list of its lines.
#include "foundation/mem_ini_file.h"

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
  m_sections.Clear();
}

void TVornMemIniFile::SetText(std::string_view text) {
  Clear();
  THashedStringList* current = nullptr;
  std::string stored;
  ForEachLine(text, [&](std::string_view line) {
    switch (ClassifyIniLine(line, stored)) {
      case TIniLineKind::ilkIgnored:
        break;
      case TIniLineKind::ilkSection: {
        // A name met twice makes a second section; lookups then find the later one.
        auto lines = std::make_unique<THashedStringList>(m_sections.CaseSensitive());
        current = lines.get();
        m_sections.Add(stored, std::move(lines));
        break;
      }
      case TIniLineKind::ilkEntry:
        if (current != nullptr) current->Add(stored);
        break;
    }
  });
}

std::string TVornMemIniFile::GetText() const {
  std::string text;
  for (int i = 0; i < m_sections.Count(); ++i) {
    text += '[';
    text += m_sections.Strings(i);
    text += "]\r\n";
    const auto* lines = static_cast<const THashedStringList*>(m_sections.Objects(i));
    for (int j = 0; j < lines->Count(); ++j) {
      text += lines->Strings(j);
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

THashedStringList* TVornMemIniFile::FindSection(std::string_view name) const {
  const int i = m_sections.IndexOf(IniName(name));
  return i < 0 ? nullptr : static_cast<THashedStringList*>(m_sections.Objects(i));
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
  if (lines == nullptr) {
    auto fresh = std::make_unique<THashedStringList>(m_sections.CaseSensitive());
    lines = fresh.get();
    m_sections.Add(IniName(section), std::move(fresh));
  }
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
  names.reserve(static_cast<size_t>(m_sections.Count()));
  for (int i = 0; i < m_sections.Count(); ++i) names.push_back(m_sections.Strings(i));
}

void TVornMemIniFile::ReadSectionValues(std::string_view section,
                                        std::vector<std::string>& result) const {
  result.clear();
  const auto* lines = FindSection(section);
  if (lines == nullptr) return;
  for (int j = 0; j < lines->Count(); ++j) result.push_back(lines->Strings(j));
}

void TVornMemIniFile::EraseSection(std::string_view section) {
  const int i = m_sections.IndexOf(IniName(section));
  if (i >= 0) m_sections.Delete(i);
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
