// The interface-thread helpers: posting, synchronous calls from other threads, timers.
#include "foundation/main_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

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
