// A stored page rendered with every link mapped back to its header address reads as the page
// that was fetched: same text, same attribute values, in every charset the page came in.
#include <gtest/gtest.h>

#include <unicode/ucnv.h>

#include <string>
#include <vector>

#include "engine/content.h"
#include "formats/html_rewrite.h"
#include "formats/html_tokenizer.h"
#include "formats/html_writer.h"
#include "formats/stored_document.h"
#include "support/encode_as.h"

namespace tq {
namespace {

using test::EncodeAs;

// What a reader sees, item by item: references resolved, line ends without CR, start tags as
// name and attribute values (charset declarations left out, as the copy names its own).
std::vector<std::u16string> Meaning(std::u16string_view text) {
  std::vector<std::u16string> items;
  THtmlTokenizer tokenizer(text);
  while (tokenizer.Next()) {
    const THtmlItem& item = tokenizer.Item();
    std::u16string s;
    if (item.Kind == THtmlItemKind::hikStartTag) {
      const THtmlStartTag& tag = tokenizer.StartTag();
      s = u"<" + std::u16string(item.Name);
      for (const auto& a : tag.Attributes())
        if (!(tag.NameIs("meta") &&
              (HtmlNameEquals(a.Name, "charset") || HtmlNameEquals(a.Name, "content"))))
          s += u" " + std::u16string(a.Name) + u"=" + DecodeCharacterReferences(a.RawValue);
    } else if (item.Kind == THtmlItemKind::hikEndTag && IsVoidEndTag(item)) {
      continue;
    } else {
      s = DecodeCharacterReferences(item.Source);
    }
    std::erase(s, u'\r');
    items.push_back(std::move(s));
  }
  return items;
}

enum TDeclaration { kHttpEquiv, kMetaCharset, kContentTypeOnly, kNone };

struct TPage {
  const char* Text;  // UTF-8
  const char* Charset;
  TDeclaration Declaration;
};

void PrintTo(const TPage& p, std::ostream* os) {
  *os << p.Charset << " " << p.Declaration;
}

std::string BuildPage(const TPage& p, std::string& contentType) {
  const std::string t = p.Text;
  std::string head;
  if (p.Declaration == kHttpEquiv)
    head = std::string("<META HTTP-EQUIV=Content-Type CONTENT='text/html; charset=") + p.Charset +
           "'>";
  if (p.Declaration == kMetaCharset) head = std::string("<meta charset=\"") + p.Charset + "\">";
  contentType = p.Declaration == kContentTypeOnly ? std::string("text/html; charset=") + p.Charset
                                                  : "text/html";
  const std::string html =
      "<html><head>" + head + "<title>" + t +
      "</title>\n<link rel=stylesheet href=\"http://h/s.css\"></head>\n"
      "<body background=\"http://h/bg.gif\"><h1 title=\"" +
      t + "\">" + t + "</h1>\n" + "<a href=\"http://h/dir/page.html#" + t +
      "\" onclick=\"go('http://h/pics/big.jpg#x')\">" + t +
      "</a>\r\n<a href=\"javascript:openWin('http://h/w.html')\">" + t +
      "</a><img src=\"http://h/a.gif\" alt='" + t +
      "'></img><a href=http://h/dir/page.html>again</a>\n<a href=\"mailto:me@h.org\">" + t +
      "</a><a href=\"http://h/q.cgi?a=1&amp;b=2\">q</a><a href=\"#top\">" + t +
      "</a>\n<script src=\"http://h/s.js\">var s = 'x.gif'; if (a < b) go();</script>\n"
      "<table><tr onclick=\"go('http://o/r.html')\"><td background=\"https://h/td.gif\">" +
      t + "</td></tr></table><!-- " + t + " --></body></html>";
  return EncodeAs(html, p.Charset);
}

class StoredRoundTrip : public ::testing::TestWithParam<TPage> {};

TEST_P(StoredRoundTrip, RenderedCopyReadsAsTheOriginal) {
  std::string contentType;
  const std::string bytes = BuildPage(GetParam(), contentType);
  ASSERT_FALSE(bytes.empty());
  TVornContent content("http://h/dir/index.html", 0);
  ASSERT_EQ(content.Analyze(bytes, contentType), TVornAnalysisStatus::easDone);
  EXPECT_EQ(content.Links()->Count(), 11);

  const std::string rendered = RenderStoredDocument("text/html", content.Output());
  const std::size_t commentEnd = rendered.find("\r\n");
  ASSERT_EQ(rendered.substr(0, commentEnd),
            "<!-- saved from url=\"http://h/dir/index.html\" using Tarnquill -->");
  std::string page = rendered.substr(commentEnd + 2);
  ASSERT_EQ(page.substr(page.size() - 2), "\r\n");
  page.resize(page.size() - 2);

  const TDecodedHtml original = DecodeHtml(bytes, contentType);
  EXPECT_EQ(Utf16ToUtf8(original.Text).find("\xEF\xBF\xBD"), std::string::npos);
  EXPECT_EQ(Meaning(DecodeHtml(page, "").Text), Meaning(original.Text));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, StoredRoundTrip,
    ::testing::Values(TPage{"Привет, мир! Ёжик в тумане", "windows-1251", kHttpEquiv},
                      TPage{"Zażółć gęślą jaźń", "iso-8859-2", kMetaCharset},
                      TPage{"你好，世界。中文网页", "gbk", kMetaCharset},
                      TPage{"Grüße aus Köln – „Zitat“ € œ", "windows-1252", kNone},
                      TPage{"Καλημέρα κόσμε 😀", "utf-8", kContentTypeOnly},
                      TPage{"Tiếng Việt: ă â đ ₫", "utf-8", kHttpEquiv}));

}  // namespace
}  // namespace tq
