// TVornBackgroundThread: runs one procedure on a thread of its own and hands its results to the
// interface thread, queued (in order, without waiting) or synchronously (waiting for the answer).
// When the procedure returns, its thread is joined and the end handler runs on the interface
// thread, after everything the procedure queued. An exception that escapes the procedure goes to
// ReportUnhandled and the end handler still runs; one that escapes a hand-over goes there too.
//
// Lifetime: the procedure, the hand-overs and the end handler may use the owner of the thread
// object freely. Stop (and the destructor) joins the thread and drops whatever it handed over that
// has not run yet, so nothing of a stopped run reaches the owner afterwards.
//
// Threads: Start, Stop, Running and the destructor on the interface thread, which must run an
// event loop. Terminate, Terminated and Finished from any thread; Synchronize and Queue only from
// the procedure.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tq {

class TVornBackgroundThread {
 public:
  using TProcedure = std::function<void(TVornBackgroundThread& thread)>;

  // where names the thread in error reports ("search thread").
  explicit TVornBackgroundThread(std::string where);
  // Stops the thread (see Stop); the end handler does not run.
  ~TVornBackgroundThread();
  TVornBackgroundThread(const TVornBackgroundThread&) = delete;
  TVornBackgroundThread& operator=(const TVornBackgroundThread&) = delete;

  // Starts procedure on a new thread; does nothing while a run is in progress. The end handler
  // may Start the next run.
  void Start(TProcedure procedure, std::function<void()> onEnd = nullptr);
  // From Start until the end handler has run or Stop.
  bool Running() const { return m_running; }

  // Asks the procedure to end; a Synchronize it waits in returns at once.
  void Terminate();
  bool Terminated() const;
  // True once the procedure has returned (its end handler may still be on its way).
  bool Finished() const;

  // Terminates, waits for the thread, and drops whatever it handed over that has not run yet,
  // the end handler included. True when the end handler had not run: the caller then does what
  // it would have done.
  bool Stop();

  // Runs fn on the interface thread and waits for it. True when fn ran to its end; false when the
  // thread was terminated before fn finished (fn then never runs, or runs on without the caller,
  // so fn must report through state it shares with the caller, never through the caller's stack)
  // or fn raised an error (reported to ReportUnhandled).
  bool Synchronize(std::function<void()> fn);
  // Hands fn to the interface thread without waiting; it runs in order with the other hand-overs
  // unless Stop comes first.
  void Queue(std::function<void()> fn);

  // What one run's hand-overs share with the thread object (background_thread.cpp).
  struct TShared;

 private:
  std::string m_where;
  std::shared_ptr<TShared> m_shared;
  std::thread m_thread;
  bool m_running = false;
};

}  // namespace tq
