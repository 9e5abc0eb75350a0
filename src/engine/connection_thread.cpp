// Worker threads of the pages and the attempt loop of the transfers.
#include "engine/connection_thread.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "foundation/main_loop.h"

namespace tq {

std::shared_ptr<TVornWorkerThread> TVornWorkerThread::Start(TThreadPriority priority, Body body,
                                                            std::function<void()> endHandler) {
  std::shared_ptr<TVornWorkerThread> self(new TVornWorkerThread());
  self->m_priority = priority;
  std::thread([self, body = std::move(body), endHandler = std::move(endHandler)]() mutable {
    self->m_tid = CurrentThreadTid();
    ApplyThreadPriority(self->m_tid, self->m_priority);
    try {
      body(*self);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "worker thread failed: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "worker thread failed\n");
    }
    self->m_tid = 0;
    body = nullptr;  // what the body captured goes before the end handler runs
    PostToInterface(std::move(endHandler));
  }).detach();
  return self;
}

void TVornWorkerThread::SetPriority(TThreadPriority priority) {
  m_priority = priority;
  ApplyThreadPriority(m_tid.load(), priority);
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
