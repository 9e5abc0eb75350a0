// Worker threads that are reused between jobs: concurrency, per-job state and priority.
#include "engine/worker_thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "foundation/main_loop.h"

namespace tq {
namespace {

using namespace std::chrono_literals;

int OwnNice() {
  return getpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadTid()));
}

// Jobs that block must not hold up later ones, even when earlier jobs have left idle threads
// behind: every running job has a thread of its own.
TEST(WorkerThreadTest, BlockedJobsNeverDelayLaterOnes) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    std::mutex mutex;
    std::condition_variable cv;
    int running = 0;
    bool release = false;
    std::atomic<int> ended{0};
    constexpr int kJobs = 6;
    for (int i = 0; i < kJobs; ++i) {
      TVornWorkerThread::Start(
          tpNormal,
          [&](TVornWorkerThread&) {
            std::unique_lock<std::mutex> lock(mutex);
            ++running;
            cv.notify_all();
            cv.wait_for(lock, 10s, [&] { return release; });
          },
          [&] { ++ended; });
    }
    {
      std::unique_lock<std::mutex> lock(mutex);
      EXPECT_TRUE(cv.wait_for(lock, 10s, [&] { return running == kJobs; }));
      release = true;
      cv.notify_all();
    }
    EXPECT_TRUE(RunUntil([&] { return ended.load() == kJobs; }));
  }
}

// A reused thread must not carry the last job's termination, priority or captures into the next.
TEST(WorkerThreadTest, EachJobStartsClean) {
  const int baseNice = OwnNice();
  struct Seen {
    bool terminated = true;
    int nice = 0;
  };
  std::vector<Seen> seen(4);
  const TThreadPriority priorities[] = {tpNormal, tpLowest, tpNormal, tpIdle};
  for (int i = 0; i < 4; ++i) {
    std::atomic<bool> ended{false};
    auto captured = std::make_shared<int>(i);
    std::weak_ptr<int> watch = captured;
    bool capturedGoneAtEnd = false;
    TVornWorkerThread::Start(
        priorities[i],
        [&seen, i, captured = std::move(captured)](TVornWorkerThread& self) {
          seen[i].terminated = self.Terminated();
          seen[i].nice = OwnNice();
          self.Terminate();
        },
        [&] {
          capturedGoneAtEnd = watch.expired();
          ended = true;
        });
    ASSERT_TRUE(RunUntil([&] { return ended.load(); }));
    EXPECT_TRUE(capturedGoneAtEnd) << i;
    EXPECT_FALSE(seen[i].terminated) << i;
    // Raising priority needs a right the tests may lack; lowering it never does.
    const int expected = NiceValueOf(priorities[i]);
    if (expected >= baseNice) {
      EXPECT_EQ(seen[i].nice, expected) << i;
    }
  }
}

}  // namespace
}  // namespace tq
