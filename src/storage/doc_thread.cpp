// Storage procedures on a thread of their own, with their reports relayed to the waiting thread.
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

// Relayed calls travel through our own queue, which the waiting thread drains between rounds of
// its event loop: they stay in order, all arrive before Run returns, and the hand-over is plain
// to thread checkers (which cannot see into the event loop's own locking).
bool TVornDocThread::Run() {
  m_threaded = IsInterfaceThread();
  if (!m_threaded) {
    Body();
    return m_result;
  }
  m_thread = std::thread([this] {
    Body();
    std::lock_guard lock(m_lock);
    m_finished = true;
  });
  for (;;) {
    ProcessEventsUntil([this] {
      std::lock_guard lock(m_lock);
      return m_finished || !m_relays.empty();
    });
    std::unique_lock lock(m_lock);
    if (m_relays.empty()) {
      if (m_finished) break;
      continue;
    }
    auto fn = std::move(m_relays.front());
    m_relays.pop_front();
    lock.unlock();
    try {
      fn();
    } catch (const std::exception&) {
    }
  }
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
  std::lock_guard lock(m_lock);
  m_relays.push_back(std::move(fn));
}

void TVornDocThread::Ask(const std::function<void()>& fn) {
  if (!m_threaded) {
    fn();
    return;
  }
  bool done = false;
  Relay([&] {
    try {
      fn();
    } catch (const std::exception&) {
    }
    std::lock_guard lock(m_lock);
    done = true;
    m_answered.notify_all();
  });
  std::unique_lock lock(m_lock);
  m_answered.wait(lock, [&] { return done; });
}

}  // namespace tq
