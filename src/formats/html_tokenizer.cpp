// HTML tokenizer: item boundaries follow what browsers do closely enough to find the same tags,
// but anything unusual is handed back as text rather than dropped.
#include "formats/html_tokenizer.h"

#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "formats/charset.h"
#include "foundation/ascii_case.h"

namespace tq {
namespace {

bool IsSpace(char16_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool IsAsciiLetter(char16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiAlnum(char16_t c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

// Finds needle (lower-case ASCII) in text from `from` on, ASCII case-insensitively.
std::size_t FindNoCase(std::u16string_view text, std::string_view needle, std::size_t from) {
  if (needle.empty() || text.size() < needle.size()) return std::u16string_view::npos;
  const char16_t first = static_cast<char16_t>(needle[0]);
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (AsciiLower(text[i]) != first) continue;
    std::size_t k = 1;
    while (k < needle.size() && AsciiLower(text[i + k]) == static_cast<char16_t>(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::u16string_view::npos;
}

// Elements whose contents are text up to their own end tag.
struct TRawElement {
  std::string_view Name;
  THtmlItemKind Kind;
};
constexpr std::array<TRawElement, 6> kRawElements{{
    {"script", THtmlItemKind::hikScriptText},
    {"style", THtmlItemKind::hikStyleText},
    {"textarea", THtmlItemKind::hikRawText},
    {"title", THtmlItemKind::hikRawText},
    {"xmp", THtmlItemKind::hikLiteralText},
    {"plaintext", THtmlItemKind::hikLiteralText},
}};

// What the contents of a script of that type are: JavaScript or JSON, written with JavaScript
// escapes; a markup template, which a page script later inserts as markup (so references in it
// are read then); or something else, in which no escape of ours would ever be read.
THtmlItemKind ScriptContentKind(const std::optional<std::string>& type) {
  if (!type) return THtmlItemKind::hikScriptText;
  std::string t;
  for (char c : *type)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') t += AsciiLower(c);
  const auto has = [&](std::string_view part) { return t.find(part) != std::string::npos; };
  if (t.empty() || t == "module" || has("javascript") || has("ecmascript") || has("json") ||
      t == "text/jscript") {
    return THtmlItemKind::hikScriptText;
  }
  if (has("html") || has("template") || has("tmpl")) return THtmlItemKind::hikRawText;
  return THtmlItemKind::hikLiteralText;
}

struct TNamedReference {
  std::string_view Name;
  char16_t Value;
};
// The references that occur in practice in attribute values; anything rarer stays as written.
constexpr std::array<TNamedReference, 20> kNamedReferences{{
    {"amp", u'&'},     {"lt", u'<'},     {"gt", u'>'},       {"quot", u'"'},    {"apos", u'\''},
    {"nbsp", 0xA0},    {"copy", 0xA9},   {"reg", 0xAE},      {"euro", 0x20AC},  {"laquo", 0xAB},
    {"raquo", 0xBB},   {"middot", 0xB7}, {"hellip", 0x2026}, {"ndash", 0x2013}, {"mdash", 0x2014},
    {"trade", 0x2122}, {"eacute", 0xE9}, {"egrave", 0xE8},   {"agrave", 0xE0},  {"uuml", 0xFC},
}};

// Code points 0x80..0x9F in a numeric reference mean windows-1252 characters in browsers.
constexpr std::array<char16_t, 32> kC1Replacements{
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

void AppendCodePoint(std::u16string& out, uint32_t cp) {
  // The placeholder mark is the stored copy's own: no page may write it.
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == kPlaceholderMark)
    cp = 0xFFFD;
  if (cp >= 0x80 && cp <= 0x9F) cp = kC1Replacements[cp - 0x80];
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}

}  // namespace

bool HtmlNameEquals(std::u16string_view name, std::string_view ascii) {
  if (name.size() != ascii.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (AsciiLower(name[i]) !=
        AsciiLower(static_cast<char16_t>(static_cast<unsigned char>(ascii[i]))))
      return false;
  return true;
}

std::u16string DecodeCharacterReferences(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c != '&') {
      out += c;
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    if (j < text.size() && text[j] == '#') {
      ++j;
      const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
      if (hex) ++j;
      const std::size_t digitsStart = j;
      uint32_t cp = 0;
      while (j < text.size()) {
        const char16_t d = text[j];
        int v = -1;
        if (d >= '0' && d <= '9')
          v = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
          v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
          v = d - 'A' + 10;
        if (v < 0) break;
        cp = std::min<uint32_t>(cp * (hex ? 16 : 10) + static_cast<uint32_t>(v), 0x110000);
        ++j;
      }
      if (j == digitsStart) {  // "&#" without digits
        out += c;
        ++i;
        continue;
      }
      if (j < text.size() && text[j] == ';') ++j;
      AppendCodePoint(out, cp);
      i = j;
      continue;
    }
    while (j < text.size() && IsAsciiAlnum(text[j])) ++j;
    const std::u16string_view name = text.substr(i + 1, j - i - 1);
    const bool semicolon = j < text.size() && text[j] == ';';
    const TNamedReference* found = nullptr;
    for (const auto& ref : kNamedReferences)
      if (name.size() == ref.Name.size() &&
          std::equal(name.begin(), name.end(), ref.Name.begin(),
                     [](char16_t a, char b) { return a == static_cast<char16_t>(b); }))
        found = &ref;
    // Without the semicolon only the four oldest names count, and not inside a word or before
    // "=" (so "?a=1&copy=2" in an address stays as it is).
    const bool legacy = found && (found->Name == "amp" || found->Name == "lt" ||
                                  found->Name == "gt" || found->Name == "quot");
    const bool followedByWord = j < text.size() && (IsAsciiAlnum(text[j]) || text[j] == '=');
    if (found && (semicolon || (legacy && !followedByWord))) {
      out += found->Value;
      i = semicolon ? j + 1 : j;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                     reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                     0xFFFD, nullptr, &error);
  out.resize(U_SUCCESS(error) ? static_cast<std::size_t>(length) : 0);
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                       &error);
  out.resize(U_SUCCESS(error) ? static_cast<std::size_t>(length) : 0);
  return out;
}

// --- THtmlStartTag ---

bool THtmlStartTag::NameIs(std::string_view name) const {
  return HtmlNameEquals(m_name, name);
}

const THtmlAttribute* THtmlStartTag::Find(std::string_view name, std::size_t from) const {
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    for (std::size_t i = from; i < m_attributes.size(); ++i)
      if (!m_attributes[i].Removed && HtmlNameEquals(m_attributes[i].Name, name))
        return &m_attributes[i];
    return nullptr;
  }
  // Names outside ASCII are rare; compare them as UTF-16, ASCII letters without case.
  const std::u16string wide = Utf8ToUtf16(name);
  for (std::size_t i = from; i < m_attributes.size(); ++i) {
    const THtmlAttribute& a = m_attributes[i];
    if (!a.Removed && a.Name.size() == wide.size() &&
        std::equal(wide.begin(), wide.end(), a.Name.begin(),
                   [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); }))
      return &a;
  }
  return nullptr;
}

THtmlAttribute* THtmlStartTag::Find(std::string_view name, std::size_t from) {
  return const_cast<THtmlAttribute*>(std::as_const(*this).Find(name, from));
}

std::optional<std::string> THtmlStartTag::GetAttribute(std::string_view name) const {
  const THtmlAttribute* a = Find(name);
  if (!a) return std::nullopt;
  if (a->NewValue) return Utf16ToUtf8(*a->NewValue);
  return Utf16ToUtf8(DecodeCharacterReferences(a->RawValue));
}

void THtmlStartTag::SetAttribute(std::string_view name, std::string_view value) {
  m_modified = true;
  THtmlAttribute* a = Find(name);
  if (!a) {
    std::u16string lower = Utf8ToUtf16(name);
    for (char16_t& c : lower) c = AsciiLower(c);
    m_addedNames.push_back(std::move(lower));
    m_attributes.emplace_back();
    a = &m_attributes.back();
    a->Name = m_addedNames.back();
  }
  a->HasValue = true;
  a->NewValue = Utf8ToUtf16(value);
}

void THtmlStartTag::RemoveAttribute(std::string_view name) {
  // Every occurrence goes, or the duplicate behind it would take its place.
  for (THtmlAttribute* a = Find(name); a;
       a = Find(name, static_cast<std::size_t>(a - m_attributes.data()) + 1)) {
    a->Removed = true;
    m_modified = true;
  }
}

// --- THtmlTokenizer ---

void THtmlTokenizer::Emit(THtmlItemKind kind, std::size_t begin, std::size_t end) {
  m_itemStart = begin;
  m_item.Kind = kind;
  m_item.Source = m_text.substr(begin, end - begin);
  m_item.Name = {};
  m_pos = end;
}

bool THtmlTokenizer::Next() {
  if (m_pos >= m_text.size()) return false;

  if (!m_rawElement.empty()) {
    const std::string element = std::move(m_rawElement);
    m_rawElement.clear();
    std::size_t end = m_text.size();
    if (element != "plaintext") {
      const std::string closing = "</" + element;
      for (std::size_t at = FindNoCase(m_text, closing, m_pos); at != std::u16string_view::npos;
           at = FindNoCase(m_text, closing, at + 1)) {
        const std::size_t after = at + closing.size();
        if (after >= m_text.size() || IsSpace(m_text[after]) || m_text[after] == '/' ||
            m_text[after] == '>') {
          end = at;
          break;
        }
      }
    }
    if (end > m_pos) {
      Emit(m_rawKind, m_pos, end);
      return true;
    }
  }

  if (m_text[m_pos] == '<' && TryMarkup(m_pos)) return true;

  // Text runs to the next '<' that opens markup; a '<' that does not stays in the text.
  std::size_t end = m_pos + 1;
  for (;;) {
    end = m_text.find(u'<', end);
    if (end == std::u16string_view::npos) {
      end = m_text.size();
      break;
    }
    if (end + 1 < m_text.size()) {
      const char16_t n = m_text[end + 1];
      if (IsAsciiLetter(n) || n == '!' || n == '?' || n == '%' ||
          (n == '/' && end + 2 < m_text.size() && IsAsciiLetter(m_text[end + 2])))
        break;
    }
    ++end;
  }
  Emit(THtmlItemKind::hikText, m_pos, end);
  return true;
}

bool THtmlTokenizer::TryMarkup(std::size_t at) {
  if (at + 1 >= m_text.size()) return false;
  const char16_t n = m_text[at + 1];
  const auto runTo = [&](std::u16string_view terminator, std::size_t from) {
    const std::size_t found = m_text.find(terminator, from);
    return found == std::u16string_view::npos ? m_text.size() : found + terminator.size();
  };
  if (n == '!') {
    if (m_text.substr(at + 2, 2) == u"--") {
      // Searching from "<!" on lets "<!-->" and "<!--->" end at once, as browsers do.
      Emit(THtmlItemKind::hikComment, at, runTo(u"-->", at + 2));
    } else if (m_text.substr(at + 2, 7) == u"[CDATA[") {
      Emit(THtmlItemKind::hikDeclaration, at, runTo(u"]]>", at + 9));
    } else {
      Emit(THtmlItemKind::hikDeclaration, at, runTo(u">", at + 2));
    }
    return true;
  }
  if (n == '?') {
    // A server-side block may hold '>' (comparisons), so its own terminator comes first. Once
    // none is left, no later block looks for it again (that would be quadratic).
    std::size_t end =
        at + 2 >= m_noPiEndFrom ? std::u16string_view::npos : m_text.find(u"?>", at + 2);
    if (end != std::u16string_view::npos) {
      end += 2;
    } else {
      m_noPiEndFrom = std::min(m_noPiEndFrom, at + 2);
      end = runTo(u">", at + 2);
    }
    Emit(THtmlItemKind::hikProcessing, at, end);
    return true;
  }
  if (n == '%') {
    Emit(THtmlItemKind::hikServerBlock, at, runTo(u"%>", at + 2));
    return true;
  }
  // A tag that runs to the end of the text would take all of it in a browser; here it and all
  // that follows stay text, which also keeps pages full of unclosed tags linear.
  const bool endTag = n == '/' && at + 2 < m_text.size() && IsAsciiLetter(m_text[at + 2]);
  if (endTag || IsAsciiLetter(n)) {
    if (!(endTag ? TryEndTag(at) : TryStartTag(at)))
      Emit(THtmlItemKind::hikText, at, m_text.size());
    return true;
  }
  return false;
}

bool THtmlTokenizer::TryEndTag(std::size_t at) {
  std::size_t p = at + 2;
  const std::size_t nameStart = p;
  while (p < m_text.size() && !IsSpace(m_text[p]) && m_text[p] != '/' && m_text[p] != '>') ++p;
  const std::size_t close = m_text.find(u'>', p);
  if (close == std::u16string_view::npos) return false;  // unterminated: stays text
  Emit(THtmlItemKind::hikEndTag, at, close + 1);
  m_item.Name = m_text.substr(nameStart, p - nameStart);
  return true;
}

bool THtmlTokenizer::TryStartTag(std::size_t at) {
  const std::size_t size = m_text.size();
  std::size_t p = at + 1;
  const std::size_t nameStart = p;
  while (p < size && !IsSpace(m_text[p]) && m_text[p] != '/' && m_text[p] != '>') ++p;
  m_tag.m_name = m_text.substr(nameStart, p - nameStart);
  m_tag.m_attributes.clear();
  m_tag.m_addedNames.clear();
  m_tag.m_modified = false;
  m_tag.m_selfClosing = false;

  bool slashBeforeEnd = false;
  for (;;) {
    slashBeforeEnd = false;
    while (p < size && (IsSpace(m_text[p]) || m_text[p] == '/'))
      slashBeforeEnd = m_text[p++] == '/';
    if (p >= size) return false;  // unterminated tag: the rest stays text
    if (m_text[p] == '>') break;
    THtmlAttribute attribute;
    const std::size_t attrNameStart = p;
    ++p;  // a first '=' belongs to the name
    while (p < size && !IsSpace(m_text[p]) && m_text[p] != '/' && m_text[p] != '>' &&
           m_text[p] != '=')
      ++p;
    attribute.Name = m_text.substr(attrNameStart, p - attrNameStart);
    std::size_t q = p;
    while (q < size && IsSpace(m_text[q])) ++q;
    if (q < size && m_text[q] == '=') {
      ++q;
      while (q < size && IsSpace(m_text[q])) ++q;
      if (q >= size) return false;
      attribute.HasValue = true;
      if (m_text[q] == '"' || m_text[q] == '\'') {
        attribute.Quote = m_text[q];
        const std::size_t close = m_text.find(attribute.Quote, q + 1);
        if (close == std::u16string_view::npos) return false;
        attribute.RawValue = m_text.substr(q + 1, close - q - 1);
        p = close + 1;
      } else if (m_text[q] == '>') {
        p = q;  // "name=>": an empty value
      } else {
        const std::size_t valueStart = q;
        while (q < size && !IsSpace(m_text[q]) && m_text[q] != '>') ++q;
        attribute.RawValue = m_text.substr(valueStart, q - valueStart);
        p = q;
      }
    }
    m_tag.m_attributes.push_back(attribute);
  }
  m_tag.m_selfClosing = slashBeforeEnd;
  Emit(THtmlItemKind::hikStartTag, at, p + 1);
  m_item.Name = m_tag.m_name;
  m_tag.m_source = m_item.Source;

  for (const auto& raw : kRawElements) {
    if (!HtmlNameEquals(m_tag.m_name, raw.Name)) continue;
    m_rawElement = std::string(raw.Name);
    m_rawKind = raw.Kind;
    if (raw.Name == "script") m_rawKind = ScriptContentKind(m_tag.GetAttribute("type"));
  }
  return true;
}

}  // namespace tq
