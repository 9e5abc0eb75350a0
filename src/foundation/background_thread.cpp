// A procedure on a thread of its own and its hand-overs to the interface thread.
#include "foundation/background_thread.h"

#include <condition_variable>
#include <mutex>
#include <utility>

#include "foundation/errors.h"
#include "foundation/main_loop.h"

namespace tq {

struct TVornBackgroundThread::TShared {
  std::string Where;
  std::mutex Lock;
  std::condition_variable Answered;
  std::atomic<bool> Terminated{false};
  std::atomic<bool> Finished{false};
  bool Stopped = false;                    // interface thread only
  TVornBackgroundThread* Owner = nullptr;  // interface thread only; valid until Stopped

  bool RunReporting(const std::function<void()>& fn) const { return tq::RunReporting(Where, fn); }
};

TVornBackgroundThread::TVornBackgroundThread(std::string where) : m_where(std::move(where)) {}

TVornBackgroundThread::~TVornBackgroundThread() {
  Stop();
}

void TVornBackgroundThread::Start(TProcedure procedure, std::function<void()> onEnd) {
  if (m_running) return;
  if (m_thread.joinable()) m_thread.join();
  auto shared = std::make_shared<TShared>();
  shared->Where = m_where;
  shared->Owner = this;
  m_shared = shared;
  m_running = true;
  m_thread =
      std::thread([this, shared, procedure = std::move(procedure), onEnd = std::move(onEnd)] {
        shared->RunReporting([&] { procedure(*this); });
        shared->Finished = true;
        // The last hand-over: everything the procedure queued runs before it.
        PostToInterface([shared, onEnd] {
          if (shared->Stopped) return;
          TVornBackgroundThread& owner = *shared->Owner;
          // The thread's last act was this post: the join is short, and all it did is seen here.
          owner.m_thread.join();
          owner.m_running = false;
          // Nothing of the owner is touched after the handler, which may destroy or restart it.
          if (onEnd) shared->RunReporting(onEnd);
        });
      });
}

void TVornBackgroundThread::Terminate() {
  if (!m_shared) return;
  {
    std::lock_guard guard(m_shared->Lock);
    m_shared->Terminated = true;
  }
  m_shared->Answered.notify_all();
}

bool TVornBackgroundThread::Terminated() const {
  return m_shared && m_shared->Terminated.load();
}

bool TVornBackgroundThread::Finished() const {
  return m_shared && m_shared->Finished.load();
}

bool TVornBackgroundThread::Stop() {
  if (!m_shared) return false;
  Terminate();
  if (m_thread.joinable()) m_thread.join();
  // Hand-overs still queued find this and do nothing; they run on this thread, after us.
  m_shared->Stopped = true;
  const bool endPending = m_running;
  m_running = false;
  return endPending;
}

bool TVornBackgroundThread::Synchronize(std::function<void()> fn) {
  enum TAnswer { aPending, aDone, aFailed };
  auto answer = std::make_shared<TAnswer>(aPending);  // guarded by the shared lock
  const std::shared_ptr<TShared> shared = m_shared;
  PostToInterface([shared, answer, fn = std::move(fn)] {
    if (shared->Stopped || shared->Terminated) return;
    const bool done = shared->RunReporting(fn);
    {
      std::lock_guard guard(shared->Lock);
      *answer = done ? aDone : aFailed;
    }
    shared->Answered.notify_all();
  });
  std::unique_lock guard(shared->Lock);
  shared->Answered.wait(guard, [&] { return *answer != aPending || shared->Terminated; });
  return *answer == aDone;
}

void TVornBackgroundThread::Queue(std::function<void()> fn) {
  PostToInterface([shared = m_shared, fn = std::move(fn)] {
    if (!shared->Stopped) shared->RunReporting(fn);
  });
}

}  // namespace tq
