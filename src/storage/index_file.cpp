// The content index as one string per section behind a hash set of slots.
#include "storage/index_file.h"

#include <algorithm>

#include "foundation/ansi.h"
#include "foundation/atomic_file.h"
#include "foundation/canonical_url.h"
#include "foundation/ini_syntax.h"

namespace tq {
namespace {

// A line of a section's text: [begin, end) without its '\n'.
struct TLine {
  size_t begin;
  size_t end;
};

// Calls fn(line) for every line after the name, in order.
template <class Fn>
void ForEachEntry(std::string_view text, Fn&& fn) {
  size_t begin = text.find('\n') + 1;
  while (begin < text.size()) {
    const size_t end = text.find('\n', begin);
    fn(TLine{begin, end});
    begin = end + 1;
  }
}

// The last line whose name is key (letter case ignored); npos begin when there is none. Lines
// without "=" have no name, and an empty key names nothing.
TLine FindKey(std::string_view text, std::string_view key) {
  TLine found{std::string_view::npos, std::string_view::npos};
  if (key.empty()) return found;
  ForEachEntry(text, [&](TLine line) {
    const std::string_view entry = text.substr(line.begin, line.end - line.begin);
    const size_t eq = entry.find('=');
    if (eq != std::string_view::npos && AnsiSameText(entry.substr(0, eq), key)) found = line;
  });
  return found;
}

// Replaces length bytes at at of text by with. A section gets its keys one by one and is kept
// for the whole crawl: grown the usual way, by doubling, a third of the index would be spare
// room, so a text that must grow is made anew at its new size.
void Splice(std::string& text, size_t at, size_t length, std::string_view with) {
  const size_t size = text.size() - length + with.size();
  if (size <= text.capacity()) {
    text.replace(at, length, with);
    return;
  }
  std::string spliced;
  spliced.reserve(size);
  spliced.append(text, 0, at).append(with).append(text, at + length);
  text.swap(spliced);
}

}  // namespace

size_t TVornIndexFile::TNameHash::operator()(uint32_t slot) const noexcept {
  return (*this)(owner->NameOf(slot));
}

size_t TVornIndexFile::TNameHash::operator()(std::string_view name) const noexcept {
  return std::hash<std::string_view>()(name);
}

bool TVornIndexFile::TNameEqual::operator()(std::string_view name, uint32_t slot) const noexcept {
  return owner->NameOf(slot) == name;
}

bool TVornIndexFile::TNameEqual::operator()(uint32_t slot, std::string_view name) const noexcept {
  return owner->NameOf(slot) == name;
}

TVornIndexFile::TVornIndexFile(std::string fileName)
    : TVornCustomIniFile(std::move(fileName)), m_byName(0, TNameHash{this}, TNameEqual{this}) {}

TVornIndexFile::~TVornIndexFile() = default;

std::string_view TVornIndexFile::NameOf(uint32_t slot) const {
  const std::string_view text = m_sections[slot];
  return text.substr(0, text.find('\n'));
}

int64_t TVornIndexFile::FindExact(std::string_view name) const {
  const auto it = m_byName.find(name);
  return it == m_byName.end() ? -1 : int64_t{*it};
}

int64_t TVornIndexFile::Find(std::string_view name) const {
  const int64_t exact = FindExact(name);
  if (exact >= 0) return exact;
  std::string scratch;
  const std::string_view canonical = CanonicalUrlView(name, scratch);
  if (canonical.data() != name.data()) {
    const int64_t slot = FindExact(canonical);
    if (slot >= 0) return slot;
  }
  if (m_aliases.empty()) return -1;
  const auto it = m_aliases.find(canonical);
  return it == m_aliases.end() ? -1 : int64_t{it->second};
}

void TVornIndexFile::AddAlias(uint32_t slot) {
  std::string canonical;
  if (CanonicalizeUrl(NameOf(slot), canonical)) m_aliases.try_emplace(std::move(canonical), slot);
}

bool TVornIndexFile::SectionAt(size_t slot, std::string_view& name) const {
  if (slot >= m_sections.size() || m_sections[slot].empty()) return false;
  name = NameOf(static_cast<uint32_t>(slot));
  return true;
}

void TVornIndexFile::Add(std::string text) {
  m_sections.push_back(std::move(text));
  const auto slot = static_cast<uint32_t>(m_sections.size() - 1);
  m_byName.insert(slot);
  AddAlias(slot);
}

void TVornIndexFile::Clear() {
  m_byName.clear();
  m_aliases.clear();
  m_sections.clear();
  m_erased = 0;
}

void TVornIndexFile::Compact() {
  if (m_erased == 0) return;
  std::erase_if(m_sections, [](const std::string& text) { return text.empty(); });
  m_byName.clear();
  m_aliases.clear();
  for (size_t slot = 0; slot < m_sections.size(); ++slot) {
    m_byName.insert(static_cast<uint32_t>(slot));
    AddAlias(static_cast<uint32_t>(slot));
  }
  m_erased = 0;
}

void TVornIndexFile::SetText(std::string_view text) {
  Clear();
  std::string current;  // the section being read: name, '\n', its lines
  const auto close = [&] {
    if (current.empty()) return;
    // A copy, so that each section holds no more memory than its text.
    std::string section(current);
    const int64_t slot = FindExact(std::string_view(section).substr(0, section.find('\n')));
    if (slot < 0) {
      Add(std::move(section));
    } else {
      m_sections[static_cast<size_t>(slot)].swap(section);
    }
  };
  ParseIniText(
      text,
      [&](const std::string& name) {
        close();
        current = name;
        current += '\n';
      },
      [&](const std::string& entry) {
        current += entry;
        current += '\n';
      });
  close();
}

void TVornIndexFile::AppendText(const std::string& section, std::string& text) {
  if (section.empty()) return;
  const size_t nameEnd = section.find('\n');
  text += '[';
  text.append(section, 0, nameEnd);
  text += "]\r\n";
  ForEachEntry(section, [&](TLine line) {
    text.append(section, line.begin, line.end - line.begin);
    text += "\r\n";
  });
  text += "\r\n";
}

std::string TVornIndexFile::GetText() const {
  size_t size = 0;
  for (const std::string& section : m_sections) size += section.size() + section.size() / 8 + 8;
  std::string text;
  text.reserve(size);
  for (const std::string& section : m_sections) AppendText(section, text);
  return text;
}

TVornIndexFile::TTextReader::TTextReader(const TVornIndexFile& index) : m_index(index) {
  // A member's header needs the size before its data; rendering once more costs a few
  // milliseconds for a 20 000-page index, holding it would cost megabytes.
  std::string piece;
  for (const std::string& section : m_index.m_sections) {
    piece.clear();
    AppendText(section, piece);
    m_size += piece.size();
  }
}

size_t TVornIndexFile::TTextReader::ReadAt(uint64_t offset, char* buffer, size_t size) {
  if (offset < m_pieceAt) {
    m_slot = 0;
    m_pieceAt = 0;
    m_piece.clear();
  }
  size_t copied = 0;
  while (copied < size) {
    const uint64_t at = offset + copied;
    if (at < m_pieceAt + m_piece.size()) {
      const size_t from = static_cast<size_t>(at - m_pieceAt);
      const size_t n = std::min(size - copied, m_piece.size() - from);
      m_piece.copy(buffer + copied, n, from);
      copied += n;
      continue;
    }
    if (m_slot == m_index.m_sections.size()) break;
    // Sections are rendered some kPiece bytes at a time: memory stays that of one piece, and a
    // member's reads of 64 KB cost few calls.
    m_pieceAt += m_piece.size();
    m_piece.clear();
    while (m_slot < m_index.m_sections.size() && m_piece.size() < kPiece) {
      AppendText(m_index.m_sections[m_slot++], m_piece);
    }
  }
  return copied;
}

std::string TVornIndexFile::ReadString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
  const int64_t slot = Find(IniName(section));
  if (slot < 0) return std::string(defaultValue);
  const std::string& text = m_sections[static_cast<size_t>(slot)];
  const TLine line = FindKey(text, IniName(key));
  if (line.begin == std::string_view::npos) return std::string(defaultValue);
  const size_t eq = text.find('=', line.begin);
  return text.substr(eq + 1, line.end - eq - 1);
}

