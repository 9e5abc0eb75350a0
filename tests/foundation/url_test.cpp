// Address helpers: one table per function. The odd-looking rows of the positional helpers are
// deliberate: stored projects hold the addresses these rules produce.
#include "foundation/url.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/ansi.h"
#include "foundation/canonical_url.h"

namespace tq {
namespace {

struct TTextCase {
  const char* input;
  const char* expected;
};

template <class Fn>
void CheckTable(const std::vector<TTextCase>& table, Fn fn) {
  for (const auto& c : table) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(fn(c.input), c.expected);
  }
}

TEST(Ansi, UpperCasesWithTheWindows1252TableOnly) {
  EXPECT_EQ(AnsiUpperCase("abz09-\xe0\xe9\xfe\xff\x9a\x9c\x9e"),
            "ABZ09-\xc0\xc9\xde\x9f\x8a\x8c\x8e");
  // Sharp s, division sign and micro sign have no single-byte capital.
  EXPECT_EQ(AnsiUpperCase("\xdf\xf7\xb5"), "\xdf\xf7\xb5");
  EXPECT_EQ(AnsiLowerCase("\xc0\xd7\xde\x9f"), "\xe0\xd7\xfe\xff");
  EXPECT_TRUE(AnsiSameText("Stra\xc9", "sTRA\xe9"));
  EXPECT_FALSE(AnsiSameText("abc", "abcd"));
  EXPECT_TRUE(AnsiStartsText("http://", "HTTP://h"));
  EXPECT_FALSE(AnsiStartsText("http://", "HTTP:"));
}

TEST(Url, GetLinkKind) {
  struct TCase {
    const char* text;
    const char* base;
    TLinkKind expected;
  };
  const TCase table[] = {
      {"", "http://h/", lkNone},
      {"\"", "http://h/", lkNone},
      {"\"\"", "http://h/", lkNone},
      {"\"#top\"", "http://h/", lkBookmark},
      {"#", "", lkBookmark},
      {"MailTo:a@b.c", "", lkMail},
      {"javascript:go()", "", lkScript},
      {"ftp://f/x", "", lkFtp},
      {"ftp.example.org/f.zip", "http://h/", lkFtp},
      {"https://x/", "", lkAbsolute},
      {"HTTP://H/x", "http://h/y", lkAbsolute},
      {"h/x", "http://h/y", lkRelative},           // a bare host is no server of its own
      {"www.h.com/x", "www.h.com/y", lkAbsolute},  // ... unless the base has none either
      {"//cdn.example.com/x.js", "http://h/", lkRootRelative},
      {"/p.html", "", lkRootRelative},
      {"img/a.gif", "http://h/", lkRelative},
      {"'img/a.gif'", "http://h/", lkRelative},
      {"\xe9t\xe9.html", "http://\xc9t\xc9/", lkRelative},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(std::string(c.text) + " on " + c.base);
    EXPECT_EQ(GetLinkKind(c.text, c.base), c.expected);
  }
}

TEST(Url, ExtractUrlServer) {
  CheckTable({{"HTTP://Www.Example.com:81/x", "http://Www.Example.com:81"},
              {"https://h/a/b", "https://h"},
              {"Ftp://f.example/pub", "ftp://f.example"},
              {"http://h?x=/y", "http://h"},
              {"http://h#a/b", "http://h"},
              {"'http://h/a'", "http://h"},
              {"'", ""},
              {"img/a.gif", "img"},
              {"www.example.com/a", "www.example.com"},
              {"mailto:a@b", "mailto:a@b"},
              {"", ""},
              {"?q", ""}},
             [](const char* s) { return ExtractUrlServer(s); });
}

TEST(Url, QueryParts) {
  CheckTable({{"http://h/p?a=1#f", "http://h/p"},
              {"http://h/p#f?a", "http://h/p"},
              {"http://h/p", "http://h/p"},
              {"?", ""}},
             [](const char* s) { return StripUrlQuery(s); });
  CheckTable({{"http://h/p?a=1#f", "?a=1#f"}, {"http://h/p#f?a", "?a"}, {"http://h/p#f", ""}},
             [](const char* s) { return ExtractUrlQuery(s); });
}

TEST(Url, ExtractUrlFileName) {
  CheckTable({{"index.html", "index.html"},
              {"index.html?a=1", "index.html?a=1"},  // no "/" at all: unchanged
              {"/a/b/c.html", "c.html"},
              {"/docs.old/page", "docs.old/page"},
              {"/a/b/c", ""},
              {"http://h/dir/", ""},
              {"http://www.h.com/a/b.html?x=1/y", "b.html"},
              {"HTTP://www.h.com/a/b.html", "b.html"},
              {"http://www.h.com/", ""},
              {"img/a.gif", "a.gif"},
              {"http://h/a.b/c.d/e", "a.b/c.d/e"}},
             [](const char* s) { return ExtractUrlFileName(s); });
}

TEST(Url, ExtractUrlFileExt) {
  CheckTable({{"archive.tar.gz", "tar.gz"},
              {"http://h/jquery.min.js", "min.js"},
              {"http://h/a/b", ""},
              {"http://h/a.", ""},
              {"http://h/p.php?x=a.b", "php"}},
             [](const char* s) { return ExtractUrlFileExt(s); });
}

TEST(Url, ExtractUrlDir) {
  CheckTable({{"http://h/a/b/c.html", "a/b/"},
              {"http://h/a/b/c", "a/b/c"},
              {"http://h/", ""},
              {"http://h", ""},
              {"http://h/a/p.php?q=1/2", "a/"},
              {"index.html", ""}},
             [](const char* s) { return ExtractUrlDir(s); });
}

TEST(Url, GetUrlProtocol) {
  const std::pair<const char*, TUrlProtocol> table[] = {
      {"http://h", upHttp}, {"HTTPS://h", upHttps}, {"ftp://h", upFtp}, {"gopher://h", upHttp},
      {"h/x", upHttp},      {"https:/h", upHttp},   {"a//b", upHttp},
  };
  for (const auto& [url, expected] : table) {
    SCOPED_TRACE(url);
    EXPECT_EQ(GetUrlProtocol(url), expected);
  }
}

TEST(Url, ResolveUrlAsBrowsersDo) {
  struct TCase {
    const char* reference;
    const char* page;
    const char* expected;  // the canonical form of the result, as a browser's address bar shows
  };
  // References resolve as RFC 3986 section 5 and browsers resolve them. An earlier positional
  // rule dropped a dotless last segment ("page"), a reference's trailing slash and one of two
  // "..": those rows changed to the browsers' results.
  const TCase table[] = {
      {"page", "http://h/a/b/c.html", "http://h/a/b/page"},
      {"sub/", "http://h/a/b/c.html", "http://h/a/b/sub/"},
      {"../..", "http://h/a/b/c.html", "http://h/"},
      {"?q=1", "http://h/a/b/c.html", "http://h/a/b/c.html?q=1"},
      {"../d.html", "http://h/a/b/c.html", "http://h/a/d.html"},
      {"./", "http://h/a/c.html", "http://h/a/"},
      {"p.php?u=/./x", "http://h/a/c.html?x=/y/z", "http://h/a/p.php?u=/./x"},
      {"/./a/./b.html?u=/./x", "http://h/c.html", "http://h/a/b.html?u=/./x"},
      {"//cdn.example.com/./x.js", "https://h/", "https://cdn.example.com/x.js"},
      {"//cdn.example.com", "https://h/", "https://cdn.example.com/"},
      {"../x.html", "http://h", "http://h/x.html"},
      {"a//b.html", "http://h/", "http://h/a//b.html"},
      {"", "http://h/a/c.html?q", "http://h/a/c.html?q"},
      {"https://x/y", "http://h/", "https://x/y"},
      {"sub\\p.html", "http://h/a/", "http://h/a/sub/p.html"},
      {"%2e%2E/x", "http://h/a/b/", "http://h/a/x"},
      {"HTTPS:x", "http://h/a/", "https://x/"},
      {"data:image/png;base64,AAA=", "http://h/a/", "data:image/png;base64,AAA="},
      {"tel:+1", "http://h/a/", "tel:+1"},
      // RFC 3986 section 5.4.1, normal examples.
      {"g:h", "http://a/b/c/d;p?q", "g:h"},
      {"g", "http://a/b/c/d;p?q", "http://a/b/c/g"},
      {"./g", "http://a/b/c/d;p?q", "http://a/b/c/g"},
      {"g/", "http://a/b/c/d;p?q", "http://a/b/c/g/"},
      {"/g", "http://a/b/c/d;p?q", "http://a/g"},
      {"//g", "http://a/b/c/d;p?q", "http://g/"},
      {"?y", "http://a/b/c/d;p?q", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/d;p?q", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/d;p?q", "http://a/b/c/g#s"},
      {"g?y#s", "http://a/b/c/d;p?q", "http://a/b/c/g?y#s"},
      {";x", "http://a/b/c/d;p?q", "http://a/b/c/;x"},
      {"g;x", "http://a/b/c/d;p?q", "http://a/b/c/g;x"},
      {"g;x?y#s", "http://a/b/c/d;p?q", "http://a/b/c/g;x?y#s"},
      {"", "http://a/b/c/d;p?q", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/d;p?q", "http://a/b/c/"},
      {"./", "http://a/b/c/d;p?q", "http://a/b/c/"},
      {"..", "http://a/b/c/d;p?q", "http://a/b/"},
      {"../", "http://a/b/c/d;p?q", "http://a/b/"},
      {"../g", "http://a/b/c/d;p?q", "http://a/b/g"},
      {"../..", "http://a/b/c/d;p?q", "http://a/"},
      {"../../", "http://a/b/c/d;p?q", "http://a/"},
      {"../../g", "http://a/b/c/d;p?q", "http://a/g"},
      // Section 5.4.2, abnormal examples ("http:g" as browsers and lenient parsers take it).
      {"../../../g", "http://a/b/c/d;p?q", "http://a/g"},
      {"../../../../g", "http://a/b/c/d;p?q", "http://a/g"},
      {"/./g", "http://a/b/c/d;p?q", "http://a/g"},
      {"/../g", "http://a/b/c/d;p?q", "http://a/g"},
      {"g.", "http://a/b/c/d;p?q", "http://a/b/c/g."},
      {".g", "http://a/b/c/d;p?q", "http://a/b/c/.g"},
      {"g..", "http://a/b/c/d;p?q", "http://a/b/c/g.."},
      {"..g", "http://a/b/c/d;p?q", "http://a/b/c/..g"},
      {"./../g", "http://a/b/c/d;p?q", "http://a/b/g"},
      {"./g/.", "http://a/b/c/d;p?q", "http://a/b/c/g/"},
      {"g/./h", "http://a/b/c/d;p?q", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/d;p?q", "http://a/b/c/h"},
      {"g;x=1/./y", "http://a/b/c/d;p?q", "http://a/b/c/g;x=1/y"},
      {"g;x=1/../y", "http://a/b/c/d;p?q", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/d;p?q", "http://a/b/c/g?y/./x"},
      {"g?y/../x", "http://a/b/c/d;p?q", "http://a/b/c/g?y/../x"},
      {"g#s/./x", "http://a/b/c/d;p?q", "http://a/b/c/g#s/./x"},
      {"g#s/../x", "http://a/b/c/d;p?q", "http://a/b/c/g#s/../x"},
      {"http:g", "http://a/b/c/d;p?q", "http://a/b/c/g"},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(std::string(c.reference) + " on " + c.page);
    EXPECT_EQ(CanonicalUrl(ResolveUrl(c.page, c.reference, ExtractUrlServer(c.page))), c.expected);
  }
}

TEST(Url, IsRelatedDomain) {
  struct TCase {
    const char* a;
    const char* b;
    bool expected;
  };
  const TCase table[] = {
      {"www.example.com", "shop.example.com", true},
      {"http://www.example.com", "https://cdn.example.net", true},
      {"a.example", "b.example", false},
      {"www.a.com", "www.b.com", false},
      {"WWW.a.com", "WWW.b.com", false},
      {"ex", "www.example.com", true},  // a label inside a label
      {"example.com", "ex.com", false},
      {"Same", "Same", true},
      {"", "x.com", false},
      {".com", "a.com", false},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(std::string(c.a) + " ~ " + c.b);
    EXPECT_EQ(IsRelatedDomain(c.a, c.b), c.expected);
  }
}

TEST(Url, IsValidUrl) {
  const std::pair<const char*, bool> table[] = {
      {"http://www.example.com", true},    {"https://www.example.com/", true},
      {"http://example.com", false},       {"http://example.com/a.html", false},
      {"www.example.com", false},          {"ftp://a.example", false},
      {"FTP://ftp.a.example/f", true},     {"http://www.example.", false},
      {"gopher://www.example.com", false}, {"", false},
  };
  for (const auto& [url, expected] : table) {
    SCOPED_TRACE(url);
    EXPECT_EQ(IsValidUrl(url), expected);
  }
}

TEST(Url, StreamToLines) {
  using Lines = std::vector<std::string>;
  const std::pair<std::string, Lines> table[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\n", {""}},
      {"\r\r", {"", ""}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {std::string("ab\0cd\nef", 8), {"ab", "ef"}},
      {std::string("a\0b\nc\0", 6), {"a", "c"}},
  };
  for (const auto& [data, expected] : table) {
    SCOPED_TRACE(data);
    Lines lines{"kept"};
    StreamToLines(lines, data);
    Lines want{"kept"};
    want.insert(want.end(), expected.begin(), expected.end());
    EXPECT_EQ(lines, want);
  }
}

}  // namespace
}  // namespace tq
