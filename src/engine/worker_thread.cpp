// Worker threads of the pages and the attempt loop of the transfers.
#include "engine/worker_thread.h"

#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>
#include <map>
#include <system_error>
#include <thread>

#include "foundation/errors.h"
#include "foundation/main_loop.h"

namespace tq {

namespace {

// What a pool thread knows of itself, so that a job costs no system call for the thread's id or
// for a priority the thread already runs at.
constexpr int kNiceUnknown = INT_MIN;
thread_local int t_nice = kNiceUnknown;
thread_local int t_tid = 0;

// Worker threads outlive their jobs for a while: a crawl starts two or three jobs per page, and a
// thread that waits for the next one costs far less than a new thread each time. Every job still
// gets a thread of its own (an idle one, or a new one when none is idle), so jobs never wait for
// each other here. Idle threads wait in groups by the nice value they run at, and a job goes only
// to a thread already at the nice value it asks for: nearly every job of a crawl runs at the
// crawl's one priority, so a thread is neither lowered for each job nor raised after it (which
// also needs a right the program may lack). Never destroyed: idle threads may still wait on it
// while the process exits.
class TWorkerPool {
 public:
  static TWorkerPool& Instance() {
    static auto* pool = new TWorkerPool();
    return *pool;
  }

  // Throws std::system_error when no idle thread at nice takes the job and no new one can be
  // made; the job is then dropped without running.
  void Run(int nice, std::function<void()> job) {
    TGroup* group = nullptr;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      TGroup& candidate = m_groups[nice];
      // Every queued job needs an idle thread of its own; a woken thread stays counted as idle
      // until it has taken its job, so this never counts one thread twice.
      if (candidate.Idle > candidate.Jobs.size()) {
        candidate.Jobs.push_back(std::move(job));
        group = &candidate;
      }
    }
    // Woken after the lock is released, so the thread does not wake only to wait for it.
    if (group != nullptr) {
      group->Wake.notify_one();
      return;
    }
    // A new thread is born with its first job, so a job is never left queued for a thread that
    // could not be made.
    std::thread([this, first = std::move(job)]() mutable { Loop(std::move(first)); }).detach();
  }

 private:
  static constexpr auto kIdleLifetime = std::chrono::seconds(5);

  // Idle threads at one nice value and the jobs handed to them. Groups are never erased, so a
  // waiting thread's group stays where it is.
  struct TGroup {
    std::condition_variable Wake;
    std::deque<std::function<void()>> Jobs;
    std::size_t Idle = 0;
  };

  void Loop(std::function<void()> job) {
    t_tid = CurrentThreadTid();
    t_nice = kNiceUnknown;
    std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
    for (;;) {
      job();
      job = nullptr;
      // A job that changed the priority in a way the thread could not follow leaves it unknown:
      // asked once here, it decides which jobs the thread takes next.
      if (t_nice == kNiceUnknown) {
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(t_tid));
        if (errno != 0) return;
        t_nice = nice;
      }
      lock.lock();
      TGroup& group = m_groups[t_nice];
      if (group.Jobs.empty()) {
        ++group.Idle;
        const bool got =
            group.Wake.wait_for(lock, kIdleLifetime, [&group] { return !group.Jobs.empty(); });
        --group.Idle;
        if (!got) return;
      }
      job = std::move(group.Jobs.front());
      group.Jobs.pop_front();
      lock.unlock();
    }
  }

  std::mutex m_mutex;
  std::map<int, TGroup> m_groups;
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
  TWorkerPool::Instance().Run(
      NiceValueOf(priority),
      [self, body = std::move(body), endHandler = std::move(endHandler)]() mutable {
        {
          // A priority changed after Start still counts: the thread may not be at it yet.
          std::lock_guard<std::mutex> guard(self->m_mutex);
          self->m_tid = t_tid;
          const int wanted = NiceValueOf(self->m_priority);
          if (wanted != t_nice)
            t_nice = ApplyThreadPriority(t_tid, self->m_priority) ? wanted : kNiceUnknown;
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
          if (self->m_niceChangedWhileRunning) t_nice = kNiceUnknown;
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
      const int asked = NextPauseMs ? NextPauseMs() : -1;
      thread.SleepUnlessTerminated(asked >= 0 ? asked : RetryPauseMs);
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