void TVornIndexFile::WriteString(std::string_view section, std::string_view key,
                                 std::string_view value) {
  const std::string name = IniName(key);
  std::string entry = name + '=' + IniValue(value);
  const std::string sectionName = IniName(section);
  const int64_t slot = Find(sectionName);
  if (slot < 0) {
    std::string text;
    text.reserve(sectionName.size() + entry.size() + 2);
    text.append(sectionName).append(1, '\n').append(entry).append(1, '\n');
    Add(std::move(text));
    return;
  }
  std::string& text = m_sections[static_cast<size_t>(slot)];
  const TLine line = FindKey(text, name);
  if (line.begin == std::string_view::npos) {
    entry += '\n';
    Splice(text, text.size(), 0, entry);
  } else {
    Splice(text, line.begin, line.end - line.begin, entry);
  }
}

void TVornIndexFile::ReadSection(std::string_view section, std::vector<std::string>& names) const {
  names.clear();
  const int64_t slot = Find(IniName(section));
  if (slot < 0) return;
  const std::string_view text = m_sections[static_cast<size_t>(slot)];
  ForEachEntry(text, [&](TLine line) {
    const std::string_view entry = text.substr(line.begin, line.end - line.begin);
    names.emplace_back(IniEntryName(entry));
  });
}

void TVornIndexFile::ReadSections(std::vector<std::string>& names) const {
  names.clear();
  names.reserve(m_sections.size() - m_erased);
  for (uint32_t slot = 0; slot < m_sections.size(); ++slot) {
    if (!m_sections[slot].empty()) names.emplace_back(NameOf(slot));
  }
}

void TVornIndexFile::ReadSectionValues(std::string_view section,
                                       std::vector<std::string>& lines) const {
  lines.clear();
  const int64_t slot = Find(IniName(section));
  if (slot < 0) return;
  const std::string_view text = m_sections[static_cast<size_t>(slot)];
  ForEachEntry(text, [&](TLine line) {
    lines.emplace_back(text.substr(line.begin, line.end - line.begin));
  });
}

void TVornIndexFile::EraseSection(std::string_view section) {
  const int64_t found = Find(IniName(section));
  if (found < 0) return;
  const auto slot = static_cast<uint32_t>(found);
  m_byName.erase(slot);
  if (!m_aliases.empty())
    std::erase_if(m_aliases, [slot](const auto& alias) { return alias.second == slot; });
  std::string().swap(m_sections[slot]);
  ++m_erased;
}

void TVornIndexFile::DeleteKey(std::string_view section, std::string_view key) {
  const int64_t slot = Find(IniName(section));
  if (slot < 0) return;
  std::string& text = m_sections[static_cast<size_t>(slot)];
  const TLine line = FindKey(text, IniName(key));
  if (line.begin != std::string_view::npos) text.erase(line.begin, line.end - line.begin + 1);
}

void TVornIndexFile::UpdateFile() {
  if (!WriteFileAtomically(FileName(), GetText())) {
    throw EIniFileException("Unable to write to " + FileName());
  }
}

}  // namespace tq
