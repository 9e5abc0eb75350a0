// Finding the addresses a style sheet names (what counts, what a comment, a string or a malformed
// url() hides; the fuzz target checks their byte ranges), and the candidates of srcset attributes.
#include "formats/css_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/srcset.h"

namespace tq {
namespace {

// "@" marks an address named by @import.
std::vector<std::string> Urls(const std::string& css) {
  std::vector<std::string> urls;
  for (const TCssReference& reference : FindCssReferences(css))
    urls.push_back((reference.Import ? "@" : "") + reference.Url);
  return urls;
}

TEST(CssTokenizer, FindsWhatABrowserFetches) {
  const std::pair<std::string, std::vector<std::string>> table[] = {
      {"a{background:url(i/a.png)} b{background:URL( /b.png )}", {"i/a.png", "/b.png"}},
      {"a{b:url(\"q 1.png\") url( 'q2.png' )}", {"q 1.png", "q2.png"}},
      {"a{b:url(e\\).png) url(\\65 .png) url(\"x\\\"y\") url(\\0)}",
       {"e).png", "e.png", "x\"y", "\xEF\xBF\xBD"}},
      {"@import \"s.css\"; @IMPORT url(t.css) screen; @import /**/ 'u.css';",
       {"@s.css", "@t.css", "@u.css"}},
      {"@import x, 'v.css'; @media print{a{b:c}}", {}},  // only right after the keyword
      {"/* url(c.png) */ a{content:'url(d.png)'; e:myurl(f.png) -url(g.png) #url(h.png)}", {}},
      {"a{b:url(x y.png) url(x\"y) url(x(y)}c{d:url(ok.png)}", {"ok.png"}},  // malformed ones
      {"a{b:url(\"bad\nstring\")}\nc{d:url(ok.png)}", {"ok.png"}},
      {"a{b:url() url('') url(  )} c{d:u\\72l(esc.png)}", {"esc.png"}},
      {"a{b:url(cut.png", {"cut.png"}},  // cut off at the end of the sheet
      {"a{b:url('cut.png", {"cut.png"}},
  };
  for (const auto& [css, expected] : table) {
    SCOPED_TRACE(css);
    EXPECT_EQ(Urls(css), expected);
  }
}

TEST(Srcset, CandidateAddresses) {
  const std::pair<std::string, std::vector<std::string>> table[] = {
      {" a.png,, b.png 1x,c.png 1.5x ,", {"a.png", "b.png", "c.png"}},
      {"a,b.png 1x", {"a,b.png"}},  // a comma inside an address belongs to it
      {"e.png calc(1px, 2px) 2x, f.png", {"e.png", "f.png"}},
  };
  for (const auto& [value, expected] : table) {
    SCOPED_TRACE(value);
    std::vector<std::string> found;
    for (const TSrcsetCandidate& c : ParseSrcset(value))
      found.push_back(value.substr(c.Begin, c.End - c.Begin));
    EXPECT_EQ(found, expected);
  }
}

}  // namespace
}  // namespace tq
