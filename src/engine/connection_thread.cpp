// Worker threads of the pages and the attempt loop of the transfers.
#include "engine/connection_thread.h"

#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>
#include <system_error>
#include <thread>

#include "foundation/errors.h"
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

  // Throws std::system_error when no idle thread takes the job and no new one can be made; the
  // job is then dropped without running.
  void Run(std::function<void()> job) {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      // Every queued job needs an idle thread of its own; a woken thread stays counted as idle
      // until it has taken its job, so this never counts one thread twice.
      if (m_idle > m_jobs.size()) {
        m_jobs.push_back(std::move(job));
        job = nullptr;
      }
    }
    // Woken after the lock is released, so the thread does not wake only to wait for it.
    if (!job) {
      m_wake.notify_one();
      return;
    }
    // A new thread is born with its first job, so a job is never left queued for a thread that
    // could not be made.
    std::thread([this, first = std::move(job)]() mutable { Loop(std::move(first)); }).detach();
  }

 private:
  static constexpr auto kIdleLifetime = std::chrono::seconds(5);

  void Loop(std::function<void()> job) {
    const int tid = CurrentThreadTid();
    errno = 0;
    const int birthNice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    const bool knowsNice = errno == 0;
    t_nice = knowsNice ? birthNice : kNiceUnknown;
    std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
    for (;;) {
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
      if (m_jobs.empty()) {
        ++m_idle;
        const bool got = m_wake.wait_for(lock, kIdleLifetime, [this] { return !m_jobs.empty(); });
        --m_idle;
        if (!got) return;
      }
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
      lock.unlock();
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

// Starts still to let through, then starts to fail (TestOnlyFailStarts).
std::mutex g_failMutex;
int g_skipStarts = 0;
int g_failStarts = 0;

bool StartFails() {
  std::lock_guard<std::mutex> guard(g_failMutex);
  if (g_failStarts == 0) return false;
  if (g_skipStarts > 0) {
    --g_skipStarts;
    return false;
  }
  --g_failStarts;
  return true;
}

}  // namespace

void TVornWorkerThread::TestOnlyFailStarts(int count, int skip) {
  std::lock_guard<std::mutex> guard(g_failMutex);
  g_failStarts = count;
  g_skipStarts = skip;
}

std::shared_ptr<TVornWorkerThread> TVornWorkerThread::Start(TThreadPriority priority, Body body,
                                                            std::function<void()> endHandler) {
  if (StartFails()) {
    throw std::system_error(EAGAIN, std::generic_category(), "Cannot start a thread");
  }
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
    } catch (...) {
      // Read by the end handler, after the hand-over to the interface thread.
      self->m_error = CurrentExceptionText();
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
    try {
      failed = !attempt(attemptError);
    } catch (...) {
      // An error ends its attempt only: it counts as a failure with the error's text.
      failed = true;
      attemptError = CurrentExceptionText();
    }
    error = failed ? attemptError : std::string();
    if (failed) ++failures;
    if (!failed || stop() || failures > Retries) return !failed;
  }
}

}  // namespace tq
