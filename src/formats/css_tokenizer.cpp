// A CSS tokenizer reduced to what finding references needs: it walks the tokens (comments,
// strings, names, at-keywords, url values) so that each byte is read in its proper context, and
// keeps only url(...) values and the string or url that follows "@import".
#include "formats/css_tokenizer.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include <unicode/utf8.h>

#include "foundation/ascii_case.h"

namespace tq {
namespace {

bool IsNewline(char c) {
  return c == '\n' || c == '\r' || c == '\f';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || IsNewline(c);
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

int HexValue(char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Letters, digits, "_", "-", everything outside ASCII, and NUL (which a browser reads as U+FFFD).
bool IsNameChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || byte >= 0x80 || c == '\0';
}

// Control characters that make an unquoted url() malformed.
bool IsNonPrintable(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x08 || byte == 0x0B || (byte >= 0x0E && byte <= 0x1F) || byte == 0x7F;
}

bool EqualsAsciiNoCase(std::string_view text, std::string_view lower) {
  return AsciiEqualsNoCase(text, lower);
}

void AppendUtf8(std::string& out, uint32_t cp) {
  char bytes[U8_MAX_LENGTH];
  int32_t length = 0;
  U8_APPEND_UNSAFE(bytes, length, cp);
  out.append(bytes, static_cast<std::size_t>(length));
}

class TCssScanner {
 public:
  explicit TCssScanner(std::string_view css) : m_css(css) {}

  std::vector<TCssReference> Run() {
    // Set by "@import" until the next token that is not a blank or a comment.
    bool afterImport = false;
    // "@font-face" seen, its block not yet opened; then the depth its block opened at, so that
    // the urls inside it are known as fonts.
    bool beforeFontBlock = false;
    int depth = 0;
    while (!AtEnd()) {
      const char c = Peek();
      if (c == '/' && Peek(1) == '*') {
        SkipComment();
        continue;
      }
      if (IsBlank(c)) {
        ++m_pos;
        continue;
      }
      const bool import = afterImport;
      afterImport = false;
      const std::size_t begin = m_pos;
      if (c == '"' || c == '\'') {
        std::string value;
        if (ConsumeString(value) && import) Add(begin, false, true, std::move(value));
      } else if (c == '@' && StartsName(1)) {
        ++m_pos;
        const std::string name = ConsumeName();
        afterImport = EqualsAsciiNoCase(name, "import");
        beforeFontBlock = EqualsAsciiNoCase(name, "font-face");
      } else if (c == '{' || c == '}' || c == ';') {
        ++m_pos;
        if (c == '{' && beforeFontBlock) m_fontDepth = depth + 1;
        if (c != ';') depth += c == '{' ? 1 : -1;
        if (depth < m_fontDepth) m_fontDepth = kNoFontBlock;
        beforeFontBlock = false;
      } else if (c == '#' && StartsName(1)) {
        ++m_pos;
        ConsumeName();
      } else if (StartsName(0)) {
        const std::string name = ConsumeName();
        if (Peek() == '(' && EqualsAsciiNoCase(name, "url")) {
          ++m_pos;
          ConsumeUrl(begin, import);
        }
      } else {
        ++m_pos;
      }
    }
    return std::move(m_found);
  }

 private:
  bool AtEnd() const { return m_pos >= m_css.size(); }
  char Peek(std::size_t ahead = 0) const {
    return m_pos + ahead < m_css.size() ? m_css[m_pos + ahead] : '\0';
  }
  bool Has(std::size_t ahead) const { return m_pos + ahead < m_css.size(); }

  // A backslash that begins an escape: not followed by a line break.
  bool StartsEscape(std::size_t ahead) const {
    return Has(ahead) && Peek(ahead) == '\\' && !(Has(ahead + 1) && IsNewline(Peek(ahead + 1)));
  }
  bool StartsName(std::size_t ahead) const {
    return (Has(ahead) && IsNameChar(Peek(ahead))) || StartsEscape(ahead);
  }

  void SkipComment() {
    const std::size_t end = m_css.find("*/", m_pos + 2);
    m_pos = end == std::string_view::npos ? m_css.size() : end + 2;
  }

  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) ++m_pos;
  }

  // At the character after a backslash: up to six hex digits and one blank after them (CR LF
  // counting as one), or the character itself.
  void ConsumeEscape(std::string& out) {
    if (AtEnd()) {
      AppendUtf8(out, 0xFFFD);
      return;
    }
    if (!IsHexDigit(Peek())) {
      out += m_css[m_pos++];
      return;
    }
    uint32_t cp = 0;
    for (int digits = 0; digits < 6 && !AtEnd() && IsHexDigit(Peek()); ++digits)
      cp = cp * 16 + static_cast<uint32_t>(HexValue(m_css[m_pos++]));
    if (Peek() == '\r' && Peek(1) == '\n') {
      m_pos += 2;
    } else if (!AtEnd() && IsBlank(Peek())) {
      ++m_pos;
    }
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    AppendUtf8(out, cp);
  }

  std::string ConsumeName() {
    std::string name;
    while (!AtEnd()) {
      if (StartsEscape(0)) {
        ++m_pos;
        ConsumeEscape(name);
      } else if (IsNameChar(Peek())) {
        name += m_css[m_pos++];
      } else {
        break;
      }
    }
    return name;
  }

