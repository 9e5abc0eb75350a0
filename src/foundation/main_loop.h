// The interface thread and how other threads reach it. The interface thread is the thread that
// runs the Qt event loop (QCoreApplication in the CLI and tests, QApplication in the GUI); it
// runs timers, end handlers of background work and every event handler. Background threads use
// Post or Call to hand work to it and never touch interface objects themselves.
//
// A background thread must never Call into the interface thread while holding a lock that the
// interface thread may take.
#pragma once

#include <chrono>
#include <functional>
#include <limits>
#include <memory>

namespace tq {

using Millis = std::chrono::milliseconds;
inline constexpr Millis kForever = Millis(std::numeric_limits<int>::max());

// True on the thread running the application's event loop (or, before one exists, never).
bool IsInterfaceThread();

// Queues fn to run on the interface thread and returns at once. An exception fn raises goes to
// ReportUnhandled (foundation/errors.h): nothing throws across the event loop.
void PostToInterface(std::function<void()> fn);

// Runs fn on the interface thread and waits for it; runs it inline when already there. An
// exception fn raises is rethrown to the caller.
void CallInInterface(const std::function<void()>& fn);

// Keeps the event loop of the calling (interface) thread running until done() is true or the
// timeout passes; returns done(). Called from another thread it just waits, polling done().
bool ProcessEventsUntil(const std::function<bool()>& done, Millis timeout = kForever);

// The test spelling of ProcessEventsUntil.
inline bool RunUntil(const std::function<bool()>& done, Millis timeout = Millis(10000)) {
  return ProcessEventsUntil(done, timeout);
}

// A periodic timer whose OnTimer runs on the interface thread. Create, configure and destroy it
// on the interface thread.
class TVornTimer {
 public:
  TVornTimer();
  ~TVornTimer();
  TVornTimer(const TVornTimer&) = delete;
  TVornTimer& operator=(const TVornTimer&) = delete;

  void SetInterval(int ms);
  int Interval() const;
  void SetEnabled(bool enabled);
  bool Enabled() const;

  std::function<void()> OnTimer;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace tq
