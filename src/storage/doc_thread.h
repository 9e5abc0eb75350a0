// TVornDocThread: runs one long storage procedure (loading or saving a project file) off the
// interface thread while that thread keeps its event loop running, and relays what the procedure
// reports back to it.
//
// Threads: create, Run and destroy it on one thread. Called on the interface thread, Run starts a
// thread of its own for the procedure and serves the event loop until the procedure has ended and
// everything it relayed has been delivered; anywhere else (no event loop to keep alive), Run
// simply calls the procedure. Relay and Ask are for the procedure.
#pragma once

#include <atomic>
#include <functional>

#include "foundation/background_thread.h"

namespace tq {

class TVornDocThread {
 public:
  using TProcedure = std::function<bool(TVornDocThread& thread)>;

  explicit TVornDocThread(TProcedure procedure);
  // Asks the procedure to stop and waits for it.
  ~TVornDocThread();
  TVornDocThread(const TVornDocThread&) = delete;
  TVornDocThread& operator=(const TVornDocThread&) = delete;

  // Runs the procedure to its end and returns its result; an exception it raises, of whatever
  // kind, is a false result and goes to ReportUnhandled.
  bool Run();

  // Hands fn to the waiting thread and returns at once; relayed calls arrive in order, all of
  // them before Run returns. Exceptions fn raises go to ReportUnhandled.
  void Relay(std::function<void()> fn);
  // Runs fn on the waiting thread and waits for it. False when fn raised an exception (which
  // goes to ReportUnhandled): the procedure is released either way. The caller must hold no
  // lock that the waiting thread's event handlers may take.
  bool Ask(const std::function<void()>& fn);

  void Terminate() { m_terminated = true; }
  bool Terminated() const { return m_terminated; }
  bool Result() const { return m_result; }

 private:
  TProcedure m_procedure;
  bool m_threaded = false;
  std::atomic<bool> m_terminated{false};
  std::atomic<bool> m_result{false};
  TVornBackgroundThread m_worker{"storage thread"};
};

}  // namespace tq
