// Stored page text through libxml2's HTML parser in SAX mode.
#include "search/page_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include "formats/charset.h"
#include "formats/html_rewrite.h"
#include "formats/html_tokenizer.h"
#include "formats/stored_document.h"
#include "foundation/ansi.h"
#include "foundation/ascii_case.h"

namespace tq {
namespace {

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsNamed(const xmlChar* name, const char* element) {
  return xmlStrcasecmp(name, reinterpret_cast<const xmlChar*>(element)) == 0;
}

constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

// Elements that sit inside a line of text: a browser shows their text as part of the text around
// them, so they do not end a run. Sorted for the binary search.
bool IsInline(const xmlChar* name) {
  static constexpr std::array<std::string_view, 35> kInline = {
      "a",      "abbr", "acronym", "b",    "bdi", "bdo",  "big",   "br",   "cite",
      "code",   "data", "del",     "dfn",  "em",  "font", "i",     "ins",  "kbd",
      "label",  "mark", "nobr",    "q",    "s",   "samp", "small", "span", "strike",
      "strong", "sub",  "sup",     "time", "tt",  "u",    "var",   "wbr"};
  return std::binary_search(kInline.begin(), kInline.end(),
                            AsciiLowerCase(reinterpret_cast<const char*>(name)));
}

// The run as a reader sees it: every run of blanks and no-break spaces one space.
void CollapseBlanks(std::string_view run, std::string& out) {
  out.clear();
  bool blank = false;
  for (std::size_t i = 0; i < run.size(); ++i) {
    const bool noBreak = run.substr(i, 2) == kNoBreakSpace;
    if (IsBlank(run[i]) || noBreak) {
      if (!blank) out += ' ';
      blank = true;
      if (noBreak) ++i;
    } else {
      out += run[i];
      blank = false;
    }
  }
}

// One parse: the SAX callbacks' user data.
class TSaxRun {
 public:
  TSaxRun(const TPageTextReader& options, TPageTextVisitor& visitor)
      : m_options(options), m_visitor(visitor) {}

  void Parse(std::string_view utf8) {
    static std::once_flag initialized;
    std::call_once(initialized, [] { xmlInitParser(); });
    if (utf8.empty()) return;
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
      throw std::length_error("page too large to search");
    htmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = 1;
    sax.startElement = &StartElement;
    sax.endElement = &EndElement;
    sax.characters = &Characters;
    sax.ignorableWhitespace = &Characters;
    // With a cdataBlock handler the parser hands script and style contents there instead of to
    // characters.
    sax.cdataBlock = &Markup;
    sax.comment = &Comment;
    sax.processingInstruction = &ProcessingInstruction;
    sax.endDocument = &EndDocument;

    htmlParserCtxtPtr ctxt = htmlCreateMemoryParserCtxt(utf8.data(), static_cast<int>(utf8.size()));
    if (ctxt == nullptr) throw std::bad_alloc();
    xmlFree(ctxt->sax);
    ctxt->sax = &sax;
    ctxt->userData = this;
    m_ctxt = ctxt;
    // The input is UTF-8 already: a META declaration must not switch the decoder. No error
    // reports, no network, no implied elements (they would only cut runs where none are).
    htmlCtxtUseOptions(ctxt, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                 HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED | HTML_PARSE_IGNORE_ENC);
    // Without this the parser takes the first non-ASCII byte for a sign to guess a charset.
    xmlSwitchEncoding(ctxt, XML_CHAR_ENCODING_UTF8);
    htmlParseDocument(ctxt);
    ctxt->sax = nullptr;
    ctxt->userData = nullptr;
    htmlFreeParserCtxt(ctxt);
    m_ctxt = nullptr;
  }

 private:
  static TSaxRun& Of(void* ctx) { return *static_cast<TSaxRun*>(ctx); }

  static void StartElement(void* ctx, const xmlChar* name, const xmlChar** /*atts*/) {
    TSaxRun& run = Of(ctx);
    if (IsInline(name)) {
      // A line break shows as white space between the words around it.
      if (IsNamed(name, "br") && run.Reported()) run.m_run += '\n';
      return;
    }
    run.Flush();
    if (!run.m_titleSeen && IsNamed(name, "title")) {
      run.m_titleSeen = true;
      run.m_inTitle = true;
    }
  }

