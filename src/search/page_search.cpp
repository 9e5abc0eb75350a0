// Keyword comparison by simple case folding, and the search of one page's runs.
#include "search/page_search.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

#include "foundation/ansi.h"

namespace tq {
namespace {

char32_t Fold(UChar32 c) {
  if (c < 0x80) return static_cast<char32_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Folds text into folded, noting where each character starts in text (and where text ends).
void FoldText(std::string_view text, std::u32string& folded, std::vector<std::size_t>* offsets) {
  // Sized once for the worst case (a character per byte) and written through pointers: this
  // runs over every byte of text a search reads.
  folded.resize(text.size());
  if (offsets != nullptr) offsets->resize(text.size() + 1);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());  // pages stay below 2 GiB
  std::size_t n = 0;
  for (int32_t i = 0; i < length; ++n) {
    if (offsets != nullptr) (*offsets)[n] = static_cast<std::size_t>(i);
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    folded[n] = c < 0 ? U'\uFFFD' : Fold(c);
  }
  folded.resize(n);
  if (offsets != nullptr) (*offsets)[n] = text.size();
}

}  // namespace

bool IsHtmlContentType(std::string_view contentType) {
  return AnsiUpperCase(contentType).find("TEXT/HTML") != std::string::npos;
}

TFoldedKeyword::TFoldedKeyword(std::string_view keyword) {
  FoldText(keyword, m_keyword, nullptr);
  m_ascii = std::all_of(m_keyword.begin(), m_keyword.end(), [](char32_t c) { return c < 0x80; });
  if (m_ascii) m_asciiKeyword.assign(m_keyword.begin(), m_keyword.end());
}

std::optional<TFoldedKeyword::TMatch> TFoldedKeyword::FindIn(std::string_view text) {
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
  FoldText(text, m_text, &m_offsets);
  const auto found = std::search(m_text.begin(), m_text.end(), m_keyword.begin(), m_keyword.end());
  if (found == m_text.end()) return std::nullopt;
  const auto first = static_cast<std::size_t>(found - m_text.begin());
  return TMatch{m_offsets[first], m_offsets[first + m_keyword.size()] - m_offsets[first]};
}

std::optional<TPageMatch> TPageSearcher::Search(std::string_view storedContent) {
  m_match.reset();
  m_title.clear();
  // Without reported titles there is none to wait for once the keyword is found.
  m_titleKnown = !Reader.ProcessTitle;
  if (m_keyword.Empty()) return std::nullopt;
  Reader.Read(DecodeStoredPage(StoredPageBody(storedContent)), *this);
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
