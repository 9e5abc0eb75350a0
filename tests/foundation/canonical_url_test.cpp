// Canonical addresses: one spelling per address, safe in quotes and scripts, never a control
// byte; canonical input comes back as it is.
#include "foundation/canonical_url.h"

#include <gtest/gtest.h>

#include <string>

namespace tq {
namespace {

TEST(CanonicalUrl, OneSpellingPerAddress) {
  const std::pair<std::string, std::string> table[] = {
      {"HTTP://Www.Example.COM:80/A/B.html", "http://www.example.com/A/B.html"},
      {"https://h:443/x", "https://h/x"},
      {"https://h:80/x", "https://h:80/x"},
      {"ftp://F:21/pub/", "ftp://f/pub/"},
      {"http://h:0081/", "http://h:81/"},
      {"http://h:/x", "http://h/x"},
      {"http://h", "http://h/"},
      {"http://h?q", "http://h/?q"},
      {"http://h/my file.html", "http://h/my%20file.html"},
      {"http://h/brace{x}.html", "http://h/brace%7Bx%7D.html"},
      {"http://h/a\"b'c<d>e`f|g^h", "http://h/a%22b%27c%3Cd%3Ee%60f%7Cg%5Eh"},
      {"http://h/it's/x.html?q=it's", "http://h/it%27s/x.html?q=it%27s"},
      {"http://h/\xc3\xa9t\xc3\xa9.html", "http://h/%C3%A9t%C3%A9.html"},
      {"http://h/a%20b%7e%zz%", "http://h/a%20b%7e%zz%"},  // escapes (and stray "%") kept
      {"http://h/a/%2e/b/%2E%2e/c", "http://h/a/c"},
      {"http://h/a/b/../../../c", "http://h/c"},
      {"http://h/a/..", "http://h/"},
      {"http://h/a\\b\\..\\c?x\\y", "http://h/a/c?x%5Cy"},
      {"http://h/p?a b#f g#h", "http://h/p?a%20b#f%20g#h"},
      {"http://h/p?u=/./x", "http://h/p?u=/./x"},
      {std::string("http://h/movie.avi\0.html", 25), "http://h/movie.avi%00.html"},
      {"http://h/a\x01\x7f", "http://h/a%01%7F"},
      {"  http://h/a\tb\r\nc \n", "http://h/abc"},
      {"http://User Name@Host/", "http://User%20Name@host/"},
      {"ftp://F\x1b%1B.org/", "ftp://f%1B%1B.org/"},  // an escape in a host keeps its digits
      {"http://[::1]:80/", "http://[::1]/"},
      {"http://[::1]:8080/", "http://[::1]:8080/"},
      {"http://h:8080/a/./B", "http://h:8080/a/B"},  // a port does not hide what follows it
      {"https://h:8080/a b", "https://h:8080/a%20b"},
      {"http://h:65536/x", "http://h:65536/x"},
      {"ftp://h:021/", "ftp://h/"},
      {"http://H:8080/", "http://h:8080/"},
      {"http://h:8080", "http://h:8080/"},
      // Not addresses of a scheme the crawl fetches: their own form.
      {"docs@python.org", "docs@python.org"},
      {"mailto:a b@c", "mailto:a b@c"},
      {"data:text/plain,a b", "data:text/plain,a b"},
      {"ftp.example.org/f file.zip", "ftp.example.org/f file.zip"},
      {"", ""},
  };
  for (const auto& [input, expected] : table) {
    SCOPED_TRACE(input);
    const std::string canonical = CanonicalUrl(input);
    EXPECT_EQ(canonical, expected);
    EXPECT_EQ(CanonicalUrl(canonical), canonical);  // a canonical form is its own
    EXPECT_FALSE(HasControlByte(canonical));
  }
}

TEST(CanonicalUrl, CanonicalInputIsNotCopied) {
  for (const char* url : {"http://h/", "https://www.example.com/a/b.html?q=%20#top",
                          "http://127.0.0.1:8080/a.html"}) {
    SCOPED_TRACE(url);
    std::string scratch;
    const std::string_view view = CanonicalUrlView(url, scratch);
    EXPECT_EQ(view.data(), url);
    EXPECT_TRUE(scratch.empty());
  }
}

TEST(CanonicalUrl, RemoveDotSegmentsKeepsTheFolderSlash) {
  const std::pair<const char*, const char*> table[] = {
      {"/", "/"},
      {"/.", "/"},
      {"/..", "/"},
      {"/a/b/..", "/a/"},
      {"/a/./", "/a/"},
      {"/a//b", "/a//b"},
      {"/a/.b/..c", "/a/.b/..c"},
      {"a/../b", "a/../b"},
  };
  for (const auto& [path, expected] : table) {
    SCOPED_TRACE(path);
    EXPECT_EQ(RemoveDotSegments(path), expected);
  }
}

TEST(CanonicalUrl, PercentDecodeOnceAndControlBytesWhenAsked) {
  EXPECT_EQ(PercentDecode("docs%40python.org", true), "docs@python.org");
  EXPECT_EQ(PercentDecode("a%2540b"), "a%40b");  // decoded once only
  EXPECT_EQ(PercentDecode("a%00b%0Ac%7F%4", true), "a%00b%0Ac%7F%4");
  EXPECT_EQ(PercentDecode("a%00b%0Ac%7F%4"), std::string("a\0b\nc\x7F%4", 8));
  EXPECT_EQ(PercentDecode("%C3%A9%zz%"), "\xc3\xa9%zz%");
}

}  // namespace
}  // namespace tq
