// Fuzzes the content search of one stored page: decoding by the declared charset, libxml2's HTML
// parser and the folded keyword comparison. Input: the keyword on the first line, then the stored
// content. Checks: every run and the title are valid UTF-8 without NUL, the title has no blanks
// to collapse, and a found text starts with the keyword, exactly MarkLength bytes of it.
#include <unicode/utf8.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "search/page_search.h"

#include "fuzz_check.h"

namespace {

bool IsCleanUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c <= 0) return false;
  }
  return true;
}

class TCheckingVisitor : public tq::TPageTextVisitor {
 public:
  bool OnText(std::string_view run) override {
    FUZZ_CHECK(!run.empty() && IsCleanUtf8(run));
    return true;
  }
  bool OnTitle(std::string_view title) override {
    FUZZ_CHECK(IsCleanUtf8(title));
    FUZZ_CHECK(title.empty() || (title.front() != ' ' && title.back() != ' '));
    FUZZ_CHECK(title.find("  ") == std::string_view::npos);
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t eol = input.find('\n');
  const std::string_view keyword = input.substr(0, eol);
  const std::string_view content = eol == std::string_view::npos ? "" : input.substr(eol + 1);

  TCheckingVisitor visitor;
  std::string buffer;
  tq::TPageTextReader().Read(tq::DecodeStoredPage(tq::StoredPageBody(content), buffer), visitor);

  tq::TPageSearcher searcher(keyword);
  const auto match = searcher.Search(content);
  if (match) {
    FUZZ_CHECK(IsCleanUtf8(match->Text) && IsCleanUtf8(match->Title));
    FUZZ_CHECK(match->MarkLength > 0 && match->MarkLength <= match->Text.size());
    tq::TFoldedKeyword again(keyword);
    const auto at = again.FindIn(match->Text);
    FUZZ_CHECK(at && at->Offset == 0 && at->Length == match->MarkLength);
  }
  return 0;
}
