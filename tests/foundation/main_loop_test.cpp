// The interface-thread helpers: posting, synchronous calls from other threads, timers.
#include "foundation/main_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include <QEventLoop>
#include <QTimer>

namespace tq {
namespace {

TEST(MainLoop, PostedAndCalledWorkRunsOnTheInterfaceThread) {
  ASSERT_TRUE(IsInterfaceThread());
  std::atomic<int> posted{0};
  std::atomic<bool> calledOnInterface{false};
  std::atomic<bool> workerDone{false};
  std::thread worker([&] {
    EXPECT_FALSE(IsInterfaceThread());
    PostToInterface([&] { posted += IsInterfaceThread() ? 1 : 100; });
    CallInInterface([&] { calledOnInterface = IsInterfaceThread(); });
    workerDone = true;
  });
  EXPECT_TRUE(RunUntil([&] { return workerDone && posted == 1; }));
  worker.join();
  EXPECT_TRUE(calledOnInterface);
}

// Only the event loop, waiting for its wake-up, runs the posts here (RunUntil would also take
// them itself). Each thread posts again once its last post has run, so the loop drains and
// sleeps between posts over and over: a wake-up lost between posting threads and the draining
// loop leaves a post queued while the loop sleeps.
TEST(MainLoop, PostsFromManyThreadsWakeALoopThatOnlyWaits) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 5000;
  std::atomic<int> finished{0};
  std::vector<std::atomic<int>> ran(kThreads);
  QEventLoop loop;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        PostToInterface([&, t] {
          ++ran[t];
          ran[t].notify_one();
        });
        ran[t].wait(i);
      }
      PostToInterface([&] {
        if (++finished == kThreads) loop.quit();
      });
    });
  }
  QTimer::singleShot(30000, &loop, [&] { loop.quit(); });  // fails the test instead of hanging
  loop.exec();
  const int seen = finished.load();
  // Whatever is left runs here, so no thread or post outlives the test.
  EXPECT_TRUE(RunUntil([&] { return finished.load() == kThreads; }, Millis(30000)));
  for (auto& poster : posters) poster.join();
  EXPECT_EQ(seen, kThreads);
}

TEST(MainLoop, CallRethrowsToTheCallerAndPostSwallows) {
  std::atomic<bool> caught{false};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    PostToInterface([] { throw std::runtime_error("lost on purpose"); });
    try {
      CallInInterface([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
      caught = std::string(e.what()) == "boom";
    }
    done = true;
  });
  EXPECT_TRUE(RunUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_TRUE(caught);
  // Inline on the interface thread, the error also reaches the caller.
  EXPECT_THROW(CallInInterface([] { throw std::runtime_error("inline"); }), std::runtime_error);
}

TEST(MainLoop, TimerTicksUntilDisabled) {
  TVornTimer timer;
  int ticks = 0;
  timer.SetInterval(5);
  timer.OnTimer = [&] {
    if (++ticks == 3) timer.SetEnabled(false);
  };
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_TRUE(RunUntil([&] { return !timer.Enabled(); }));
  EXPECT_EQ(ticks, 3);
}

TEST(MainLoop, RunUntilGivesUpAtTheTimeout) {
  EXPECT_FALSE(RunUntil([] { return false; }, Millis(20)));
}

}  // namespace
}  // namespace tq
