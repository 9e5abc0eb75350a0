// The text of a stored page as the content search reads it: the page part of the stored
// document, decoded by the charset the page declares, and parsed by libxml2's HTML parser into
// text runs in document order and the page title.
//
// Pure functions and a parser object without shared state: safe on any thread, one parse per
// TPageTextReader at a time.
#pragma once

#include <string>
#include <string_view>

namespace tq {

// The page part of a stored document: what follows the header, which runs through the last line
// that equals the content marker (letter case ignored), the way the stored-document reader takes
// it; all of the content when it has no such line.
std::string_view StoredPageBody(std::string_view content);

// The page as UTF-8, written into buffer (which a caller keeps from page to page: it only
// grows): decoded by its byte-order mark or its META declaration, else as windows-1252, which
// reads stored copies right whether they declare their code page or not. Undecodable sequences
// and NUL characters become U+FFFD. Throws std::length_error for a page of 1 GiB or more.
std::string_view DecodeStoredPage(std::string_view page, std::string& buffer);

// What the reader reports. Each answer says whether to read on.
class TPageTextVisitor {
 public:
  virtual ~TPageTextVisitor() = default;
  // One text run: the text between two pieces of markup, character references resolved, as
  // UTF-8, each run of white space and no-break spaces one space. Inline elements (a, code, em,
  // span, ...) do not cut a run: their text joins the text around it, and a line break element
  // reads as a space. The text of the title element comes as runs too.
  virtual bool OnText(std::string_view run) = 0;
  // The text of the first title element with its blanks collapsed; at most once per page, when
  // the element ends (or the page does).
  virtual bool OnTitle(std::string_view title) = 0;
};

class TPageTextReader {
 public:
  // Which runs are reported: the text of the first title element (and the title itself), and
  // every other text run.
  bool ProcessTitle = true;
  bool ProcessText = true;

  // Parses a UTF-8 page (see DecodeStoredPage) and reports its runs and title in document order
  // until the visitor says stop. Scripts, style blocks, comments, processing instructions,
  // server-side blocks ("<% %>") and the doctype give no text. Malformed markup is read as browsers
  // roughly would; nothing raises but std::bad_alloc.
  void Read(std::string_view utf8, TPageTextVisitor& visitor) const;
};

}  // namespace tq