  static void EndElement(void* ctx, const xmlChar* name) {
    if (IsInline(name)) return;
    TSaxRun& run = Of(ctx);
    run.Flush();
    if (run.m_inTitle && IsNamed(name, "title")) run.EndTitle();
  }

  static void Characters(void* ctx, const xmlChar* text, int length) {
    TSaxRun& run = Of(ctx);
    if (run.Reported()) run.m_run.append(reinterpret_cast<const char*>(text), length);
  }

  static void Markup(void* ctx, const xmlChar*, int) { Of(ctx).Flush(); }
  static void Comment(void* ctx, const xmlChar*) { Of(ctx).Flush(); }
  static void ProcessingInstruction(void* ctx, const xmlChar*, const xmlChar*) { Of(ctx).Flush(); }

  static void EndDocument(void* ctx) {
    TSaxRun& run = Of(ctx);
    run.Flush();
    if (run.m_inTitle) run.EndTitle();
  }

  bool Reported() const { return m_inTitle ? m_options.ProcessTitle : m_options.ProcessText; }

  void Flush() {
    if (m_run.empty()) return;
    if (m_inTitle) m_title += m_run;
    // The parser reads server-side blocks ("<% ... %>") as text; to the search they are markup,
    // so they give no text and cut the run as a tag would.
    std::string_view rest = m_run;
    for (std::size_t open; (open = rest.find("<%")) != std::string_view::npos;) {
      Report(rest.substr(0, open));
      const std::size_t close = rest.find("%>", open + 2);
      rest = close == std::string_view::npos ? std::string_view() : rest.substr(close + 2);
    }
    Report(rest);
    m_run.clear();
  }

  void Report(std::string_view run) {
    if (run.empty() || m_stopped) return;
    CollapseBlanks(run, m_collapsed);
    if (!m_visitor.OnText(m_collapsed)) Stop();
  }

  void EndTitle() {
    m_inTitle = false;
    if (!m_options.ProcessTitle || m_stopped) return;
    std::string collapsed;
    for (char c : m_title) {
      if (!IsBlank(c)) {
        collapsed += c;
      } else if (!collapsed.empty() && collapsed.back() != ' ') {
        collapsed += ' ';
      }
    }
    if (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
    if (!m_visitor.OnTitle(collapsed)) Stop();
  }

  void Stop() {
    m_stopped = true;
    if (m_ctxt != nullptr) xmlStopParser(m_ctxt);
  }

  const TPageTextReader& m_options;
  TPageTextVisitor& m_visitor;
  htmlParserCtxtPtr m_ctxt = nullptr;
  std::string m_run;
  std::string m_collapsed;  // the run reported, kept for the next
  std::string m_title;
  bool m_titleSeen = false;
  bool m_inTitle = false;
  bool m_stopped = false;
};

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// What each byte of a single-byte charset decodes to, as UTF-8. Stored copies are single-byte
// pages: a table lookup per byte decodes them several times faster than going through UTF-16.
struct TSingleByteTable {
  std::array<std::array<char, 3>, 256> Utf8{};  // every byte decodes to a BMP character
  std::array<uint8_t, 256> Length{};
  bool AsciiSame = false;  // bytes 1 to 0x7F decode to the same ASCII characters
};

std::shared_ptr<const TSingleByteTable> BuildSingleByteTable(const std::string& charset) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(charset.c_str(), &error);
  if (U_FAILURE(error)) return nullptr;
  auto table = std::make_shared<TSingleByteTable>();
  bool singleByte = ucnv_getType(converter) == UCNV_SBCS;
  for (int b = 0; b < 256 && singleByte; ++b) {
    // The converter's own answer for the byte alone, substitutes included; NUL reads as U+FFFD.
    const char byte = static_cast<char>(b);
    UChar unit[2];
    error = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t units = ucnv_toUChars(converter, unit, 2, &byte, 1, &error);
    std::string_view utf8 = kReplacement;
    std::string encoded;
    if (b != 0 && U_SUCCESS(error) && units == 1 && !U16_IS_SURROGATE(unit[0])) {
      encoded = Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(unit), 1));
      utf8 = encoded;
    } else if (b != 0 && (U_FAILURE(error) || units != 1)) {
      singleByte = false;  // not a charset of one character per byte after all
    }
    std::memcpy(table->Utf8[static_cast<std::size_t>(b)].data(), utf8.data(), utf8.size());
    table->Length[static_cast<std::size_t>(b)] = static_cast<uint8_t>(utf8.size());
  }
  ucnv_close(converter);
  table->AsciiSame = true;
  for (int b = 1; b < 0x80; ++b) {
    if (table->Length[b] != 1 || table->Utf8[b][0] != static_cast<char>(b))
      table->AsciiSame = false;
  }
  return singleByte ? table : nullptr;
}

