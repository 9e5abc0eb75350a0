// TSearchThread: the worker thread of one content search or find-in-lists run. It runs one
// procedure, can be asked to stop, and hands results to the interface thread: queued (in order,
// without waiting) or synchronously (waiting for the answer). When the procedure returns, the
// end handler runs on the interface thread after everything the procedure queued.
//
// Threads: create, Stop and destroy it on the interface thread, which must run an event loop
// (QCoreApplication or QApplication). Terminate and Terminated may be called from any thread;
// Synchronize and Queue only from the procedure.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tq {

class TSearchThread {
 public:
  using TProcedure = std::function<void(TSearchThread& thread)>;

  // Starts procedure at once on a thread of its own.
  TSearchThread(TProcedure procedure, std::function<void()> onEnd);
  // Stops the thread (see Stop); the end handler does not run.
  ~TSearchThread();
  TSearchThread(const TSearchThread&) = delete;
  TSearchThread& operator=(const TSearchThread&) = delete;

  // Asks the procedure to end; a Synchronize it waits in returns at once.
  void Terminate();
  bool Terminated() const;

  // Terminates, waits for the thread, and drops whatever it handed over that has not run yet,
  // the end handler included. True when the end handler had not run: the caller then does what
  // it would have done.
  bool Stop();

  // Runs fn on the interface thread and waits for it. False when the thread was terminated
  // before fn finished: fn then never runs, or runs on without the caller, so fn must report
  // through state it shares with the caller (read only after a true answer), never through the
  // caller's stack.
  bool Synchronize(std::function<void()> fn);
  // Hands fn to the interface thread without waiting; it runs in order with the other hand-overs
  // unless Stop comes first.
  void Queue(std::function<void()> fn);

 private:
  // What the hand-overs share with the thread object, which may be gone when they run.
  struct TShared {
    std::mutex Lock;
    std::condition_variable Answered;
    std::atomic<bool> Terminated{false};
    bool Stopped = false;  // interface thread only
    bool Ended = false;    // interface thread only: the end handler ran
  };

  std::shared_ptr<TShared> m_shared = std::make_shared<TShared>();
  std::thread m_thread;
};

}  // namespace tq
