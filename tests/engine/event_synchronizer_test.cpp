// Event delivery: order across threads, batching, work events that wait for a wake-up, handler
// failures and destruction with events still queued.
#include "engine/event_synchronizer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "foundation/format.h"
#include "foundation/main_loop.h"

namespace tq {
namespace {

TVornLinkPtr MakeLink(const std::string& url) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage(url);
  return link;
}

TEST(EventSynchronizerTest, EventsFromManyThreadsArriveInOrderPerThreadOnTheInterfaceThread) {
  TVornEventSynchronizer sync;
  constexpr int kThreads = 6, kEach = 400;
  std::vector<std::vector<int>> seen(kThreads);
  std::atomic<int> delivered{0};
  bool offThread = false;
  sync.Handlers().OnStatus = [&](const TVornPagePtr&, TVornConnectionStatus status,
                                 const std::string& text, const TVornLinkPtr&) {
    offThread |= !IsInterfaceThread();
    seen[status].push_back(std::stoi(text));
    ++delivered;
  };
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        sync.Status(nullptr, static_cast<TVornConnectionStatus>(t), std::to_string(i), nullptr);
      }
    });
  }
  for (auto& p : producers) p.join();
  ASSERT_TRUE(RunUntil([&] { return delivered == kThreads * kEach; }));
  EXPECT_FALSE(offThread);
  for (const auto& one : seen) {
    ASSERT_EQ(one.size(), size_t(kEach));
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(one[i], i);
  }
}

TEST(EventSynchronizerTest, WorkEventsWaitForAWakingEventAndKeepTheirPlace) {
  TVornEventSynchronizer sync;
  std::vector<std::string> order;
  sync.Handlers().OnWork = [&](const TVornPagePtr&, TWorkMode, const TVornConnectionInfo& info,
                               const TVornLinkPtr&) {
    order.push_back("work" + std::to_string(static_cast<int>(info.BytesDone)));
    EXPECT_EQ(info.DoneText, FormatFileSize(info.BytesDone));  // made on delivery
  };
  sync.Handlers().OnFetchStart = [&](const TVornPagePtr&, const TVornLinkPtr&) {
    order.push_back("start");
  };
  for (int i = 1; i <= 3; ++i)
    sync.Work(nullptr, wmRead, TVornConnectionInfo::Numbers(0, i, 5), nullptr);
  EXPECT_FALSE(RunUntil([&] { return !order.empty(); }, Millis(150)));
  sync.FetchStart(nullptr, nullptr);
  ASSERT_TRUE(RunUntil([&] { return order.size() == 4; }));
  EXPECT_EQ(order, (std::vector<std::string>{"work1", "work2", "work3", "start"}));
}

TEST(EventSynchronizerTest, ListMovesAndDeletesReachHandlersWithLiveLinksThenReleaseThem) {
  TVornEventSynchronizer sync;
  auto link = MakeLink("http://h/a.html");
  std::weak_ptr<TVornLink> weak = link;
  std::vector<std::string> order;
  auto record = [&](const char* name) {
    return [&, name](TVornBaseLinks*, const TVornLinkPtr& l) {
      order.push_back(std::string(name) + ":" + l->Page());
    };
  };
  sync.Handlers().OnDelQueue = record("delqueue");
  sync.Handlers().OnNewWorking = record("newworking");
  sync.Handlers().OnDelReady = record("delready");
  sync.LinkEvent(ekDelQueue, nullptr, link);
  sync.LinkEvent(ekNewWorking, nullptr, link);
  sync.LinkEvent(ekDelReady, nullptr, std::move(link));
  ASSERT_TRUE(RunUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order,
            (std::vector<std::string>{"delqueue:http://h/a.html", "newworking:http://h/a.html",
                                      "delready:http://h/a.html"}));
  EXPECT_TRUE(RunUntil([&] { return weak.expired(); }));
}

TEST(EventSynchronizerTest, AFailingHandlerEndsOnlyItsOwnEventAndHandlersMayQueueMore) {
  TVornEventSynchronizer sync;
  std::vector<int> states;
  sync.Handlers().OnStateChange = [&](void*, TVornState state) {
    states.push_back(state);
    if (state == 2) throw std::runtime_error("handler fault");
    if (state == 3) sync.State(9);  // delivered by this batch or the next
  };
  for (TVornState s : {1, 2, 3, 4}) sync.State(s);
  ASSERT_TRUE(RunUntil([&] { return states.size() == 5; }));
  EXPECT_EQ(states, (std::vector<int>{1, 2, 3, 4, 9}));
  sync.State(5);  // the delivery thread survived the fault
  ASSERT_TRUE(RunUntil([&] { return states.size() == 6; }));
}

TEST(EventSynchronizerTest, DestructionReleasesQueuedEventsWithoutDelivering) {
  bool called = false;
  auto link = MakeLink("http://h/gone.html");
  std::weak_ptr<TVornLink> weak = link;
  {
    TVornEventSynchronizer sync;
    sync.Handlers().OnDelReady = [&](TVornBaseLinks*, const TVornLinkPtr&) { called = true; };
    sync.LinkEvent(ekDelReady, nullptr, std::move(link));
  }
  EXPECT_TRUE(RunUntil([&] { return weak.expired(); }));
  EXPECT_FALSE(called);
}

TEST(EventSynchronizerTest, AHandlerMayDestroyTheSynchronizer) {
  auto sync = std::make_unique<TVornEventSynchronizer>();
  int calls = 0;
  sync->Handlers().OnStateChange = [&](void*, TVornState) {
    ++calls;
    sync.reset();
  };
  sync->State(1);
  sync->State(2);
  ASSERT_TRUE(RunUntil([&] { return sync == nullptr; }));
  RunUntil([] { return false; }, Millis(50));
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace tq
