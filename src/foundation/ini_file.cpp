// Typed values of the settings store, and its direct form over a file on disk.
#include "foundation/ini_file.h"

#include <charconv>
#include <cstdint>
#include <istream>
#include <iterator>
#include <optional>
#include <ostream>

#include "foundation/ansi.h"
#include "foundation/atomic_file.h"
#include "foundation/ini_syntax.h"

namespace tq {
namespace {

std::string BlankLineBreaks(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decimal, or hexadecimal after "$" / "0x" / "0X", each with an optional sign. Hexadecimal
// takes the full 32 bits ($FFFFFFFF is -1); decimal must fit an int.
std::optional<int> ParseInteger(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  bool hex = false;
  if (pos < text.size() && text[pos] == '$') {
    hex = true;
    pos += 1;
  } else if (pos + 1 < text.size() && text[pos] == '0' &&
             (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos == text.size()) return std::nullopt;
  uint64_t value = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
  for (; pos < text.size(); ++pos) {
    const int digit =
        hex ? HexDigit(text[pos]) : (text[pos] >= '0' && text[pos] <= '9' ? text[pos] - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  auto bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int>(bits);
}

}  // namespace

std::string IniName(std::string_view name) {
  return std::string(TrimBlanks(BlankLineBreaks(name)));
}

std::string IniValue(std::string_view value) {
  return BlankLineBreaks(value);
}

// ---- typed values --------------------------------------------------------------------------

int TVornCustomIniFile::ReadInteger(std::string_view section, std::string_view key,
                                    int defaultValue) const {
  std::string text = ReadString(section, key, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.replace(0, 2, "$");
  }
  return ParseInteger(text).value_or(defaultValue);
}

void TVornCustomIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

bool TVornCustomIniFile::ReadBool(std::string_view section, std::string_view key,
                                  bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TVornCustomIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

int TVornCustomIniFile::ReadBinaryStream(std::string_view section, std::string_view key,
                                         std::ostream& stream) const {
  const std::string text = ReadString(section, key, "");
  std::string bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) break;
    bytes.push_back(static_cast<char>(hi * 16 + lo));
  }
  if (bytes.empty()) return 0;
  const auto start = stream.tellp();
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  stream.seekp(start);
  return static_cast<int>(bytes.size());
}

void TVornCustomIniFile::WriteBinaryStream(std::string_view section, std::string_view key,
                                           std::istream& stream) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (auto it = std::istreambuf_iterator<char>(stream); it != std::istreambuf_iterator<char>();
       ++it) {
    const auto byte = static_cast<unsigned char>(*it);
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 15]);
  }
  WriteString(section, key, text);
}

TDateTime TVornCustomIniFile::ReadDate(std::string_view section, std::string_view key,
                                       TDateTime defaultValue) const {
  return ParseStoredDate(ReadString(section, key, "")).value_or(defaultValue);
}

TDateTime TVornCustomIniFile::ReadDateTime(std::string_view section, std::string_view key,
                                           TDateTime defaultValue) const {
  return ParseStoredDateTime(ReadString(section, key, "")).value_or(defaultValue);
}

double TVornCustomIniFile::ReadFloat(std::string_view section, std::string_view key,
                                     double defaultValue) const {
  const std::string text = ReadString(section, key, "");
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return defaultValue;
  return value;
}

TDateTime TVornCustomIniFile::ReadTime(std::string_view section, std::string_view key,
                                       TDateTime defaultValue) const {
  return ParseStoredTime(ReadString(section, key, "")).value_or(defaultValue);
}

void TVornCustomIniFile::WriteDate(std::string_view section, std::string_view key,
                                   TDateTime value) {
  WriteString(section, key, FormatStoredDate(value));
}

void TVornCustomIniFile::WriteDateTime(std::string_view section, std::string_view key,
                                       TDateTime value) {
  WriteString(section, key, FormatStoredDateTime(value));
}

void TVornCustomIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  WriteString(section, key,
              ec == std::errc() ? std::string_view(buf, static_cast<size_t>(end - buf))
                                : std::string_view());
}

void TVornCustomIniFile::WriteTime(std::string_view section, std::string_view key,
                                   TDateTime value) {
  WriteString(section, key, FormatStoredTime(value));
}

bool TVornCustomIniFile::SectionExists(std::string_view section) const {
  std::vector<std::string> names;
  ReadSection(section, names);
  return !names.empty();
}

// ---- direct form ---------------------------------------------------------------------------

struct TVornIniFile::TLines {
  std::vector<std::string> raw;

  struct TSpan {
    size_t header;
    size_t end;  // the next section header, or the number of lines
  };

  // The last section of that name: the later of two same-named sections wins, as in memory.
  std::optional<TSpan> FindSection(std::string_view name) const {
    const std::string wanted = AnsiUpperCase(name);
    std::optional<TSpan> found;
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (ClassifyIniLine(raw[i], text) != TIniLineKind::ilkSection) continue;
      if (found && found->end == raw.size()) found->end = i;
      if (AnsiUpperCase(text) == wanted) found = TSpan{i, raw.size()};
    }
    return found;
  }

  // Calls fn(line index, stored entry text) for each entry of the span.
  template <class Fn>
  void ForEachEntry(const TSpan& span, Fn&& fn) const {
    std::string text;
    for (size_t i = span.header + 1; i < span.end; ++i) {
      if (ClassifyIniLine(raw[i], text) == TIniLineKind::ilkEntry) fn(i, text);
    }
  }

  std::optional<size_t> FindKey(const TSpan& span, std::string_view key) const {
    if (key.empty()) return std::nullopt;
    const std::string wanted = AnsiUpperCase(key);
    std::optional<size_t> found;
    ForEachEntry(span, [&](size_t i, const std::string& entry) {
      if (AnsiUpperCase(IniEntryName(entry)) == wanted) found = i;
    });
    return found;
  }
};

