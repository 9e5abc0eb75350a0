// Stored page text through libxml2's HTML parser in SAX mode.
#include "search/page_text.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>

#include "formats/html_rewrite.h"
#include "formats/html_tokenizer.h"
#include "formats/stored_document.h"
#include "foundation/ansi.h"

namespace tq {
namespace {

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
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
    run.Flush();
    if (!run.m_titleSeen && xmlStrcasecmp(name, BAD_CAST "title") == 0) {
      run.m_titleSeen = true;
      run.m_inTitle = true;
    }
  }

  static void EndElement(void* ctx, const xmlChar* name) {
    TSaxRun& run = Of(ctx);
    run.Flush();
    if (run.m_inTitle && xmlStrcasecmp(name, BAD_CAST "title") == 0) run.EndTitle();
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
    if (!m_stopped && !m_visitor.OnText(m_run)) Stop();
    m_run.clear();
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
  std::string m_title;
  bool m_titleSeen = false;
  bool m_inTitle = false;
  bool m_stopped = false;
};

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

std::string DecodeStoredPage(std::string_view page) {
  std::string utf8 = Utf16ToUtf8(DecodeHtml(page, {}).Text);
  // The parser takes NUL for the end of its input in places; U+FFFD reads on.
  if (utf8.find('\0') == std::string::npos) return utf8;
  std::string out;
  out.reserve(utf8.size() + 16);
  for (char c : utf8) {
    if (c == '\0') {
      out += "\xEF\xBF\xBD";
    } else {
      out += c;
    }
  }
  return out;
}

void TPageTextReader::Read(std::string_view utf8, TPageTextVisitor& visitor) const {
  TSaxRun(*this, visitor).Parse(utf8);
}

}  // namespace tq
