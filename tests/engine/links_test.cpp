// Link lists: ownership and hooks, look-ups by address (checked against a plain scan over random
// operations), copying between lists, per-page levels.
// ctest: timeout=900
#include "engine/links.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/errors.h"

namespace tq {
namespace {

TVornLinkPtr MakeLink(const std::string& page, const std::string& text, int32_t level = 0) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage(page);
  link->SetText(text);
  link->Level = level;
  return link;
}

TVornLinkPtr Absolute(const std::string& url) {
  return MakeLink(url, url);
}

TEST(Links, AddAndDeleteRunTheHooksUnderTheWriteLock) {
  TVornBaseLinks list;
  std::vector<std::string> seen;
  list.OnAdd = [&](TVornBaseLinks& sender, const TVornLinkPtr& link) {
    EXPECT_TRUE(sender.Lock().IsWriter());
    EXPECT_EQ(link->Owner(), &sender);
    seen.push_back("add " + link->GetUrl() + " " + std::to_string(sender.Count()));
  };
  TVornLinkPtr handedOver;
  list.OnDelete = [&](TVornBaseLinks& sender, const TVornLinkPtr& link) {
    EXPECT_TRUE(sender.Lock().IsWriter());
    EXPECT_EQ(sender.FindUrl(kFindExact, link->GetUrl()), -1);  // the slot is gone already
    handedOver = link;
    seen.push_back("del " + link->GetUrl() + " " + std::to_string(sender.Count()));
  };
  EXPECT_EQ(list.Add(Absolute("http://h/1")), 0);
  EXPECT_EQ(list.Add(Absolute("http://h/2")), 1);
  TVornLinkPtr first = list.Get(0);
  list.Delete(0);
  // Deleted, yet valid for whoever still holds it, and owned by no list.
  EXPECT_EQ(first->GetUrl(), "http://h/1");
  EXPECT_EQ(first->Owner(), nullptr);
  EXPECT_EQ(handedOver, first);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"add http://h/1 1", "add http://h/2 2",
                                            "del http://h/1 1", "del http://h/2 0"}));
}

TEST(Links, HookErrorsReachAddButNotDeleteOrCopy) {
  TVornBaseLinks list;
  list.OnAdd = [](TVornBaseLinks&, const TVornLinkPtr&) { throw std::runtime_error("add"); };
  list.OnDelete = [](TVornBaseLinks&, const TVornLinkPtr&) { throw std::runtime_error("del"); };
  EXPECT_THROW(list.Add(Absolute("http://h/1")), std::runtime_error);
  EXPECT_EQ(list.Count(), 1);  // appended before the hook failed
  TVornBaseLinks other;
  other.Add(Absolute("http://h/2"));
  other.Add(Absolute("http://h/3"));
  EXPECT_NO_THROW(list.CopyFrom(other));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_NO_THROW(list.Delete(1));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/3"), 1);
}

TEST(Links, BadIndexesAndNullLinksRaise) {
  TVornBaseLinks list;
  list.Add(Absolute("http://h/1"));
  for (int index : {-1, 1, 1000}) {
    SCOPED_TRACE(index);
    EXPECT_THROW(list.Get(index), EVornError);
    EXPECT_THROW(list.Delete(index), EVornError);
  }
  EXPECT_THROW(list.Add(nullptr), EVornError);
  EXPECT_EQ(list.Count(), 1);
}

