// Fuzzes the style sheet reference finder. Checks: ranges lie in the sheet, in order, without
// overlap, each a url(...) or a quoted string as it claims; and a sheet whose references are
// written back in a plain form of their own names the same addresses again, as a rewriting
// caller relies on.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/css_tokenizer.h"

#include "fuzz_check.h"

namespace {

// url("...") or "..." with the characters that would end or break the string escaped.
std::string Quoted(const std::string& url) {
  std::string out = "\"";
  for (char c : url) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n' || c == '\r' || c == '\f') {
      out += c == '\n' ? "\\a " : c == '\r' ? "\\d " : "\\c ";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view css(reinterpret_cast<const char*>(data), size);
  const std::vector<tq::TCssReference> found = tq::FindCssReferences(css);
  std::string rewritten;
  std::size_t copied = 0;
  for (const tq::TCssReference& reference : found) {
    FUZZ_CHECK(copied <= reference.Begin && reference.Begin < reference.End);
    FUZZ_CHECK(reference.End <= css.size() && !reference.Url.empty());
    const char first = css[reference.Begin];
    FUZZ_CHECK(reference.UrlFunction ? first != '"' && first != '\''
                                     : first == '"' || first == '\'');
    rewritten.append(css.substr(copied, reference.Begin - copied));
    rewritten +=
        reference.UrlFunction ? "url(" + Quoted(reference.Url) + ")" : Quoted(reference.Url);
    copied = reference.End;
  }
  rewritten.append(css.substr(copied));

  const std::vector<tq::TCssReference> again = tq::FindCssReferences(rewritten);
  FUZZ_CHECK(again.size() == found.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    FUZZ_CHECK(again[i].Url == found[i].Url && again[i].Import == found[i].Import);
  }
  return 0;
}
