// The worker thread of a search and its hand-overs to the interface thread.
#include "search/search_thread.h"

#include <utility>

#include "foundation/main_loop.h"

namespace tq {

TSearchThread::TSearchThread(TProcedure procedure, std::function<void()> onEnd) {
  m_thread = std::thread([this, procedure = std::move(procedure), onEnd = std::move(onEnd)] {
    try {
      procedure(*this);
    } catch (...) {
      // The procedure reports its own failures; whatever escapes still ends the run normally.
    }
    Queue([shared = m_shared, onEnd] {
      shared->Ended = true;
      if (onEnd) onEnd();
    });
  });
}

TSearchThread::~TSearchThread() {
  Stop();
}

void TSearchThread::Terminate() {
  {
    std::lock_guard guard(m_shared->Lock);
    m_shared->Terminated = true;
  }
  m_shared->Answered.notify_all();
}

bool TSearchThread::Terminated() const {
  return m_shared->Terminated.load();
}

bool TSearchThread::Stop() {
  Terminate();
  if (m_thread.joinable()) m_thread.join();
  // Hand-overs still queued find this and do nothing; they run on this thread, after us.
  m_shared->Stopped = true;
  return !m_shared->Ended;
}

bool TSearchThread::Synchronize(std::function<void()> fn) {
  auto done = std::make_shared<bool>(false);  // guarded by the shared lock
  PostToInterface([shared = m_shared, done, fn = std::move(fn)] {
    if (shared->Stopped || shared->Terminated) return;
    try {
      fn();
    } catch (...) {
      // An error of the receiving side is its own; the worker goes on.
    }
    {
      std::lock_guard guard(shared->Lock);
      *done = true;
    }
    shared->Answered.notify_all();
  });
  std::unique_lock guard(m_shared->Lock);
  m_shared->Answered.wait(guard, [&] { return *done || m_shared->Terminated; });
  return *done;
}

void TSearchThread::Queue(std::function<void()> fn) {
  PostToInterface([shared = m_shared, fn = std::move(fn)] {
    if (!shared->Stopped) fn();
  });
}

}  // namespace tq
