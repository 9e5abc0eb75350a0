// Searching one stored page: what counts as the page's text, where the found text starts, the
// title, case folding, and pages in several charsets.
// ctest: timeout=60
#include <gtest/gtest.h>

#include "formats/stored_document.h"
#include "search/page_search.h"
#include "support/encode_as.h"

namespace tq {
namespace {

// A stored copy the way the crawl writes one: header with a link, then the page.
std::string Stored(const std::string& page) {
  TStoredDocumentWriter writer;
  writer.AddLink("http://h/a.html");
  writer.AddMailLink("x@h");
  return writer.Build("http://h/page.html", page);
}

struct TCase {
  const char* Name;
  std::string Page;
  std::string Keyword;
  bool Found;
  std::string Title;  // when found
  std::string Text;   // when found
};

TEST(PageSearch, FindsTheFirstRunHoldingTheKeyword) {
  const TCase cases[] = {
      {"case ignored", "<title>T</title><p>Browse it offline today</p>", "OFFLINE", true, "T",
       "offline today"},
      {"substring", "<title>T</title><p>Browse it offline today</p>", "line", true, "T",
       "line today"},
      {"first of two occurrences", "<p>a key here</p><p>key there</p>", "KEY", true, "",
       "key here"},
      {"entities resolved", "<p>AT&amp;T &#x4E2D;&#25991; caf&eacute;</p>", "t&t 中文 café", true,
       "", "T&T 中文 café"},
      {"title only", "<title>Offline   copy\n of Site</title><body>nothing</body>", "copy", true,
       "Offline copy of Site", "copy\n of Site"},
      {"title after the match", "<p>needle</p><title>Late</title>", "needle", true, "Late",
       "needle"},
      {"split by a tag", "<p>offline <b>copy</b></p>", "offline copy", false, "", ""},
      {"script", "<script>var offline = 1;</script><p>x</p>", "offline", false, "", ""},
      {"style", "<style>.offline { color: red }</style>", "offline", false, "", ""},
      {"comment", "<!-- offline --><p>x</p>", "offline", false, "", ""},
      {"attribute",
       "<img alt=\"offline\" src=\"\xA4\xA4"
       "0\xA4\xA4\">",
       "offline", false, "", ""},
      {"header and saved-from line", "<p>x</p>", "TARNQUILL", false, "", ""},
      {"empty keyword", "<p>x</p>", "", false, "", ""},
      {"keyword longer than the run", "<p>off</p>", "offline", false, "", ""},
  };
  for (const TCase& c : cases) {
    TPageSearcher searcher(c.Keyword);
    const auto match = searcher.Search(Stored(c.Page));
    ASSERT_EQ(match.has_value(), c.Found) << c.Name;
    if (!match) continue;
    EXPECT_EQ(match->Title, c.Title) << c.Name;
    EXPECT_EQ(match->Text, c.Text) << c.Name;
  }
}

TEST(PageSearch, ComparesBySimpleCaseFolding) {
  struct {
    const char* Keyword;
    const char* Text;
    bool Found;
    std::size_t MarkLength;  // bytes of the text that matched
  } cases[] = {
      {"µ", "<p>10 μs</p>", true, 2},     // micro sign meets Greek mu
      {"ΜΣ", "<p>10 μς</p>", true, 4},    // capital sigma meets final sigma
      {"ß", "<p>STRASSE</p>", false, 0},  // no one-to-two folding
      {"STRASSE", "<p>straße</p>", false, 0},
      {"kelvin", "<p>\u212Aelvin</p>", true, 8},  // the Kelvin sign folds to k
      {"ПРИВЕТ", "<p>привет</p>", true, 12},
  };
  for (const auto& c : cases) {
    TPageSearcher searcher(c.Keyword);
    const auto match = searcher.Search(Stored(std::string("<meta charset=utf-8>") + c.Text));
    ASSERT_EQ(match.has_value(), c.Found) << c.Keyword;
    if (match) {
      EXPECT_EQ(match->MarkLength, c.MarkLength) << c.Keyword;
    }
  }
}

// Stored pages are read by the charset they declare; without a declaration as windows-1252,
// which the crawl's own copies read right in (they hold references for everything else).
TEST(PageSearch, DecodesByTheDeclaredCharset) {
  const std::string cyrillic = "<html><head><meta charset=\"windows-1251\"><title>" +
                               test::EncodeAs("Новости", "windows-1251") + "</title></head><p>" +
                               test::EncodeAs("Свежие новости дня", "windows-1251");
  const std::string japanese =
      "<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=Shift_JIS\"><p>" +
      test::EncodeAs("東京の天気は晴れ", "Shift_JIS");
  const std::string stored =
      "<meta charset=\"Windows_1258\"><p>Gr\xF6\xDF"
      "e &#54620;&#44397;";
  const std::string utf8 = "<meta charset=\"utf-8\"><title>Caf\xC3\xA9</title><p>na\xC3\xAFve";
  const struct {
    std::string Page, Keyword, Title, Text;
  } cases[] = {
      {cyrillic, "НОВОСТИ ДНЯ", "Новости", "новости дня"},
      {japanese, "天気", "", "天気は晴れ"},
      {stored, "größe 한국", "", "Größe 한국"},
      {utf8, "NAÏVE", "Café", "naïve"},
  };
  for (const auto& c : cases) {
    TPageSearcher searcher(c.Keyword);
    const auto match = searcher.Search(Stored(c.Page));
    ASSERT_TRUE(match) << c.Keyword;
    EXPECT_EQ(match->Title, c.Title);
    EXPECT_EQ(match->Text, c.Text);
  }
}

TEST(PageSearch, ReportsOnlyTheRunsAskedFor) {
  const std::string page = Stored("<title>Alpha</title><p>Beta</p>");
  TPageSearcher titleOnly("beta");
  titleOnly.Reader.ProcessText = false;
  EXPECT_FALSE(titleOnly.Search(page));
  TPageSearcher textOnly("alpha");
  textOnly.Reader.ProcessTitle = false;
  EXPECT_FALSE(textOnly.Search(page));
  TPageSearcher untitled("beta");
  untitled.Reader.ProcessTitle = false;
  ASSERT_TRUE(untitled.Search(page));
  EXPECT_EQ(untitled.Search(page)->Title, "");
}

}  // namespace
}  // namespace tq