  // At the opening quote. False for a string that a line break ends (a malformed one); a string
  // cut off by the end of the sheet still counts, as in browsers.
  bool ConsumeString(std::string& value) {
    const char quote = m_css[m_pos++];
    while (!AtEnd()) {
      const char c = m_css[m_pos];
      if (c == quote) {
        ++m_pos;
        return true;
      }
      if (IsNewline(c)) return false;
      ++m_pos;
      if (c != '\\') {
        value += c;
      } else if (AtEnd()) {
        // A backslash at the very end adds nothing.
      } else if (IsNewline(Peek())) {
        m_pos += Peek() == '\r' && Peek(1) == '\n' ? 2 : 1;  // an escaped line break joins lines
      } else {
        ConsumeEscape(value);
      }
    }
    return true;
  }

  // After "url(": a quoted string with only blanks around it up to ")", or an unquoted address.
  void ConsumeUrl(std::size_t begin, bool import) {
    SkipBlanks();
    std::string value;
    if (Peek() == '"' || Peek() == '\'') {
      if (!ConsumeString(value)) return;
      SkipBlanks();
      if (AtEnd() || Peek() == ')') {
        if (!AtEnd()) ++m_pos;
        Add(begin, true, import, std::move(value));
      }
      // Anything else after the string makes url() an ordinary function: the tokens after it are
      // read as they come.
      return;
    }
    while (!AtEnd()) {
      const char c = m_css[m_pos];
      if (c == ')') {
        ++m_pos;
        break;
      }
      if (IsBlank(c)) {
        SkipBlanks();
        if (AtEnd() || Peek() == ')') continue;
        SkipBadUrl();
        return;
      }
      if (c == '"' || c == '\'' || c == '(' || IsNonPrintable(c)) {
        SkipBadUrl();
        return;
      }
      if (c == '\\') {
        if (!StartsEscape(0)) {
          SkipBadUrl();
          return;
        }
        ++m_pos;
        ConsumeEscape(value);
        continue;
      }
      value += c;
      ++m_pos;
    }
    Add(begin, true, import, std::move(value));
  }

  // The rest of a malformed url(): up to its ")" (an escaped one does not end it).
  void SkipBadUrl() {
    while (!AtEnd()) {
      const char c = m_css[m_pos];
      if (c == ')') {
        ++m_pos;
        return;
      }
      m_pos += StartsEscape(0) ? 2 : 1;
    }
  }

  void Add(std::size_t begin, bool urlFunction, bool import, std::string url) {
    std::size_t first = 0, last = url.size();
    while (first < last && IsBlank(url[first])) ++first;
    while (last > first && IsBlank(url[last - 1])) --last;
    if (first == last) return;
    TCssReference reference;
    reference.Begin = begin;
    reference.End = std::min(m_pos, m_css.size());
    reference.UrlFunction = urlFunction;
    reference.Import = import;
    reference.FontFace = m_fontDepth != kNoFontBlock;
    reference.Url = url.substr(first, last - first);
    m_found.push_back(std::move(reference));
  }

  static constexpr int kNoFontBlock = INT_MAX;

  std::string_view m_css;
  std::size_t m_pos = 0;
  int m_fontDepth = kNoFontBlock;  // the depth of the @font-face block being read
  std::vector<TCssReference> m_found;
};

// address written between quote characters, or as an unquoted url() value when quote is 0: a
// backslash goes before every character that would end or break that form, except line breaks,
// which only a hex escape can carry. That escape ends with a blank, which the reader takes as
// part of it, so a following hex digit or blank stays itself.
std::string EscapeCssAddress(std::string_view address, char quote) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(address.size());
  for (const char c : address) {
    if (IsNewline(c)) {
      out += '\\';
      out += kHex[static_cast<unsigned char>(c) & 15];
      out += ' ';
      continue;
    }
    if (c == '\\' || c == quote ||
        (quote == 0 &&
         (IsBlank(c) || IsNonPrintable(c) || c == '"' || c == '\'' || c == '(' || c == ')')))
      out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::vector<TCssReference> FindCssReferences(std::string_view css) {
  return TCssScanner(css).Run();
}

std::string ReplaceCssReferences(std::string_view css, const TCssReferenceMapping& mapping) {
  std::string out;
  std::size_t copied = 0;
  for (const TCssReference& reference : FindCssReferences(css)) {
    const std::optional<std::string> address = mapping(reference);
    if (!address) continue;
    // Where the address or its opening quote begins: after "url(" and its blanks, or at the
    // @import string's quote. The name "url" holds no "(" even when written with escapes.
    std::size_t value = reference.Begin;
    if (reference.UrlFunction) {
      value = css.find('(', reference.Begin) + 1;
      while (value < reference.End && IsBlank(css[value])) ++value;
    }
    const char quote =
        value < reference.End && (css[value] == '"' || css[value] == '\'') ? css[value] : 0;
    out.append(css.substr(copied, value - copied));
    if (quote != 0) out += quote;
    out += EscapeCssAddress(*address, quote);
    if (quote != 0) out += quote;  // also closes a string the end of the sheet cut off
    if (reference.UrlFunction) {
      // The blanks before ")" stay; a url() cut off by the end of the sheet gets its ")".
      std::size_t closing = reference.End;
      if (css[closing - 1] == ')') {
        --closing;
        while (closing > value && IsBlank(css[closing - 1])) --closing;
      }
      out.append(css.substr(closing, reference.End - closing));
      if (closing == reference.End) out += ')';
    }
    copied = reference.End;
  }
  if (copied == 0) return std::string(css);
  out.append(css.substr(copied));
  return out;
}

}  // namespace tq
