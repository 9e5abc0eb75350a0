// Searching one stored page: what counts as the page's text, where the found text starts, the
// title, case folding, and pages in several charsets.
// ctest: timeout=60
#include <gtest/gtest.h>

#include "formats/stored_document.h"
#include "search/page_search.h"
#include "support/encode_as.h"

namespace tq {
namespace {

// A stored copy the way the crawl writes one: header with links, then the page.
std::string Stored(const std::string& page) {
  TStoredDocumentWriter writer;
  writer.AddLink("http://h/a.html");
  writer.AddMailLink("x@h");
  return writer.Build("http://h/page.html", page);
}

// Title and found text joined by "|", or "-" when the keyword is not found.
std::string Found(const std::string& keyword, const std::string& page) {
  TPageSearcher searcher(keyword);
  const auto match = searcher.Search(Stored(page));
  return match ? match->Title + "|" + match->Text : "-";
}

TEST(PageSearch, FindsTheFirstRunHoldingTheKeyword) {
  const std::string utf8 = "<meta charset=utf-8>";
  const struct {
    std::string Keyword, Page, Expected;
  } cases[] = {
      {"OFFLINE", "<title>T</title><p>Browse it offline today</p>", "T|offline today"},
      {"line", "<p>Browse it offline today</p>", "|line today"},
      {"KEY", "<p>a key here</p><p>key there</p>", "|key here"},
      {"t&t 中文 café", "<p>AT&amp;T &#x4E2D;&#25991; caf&eacute;</p>", "|T&T 中文 café"},
      {"copy", "<title>Offline   copy\n of Site</title><p>x", "Offline copy of Site|copy of Site"},
      {"needle", "<p>needle</p><title>Late</title>", "Late|needle"},  // read on for the title
      // Phrases: white space matches white space, inline elements join their text to the
      // text around them, blocks still end a run.
      {"offline copy", "<p>offline <b>copy</b></p>", "|offline copy"},
      {"import os", "<pre>&gt;&gt;&gt; <span>import</span>\n   <span>os</span></pre>",
       "|import os"},
      {"IMPORT  OS", "<p><code>import</code>&nbsp;<a href=x>os</a>, sys", "|import os, sys"},
      {"import os", "<p>import<br>os</p>", "|import os"},
      {"import os", "<p>import</p><p>os</p>", "-"},
      {"import os", "<li>import<li>os", "-"},
      {"offline", "<script>var offline = 1;</script><p>x</p>", "-"},
      {"offline", "<style>.offline { color: red }</style>", "-"},
      {"offline", "<!-- offline --><p>x</p>", "-"},
      {"offline", "<p>a<% offline %>b<?php offline ?>c", "-"},
      {"offline",
       "<img alt=\"offline\" src=\"\xA4\xA4"
       "0\xA4\xA4\">",
       "-"},
      {"TARNQUILL", "<p>x</p>", "-"},  // neither the header nor the saved-from comment
      {"", "<p>x</p>", "-"},
      // Simple case folding: one character for one.
      {"µ", utf8 + "<p>10 μs", "|μs"},  // the micro sign meets the Greek mu
      {"ΜΣ", utf8 + "<p>μς", "|μς"},    // capital sigma meets final sigma
      {"ß", utf8 + "<p>STRASSE", "-"},
      {"STRASSE", utf8 + "<p>straße", "-"},
      {"kelvin", utf8 + "<p>\u212Aelvin", "|\u212Aelvin"},
  };
  for (const auto& c : cases) EXPECT_EQ(Found(c.Keyword, c.Page), c.Expected) << c.Keyword;

  // The mark covers the matched bytes, which need not be as many as the keyword's.
  TPageSearcher kelvin("kelvin");
  EXPECT_EQ(kelvin.Search(Stored(utf8 + "<p>\u212Aelvin"))->MarkLength, 8u);
}

// Stored pages are read by the charset they declare; without a declaration as windows-1252,
// which the crawl's own copies read right in (they hold references for everything else).
TEST(PageSearch, DecodesByTheDeclaredCharset) {
  const std::string cyrillic = "<meta charset=\"windows-1251\"><title>" +
                               test::EncodeAs("Новости", "windows-1251") + "</title><p>" +
                               test::EncodeAs("Свежие новости дня", "windows-1251");
  const std::string japanese =
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\"><p>" +
      test::EncodeAs("東京の天気は晴れ", "Shift_JIS");
  const std::string stored =
      "<meta charset=\"Windows_1258\"><p>Gr\xF6\xDF"
      "e &#54620;&#44397;";
  EXPECT_EQ(Found("НОВОСТИ ДНЯ", cyrillic), "Новости|новости дня");
  EXPECT_EQ(Found("天気", japanese), "|天気は晴れ");
  EXPECT_EQ(Found("größe 한국", stored), "|Größe 한국");
  EXPECT_EQ(Found("größe",
                  "<p>GR\xD6\xDF"
                  "E"),
            "|GRÖßE");
}

}  // namespace
}  // namespace tq
