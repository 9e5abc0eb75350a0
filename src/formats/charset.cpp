// Charset names, decoding and encoding through ICU. Single-byte targets are encoded through a
// table derived from ICU's own mapping: it is far faster than a converter call per item and
// makes the escape rules ours.
#include "formats/charset.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <array>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "foundation/ascii_case.h"
#include "foundation/errors.h"

namespace tq {
namespace {

constexpr uint16_t kUnmapped = 0xFFFF;
// ICU counts in 32-bit lengths, and a text may decode to twice as many units as it has bytes.
constexpr std::size_t kMaxDecodedBytes = std::size_t{1} << 30;

std::string LowerTrim(std::string_view s) {
  const auto isTrim = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '"' || c == '\'';
  };
  while (!s.empty() && isTrim(s.front())) s.remove_prefix(1);
  while (!s.empty() && isTrim(s.back())) s.remove_suffix(1);
  return AsciiLowerCase(s);
}

struct TConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using TConverterPtr = std::unique_ptr<UConverter, TConverterCloser>;

TConverterPtr OpenConverter(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return nullptr;
  UErrorCode error = U_ZERO_ERROR;
  TConverterPtr converter(ucnv_open(name.c_str(), &error));
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

std::string CanonicalName(const std::string& name) {
  TConverterPtr converter = OpenConverter(name);
  if (!converter) return {};
  UErrorCode error = U_ZERO_ERROR;
  const char* canonical = ucnv_getName(converter.get(), &error);
  return U_SUCCESS(error) && canonical ? canonical : std::string();
}

// The charsets browsers decode (the web's encoding list), as ICU converter names.
const std::set<std::string>& SupportedCharsets() {
  static const std::set<std::string> supported = [] {
    static constexpr std::string_view kNames[] = {
        "UTF-8",        "IBM866",       "ISO-8859-2",     "ISO-8859-3",   "ISO-8859-4",
        "ISO-8859-5",   "ISO-8859-6",   "ISO-8859-7",     "ISO-8859-8",   "ISO-8859-10",
        "ISO-8859-13",  "ISO-8859-14",  "ISO-8859-15",    "ISO-8859-16",  "KOI8-R",
        "KOI8-U",       "macintosh",    "windows-874",    "windows-1250", "windows-1251",
        "windows-1252", "windows-1253", "windows-1254",   "windows-1255", "windows-1256",
        "windows-1257", "windows-1258", "x-mac-cyrillic", "GBK",          "gb18030",
        "Big5",         "EUC-JP",       "ISO-2022-JP",    "windows-31j",  "windows-949",
        "UTF-16BE",     "UTF-16LE"};
    std::set<std::string> names;
    for (auto n : kNames) {
      std::string canonical = CanonicalName(std::string(n));
      if (!canonical.empty()) names.insert(canonical);
    }
    return names;
  }();
  return supported;
}

// Labels the web maps differently from ICU's aliases.
std::string_view WebOverride(const std::string& label) {
  static const std::map<std::string, std::string_view, std::less<>> overrides = {
      {"ascii", "windows-1252"},
      {"us-ascii", "windows-1252"},
      {"iso-8859-1", "windows-1252"},
      {"iso8859-1", "windows-1252"},
      {"iso_8859-1", "windows-1252"},
      {"latin1", "windows-1252"},
      {"l1", "windows-1252"},
      {"cp819", "windows-1252"},
      {"ibm819", "windows-1252"},
      {"iso-ir-100", "windows-1252"},
      {"x-cp1252", "windows-1252"},
      {"x-user-defined", "windows-1252"},
      {"iso-8859-9", "windows-1254"},
      {"iso8859-9", "windows-1254"},
      {"latin5", "windows-1254"},
      {"iso-8859-11", "windows-874"},
      {"tis-620", "windows-874"},
      {"gb2312", "GBK"},
      {"x-gbk", "GBK"},
      {"euc-kr", "windows-949"},
      {"ks_c_5601-1987", "windows-949"},
      {"shift_jis", "windows-31j"},
      {"sjis", "windows-31j"},
      {"ms_kanji", "windows-31j"},
      {"utf-16", "UTF-16LE"},
      {"unicode", "UTF-16LE"},
  };
  const auto it = overrides.find(label);
  return it == overrides.end() ? std::string_view() : it->second;
}

}  // namespace

std::string NormalizeCharsetName(std::string_view label) {
  std::string lower = LowerTrim(label);
  if (lower.empty() || lower.size() > 64) return {};
  const std::string_view overridden = WebOverride(lower);
  const std::string canonical = CanonicalName(overridden.empty() ? lower : std::string(overridden));
  return SupportedCharsets().count(canonical) ? canonical : std::string();
}

std::string CharsetFromContentType(std::string_view contentType) {
  const std::string lower = LowerTrim(contentType);
  std::size_t at = 0;
  while ((at = lower.find("charset", at)) != std::string::npos) {
    std::size_t p = at + 7;
    at = p;
    while (p < lower.size() && (lower[p] == ' ' || lower[p] == '\t')) ++p;
    if (p >= lower.size() || lower[p] != '=') continue;
    ++p;
    while (p < lower.size() && (lower[p] == ' ' || lower[p] == '\t')) ++p;
    char quote = 0;
    if (p < lower.size() && (lower[p] == '"' || lower[p] == '\'')) quote = lower[p++];
    std::size_t end = p;
    while (end < lower.size() && lower[end] != ';' && lower[end] != quote &&
           (quote || (lower[end] != ' ' && lower[end] != '\t')))
      ++end;
    return LowerTrim(std::string_view(lower).substr(p, end - p));
  }
  return {};
}

namespace {

bool Decode(UConverter* converter, std::string_view bytes, std::u16string& out) {
  // Stateful and compressing converters can yield more units than bytes: size, then retry.
  out.assign(bytes.size() + 16, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()),
                                         static_cast<int32_t>(out.size()), bytes.data(),
                                         static_cast<int32_t>(bytes.size()), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      out.assign(static_cast<std::size_t>(length) + 1, u'\0');
      continue;
    }
    if (U_FAILURE(error)) return false;
    out.resize(static_cast<std::size_t>(length));
    return true;
  }
  return false;
}

