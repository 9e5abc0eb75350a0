// Worker threads of the pages and the attempt loop of the transfers.
#include "engine/connection_thread.h"

#include <sys/resource.h>

#include <cerrno>
#include <climits>
#include <chrono>
#include <cstdio>
#include <deque>
#include <exception>
#include <thread>

#include "foundation/main_loop.h"

namespace tq {

namespace {

// What a pool thread knows of its own nice value, so that a job at the priority the thread
// already runs at costs no system call, and the pool restores only what a job changed.
constexpr int kNiceUnknown = INT_MIN;
thread_local int t_nice = kNiceUnknown;
thread_local bool t_niceChanged = false;

// Worker threads outlive their jobs for a while: a crawl starts two or three jobs per page, and a
// thread that waits for the next one costs far less than a new thread each time. Every job still
// gets a thread of its own (an idle one, or a new one when none is idle), so jobs never wait for
// each other here. Never destroyed: idle threads may still wait on it while the process exits.
class TWorkerPool {
 public:
  static TWorkerPool& Instance() {
    static auto* pool = new TWorkerPool();
    return *pool;
  }

  void Run(std::function<void()> job) {
    bool wake = false;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_jobs.push_back(std::move(job));
      // Every queued job needs an idle thread of its own; a woken thread stays counted as idle
      // until it has taken its job, so this never counts one thread twice.
      wake = m_idle >= m_jobs.size();
    }
    // Woken after the lock is released, so the thread does not wake only to wait for it.
    if (wake) {
      m_wake.notify_one();
    } else {
      std::thread([this] { Loop(); }).detach();
    }
  }

 private:
  static constexpr auto kIdleLifetime = std::chrono::seconds(5);

  void Loop() {
    const int tid = CurrentThreadTid();
    errno = 0;
    const int birthNice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    const bool knowsNice = errno == 0;
    t_nice = knowsNice ? birthNice : kNiceUnknown;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      if (m_jobs.empty()) {
        ++m_idle;
        const bool got = m_wake.wait_for(lock, kIdleLifetime, [this] { return !m_jobs.empty(); });
        --m_idle;
        if (!got) return;
      }
      std::function<void()> job = std::move(m_jobs.front());
      m_jobs.pop_front();
      lock.unlock();
      job();
      job = nullptr;
      // A job starts at the priority its thread was born with; a thread that a job lowered and
      // that may not be raised again (no right to) is not handed another job.
      if (t_niceChanged) {
        if (!knowsNice || !RestoreNice(tid, birthNice)) return;
        t_nice = birthNice;
        t_niceChanged = false;
      }
      lock.lock();
    }
  }

  static bool RestoreNice(int tid, int nice) {
    const auto who = static_cast<id_t>(tid);
    errno = 0;
    if (getpriority(PRIO_PROCESS, who) == nice && errno == 0) return true;
    if (setpriority(PRIO_PROCESS, who, nice) != 0) return false;
    errno = 0;
    return getpriority(PRIO_PROCESS, who) == nice && errno == 0;
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_jobs;
  std::size_t m_idle = 0;
};

}  // namespace

std::shared_ptr<TVornWorkerThread> TVornWorkerThread::Start(TThreadPriority priority, Body body,
                                                            std::function<void()> endHandler) {
  std::shared_ptr<TVornWorkerThread> self(new TVornWorkerThread());
  self->m_priority = priority;
  TWorkerPool::Instance().Run([self, body = std::move(body),
                               endHandler = std::move(endHandler)]() mutable {
    {
      std::lock_guard<std::mutex> guard(self->m_mutex);
      self->m_tid = CurrentThreadTid();
      if (NiceValueOf(self->m_priority) != t_nice) {
        ApplyThreadPriority(self->m_tid, self->m_priority);
        t_niceChanged = true;
      }
    }
    try {
      body(*self);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "worker thread failed: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "worker thread failed\n");
    }
    {
      // The thread goes on to other jobs: a late SetPriority must no longer reach it.
      std::lock_guard<std::mutex> guard(self->m_mutex);
      self->m_tid = 0;
      if (self->m_niceChangedWhileRunning) t_niceChanged = true;
    }
    body = nullptr;  // what the body captured goes before the end handler runs
    PostToInterface(std::move(endHandler));
  });
  return self;
}

void TVornWorkerThread::SetPriority(TThreadPriority priority) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_priority = priority;
  if (m_tid.load() == 0) return;
  ApplyThreadPriority(m_tid.load(), priority);
  m_niceChangedWhileRunning = true;
}

void TVornWorkerThread::Terminate() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_terminated = true;
  m_wake.notify_all();
}

bool TVornWorkerThread::SleepUnlessTerminated(int ms) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_terminated.load(); });
}

bool TVornAttemptLoop::Run(TVornWorkerThread& thread,
                           const std::function<bool(std::string& error)>& attempt,
                           const std::function<bool()>& stop, std::string& error) const {
  int failures = 0;
  bool failed = false;
  for (;;) {
    if (failed) {
      if (Report) Report(ecsRetry, kStatusRetry);
      thread.SleepUnlessTerminated(RetryPauseMs);
      if (stop()) return false;  // cancelled during the pause: the last error stands
    }
    std::string attemptError;
    failed = !attempt(attemptError);
    error = failed ? attemptError : std::string();
    if (failed) ++failures;
    if (!failed || stop() || failures > Retries) return !failed;
  }
}

}  // namespace tq
