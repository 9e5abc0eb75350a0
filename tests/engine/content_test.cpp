// The link analyser: which values become placeholders and which header lines they get, the links
// of style sheets and srcset, the stored copy's charset and header, the hand-over of the links,
// cancellation, a stored page rendered back into the original, and the process-wide analysis lock.
#include <gtest/gtest.h>

#include <unicode/ucnv.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/content.h"
#include "formats/html_rewrite.h"
#include "formats/html_tokenizer.h"
#include "formats/html_writer.h"
#include "formats/stored_document.h"

namespace tq {
namespace {

constexpr const char* kPage = "http://h/dir/index.html";
const std::string kHeaderEnd = "<TARNQUILL DOCUMENT CONTENT>\r";

// "[n]" in expectations stands for the placeholder of link n.
std::string P(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t close = text.find(']', i);
    if (text[i] == '[' && close != std::string::npos && close > i + 1 &&
        text.find_first_not_of("0123456789", i + 1) == close) {
      out += LinkPlaceholder(std::stoi(text.substr(i + 1, close - i - 1)));
      i = close;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct TAnalysis {
  std::vector<std::string> HeaderLinks;  // link lines without their angle brackets
  std::string Comment;
  std::string Body;
  std::vector<TVornPublishedTagsKind> Kinds;
};

TAnalysis Analyse(const std::string& html, const std::string& page = kPage,
                  const std::string& contentType = "text/html", bool styleLinks = false) {
  TVornContent content(page, 0);
  content.StyleLinks = styleLinks;
  EXPECT_EQ(content.Analyze(html, contentType), TVornAnalysisStatus::easDone);
  const std::string& out = content.Output();
  TAnalysis result;
  std::size_t at = out.find('\r');
  EXPECT_EQ(out.substr(0, at), "<TARNQUILL DOCUMENT LINKS>");
  while (at != std::string::npos && out.compare(at + 1, kHeaderEnd.size(), kHeaderEnd) != 0) {
    const std::size_t end = out.find('\r', at + 1);
    const std::string line = out.substr(at + 1, end - at - 1);
    EXPECT_TRUE(line.size() >= 2 && line.front() == '<' && line.back() == '>') << line;
    result.HeaderLinks.push_back(line.substr(1, line.size() - 2));
    at = end;
  }
  const std::size_t commentStart = at + 1 + kHeaderEnd.size();
  const std::size_t commentEnd = out.find('\r', commentStart);
  result.Comment = out.substr(commentStart, commentEnd - commentStart);
  result.Body = out.substr(commentEnd + 1);
  for (int i = 0; i < content.Links()->Count(); ++i)
    result.Kinds.push_back(content.Links()->Get(i)->TagKind);
  EXPECT_EQ(result.HeaderLinks.size(), result.Kinds.size());
  return result;
}

struct TLinkCase {
  const char* Name;
  std::string Html;
  std::string Body;  // with [n] for placeholders
  std::vector<std::string> Links;
  std::vector<TVornPublishedTagsKind> Kinds;
  bool StyleLinks = false;
};

void PrintTo(const TLinkCase& c, std::ostream* os) {
  *os << c.Name;
}

class LinkValues : public ::testing::TestWithParam<TLinkCase> {};

TEST_P(LinkValues, BodyAndHeader) {
  const TLinkCase& c = GetParam();
  const TAnalysis a = Analyse(c.Html, kPage, "text/html", c.StyleLinks);
  EXPECT_EQ(a.Body, P(c.Body));
  EXPECT_EQ(a.HeaderLinks, c.Links);
  EXPECT_EQ(a.Kinds, c.Kinds);
}

INSTANTIATE_TEST_SUITE_P(
    Analyser, LinkValues,
    ::testing::Values(
        TLinkCase{"FragmentKeptBehindPlaceholder",
                  "<a href=\"page.html#part\">x</a>",
                  "<a href=\"[0]#part\">x</a>",
                  {"http://h/dir/page.html"},
                  {eptAnchor}},
        TLinkCase{"BookmarkLeftAlone", "<a href=\"#top\">x</a>", "<a href=\"#top\">x</a>", {}, {}},
        TLinkCase{"JavaScriptValue",
                  "<a href=\"javascript:openWin('pics/big.jpg')\">",
                  "<a href=\"javascript:openWin('[0]')\">",
                  {"http://h/dir/pics/big.jpg"},
                  {eptAnchor}},
        TLinkCase{"JavaScriptTrimmedAndNoFileName",
                  "<a href=' JavaScript: history.back() '>",
                  "<a href=\"JavaScript:history.back()\">",
                  {},
                  {}},
        TLinkCase{"OnclickOnImage",
                  "<img src=a.gif onclick=\"document.images['x'].src='b.gif'\">",
                  "<img src=\"[0]\" onclick=\"document.images['x'].src='[1]'\">",
                  {"http://h/dir/a.gif", "http://h/dir/b.gif"},
                  {eptImage, eptImage}},
        TLinkCase{"OnclickOnDivNotExamined",
                  "<div onclick=\"document.images['x'].src='a.gif'\">",
                  "<div onclick=\"document.images['x'].src='a.gif'\">",
                  {},
                  {}},
        TLinkCase{"QuotedTextWithBlankOrDocument",
                  "<td onmouseover=\"alert('Hello world.'); x('document.gif')\">",
                  "<td onmouseover=\"alert('Hello world.'); x('document.gif')\">",
                  {},
                  {}},
        TLinkCase{"OnblurNotExamined",
                  "<a onblur=\"go('x.html')\">",
                  "<a onblur=\"go('x.html')\">",
                  {},
                  {}},
        TLinkCase{"FileSchemeKept",
                  "<a href=\"FILE://c/x.html\" onclick=\"go('file://d/y.htm')\">",
                  "<a href=\"FILE://c/x.html\" onclick=\"go('file://d/y.htm')\">",
                  {},
                  {}},
        TLinkCase{"SameAddressFiveTimes",
                  "<a href=a.html>1</a><a href=\"a.html\">2</a><a href=/dir/a.html>3</a>"
                  "<a href=http://h/dir/a.html>4</a><img src=a.html>",
                  "<a href=\"[0]\">1</a><a href=\"[0]\">2</a><a href=\"[0]\">3</a>"
                  "<a href=\"[0]\">4</a><img src=\"[0]\">",
                  {"http://h/dir/a.html"},
                  {eptAnchor}},
        TLinkCase{"MailLinkLineEachTime",
                  "<a href=\"mailto:me@h.org\">a</a><a href=\"mailto:me@h.org\">b</a>",
                  "<a href=\"[0]\">a</a><a href=\"[1]\">b</a>",
                  {"mailto:me@h.org", "mailto:me@h.org"},
                  {eptAnchor, eptAnchor}},
        TLinkCase{"TabAndLineBreaksDropped",
                  "<a href=\"pa\tge\r\n.html#a\nb\">",
                  "<a href=\"[0]#ab\">",
                  {"http://h/dir/page.html"},
                  {eptAnchor}},
        TLinkCase{"SurroundingBlanksIgnored",
                  "<a href=\" \tpage.html#x \">a</a><a href=\"  \">b</a>",
                  "<a href=\"[0]#x\">a</a><a href=\"  \">b</a>",
                  {"http://h/dir/page.html"},
                  {eptAnchor}},
        TLinkCase{"NonAsciiPercentEncoded",
                  "<img src=\"caf\xE9.gif\">",
                  "<img src=\"[0]\">",
                  {"http://h/dir/caf%C3%A9.gif"},
                  {eptImage}},
        TLinkCase{"AttributeOrderAndKinds",
                  "<APPLET CODEBASE=c/ CODE=b.class SRC=a.jar><INPUT SRC=y.gif IMG=x.gif>"
                  "<table background=t.gif><tr onclick=\"go('r.html')\"><th background=h.gif>"
                  "<td background=d.gif><form action=f.cgi><meta url=m.html>",
                  "<APPLET CODEBASE=\"[2]\" CODE=\"[1]\" SRC=\"[0]\"><INPUT SRC=\"[4]\" "
                  "IMG=\"[3]\"><table background=\"[5]\"><tr onclick=\"go('[6]')\">"
                  "<th background=\"[7]\"><td background=\"[8]\"><form action=\"[9]\">"
                  "<meta url=\"[10]\">",
                  // "c/" keeps its slash, as a browser resolves it.
                  {"http://h/dir/a.jar", "http://h/dir/b.class", "http://h/dir/c/",
                   "http://h/dir/x.gif", "http://h/dir/y.gif", "http://h/dir/t.gif",
                   "http://h/dir/r.html", "http://h/dir/h.gif", "http://h/dir/d.gif",
                   "http://h/dir/f.cgi", "http://h/dir/m.html"},
                  {eptApplet, eptApplet, eptApplet, eptInput, eptInput, eptTable, eptTR, eptTH,
                   eptTD, eptUnknown, eptUnknown}},
        TLinkCase{"EventsInTheTablesOrder",
                  "<img onmouseover=\"a('x.gif')\" ONCLICK=\"b('y.gif')\" onclick=\"c('z.gif')\">",
                  "<img onmouseover=\"a('[1]')\" ONCLICK=\"b('[0]')\" onclick=\"c('z.gif')\">",
                  {"http://h/dir/y.gif", "http://h/dir/x.gif"},
                  {eptImage, eptImage}},
        TLinkCase{"BaseIsAnOrdinaryLink",
                  "<base href=\"http://o/x/\"><a href=p.html>",
                  "<base href=\"[0]\"><a href=\"[1]\">",
                  {"http://o/x/", "http://h/dir/p.html"},
                  {eptBase, eptAnchor}},
        TLinkCase{"AnchorEventsTwiceWithoutNesting",
                  "<a onclick=\"go('page.html#sec.2')\" href=\"page.html\">",
                  "<a onclick=\"go('[0]#sec.2')\" href=\"[0]\">",
                  {"http://h/dir/page.html"},
                  {eptAnchor}},
        TLinkCase{"EmptyValuesAndVoidEndTags",
                  "<a href=\"\">x</a><img src=a.gif></img><p onclick=\"go('p.html')\">",
                  "<a href=\"\">x</a><img src=\"[0]\"><p onclick=\"go('p.html')\">",
                  {"http://h/dir/a.gif"},
                  {eptImage}},
        // The page's own currency signs are escaped wherever they stand, so the only 0xA4
        // bytes of the copy are its placeholders and "¤¤0¤¤" in the text stays text.
        TLinkCase{"OwnPlaceholderLookalikesStayText",
                  "<p title=\"\xA4\xA4"
                  "0\xA4\xA4\">\xA4\xA4"
                  "0\xA4\xA4 \xA4</p>"
                  "<a href=\"x.html#\xA4\xA4"
                  "0\xA4\xA4\">a</a><script>s='\xA4\xA4"
                  "0';</script>"
                  "<style>p{content:'\xA4'}</style><xmp>\xA4\xA4"
                  "0\xA4\xA4</xmp>",
                  "<p title=\"&#164;&#164;0&#164;&#164;\">&#164;&#164;0&#164;&#164; &#164;</p>"
                  "<a href=\"[0]#&#164;&#164;0&#164;&#164;\">a</a><script>s='\\u00A4\\u00A40';"
                  "</script><style>p{content:'\\0000A4 '}</style><xmp>\xA4?0\xA4?</xmp>",
                  {"http://h/dir/x.html"},
                  {eptAnchor}},
        TLinkCase{"PagesOwnPlaceholderMark",
                  "<meta charset=utf-8><p>\xEF\xB7\x90<a href=\"x.html#&#xFDD0;\">",
                  "<meta charset=\"windows-1258\"><p>&#65533;<a href=\"[0]#&#65533;\">",
                  {"http://h/dir/x.html"},
                  {eptAnchor}},
        TLinkCase{
            "AddressesInTheSpellingBrowsersSend",
            "<a href=\"my file.html\">1</a><a href=\"brace{x}.html\">2</a>"
            "<a href=\"sub/\">3</a><a href=\"page\">4</a><a href=\"?q=1\">5</a>"
            "<a href=\"HTTP://H:80/dir/%2e/my%20file.html\">6</a>"
            "<img src=\"/movie.avi&#1;.gif\">",
            "<a href=\"[0]\">1</a><a href=\"[1]\">2</a><a href=\"[2]\">3</a>"
            "<a href=\"[3]\">4</a><a href=\"[4]\">5</a><a href=\"[0]\">6</a>"
            "<img src=\"[5]\">",
            {"http://h/dir/my%20file.html", "http://h/dir/brace%7Bx%7D.html", "http://h/dir/sub/",
             "http://h/dir/page", "http://h/dir/index.html?q=1", "http://h/movie.avi%01.gif"},
            {eptAnchor, eptAnchor, eptAnchor, eptAnchor, eptAnchor, eptImage}},
        TLinkCase{"OtherSchemesStayAsWritten",
                  "<img src=\"data:image/png;base64,AA==\"><a href=\"tel:+1\">t</a>"
                  "<a href=about:blank>a</a><a href=\"sms:1\">s</a><a href=\"news:x.y\">n</a>"
                  "<iframe src=\"blob:http://h/x.html\"></iframe>"
                  "<a href=\"mailto:docs&#37;&#52;&#48;python.org?subject=x\">m</a>",
                  "<img src=\"data:image/png;base64,AA==\"><a href=\"tel:+1\">t</a>"
                  "<a href=about:blank>a</a><a href=\"sms:1\">s</a><a href=\"news:x.y\">n</a>"
                  "<iframe src=\"blob:http://h/x.html\"></iframe><a href=\"[0]\">m</a>",
                  {"mailto:docs@python.org"},
                  {eptAnchor}},
        TLinkCase{"ScriptAndStyleNotExamined",
                  "<script src=s.js>var a='x.gif';</script><style>b{background:url('y.gif')}"
                  "</style><p style=\"background:url('z.gif')\">",
                  "<script src=\"[0]\">var a='x.gif';</script><style>b{background:url('y.gif')}"
                  "</style><p style=\"background:url('z.gif')\">",
                  {"http://h/dir/s.js"},
                  {eptScript}}),
    [](const auto& param) { return std::string(param.param.Name); });

// Style sheet text is kept as it is; srcset candidates get placeholders like other link values.
INSTANTIATE_TEST_SUITE_P(
    StyleLinks, LinkValues,
    ::testing::Values(
        TLinkCase{"StyleElementAndAttribute",
                  "<style>@import 's.css'; b{background:url(../i/bg.png)}</style>"
                  "<p style=\"background:url(&quot;/r.png&quot;)\">",
                  "<style>@import 's.css'; b{background:url(../i/bg.png)}</style>"
                  "<p style=\"background:url(&quot;/r.png&quot;)\">",
                  {"http://h/dir/s.css", "http://h/i/bg.png", "http://h/r.png"},
                  {eptLink, eptImage, eptImage},
                  true},
        TLinkCase{"NothingToFetch",
                  "<i style=\"background:url(data:image/png;base64,AA==);mask:url(#m)\">"
                  "<b style=\"background:url(sprite.svg#a), url(about:blank)\">",
                  "<i style=\"background:url(data:image/png;base64,AA==);mask:url(#m)\">"
                  "<b style=\"background:url(sprite.svg#a), url(about:blank)\">",
                  {"http://h/dir/sprite.svg"},
                  {eptImage},
                  true},
        TLinkCase{
            "SrcsetWidthsAndDensities",
            "<img src=a.png srcset=\"b.png 480w, c.png#x 2x,data:image/png;base64,AA== 3x\">"
            "<picture><source srcset=\"//o/d.png 1x,a.png\">",
            "<img src=\"[0]\" srcset=\"[1] 480w, [2]#x 2x,data:image/png;base64,AA== 3x\">"
            "<picture><source srcset=\"[3] 1x,[0]\">",
            {"http://h/dir/a.png", "http://h/dir/b.png", "http://h/dir/c.png", "http://o/d.png"},
            {eptImage, eptImage, eptImage, eptImage},
            true}),
    [](const auto& param) { return std::string(param.param.Name); });

// What the page needs each link for, in link order: an image it also links to is still one.
TEST(Analyser, MarksEachLinkWithWhatThePageNeedsItFor) {
  TVornContent content(kPage, 0);
  content.StyleLinks = true;
  content.Analyze(
      "<a href=x.png><img src=x.png></a><input src=c.gif><link rel='shortcut icon' "
      "href=f.ico><link rel=next href=n.html><object codebase=c/ data=d.svg "
      "type=image/svg+xml><style>@media print{@font-face{src:url(f.eot)}} "
      "b{x:url(b.png)}</style>",
      "text/html");
  std::vector<TVornRequisite> roles;
  for (int i = 0; i < content.Links()->Count(); ++i)
    roles.push_back(content.Links()->Get(i)->Requisite);
  EXPECT_EQ(roles, (std::vector<TVornRequisite>{erqImage, erqNone, erqImage, erqNone, erqNone,
                                                erqImage, erqFont, erqImage}));
}

TEST(Analyser, StyleSheetIsKeptAndNamesLinksAgainstItsOwnAddress) {
  const std::string css = "@import url(more.css);\nbody{background:url(\"../img/bg.png\")}";
  TVornContent content("http://h/css/site.css?v=2", 1);
  content.StyleLinks = true;
  ASSERT_EQ(content.Analyze(css, "text/css; charset=utf-8"), TVornAnalysisStatus::easDone);
  EXPECT_EQ(content.Output(), css);
  const auto& links = *content.Links();
  ASSERT_EQ(links.Count(), 2);
  EXPECT_EQ(links.Get(0)->GetUrl(), "http://h/css/more.css");
  EXPECT_EQ(links.Get(1)->GetUrl(), "http://h/img/bg.png");
  EXPECT_EQ(links.Get(1)->Level, 2);
}

TEST(Analyser, RelativeLinkIgnoresTheQueryOfItsPage) {
  const TAnalysis a = Analyse("<img src=i.gif>", "http://h/dir/p.php?u=a/b");
  EXPECT_EQ(a.HeaderLinks, std::vector<std::string>{"http://h/dir/i.gif"});
}

TEST(Analyser, PageWithoutLinksHasTwoMarkersAndTheComment) {
  TVornContent content(kPage, 3);
  ASSERT_EQ(content.Analyze("<p>plain</p>", "text/html"), TVornAnalysisStatus::easDone);
  EXPECT_EQ(content.Output(),
            "<TARNQUILL DOCUMENT LINKS>\r<TARNQUILL DOCUMENT CONTENT>\r"
            "<!-- saved from url=\"http://h/dir/index.html\" using Tarnquill -->\r<p>plain</p>");
  EXPECT_EQ(content.Links()->Count(), 0);
}

TEST(Analyser, DeclaredCharsetIsReplacedByTheStoredCodePage) {
  // "Zaż" in iso-8859-2 (z with dot above is 0xBF), a-acute is in both code pages.
  const std::string page =
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-2\">"
      "<p>Za\xBF \xE1</p><a href=x.html>";
  const TAnalysis a = Analyse(page, kPage, "text/html");
  // The label is windows-1258, which browsers know (they ignore "Windows_1258").
  EXPECT_EQ(a.Body, P("<META HTTP-EQUIV=\"Content-Type\" "
                      "CONTENT=\"text/html; charset=windows-1258\"><p>Za&#380; \xE1</p>"
                      "<a href=\"[0]\">"));
  EXPECT_EQ(a.Comment, "<!-- saved from url=\"http://h/dir/index.html\" using Tarnquill -->");
}

// --- Hand-over, level, base changes and cancellation ---

TEST(AnalyserLifecycle, HandsOverTheLinksAtTheNextLevel) {
  TVornContent content(kPage, 2);
  std::shared_ptr<TVornLevelLinks> handed;
  int calls = 0;
  content.OnAnalysisEnd = [&](TVornContent& sender, const std::shared_ptr<TVornLevelLinks>& l) {
    EXPECT_EQ(&sender, &content);
    EXPECT_FALSE(TVornContent::AnalysisLockHeld());
    handed = l;
    ++calls;
  };
  ASSERT_EQ(content.Analyze("<a href=a.html><img src=b.gif>", ""), TVornAnalysisStatus::easDone);
  ASSERT_EQ(calls, 1);
  ASSERT_EQ(handed->Count(), 2);
  EXPECT_EQ(handed->Get(0)->Level, 3);
  EXPECT_EQ(handed->Get(1)->TagKind, eptImage);
  EXPECT_EQ(handed->Get(1)->Page(), kPage);

  content.SetLevel(7);
  EXPECT_EQ(handed->Get(0)->Level, 7);

  // A new base analyses the page again; the links handed over first stay as they were.
  content.SetBaseUrl("http://k/other/");
  ASSERT_EQ(calls, 2);
  EXPECT_EQ(handed->Get(0)->GetUrl(), "http://k/other/a.html");
  EXPECT_EQ(handed->Get(0)->Level, 7);
  EXPECT_NE(content.Output().find("<http://k/other/b.gif>\r"), std::string::npos);
}

TEST(AnalyserLifecycle, CancelledAnalysisProducesNothing) {
  for (bool duringAnalysis : {false, true}) {
    TVornContent content(kPage, 0);
    bool ended = false;
    content.OnAnalysisEnd = [&](TVornContent&, const std::shared_ptr<TVornLevelLinks>&) {
      ended = true;
    };
    if (duringAnalysis)
      content.TestOnlyOnLockHeld = [](TVornContent& sender) { sender.Cancel(); };
    else
      content.Cancel();
    EXPECT_EQ(content.Analyze("<a href=a.html>", ""), TVornAnalysisStatus::easCancelled);
    EXPECT_FALSE(ended);
    EXPECT_TRUE(content.Output().empty());
    EXPECT_EQ(content.Links()->Count(), 0);
    EXPECT_FALSE(TVornContent::AnalysisLockHeld());
  }
}

TEST(AnalyserLifecycle, TwoPagesAtOnceRunOneAfterTheOther) {
  std::mutex mutex;
  std::condition_variable changed;
  int inside = 0, maxInside = 0, started = 0;
  // Runs as each analysis takes the lock. The first one in waits until the other thread is about
  // to analyse too, then gives it a moment to come in as well: were the lock not shared, the
  // count would reach two. The whole analysis runs under the lock, so leaving here is enough.
  auto onLocked = [&](TVornContent&) {
    std::unique_lock<std::mutex> lock(mutex);
    EXPECT_TRUE(TVornContent::AnalysisLockHeld());
    maxInside = std::max(maxInside, ++inside);
    changed.notify_all();
    changed.wait_for(lock, std::chrono::seconds(5), [&] { return started == 2; });
    changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return inside > 1; });
    --inside;
  };
  auto run = [&](const char* page, std::atomic<int>& links) {
    TVornContent content(page, 0);
    content.TestOnlyOnLockHeld = onLocked;
    content.OnAnalysisEnd = [&](TVornContent&, const std::shared_ptr<TVornLevelLinks>& l) {
      links = l->Count();
    };
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++started;
      changed.notify_all();
    }
    content.Analyze("<a href=a.html><img src=b.gif>", "");
  };
  std::atomic<int> first{0}, second{0};
  std::thread a(run, "http://a/", std::ref(first));
  std::thread b(run, "http://b/", std::ref(second));
  a.join();
  b.join();
  EXPECT_EQ(maxInside, 1);
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 2);
}

}  // namespace
}  // namespace tq