// UTF-8 through ICU's string function, which reads the same as its converter (a malformed
// sequence becomes one U+FFFD per maximal part) without the converter's per-call set-up.
bool DecodeUtf8(std::string_view bytes, std::u16string& out) {
  out.assign(bytes.size(), u'\0');  // never more units than bytes
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, bytes.data(), static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr,
                       &error);
  if (U_FAILURE(error)) return false;
  out.resize(static_cast<std::size_t>(length));
  return true;
}

}  // namespace

std::u16string DecodeBytes(std::string_view bytes, std::string_view charset) {
  if (bytes.size() >= kMaxDecodedBytes) throw EVornError("text too large to decode");
  std::string name = NormalizeCharsetName(charset);
  if (name.empty()) name = kDefaultCharset;
  std::u16string text;
  if (name == "UTF-8" && DecodeUtf8(bytes, text)) return text;
  if (TConverterPtr converter = OpenConverter(name);
      converter && Decode(converter.get(), bytes, text))
    return text;
  // Every byte means a character in windows-1252, so this never fails.
  text.clear();
  TConverterPtr fallback = OpenConverter(std::string(kDefaultCharset));
  if (fallback) Decode(fallback.get(), bytes, text);
  return text;
}

// --- TCharsetEncoder ---

struct TCharsetEncoder::TTable {
  std::array<uint16_t, 0x10000> Bytes;  // byte for each BMP unit, kUnmapped when none
};

namespace {

// Decodes each of the 256 bytes; 0xFFFF where the byte maps to no single BMP character.
std::array<uint16_t, 256> ByteMeanings(const std::string& name) {
  std::array<uint16_t, 256> meanings;
  meanings.fill(kUnmapped);
  TConverterPtr converter = OpenConverter(name);
  if (!converter) return meanings;
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    UChar unit[4];
    error = U_ZERO_ERROR;
    ucnv_reset(converter.get());
    const int32_t n = ucnv_toUChars(converter.get(), unit, 4, &byte, 1, &error);
    if (U_SUCCESS(error) && n == 1) meanings[b] = unit[0];
  }
  return meanings;
}

constexpr char16_t kCurrencySign = 0xA4;

std::shared_ptr<const TCharsetEncoder::TTable> BuildTable(const std::string& name,
                                                          const std::string& readableAs,
                                                          bool placeholders) {
  static std::mutex mutex;
  static std::map<std::tuple<std::string, std::string, bool>,
                  std::shared_ptr<const TCharsetEncoder::TTable>>
      cache;
  std::lock_guard lock(mutex);
  auto& cached = cache[{name, readableAs, placeholders}];
  if (cached) return cached;
  const auto meanings = ByteMeanings(name);
  std::array<uint16_t, 256> other;
  other.fill(kUnmapped);
  if (!readableAs.empty()) other = ByteMeanings(readableAs);
  auto table = std::make_shared<TCharsetEncoder::TTable>();
  table->Bytes.fill(kUnmapped);
  // Backwards, so that when two bytes decode to one character the lower byte wins.
  for (int b = 255; b >= 0; --b) {
    // NUL is never written: readers of stored copies end a line at a NUL byte.
    if (meanings[b] == kUnmapped || b == 0) continue;
    if (!readableAs.empty() && other[b] != meanings[b]) continue;
    table->Bytes[meanings[b]] = static_cast<uint16_t>(b);
  }
  if (placeholders) {
    table->Bytes[kCurrencySign] = kUnmapped;
    table->Bytes[kPlaceholderMark] = 0xA4;
  }
  cached = table;
  return cached;
}

