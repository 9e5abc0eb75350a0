// Storage procedures on a thread of their own, with their reports relayed to the waiting thread.
#include "storage/doc_thread.h"

#include <utility>

#include "foundation/errors.h"
#include "foundation/main_loop.h"

namespace tq {

namespace {
constexpr const char* kWhere = "storage thread";
}  // namespace

TVornDocThread::TVornDocThread(TProcedure procedure) : m_procedure(std::move(procedure)) {}

TVornDocThread::~TVornDocThread() {
  Terminate();
  m_worker.Stop();
}

// Relayed calls are hand-overs of the background thread, which the waiting thread's loop runs in
// order before the end handler that lets Run return.
bool TVornDocThread::Run() {
  m_threaded = IsInterfaceThread();
  if (!m_threaded) {
    RunReporting(kWhere, [this] { m_result = m_procedure(*this); });
    return m_result;
  }
  bool ended = false;
  m_worker.Start([this](TVornBackgroundThread&) { m_result = m_procedure(*this); },
                 [&ended] { ended = true; });
  ProcessEventsUntil([&ended] { return ended; });
  return m_result;
}

void TVornDocThread::Relay(std::function<void()> fn) {
  if (m_threaded) {
    m_worker.Queue(std::move(fn));
    return;
  }
  RunReporting(kWhere, fn);
}

bool TVornDocThread::Ask(const std::function<void()>& fn) {
  if (m_threaded) return m_worker.Synchronize(fn);
  return RunReporting(kWhere, fn);
}

}  // namespace tq