TEST(Links, FindUrlAndIndexOfUrl) {
  TVornBaseLinks list;
  list.Add(Absolute("http://h/p.php?id=2"));               // 0
  list.Add(MakeLink("http://h/", "mailto:me@h.org?s=x"));  // 1
  list.Add(MakeLink("http://h/", "javascript:go()"));      // 2: no address at all
  list.Add(Absolute("http://h/a.html"));                   // 3
  list.Add(Absolute("http://h/a.html"));                   // 4: duplicate
  list.Add(Absolute("http://h/p.php?id=1"));               // 5
  struct TCase {
    int mode;
    const char* url;
    int expected;
  };
  const TCase find[] = {
      {kFindExact, "http://h/a.html", 3},
      {kFindExact, "http://h/p.php?id=1", 5},
      {kFindQueryLess, "http://h/p.php?id=1", 0},  // any query will do
      {kFindExact, "http://h/p.php", -1},
      {kFindQueryLess, "http://h/p.php#frag", 0},
      {kFindExact, "me@h.org", 1},  // mail addresses are searched too
      {kFindQueryLess, "me@h.org?other", 1},
      {kFindExact, "HTTP://h/a.html", 3},   // compared canonical: the host has no case...
      {kFindExact, "http://h/A.html", -1},  // ... the path has
      {kFindExact, "", -1},                 // empty addresses never match
      {kFindQueryLess, "", -1},
  };
  for (const auto& c : find) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + c.url);
    EXPECT_EQ(list.FindUrl(c.mode, c.url), c.expected);
    EXPECT_EQ(list.Contains(c.mode, c.url), c.expected >= 0);
  }
  struct TIndexCase {
    TLinkKind kind;
    const char* url;
    int expected;
  };
  const TIndexCase index[] = {
      {lkMail, "me@h.org", 1},
      {lkAbsolute, "me@h.org", -1},
      {lkRelative, "http://h/a.html", 3},
      {lkMail, "http://h/a.html", -1},
      {lkAbsolute, "", 1},  // the first link without an absolute address
      {lkMail, "", 0},
  };
  for (const auto& c : index) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + c.url);
    EXPECT_EQ(list.IndexOfUrl(c.kind, c.url), c.expected);
  }
  list.Delete(3);  // the first match goes: the duplicate behind it answers, one place lower
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/a.html"), 3);
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/p.php?id=1"), 4);
}

TEST(Links, ChangingAListedLinkKeepsTheIndexRight) {
  TVornBaseLinks list;
  list.Add(Absolute("http://h/0"));
  auto link = MakeLink("http://h/a/b.html", "p.html");
  list.Add(link);
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/a/p.html"), 1);
  link->SetPage("http://h/z/b.html");
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/a/p.html"), -1);
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/z/p.html"), 1);
  link->Assign(*Absolute("http://h/0"));
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/0"), 0);
  list.Delete(0);
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/0"), 0);
  EXPECT_EQ(list.FindUrl(kFindExact, "http://h/z/p.html"), -1);
}

// A link added on to a second list without leaving the first belongs to the second; changing it
// there must not disturb the first list's index, which keeps answering for the old address.
TEST(Links, ALinkAddedOnToAnotherListLeavesTheFirstIndexIntact) {
  TVornBaseLinks first;
  TVornBaseLinks second;
  auto link = MakeLink("http://h/a/b.html", "p.html");
  first.Add(Absolute("http://h/0"));
  first.Add(link);
  second.Add(link);
  link->SetPage("http://h/z/b.html");
  EXPECT_EQ(first.FindUrl(kFindExact, "http://h/a/p.html"), 1);
  EXPECT_EQ(first.FindUrl(kFindExact, "http://h/z/p.html"), -1);
  EXPECT_EQ(second.FindUrl(kFindExact, "http://h/z/p.html"), 0);
  first.Delete(1);
  EXPECT_EQ(first.FindUrl(kFindQueryLess, "http://h/a/p.html"), -1);
  EXPECT_EQ(link->Owner(), &second);
}

TEST(Links, CopyFromAppendsOwnedCopiesAndMayCopyItself) {
  TVornBaseLinks source;
  source.Add(Absolute("http://h/1"));
  source.Add(MakeLink("http://h/", "mailto:a@h.org"));
  TVornBaseLinks target;
  target.Add(Absolute("http://h/0"));
  int added = 0;
  target.OnAdd = [&](TVornBaseLinks&, const TVornLinkPtr&) { ++added; };
  target.CopyFrom(source);
  ASSERT_EQ(target.Count(), 3);
  EXPECT_EQ(added, 2);
  EXPECT_NE(target.Get(1), source.Get(0));  // copies, not the same objects
  EXPECT_EQ(target.Get(1)->Owner(), &target);
  EXPECT_EQ(source.Get(0)->Owner(), &source);
  EXPECT_EQ(target.FindUrl(kFindExact, "a@h.org"), 2);
  target.CopyFrom(target);
  EXPECT_EQ(target.Count(), 6);
  EXPECT_EQ(target.FindUrl(kFindExact, "http://h/1"), 1);
}