void AppendEscape(uint32_t cp, TEscapeContext context, std::string& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  switch (context) {
    case TEscapeContext::ecxMarkup: {
      char digits[8];
      int count = 0;
      do {
        digits[count++] = static_cast<char>('0' + cp % 10);
        cp /= 10;
      } while (cp != 0);
      out += "&#";
      while (count > 0) out += digits[--count];
      out += ';';
      break;
    }
    case TEscapeContext::ecxScript: {
      const auto unit = [&](uint32_t u) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 0xF];
      };
      if (cp >= 0x10000) {
        unit(0xD800 + ((cp - 0x10000) >> 10));
        unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        unit(cp);
      }
      break;
    }
    case TEscapeContext::ecxLiteral:
      out += '?';
      break;
    case TEscapeContext::ecxStyle:
      out += '\\';
      for (int shift = 20; shift >= 0; shift -= 4) out += kHex[(cp >> shift) & 0xF];
      // CSS eats one blank after any escape, so the escape brings its own.
      out += ' ';
      break;
  }
}

void AppendUtf8(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

TCharsetEncoder::TCharsetEncoder(std::string_view charset, std::string_view readableAs) {
  m_name = NormalizeCharsetName(charset);
  if (m_name.empty()) throw EVornError("unknown charset: " + std::string(charset));
  if (m_name == "UTF-8") return;
  TConverterPtr converter = OpenConverter(m_name);
  if (!converter || ucnv_getMaxCharSize(converter.get()) != 1)
    throw EVornError("charset cannot be written: " + std::string(charset));
  std::string other;
  if (!readableAs.empty()) other = NormalizeCharsetName(readableAs);
  m_table = BuildTable(m_name, other, false);
}

TCharsetEncoder::TCharsetEncoder(std::string_view charset, std::string_view readableAs,
                                 TPlaceholders)
    : TCharsetEncoder(charset, readableAs) {
  // The placeholder byte must mean the currency sign, or the mark would be written as another
  // character; every code page stored copies are written in has it there.
  if (!m_table || DecodeBytes("\xA4", m_name) != u"\u00A4")
    throw EVornError("charset cannot hold placeholders: " + std::string(charset));
  m_placeholders = true;
  m_table = BuildTable(m_name, NormalizeCharsetName(readableAs), true);
}

void TCharsetEncoder::Append(std::u16string_view text, TEscapeContext context,
                             std::string& out) const {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    if (m_table) {
      // Runs of characters the code page holds go straight into the output, looked up once
      // each and passed on through a small buffer.
      const uint16_t* const bytes = m_table->Bytes.data();
      char buffer[512];
      std::size_t used = 0;
      for (; i < n; ++i) {
        const uint16_t byte = bytes[text[i]];
        if (byte == kUnmapped) break;
        buffer[used++] = static_cast<char>(byte);
        if (used == sizeof buffer) {
          out.append(buffer, used);
          used = 0;
        }
      }
      out.append(buffer, used);
      if (i == n) break;
    }
    const char16_t u = text[i++];
    uint32_t cp = u;
    if (u >= 0xD800 && u <= 0xDBFF && i < n && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
      cp = 0x10000 + ((static_cast<uint32_t>(u) - 0xD800) << 10) + (text[i] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate has no character to keep
    }
    if (!m_table) {
      AppendUtf8(cp, out);
    } else if (m_placeholders && cp == kCurrencySign && context == TEscapeContext::ecxLiteral) {
      // No escape is read here: the sign stays, unless it would make a pair with the byte
      // before it, which a reader of the copy could take for the start of a placeholder.
      out += !out.empty() && out.back() == '\xA4' ? '?' : '\xA4';
    } else {
      AppendEscape(cp, context, out);
    }
  }
}

const TCharsetEncoder& StoredCharsetEncoder() {
  static const TCharsetEncoder encoder(kStoredCharset, kDefaultCharset,
                                       TCharsetEncoder::TPlaceholders{});
  return encoder;
}

}  // namespace tq
