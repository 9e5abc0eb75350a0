// Background work: hand-overs in order with the end last, errors of any kind reach the sink and
// still end the run, and Stop releases a waiting thread and drops what it left behind.
#include "foundation/background_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/main_loop.h"
#include "support/unhandled_errors.h"

namespace tq {
namespace {

TEST(BackgroundThread, HandOversArriveInOrderAndTheEndComesLastAndMayStartAgain) {
  TVornBackgroundThread thread("test thread");
  std::vector<std::string> seen;  // interface thread only
  int runs = 0;
  std::function<void()> onEnd = [&] {
    seen.push_back(thread.Running() ? "end, running" : "end");
    if (++runs == 1)
      thread.Start([&](TVornBackgroundThread& t) { t.Queue([&] { seen.push_back("again"); }); },
                   onEnd);
  };
  thread.Start(
      [&](TVornBackgroundThread& t) {
        for (int i = 0; i < 20; ++i) t.Queue([&seen, i] { seen.push_back(std::to_string(i)); });
        EXPECT_TRUE(t.Synchronize([&] { seen.push_back("asked"); }));
        t.Queue([&] { seen.push_back("last"); });
      },
      onEnd);
  ASSERT_TRUE(RunUntil([&] { return runs == 2; }));
  std::vector<std::string> expected;
  for (int i = 0; i < 20; ++i) expected.push_back(std::to_string(i));
  expected.insert(expected.end(), {"asked", "last", "end", "again", "end"});
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(thread.Running());
  EXPECT_FALSE(thread.Stop()) << "the end handler ran";
}

TEST(BackgroundThread, ErrorsOfAnyKindReachTheSinkAndTheRunStillEnds) {
  test::TUnhandledErrors errors;
  TVornBackgroundThread thread("test thread");
  bool ended = false;
  std::atomic<bool> answered{true};
  thread.Start(
      [&](TVornBackgroundThread& t) {
        t.Queue([] { throw std::runtime_error("in a hand-over"); });
        answered = t.Synchronize([] { throw std::runtime_error("in an answer"); });
        throw 42;  // not a std::exception
      },
      [&] { ended = true; });
  ASSERT_TRUE(RunUntil([&] { return ended; }));
  EXPECT_FALSE(answered) << "the asker learns that its answer failed";
  EXPECT_EQ(errors.Reports(),
            (std::vector<std::string>{"test thread: in a hand-over", "test thread: in an answer",
                                      "test thread: Unknown error"}));
}

TEST(BackgroundThread, StopReleasesAWaitingThreadAndDropsWhatItLeftBehind) {
  TVornBackgroundThread thread("test thread");
  std::mutex lock;
  std::condition_variable changed;
  bool asking = false;
  std::atomic<int> answer{-1};
  bool ranLater = false;
  thread.Start(
      [&](TVornBackgroundThread& t) {
        t.Queue([&] { ranLater = true; });
        {
          std::lock_guard guard(lock);
          asking = true;
        }
        changed.notify_all();
        // The interface thread does not serve its loop until it has stopped the thread.
        answer = t.Synchronize([&] { ranLater = true; }) ? 1 : 0;
      },
      [&] { ranLater = true; });
  {
    std::unique_lock guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, Millis(10000), [&] { return asking; }));
  }
  EXPECT_TRUE(thread.Stop()) << "the end handler had not run";
  EXPECT_EQ(answer, 0);
  bool marker = false;
  PostToInterface([&] { marker = true; });
  ASSERT_TRUE(RunUntil([&] { return marker; }));
  EXPECT_FALSE(ranLater);
}

}  // namespace
}  // namespace tq
