// Several threads on two link lists at once: appends, front and middle deletes, look-ups, moves
// in both directions, in-place Assign and CopyFrom. Run it under the thread sanitizer; here it
// checks that nothing deadlocks or throws and that the indexes still agree with the links.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/links.h"
#include "foundation/errors.h"

namespace tq {
namespace {

TVornLinkPtr MakeLink(int n) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage("http://h/d/index.html");
  link->SetText(n % 5 == 0 ? "mailto:u" + std::to_string(n % 50) + "@h"
                           : "p" + std::to_string(n % 200) + ".html?n=" + std::to_string(n));
  return link;
}

// Moves the first link of from to the end of to: a fresh copy is appended, the original deleted.
void MoveFront(TVornBaseLinks& from, TVornBaseLinks& to) {
  auto copy = std::make_shared<TVornLink>();
  from.BeginWrite();
  const bool any = from.Count() > 0;
  if (any) {
    copy->Assign(*from.Get(0));
    from.Delete(0);
  }
  from.EndWrite();
  if (any) to.Add(copy);  // outside from's lock: the opposite move holds to's lock
}

void CheckIndexes(const TVornBaseLinks& list) {
  for (int i = 0; i < list.Count(); ++i) {
    const auto link = list.Get(i);
    const std::string url = link->GetUrl();
    const std::string key = url.empty() ? link->GetMailAddress() : url;
    const int found = list.FindUrl(kFindExact, key);
    ASSERT_GE(found, 0) << key;
    ASSERT_LE(found, i) << key;
    ASSERT_EQ(list.Get(found)->GetUrl() + list.Get(found)->GetMailAddress(),
              url + link->GetMailAddress());
  }
}

TEST(LinksThreads, TwoListsUnderConcurrentUse) {
  TVornBaseLinks a;
  TVornBaseLinks b;
  std::atomic<int> added{0};
  std::atomic<int> deleted{0};
  a.OnAdd = b.OnAdd = [&](TVornBaseLinks& sender, const TVornLinkPtr& link) {
    EXPECT_EQ(link->Owner(), &sender);
    ++added;
  };
  a.OnDelete = b.OnDelete = [&](TVornBaseLinks&, const TVornLinkPtr& link) {
    EXPECT_EQ(link->Owner(), nullptr);
    ++deleted;
  };
  constexpr int kRounds = 1500;
  std::atomic<int> failures{0};
  auto guarded = [&](std::function<void(int)> body) {
    return [&failures, body] {
      for (int i = 0; i < kRounds; ++i) {
        try {
          body(i);
        } catch (const std::exception& e) {
          ++failures;
          ADD_FAILURE() << e.what();
        }
      }
    };
  };
  // Deletes at the front and in the middle, keeping each list small.
  auto trim = [](TVornBaseLinks& list, int i) {
    TVornWriteGuard guard(list.Lock());
    while (list.Count() > 120) list.Delete(i % 3 == 0 ? list.Count() / 2 : 0);
  };

  std::vector<std::thread> threads;
  threads.emplace_back(guarded([&](int i) { a.Add(MakeLink(i)); }));
  threads.emplace_back(guarded([&](int i) { b.Add(MakeLink(i + 7)); }));
  threads.emplace_back(guarded([&](int i) { trim(a, i); }));
  threads.emplace_back(guarded([&](int i) { trim(b, i); }));
  threads.emplace_back(guarded([&](int i) {
    const std::string url =
        "http://h/d/p" + std::to_string(i % 200) + ".html?n=" + std::to_string(i);
    a.FindUrl(kFindExact, url);
    b.FindUrl(kFindQueryLess, url);
    a.IndexOfUrl(lkMail, "u" + std::to_string(i % 50) + "@h");
    b.Contains(kFindExact, url);
    TVornReadGuard guard(a.Lock());
    if (a.Count() > 0) a.Get(i % a.Count())->GetUrl();
  }));
  threads.emplace_back(guarded([&](int) { MoveFront(a, b); }));
  threads.emplace_back(guarded([&](int) { MoveFront(b, a); }));
  // In place: a link of a takes over the fields of a link of b.
  threads.emplace_back(guarded([&](int i) {
    TVornLinkPtr source;
    {
      TVornReadGuard guard(b.Lock());
      if (b.Count() > 0) source = b.Get(i % b.Count());
    }
    TVornLinkPtr target;
    {
      TVornReadGuard guard(a.Lock());
      if (a.Count() > 0) target = a.Get(i % a.Count());
    }
    if (source && target) target->Assign(*source);
  }));
  // Copies in both directions; trimmed right away, as the trimming threads may be done already.
  threads.emplace_back(guarded([&](int i) {
    if (i % 50 != 0) return;
    TVornBaseLinks& target = i % 100 == 0 ? a : b;
    target.CopyFrom(i % 100 == 0 ? b : a);
    trim(target, i);
  }));
  for (auto& thread : threads) thread.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(added.load() - deleted.load(), a.Count() + b.Count());
  CheckIndexes(a);
  CheckIndexes(b);
}

}  // namespace
}  // namespace tq