TEST(Links, LevelLinksGiveTheirLevelToEveryLink) {
  TVornLevelLinks list;
  list.SetLevel(2);
  int levelSeenByHook = -1;
  list.OnAdd = [&](TVornBaseLinks&, const TVornLinkPtr& link) { levelSeenByHook = link->Level; };
  list.Add(MakeLink("http://h/", "a.html", 7));
  EXPECT_EQ(list.Get(0)->Level, 2);
  EXPECT_EQ(levelSeenByHook, 2);
  list.SetLevel(5);
  EXPECT_EQ(list.Get(0)->Level, 5);
  EXPECT_EQ(list.Level(), 5);
}

TEST(Links, DestroyedListReleasesItsLinksWithoutHooks) {
  TVornLinkPtr kept = Absolute("http://h/1");
  bool deleted = false;
  {
    TVornBaseLinks list;
    list.OnDelete = [&](TVornBaseLinks&, const TVornLinkPtr&) { deleted = true; };
    list.Add(kept);
  }
  EXPECT_FALSE(deleted);
  EXPECT_EQ(kept->Owner(), nullptr);
  kept->SetPage("http://h/2");  // must not touch the destroyed list
  EXPECT_EQ(kept->GetUrl(), "http://h/1");
}

// Random adds, deletes (front and middle) and address changes, each look-up compared with a
// plain scan over the list; the lists start numbering their links where the index's shortened
// node ids wrap around.
class LinksNumberedFrom : public ::testing::TestWithParam<int64_t> {};

TEST_P(LinksNumberedFrom, IndexesAgreeWithAScanOverRandomOperations) {
  std::mt19937 rng(7);
  TVornBaseLinks list;
  list.TestOnlyStartAt(GetParam());
  const std::vector<std::string> texts = {
      "http://h/a",     "http://h/a?x=1", "http://h/a?x=2", "http://h/b#f", "mailto:m@h",
      "mailto:m@h?s=1",
      "mailto:#t",  // nothing left once the query goes
      "javascript:x()", "p.html",         "/r.html",        "#top",         "?q=1"};
  auto randomText = [&] { return texts[rng() % texts.size()]; };
  auto scan = [&](int mode, const std::string& url) {
    const std::string wanted = StripUrlQuery(url);
    for (int i = 0; i < list.Count(); ++i) {
      const auto link = list.Get(i);
      for (const std::string& have : {link->GetUrl(), link->GetMailAddress()}) {
        if (have.empty()) continue;
        if (mode == kFindExact ? have == url : StripUrlQuery(have) == wanted) return i;
      }
    }
    return -1;
  };
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  constexpr int kSteps = 800;  // every step scans the list; the sanitizers make that slow
#else
  constexpr int kSteps = 3000;
#endif
  for (int step = 0; step < kSteps; ++step) {
    const int op = static_cast<int>(rng() % 10);
    if (op < 5 || list.Count() == 0) {
      list.Add(MakeLink("http://h/d/page.html", randomText()));
    } else if (op < 7) {
      list.Delete(op == 5 ? 0 : static_cast<int>(rng() % list.Count()));
    } else {
      auto link = list.Get(static_cast<int>(rng() % list.Count()));
      if (op == 7)
        link->SetPage(rng() % 2 ? "http://h/d/page.html" : "http://g/e/x.html");
      else
        link->SetText(randomText());
    }
    for (const auto& text : texts) {
      const std::string url = MakeLink("http://h/d/page.html", text)->GetUrl();
      const std::string probe = url.empty() ? text.substr(std::min<size_t>(7, text.size())) : url;
      ASSERT_EQ(list.FindUrl(kFindExact, probe), scan(kFindExact, probe)) << step << " " << probe;
      ASSERT_EQ(list.FindUrl(kFindQueryLess, probe), scan(kFindQueryLess, probe))
          << step << " " << probe;
      for (const TLinkKind kind : {lkMail, lkAbsolute}) {
        int first = -1;
        for (int i = 0; i < list.Count() && first < 0; ++i) {
          const auto link = list.Get(i);
          if ((kind == lkMail ? link->GetMailAddress() : link->GetUrl()) == probe) first = i;
        }
        ASSERT_EQ(list.IndexOfUrl(kind, probe), first) << step << " " << probe;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Links, LinksNumberedFrom,
                         ::testing::Values(int64_t{0}, (int64_t{1} << 30) - 150,
                                           (int64_t{1} << 31) - 150));

}  // namespace
}  // namespace tq
