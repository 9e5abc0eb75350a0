// The reader/writer lock: exclusion, re-entry by the writer, reads inside a write, and readers
// that ask for the write side at the same time.
#include "foundation/rw_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <latch>
#include <thread>
#include <vector>

namespace tq {
namespace {

using namespace std::chrono_literals;

// Runs fn on its own thread and reports whether it finished within a generous bound, so a
// deadlock fails the test instead of hanging it.
bool FinishesOnItsOwn(std::function<void()> fn) {
  auto done = std::async(std::launch::async, std::move(fn));
  if (done.wait_for(30s) != std::future_status::ready) {
    ADD_FAILURE() << "deadlocked";
    std::abort();  // the stuck thread cannot be joined
  }
  return true;
}

TEST(RWLock, WriterMayReenterAndReadInsideItsWrite) {
  TVornRWLock lock;
  lock.BeginWrite();
  lock.BeginWrite();
  lock.BeginRead();
  EXPECT_TRUE(lock.IsWriter());
  lock.EndRead();
  lock.EndWrite();
  EXPECT_TRUE(lock.IsWriter());
  lock.EndWrite();
  EXPECT_FALSE(lock.IsWriter());
  // Fully released: another thread can write.
  EXPECT_TRUE(FinishesOnItsOwn([&] { TVornWriteGuard guard(lock); }));
}

TEST(RWLock, ReadTakenBeforeAWriteIsStillHeldAfterIt) {
  TVornRWLock lock;
  lock.BeginRead();
  lock.BeginWrite();  // promotion
  lock.EndWrite();
  std::atomic<bool> written{false};
  std::thread writer([&] {
    TVornWriteGuard guard(lock);
    written = true;
  });
  lock.BeginRead();  // nested read must not queue behind the waiting writer
  lock.EndRead();
  EXPECT_FALSE(written.load());  // the writer cannot have got in while the read is held
  lock.EndRead();
  writer.join();
  EXPECT_TRUE(written.load());
}

TEST(RWLock, TwoReadersAskingToWriteDoNotDeadlock) {
  TVornRWLock lock;
  std::latch bothReading(2);
  int shared = 0;
  EXPECT_TRUE(FinishesOnItsOwn([&] {
    auto reader = [&] {
      TVornReadGuard read(lock);
      bothReading.arrive_and_wait();
      TVornWriteGuard write(lock);
      ++shared;
    };
    std::thread a(reader), b(reader);
    a.join();
    b.join();
  }));
  EXPECT_EQ(shared, 2);
}

TEST(RWLock, WritersExcludeReadersAndEachOther) {
  TVornRWLock lock;
  long a = 0,
       b = 0;  // kept equal by every writer; a race shows as a mismatch or a sanitizer report
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if ((i + t) % 3 == 0) {
          TVornWriteGuard guard(lock);
          ++a;
          TVornReadGuard nested(lock);
          ++b;
        } else {
          TVornReadGuard guard(lock);
          if (a != b) ++mismatches;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace tq