// The table of a charset (canonical name), built once; null for charsets of more bytes.
std::shared_ptr<const TSingleByteTable> SingleByteTable(const std::string& charset) {
  static std::mutex lock;
  static std::map<std::string, std::shared_ptr<const TSingleByteTable>, std::less<>> tables;
  std::lock_guard guard(lock);
  const auto known = tables.find(charset);
  if (known != tables.end()) return known->second;
  return tables[charset] = BuildSingleByteTable(charset);
}

}  // namespace

std::string_view StoredPageBody(std::string_view content) {
  // The marker is found where a line starts; the body starts after that line's break. A NUL
  // ends a line for the header reader, so what follows it on the marker's line is not body.
  std::size_t bodyStart = std::string_view::npos;
  const std::size_t size = kStoredContentMarker.size();
  for (std::size_t at = content.find('<'); at != std::string_view::npos;
       at = content.find('<', at + 1)) {
    if (at > 0 && !IsLineBreak(content[at - 1])) continue;
    if (content.size() - at < size || !AnsiSameText(content.substr(at, size), kStoredContentMarker))
      continue;
    const std::size_t after = at + size;
    if (after < content.size() && !IsLineBreak(content[after]) && content[after] != '\0') continue;
    std::size_t end = content.find_first_of("\r\n", after);
    if (end == std::string_view::npos) {
      end = content.size();
    } else if (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n') {
      end += 2;
    } else {
      end += 1;
    }
    bodyStart = end;
  }
  return bodyStart == std::string_view::npos ? content : content.substr(bodyStart);
}

std::string_view DecodeStoredPage(std::string_view page, std::string& buffer) {
  const std::string_view bom = page.substr(0, 3);
  const bool hasBom =
      bom == "\xEF\xBB\xBF" || bom.substr(0, 2) == "\xFF\xFE" || bom.substr(0, 2) == "\xFE\xFF";
  std::string charset = hasBom ? std::string() : FindMetaCharset(page);
  if (!hasBom && charset.empty()) charset = NormalizeCharsetName(kDefaultCharset);
  const auto table = hasBom ? nullptr : SingleByteTable(charset);
  if (!table) {
    buffer = Utf16ToUtf8(hasBom ? DecodeHtml(page, {}).Text : DecodeBytes(page, charset));
    // The parser takes NUL for the end of its input in places; U+FFFD reads on.
    for (std::size_t at = buffer.find('\0'); at != std::string::npos; at = buffer.find('\0', at))
      buffer.replace(at, 1, kReplacement);
    return buffer;
  }
  // The buffer only grows, so pages after the first are written without clearing it first.
  if (buffer.size() < page.size() * 3) buffer.resize(page.size() * 3);
  char* out = buffer.data();
  const char* in = page.data();
  const char* end = in + page.size();
  while (in < end) {
    // Runs of ASCII other than NUL read as themselves in every web charset of one byte.
    if (table->AsciiSame) {
      while (end - in >= 8) {
        uint64_t word;
        std::memcpy(&word, in, 8);
        const bool hasZero = ((word - 0x0101010101010101u) & ~word & 0x8080808080808080u) != 0;
        if ((word & 0x8080808080808080u) != 0 || hasZero) break;
        std::memcpy(out, in, 8);
        in += 8;
        out += 8;
      }
      if (in == end) break;
    }
    const auto byte = static_cast<unsigned char>(*in++);
    std::memcpy(out, table->Utf8[byte].data(), 3);
    out += table->Length[byte];
  }
  return {buffer.data(), static_cast<std::size_t>(out - buffer.data())};
}

void TPageTextReader::Read(std::string_view utf8, TPageTextVisitor& visitor) const {
  TSaxRun(*this, visitor).Parse(utf8);
}

}  // namespace tq
