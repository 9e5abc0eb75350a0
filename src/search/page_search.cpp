// Keyword comparison by simple case folding, and the search of one page's runs.
#include "search/page_search.h"

#include <algorithm>
#include <array>
#include <memory>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "foundation/ansi.h"

namespace tq {
namespace {

// Simple case folding of every BMP character, looked up once: the search folds every character
// of every text run it reads. 0 marks the few whose folding ICU must give.
const std::array<char16_t, 0x10000>& BmpFolding() {
  static const auto table = [] {
    auto folding = std::make_unique<std::array<char16_t, 0x10000>>();
    for (UChar32 c = 0; c < 0x10000; ++c) {
      const UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
      (*folding)[static_cast<std::size_t>(c)] =
          folded < 0x10000 ? static_cast<char16_t>(folded) : 0;
    }
    return folding;
  }();
  return *table;
}

inline char32_t Fold(UChar32 c, const std::array<char16_t, 0x10000>& bmp) {
  if (c < 0) return U'\uFFFD';  // a malformed sequence
  if (c < 0x80) return static_cast<char32_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (c < 0x10000) {
    if (const char16_t folded = bmp[static_cast<std::size_t>(c)]; folded != 0) return folded;
  }
  return static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool IsHtmlContentType(std::string_view contentType) {
  return AnsiUpperCase(contentType).find("TEXT/HTML") != std::string::npos;
}

TFoldedKeyword::TFoldedKeyword(std::string_view keyword) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(keyword.data());
  const auto length = static_cast<int32_t>(keyword.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    // Text runs come with their white space collapsed to single spaces; so does the keyword.
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0xA0) {
      if (m_keyword.empty() || m_keyword.back() != U' ') m_keyword += U' ';
      continue;
    }
    m_keyword += Fold(c, BmpFolding());
  }
  m_ascii = std::all_of(m_keyword.begin(), m_keyword.end(), [](char32_t c) { return c < 0x80; });
  if (m_ascii) m_asciiKeyword.assign(m_keyword.begin(), m_keyword.end());
}

std::optional<TFoldedKeyword::TMatch> TFoldedKeyword::FindIn(std::string_view text) const {
  // A keyword needs at least as many bytes as characters, and every character of a run at most
  // four bytes: most runs too short for the keyword end here unfolded.
  if (m_keyword.empty() || text.size() < m_keyword.size()) return std::nullopt;
  // ASCII text folds to ASCII: it meets only a keyword that folds to ASCII, and then byte by
  // byte, which is most text of most pages.
  if (IsAscii(text)) {
    if (!m_ascii) return std::nullopt;
    const auto found =
        std::search(text.begin(), text.end(), m_asciiKeyword.begin(), m_asciiKeyword.end(),
                    [](char t, char k) { return (t >= 'A' && t <= 'Z' ? t + 32 : t) == k; });
    if (found == text.end()) return std::nullopt;
    return TMatch{static_cast<std::size_t>(found - text.begin()), m_asciiKeyword.size()};
  }
  // Character by character from each place whose first character folds like the keyword's:
  // keywords are short, so a failed comparison costs a few characters at most.
  const auto& bmp = BmpFolding();
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());  // pages stay below 2 GiB
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (Fold(c, bmp) != m_keyword[0]) continue;
    int32_t end = i;
    std::size_t matched = 1;
    while (matched < m_keyword.size() && end < length) {
      U8_NEXT(bytes, end, length, c);
      if (Fold(c, bmp) != m_keyword[matched]) break;
      ++matched;
    }
    if (matched == m_keyword.size()) {
      return TMatch{static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)};
    }
  }
  return std::nullopt;
}

std::optional<TPageMatch> TPageSearcher::Search(std::string_view storedContent) {
  m_match.reset();
  m_title.clear();
  // Without reported titles there is none to wait for once the keyword is found.
  m_titleKnown = !Reader.ProcessTitle;
  if (m_keyword.Empty()) return std::nullopt;
  Reader.Read(DecodeStoredPage(StoredPageBody(storedContent), m_page), *this);
  if (m_match) m_match->Title = m_title;
  return std::move(m_match);
}

bool TPageSearcher::OnText(std::string_view run) {
  if (!m_match) {
    if (const auto found = m_keyword.FindIn(run)) {
      m_match = TPageMatch{{}, std::string(run.substr(found->Offset)), found->Length};
    }
  }
  return !(m_match && m_titleKnown);
}

bool TPageSearcher::OnTitle(std::string_view title) {
  m_title = title;
  m_titleKnown = true;
  return !m_match;
}

}  // namespace tq
