// Character sets: names as pages declare them, decoding bytes to UTF-16 and encoding UTF-16 into
// the code page of stored copies, writing every character the code page cannot hold as an escape
// that the reader of that context resolves, so no text is lost where a context has an escape.
//
// All functions are safe to call from any thread; a TCharsetEncoder is immutable once built.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tq {

// The code page stored copies are written in, how a copy declares it, and the content value that
// replaces a page's own META content-type declaration. The label is one browsers know: under an
// unknown one they would guess the page's charset instead.
inline constexpr std::string_view kStoredCharset = "windows-1258";
inline constexpr std::string_view kStoredCharsetLabel = "windows-1258";
inline constexpr std::string_view kStoredContentType = "text/html; charset=windows-1258";
// The label copies written by earlier versions declared themselves with, which no browser knows.
inline constexpr std::string_view kOldStoredCharsetLabel = "Windows_1258";

// The character that stands for the placeholder byte 0xA4 in text given to the stored copy's
// encoder (a noncharacter, which decoded pages never hold: DecodeHtml and the tokenizer's
// reference decoding turn it into U+FFFD). The encoder writes it as 0xA4 and writes the page's
// own U+00A4 as an escape, so the only 0xA4 bytes of a stored copy are its placeholders'.
inline constexpr char16_t kPlaceholderMark = 0xFDD0;
// What an undeclared page is decoded with, and what an unknown name falls back to.
inline constexpr std::string_view kDefaultCharset = "windows-1252";

// Where a character the target cannot hold is written, which decides its escape form.
enum class TEscapeContext {
  ecxMarkup,   // text, attribute values, comments: &#NNNN;
  ecxScript,   // JavaScript: \uXXXX per UTF-16 unit
  ecxStyle,    // CSS: \XXXXXX and a blank (CSS consumes one blank after an escape)
  ecxLiteral,  // text no reader decodes (xmp, plaintext, scripts of unknown types): there is
               // no escape to write, so the character becomes "?"
};

// The canonical converter name of a charset label as pages write it ("latin1", " UTF-8",
// "cp1251"), following the web's label table where it differs from ICU's aliases; "" when the
// label names no charset a browser supports (UTF-7 and the like are refused on purpose: what a
// browser shows as inert text must not turn into markup in a stored copy).
std::string NormalizeCharsetName(std::string_view label);

// The charset parameter of a Content-Type value or of a META content attribute
// ("text/html; charset=\"utf-8\"" gives "utf-8"); "" when there is none.
std::string CharsetFromContentType(std::string_view contentType);

// Decodes bytes with the named charset; an unknown name decodes as windows-1252. Malformed
// sequences become U+FFFD. Throws EVornError for 1 GiB of bytes or more, nothing else.
std::u16string DecodeBytes(std::string_view bytes, std::string_view charset);

// Encodes UTF-16 text into a single-byte code page or UTF-8. Characters the target cannot hold
// are escaped for their context; so is U+0000 in a single-byte code page, because readers of
// stored copies end a line at a NUL byte.
//
// The stored copy's encoder (StoredCharsetEncoder) also writes kPlaceholderMark as 0xA4 and
// escapes U+00A4. Where its context has no escape (ecxLiteral) a U+00A4 stays 0xA4 unless it
// would follow another 0xA4, so no run of page text can read as a placeholder.
class TCharsetEncoder {
 public:
  // readableAs, when given, also escapes the characters whose byte means something else in that
  // charset, so a reader that ignores the declared charset and falls back to it still reads the
  // same text. Throws EVornError for an unknown charset or a multi-byte one other than
  // UTF-8.
  explicit TCharsetEncoder(std::string_view charset, std::string_view readableAs = {});

  void Append(std::u16string_view text, TEscapeContext context, std::string& out) const;
  std::string Encode(std::u16string_view text,
                     TEscapeContext context = TEscapeContext::ecxMarkup) const {
    std::string out;
    Append(text, context, out);
    return out;
  }
  // The canonical converter name.
  const std::string& Name() const { return m_name; }

  struct TTable;  // the byte of each character; defined in the source

 private:
  friend const TCharsetEncoder& StoredCharsetEncoder();
  struct TPlaceholders {};
  TCharsetEncoder(std::string_view charset, std::string_view readableAs, TPlaceholders);

  std::string m_name;
  std::shared_ptr<const TTable> m_table;  // null for UTF-8
  bool m_placeholders = false;
};

// The encoder of stored copies: windows-1258, readable as windows-1252 (a reader that ignores the
// declared charset falls back to it), with the placeholder rules above. Built once.
const TCharsetEncoder& StoredCharsetEncoder();

}  // namespace tq
