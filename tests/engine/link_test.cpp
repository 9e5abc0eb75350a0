// The link record: quote stripping, classification, absolute and mail addresses, Assign.
#include "engine/link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/link_lists.h"
#include "engine/links.h"
#include "engine/page.h"

namespace tq {
namespace {

TVornLinkPtr MakeLink(const std::string& page, const std::string& text) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage(page);
  link->SetText(text);
  return link;
}

TEST(Link, SetTextStripsDoubleQuotesThenApostrophes) {
  struct TCase {
    const char* text;
    const char* stored;
  };
  const TCase table[] = {
      {"\"'img/a.gif'\"", "img/a.gif"},
      {"'\"a.gif\"'", "\"a.gif\""},  // apostrophes outside: the double quotes stay
      {"\"a.gif", "a.gif"},
      {"a.gif'", "a.gif"},
      {"\"\"", ""},
      {"\"", ""},
      {"''x''", "'x'"},  // one pair only
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.text);
    TVornLink link;
    link.SetText(c.text);
    EXPECT_EQ(link.Text(), c.stored);
  }
}

TEST(Link, KindIsSetOnlyWhenPageAndTextAreBoth) {
  TVornLink link;
  EXPECT_EQ(link.LinkKind(), lkRelative);
  link.SetText("mailto:a@b.c");  // no page yet
  EXPECT_EQ(link.LinkKind(), lkRelative);
  link.SetPage("http://h/");
  link.SetText("mailto:a@b.c");
  EXPECT_EQ(link.LinkKind(), lkMail);
  link.SetText("");  // empty text keeps the kind
  EXPECT_EQ(link.LinkKind(), lkMail);
}

TEST(Link, AddressesByKind) {
  struct TCase {
    const char* page;
    const char* text;
    TLinkKind kind;
    const char* url;
    const char* mail;
  };
  const TCase table[] = {
      {"http://h/a/b.html?x=1", "p.html", lkRelative, "http://h/a/p.html", ""},
      {"http://h/a/b.html?x=1", "/p.html", lkRootRelative, "http://h/p.html", ""},
      {"http://h/a/b.html", "#top", lkBookmark, "http://h/a/b.html", ""},
      // Addresses are canonical: scheme and host lose their case, a trailing "/" is kept.
      {"http://h/", "HTTP://H/x", lkAbsolute, "http://h/x", ""},
      {"http://h/a/b.html", "sub/", lkRelative, "http://h/a/sub/", ""},
      {"http://h/", "mailto:docs%40python.org", lkMail, "", "docs@python.org"},
      {"http://h/", "ftp.example.org/f.zip", lkFtp, "ftp.example.org/f.zip", ""},
      {"http://h/", "mailto:me@h.org?subject=x", lkMail, "", "me@h.org"},
      {"http://h/", "mailto:me@h.org#x", lkMail, "", "me@h.org#x"},
      {"http://h/", "mailto:", lkMail, "", ""},
      {"http://h/", "javascript:go()", lkScript, "", ""},
      {"http://h/", "'\"\"'", lkNone, "", ""},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(std::string(c.text) + " on " + c.page);
    auto link = MakeLink(c.page, c.text);
    EXPECT_EQ(link->LinkKind(), c.kind);
    EXPECT_EQ(link->GetUrl(), c.url);
    EXPECT_EQ(link->GetMailAddress(), c.mail);
  }
  // The stored form: the starting link and links read back from a project have Page = Text.
  auto start = MakeLink("http://www.h.com/", "http://www.h.com/");
  EXPECT_EQ(start->GetUrl(), "http://www.h.com/");
}

TEST(Link, AddressIsCachedUntilThePageChanges) {
  auto link = MakeLink("http://h/a/b.html", "p.html");
  EXPECT_EQ(link->GetUrl(), "http://h/a/p.html");
  link->SetText("q.html");  // the text alone does not recompute
  EXPECT_EQ(link->GetUrl(), "http://h/a/p.html");
  link->SetPage("http://h/z/b.html");
  EXPECT_EQ(link->GetUrl(), "http://h/z/q.html");
}

TEST(Link, AssignCopiesEverythingButTheOwner) {
  TVornBaseLinks list;
  auto source = MakeLink("http://h/a/b.html", "p.html");
  source->ErrorText = "e";
  source->Reason = "r";
  source->Size = 42;
  source->ContentType = "text/html";
  source->Level = 3;
  source->TagKind = eptImage;
  source->GetUrl();
  list.Add(source);

  TVornLink copy;
  copy.Assign(*source);
  EXPECT_EQ(copy.Owner(), nullptr);
  EXPECT_EQ(copy.Page(), source->Page());
  EXPECT_EQ(copy.Text(), "p.html");
  EXPECT_EQ(copy.LinkKind(), lkRelative);
  EXPECT_EQ(copy.ErrorText, "e");
  EXPECT_EQ(copy.Reason, "r");
  EXPECT_EQ(copy.Size, 42);
  EXPECT_EQ(copy.ContentType, "text/html");
  EXPECT_EQ(copy.Level, 3);
  EXPECT_EQ(copy.TagKind, eptImage);
  // The cache came along: a copy keeps the address even if its text is changed afterwards.
  copy.SetText("other.html");
  EXPECT_EQ(copy.GetUrl(), "http://h/a/p.html");
}

TEST(LinkModel, ListRolesAndStatusNumbers) {
  EXPECT_EQ(LinkListRole(ellWorking).UserName, "In Progress");
  EXPECT_EQ(LinkListRole(ellEmail).UserName, "Emails");
  EXPECT_FALSE(LinkListRole(ellPending).Status.has_value());
  const std::pair<int, std::optional<TVornLinkList>> table[] = {
      {0, ellReady}, {1, ellQueue},     {2, ellFailed},  {3, ellIgnored},
      {4, ellEmail}, {5, std::nullopt}, {6, ellDeleted}, {-1, std::nullopt},
  };
  for (const auto& [status, list] : table) {
    SCOPED_TRACE(status);
    EXPECT_EQ(LinkListOfStatus(status), list);
  }
  TVornPage page;
  EXPECT_EQ(page.Outcome, kOutcomeNone);
}

}  // namespace
}  // namespace tq
