// Storage procedures on a thread of their own, with their reports relayed to the interface thread.
#include "storage/doc_thread.h"

#include <exception>
#include <utility>

#include "foundation/main_loop.h"

namespace tq {

TVornDocThread::TVornDocThread(TProcedure procedure) : m_procedure(std::move(procedure)) {}

TVornDocThread::~TVornDocThread() {
  Terminate();
  if (m_thread.joinable()) m_thread.join();
}

void TVornDocThread::Body() {
  bool result = false;
  try {
    result = m_procedure(*this);
  } catch (const std::exception&) {
    result = false;
  }
  m_result = result;
}

bool TVornDocThread::Run() {
  m_threaded = IsInterfaceThread();
  if (!m_threaded) {
    Body();
    return m_result;
  }
  m_thread = std::thread([this] {
    Body();
    // Posted calls are delivered in order, so once this one runs all relays have run.
    PostToInterface([delivered = m_delivered] { *delivered = true; });
  });
  ProcessEventsUntil([delivered = m_delivered] { return delivered->load(); });
  m_thread.join();
  return m_result;
}

void TVornDocThread::Relay(std::function<void()> fn) {
  if (!m_threaded) {
    try {
      fn();
    } catch (const std::exception&) {
    }
    return;
  }
  PostToInterface([fn = std::move(fn)] {
    try {
      fn();
    } catch (const std::exception&) {
    }
  });
}

void TVornDocThread::Ask(const std::function<void()>& fn) {
  if (m_threaded) {
    CallInInterface(fn);
  } else {
    fn();
  }
}

}  // namespace tq
