// Looking for a keyword in the text of one stored page: the comparison under Unicode simple case
// folding, and the search of a page's text runs that yields its title and the found text.
//
// A TPageSearcher runs one search at a time; nothing is shared between objects.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "search/page_text.h"

namespace tq {

// True for the stored content types the search reads: those that hold "TEXT/HTML", letter case
// ignored. Images and other files are skipped.
bool IsHtmlContentType(std::string_view contentType);

// A keyword compared without regard to case: every character is replaced by its simple case
// folding (one character for one, as the Unicode folding table gives it), so "ß" and "SS" stay
// apart while the micro sign meets the Greek small mu. A run of white space (no-break spaces
// too) stands for one space, as in the text runs a page reader reports.
class TFoldedKeyword {
 public:
  // keyword as UTF-8; malformed bytes count as U+FFFD.
  explicit TFoldedKeyword(std::string_view keyword);

  bool Empty() const { return m_keyword.empty(); }

  // Where the keyword first occurs in text (UTF-8): byte offset and byte length of the
  // occurrence. None for an empty keyword.
  struct TMatch {
    std::size_t Offset = 0;
    std::size_t Length = 0;
  };
  std::optional<TMatch> FindIn(std::string_view text) const;

 private:
  std::u32string m_keyword;
  bool m_ascii = false;        // every folded character of the keyword is ASCII
  std::string m_asciiKeyword;  // then the folded keyword as bytes
};

struct TPageMatch {
  std::string Title;       // the first title element's text; empty when the page has none
  std::string Text;        // the run holding the keyword, from its first occurrence to the end
  std::size_t MarkLength;  // bytes at the start of Text that the keyword matched
};

class TPageSearcher : private TPageTextVisitor {
 public:
  explicit TPageSearcher(std::string_view keyword) : m_keyword(keyword) {}

  // Which runs are searched (see TPageTextReader).
  TPageTextReader Reader;

  // Searches a stored document (header, then the page) for the keyword; the first run holding
  // it is the found one, and reading stops once the title is known too. None when the keyword
  // is empty or not found. Raises what decoding and parsing raise (see page_text.h).
  std::optional<TPageMatch> Search(std::string_view storedContent);

 private:
  bool OnText(std::string_view run) override;
  bool OnTitle(std::string_view title) override;

  TFoldedKeyword m_keyword;
  std::string m_page;  // the decoded page, kept for the next
  std::optional<TPageMatch> m_match;
  std::string m_title;
  bool m_titleKnown = false;
};

}  // namespace tq