TVornIniFile::~TVornIniFile() {
  UpdateFile();
}

bool TVornIniFile::Load(TLines& lines) const {
  std::string text;
  const auto result = ReadWholeFile(FileName(), text);
  if (result == TFileReadResult::frError) return false;
  ForEachLine(text, [&](std::string_view line) { lines.raw.emplace_back(line); });
  return true;
}

bool TVornIniFile::Save(const TLines& lines) const {
  std::string text;
  for (const auto& line : lines.raw) {
    text += line;
    text += "\r\n";
  }
  return WriteFileAtomically(FileName(), text, m_fileSystem);
}

void TVornIniFile::RaiseWriteError() const {
  throw EIniFileException("Unable to write to " + FileName());
}

std::string TVornIniFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const {
  TLines lines;
  if (!Load(lines)) return std::string(defaultValue);
  const auto span = lines.FindSection(IniName(section));
  if (!span) return std::string(defaultValue);
  const auto at = lines.FindKey(*span, IniName(key));
  if (!at) return std::string(defaultValue);
  std::string entry;
  ClassifyIniLine(lines.raw[*at], entry);
  return entry.substr(entry.find('=') + 1, kMaxValueLength);
}

void TVornIniFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
  TLines lines;
  if (!Load(lines)) RaiseWriteError();
  const std::string name = IniName(section);
  const std::string keyName = IniName(key);
  std::string entry = keyName + '=' + IniValue(value);
  if (const auto span = lines.FindSection(name)) {
    if (const auto at = lines.FindKey(*span, keyName)) {
      lines.raw[*at] = std::move(entry);
    } else {
      // After the section's last non-blank line, so the blank line before the next section
      // stays where it is.
      size_t insertAt = span->header + 1;
      for (size_t i = span->header + 1; i < span->end; ++i) {
        if (!TrimBlanks(lines.raw[i]).empty()) insertAt = i + 1;
      }
      lines.raw.insert(lines.raw.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
    }
  } else {
    if (!lines.raw.empty() && !TrimBlanks(lines.raw.back()).empty()) lines.raw.emplace_back();
    lines.raw.push_back('[' + name + ']');
    lines.raw.push_back(std::move(entry));
    lines.raw.emplace_back();
  }
  if (!Save(lines)) RaiseWriteError();
}

void TVornIniFile::ReadSection(std::string_view section, std::vector<std::string>& names) const {
  names.clear();
  TLines lines;
  if (!Load(lines)) return;
  const auto span = lines.FindSection(IniName(section));
  if (!span) return;
  size_t used = 0;
  bool full = false;
  lines.ForEachEntry(*span, [&](size_t, const std::string& entry) {
    const auto name = IniEntryName(entry);
    // Names are counted as if each ended in a zero byte, with one more closing the list.
    if (full || used + name.size() + 2 > kMaxKeyNamesLength) {
      full = true;
      return;
    }
    used += name.size() + 1;
    names.emplace_back(name);
  });
}

void TVornIniFile::ReadSections(std::vector<std::string>& names) const {
  names.clear();
  TLines lines;
  if (!Load(lines)) return;
  size_t used = 0;
  std::string name;
  for (const auto& line : lines.raw) {
    if (ClassifyIniLine(line, name) != TIniLineKind::ilkSection) continue;
    if (used + name.size() + 2 > kMaxSectionNamesLength) break;
    used += name.size() + 1;
    names.push_back(name);
  }
}

void TVornIniFile::ReadSectionValues(std::string_view section,
                                     std::vector<std::string>& result) const {
  result.clear();
  TLines lines;
  if (!Load(lines)) return;
  const auto span = lines.FindSection(IniName(section));
  if (!span) return;
  lines.ForEachEntry(*span, [&](size_t, const std::string& entry) {
    const auto eq = entry.find('=');
    result.push_back(eq == std::string::npos ? entry : entry.substr(0, eq + 1 + kMaxValueLength));
  });
}

void TVornIniFile::EraseSection(std::string_view section) {
  TLines lines;
  if (!Load(lines)) RaiseWriteError();
  const auto span = lines.FindSection(IniName(section));
  if (!span) return;
  lines.raw.erase(lines.raw.begin() + static_cast<std::ptrdiff_t>(span->header),
                  lines.raw.begin() + static_cast<std::ptrdiff_t>(span->end));
  if (!Save(lines)) RaiseWriteError();
}

void TVornIniFile::DeleteKey(std::string_view section, std::string_view key) {
  TLines lines;
  if (!Load(lines)) return;
  const auto span = lines.FindSection(IniName(section));
  if (!span) return;
  const auto at = lines.FindKey(*span, IniName(key));
  if (!at) return;
  lines.raw.erase(lines.raw.begin() + static_cast<std::ptrdiff_t>(*at));
  Save(lines);
}

}  // namespace tq
