// The worker threads of a page: each runs one procedure once (a transfer's attempts or an
// analysis), then has its end handler run on the interface thread, and releases itself. The
// kernel threads under them are kept for later jobs for a few seconds. Also the attempt loop
// that both transfers share.
//
// Not TVornBackgroundThread: a crawl runs two or three of these a page, so they share pooled
// threads that keep the crawl's priority, any thread may start one, and what the body throws is
// the page's result (Error()), not an unhandled error.
//
// Start, SetPriority and Terminate may be called from any thread. The thread object stays alive
// while its thread runs, whoever else drops it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "engine/connection_status.h"

namespace tq {

class TVornWorkerThread : public std::enable_shared_from_this<TVornWorkerThread> {
 public:
  using Body = std::function<void(TVornWorkerThread& thread)>;

  // Runs body on a thread of its own (an idle worker already at priority, or a new one that
  // takes priority at once); endHandler runs on the interface thread after body has returned,
  // or thrown (then Error() holds the error's text). Throws std::system_error, and runs
  // nothing, when no thread can be had.
  static std::shared_ptr<TVornWorkerThread> Start(TThreadPriority priority, Body body,
                                                  std::function<void()> endHandler);
  // Makes count calls of Start, after the next skip ones, fail as when the system has no thread
  // to give.
  static void TestOnlyFailStarts(int count, int skip = 0);

  // What body threw, empty when it returned; read it in the end handler.
  const std::string& Error() const { return m_error; }

  // Applied at once to a running thread, errors ignored; kept for one not running yet.
  void SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const { return m_priority.load(); }

  // Asks the body to end: wakes SleepUnlessTerminated; the body checks Terminated itself.
  void Terminate();
  bool Terminated() const { return m_terminated.load(); }

  // Sleeps for ms unless terminated first; returns false when terminated.
  bool SleepUnlessTerminated(int ms);

 private:
  TVornWorkerThread() = default;

  std::atomic<TThreadPriority> m_priority{tpNormal};
  std::atomic<int> m_tid{0};
  std::atomic<bool> m_terminated{false};
  bool m_niceChangedWhileRunning = false;  // under m_mutex
  std::string m_error;
  std::mutex m_mutex;
  std::condition_variable m_wake;
};

using TVornConnectionThread = TVornWorkerThread;
using TVornContentThread = TVornWorkerThread;

// The attempt loop of a transfer. attempt() returns false and sets the error text when it fails;
// an error it throws fails that attempt with the error's text. stop() says whether to give up
// further attempts (cancelled, refused, redirected). A retry reports ecsRetry and pauses first.
// Returns whether the last attempt succeeded, and its error.
struct TVornAttemptLoop {
  int Retries = 0;          // attempts after the first that may follow a failure
  int RetryPauseMs = 2000;  // tests shorten it
  std::function<void(TVornConnectionStatus, const std::string&)> Report;
  // The pause before the next retry when the last attempt named one; unset or negative:
  // RetryPauseMs.
  std::function<int()> NextPauseMs;

  // On the worker thread.
  bool Run(TVornWorkerThread& thread, const std::function<bool(std::string& error)>& attempt,
           const std::function<bool()>& stop, std::string& error) const;
};

}  // namespace tq
