// Fuzzes the style sheet reference finder and its rewriter. Checks: ranges lie in the sheet, in
// order, without overlap, each a url(...) or a quoted string as it claims; and a sheet whose
// references are rewritten to addresses full of characters that end or break their form names
// exactly those addresses again, with every byte between the references unchanged.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/css_tokenizer.h"

#include "fuzz_check.h"

namespace {

// Quotes, parentheses, a backslash, blanks, line breaks, a control and a hex digit after them.
constexpr std::string_view kAwkward =
    "\"')( \\\t\r\n\f\x01"
    "a#x";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view css(reinterpret_cast<const char*>(data), size);
  const std::vector<tq::TCssReference> found = tq::FindCssReferences(css);
  std::size_t copied = 0;
  for (const tq::TCssReference& reference : found) {
    FUZZ_CHECK(copied <= reference.Begin && reference.Begin < reference.End);
    FUZZ_CHECK(reference.End <= css.size() && !reference.Url.empty());
    const char first = css[reference.Begin];
    FUZZ_CHECK(reference.UrlFunction ? first != '"' && first != '\''
                                     : first == '"' || first == '\'');
    copied = reference.End;
  }

  const std::string rewritten = tq::ReplaceCssReferences(
      css,
      [](const tq::TCssReference& reference) { return reference.Url + std::string(kAwkward); });
  const std::vector<tq::TCssReference> again = tq::FindCssReferences(rewritten);
  FUZZ_CHECK(again.size() == found.size());
  std::size_t before = 0, beforeAgain = 0;
  for (std::size_t i = 0; i < found.size() && i < again.size(); ++i) {
    FUZZ_CHECK(again[i].Url == found[i].Url + std::string(kAwkward));
    FUZZ_CHECK(again[i].Import == found[i].Import && again[i].UrlFunction == found[i].UrlFunction);
    FUZZ_CHECK(css.substr(before, found[i].Begin - before) ==
               std::string_view(rewritten).substr(beforeAgain, again[i].Begin - beforeAgain));
    before = found[i].End;
    beforeAgain = again[i].End;
  }
  FUZZ_CHECK(css.substr(before) == std::string_view(rewritten).substr(beforeAgain));
  return 0;
}
