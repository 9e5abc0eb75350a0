// Interface-thread helpers on top of the Qt event loop.
#include "foundation/main_loop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include "foundation/errors.h"

namespace tq {

bool IsInterfaceThread() {
  auto* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

namespace {
void RunReporting(const std::function<void()>& fn) {
  try {
    fn();
  } catch (...) {
    ReportUnhandled("an interface-thread task", std::current_exception());
  }
}

// What a thread waiting in CallInInterface learns about its task.
struct TCallState {
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr error;

  void Finish(std::exception_ptr e) {
    std::lock_guard guard(lock);
    error = std::move(e);
    done = true;
    finished.notify_all();
  }
};

struct TTask {
  std::function<void()> fn;
  std::shared_ptr<TCallState> call;  // set for CallInInterface
};

// The hand-over to the interface thread: our own queue under a std::mutex, and an eventfd that
// wakes a socket notifier living on the interface thread. Nothing of ours passes through Qt's
// event queue, so the thread sanitizer sees every hand-over (Qt's own locks are invisible to it).
class TInterfacePump {
 public:
  static TInterfacePump& Instance() {
    static TInterfacePump pump;
    return pump;
  }

  // On the interface thread, once the application exists.
  void Attach(QCoreApplication* app) {
    std::lock_guard guard(m_lock);
    if (m_notifier != nullptr) return;
    // The eventfd outlives the application (a later one reuses it), so a thread that decided to
    // signal under the lock may write to it after letting go of the lock.
    if (m_fd < 0) m_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_fd < 0) return;
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_fd), QSocketNotifier::Read, app);
    QObject::connect(m_notifier, &QSocketNotifier::activated, [this] { Drain(true); });
    QObject::connect(m_notifier, &QObject::destroyed, [this] { Detach(); });
    // Readable already (tasks queued before, or left from an earlier application): let the
    // notifier find it.
    if (!m_tasks.empty() && NeedsSignal()) Signal();
  }

  // False when no interface thread will ever run the task (the application is gone).
  bool Push(TTask task) {
    bool signal = false;
    {
      std::lock_guard guard(m_lock);
      if (QCoreApplication::instance() == nullptr) return false;
      m_tasks.push_back(std::move(task));
      if (m_notifier != nullptr) {
        signal = NeedsSignal();
      } else if (m_tasks.size() == 1) {
        // Posted before the pump was attached (an application made without the startup hook):
        // let Qt's own queue attach it once.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this] { Attach(QCoreApplication::instance()); },
            Qt::QueuedConnection);
      }
    }
    // Written after the lock is released: the write wakes the interface thread, which would
    // otherwise find the lock still held and sleep again at once.
    if (signal) Signal();
    return true;
  }

  // Interface thread: runs what is queued, oldest first, one task at a time, until the queue is
  // empty. A task may run a nested loop (a modal dialog, a crawl that stops and waits for its
  // workers), and the tasks queued behind it must run inside that loop, or the task would wait
  // for them forever: so while a task runs with others behind it the eventfd stays signalled
  // for any nested loop that watches it, and ProcessEventsUntil drains here directly.
  // readable: called because the eventfd is readable. It is then always read, also when a
  // signal that was decided before an earlier drain arrived only after it. The read stays under
  // the lock with the flag: a read that took a write whose flag was set after the flag was
  // cleared would leave the flag set with nothing to read, and no later task would signal.
  void Drain(bool readable = false) {
    {
      std::lock_guard guard(m_lock);
      if ((readable || m_signalled) && m_fd >= 0) {
        uint64_t count = 0;
        [[maybe_unused]] auto got = ::read(m_fd, &count, sizeof count);
      }
      m_signalled = false;
    }
    for (;;) {
      TTask task;
      bool signal = false;
      {
        std::lock_guard guard(m_lock);
        if (m_tasks.empty()) return;
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
        if (!m_tasks.empty()) signal = NeedsSignal();
      }
      if (signal) Signal();
      if (task.call) {
        std::exception_ptr error;
        try {
          task.fn();
        } catch (...) {
          error = std::current_exception();
        }
        task.call->Finish(std::move(error));
      } else {
        RunReporting(task.fn);
      }
    }
  }

 private:
  // With m_lock held: whether the caller is the one to signal (then Signal, once the lock is
  // released). One write per wake-up: the eventfd stays readable until Drain reads it.
  bool NeedsSignal() {
    if (m_signalled || m_fd < 0 || m_notifier == nullptr) return false;
    m_signalled = true;
    return true;
  }

  void Signal() const {
    const uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(m_fd, &one, sizeof one);
  }

  // The application is going away: tasks that will never run are dropped, and callers waiting
  // for one learn that it did not run.
  void Detach() {
    std::deque<TTask> dropped;
    {
      std::lock_guard guard(m_lock);
      m_notifier = nullptr;
      m_signalled = false;
      dropped.swap(m_tasks);
    }
    for (auto& task : dropped) {
      if (task.call) {
        task.call->Finish(std::make_exception_ptr(
            std::runtime_error("the interface thread ended before running the call")));
      }
    }
  }

  std::mutex m_lock;
  std::deque<TTask> m_tasks;
  QSocketNotifier* m_notifier = nullptr;
  int m_fd = -1;
  bool m_signalled = false;  // a write to the eventfd is made or decided, and not drained yet
};

void AttachPump() {
  TInterfacePump::Instance().Attach(QCoreApplication::instance());
}
}  // namespace

Q_COREAPP_STARTUP_FUNCTION(AttachPump)

void PostToInterface(std::function<void()> fn) {
  // Without an application there is no loop any more: the program is shutting down.
  TInterfacePump::Instance().Push({std::move(fn), nullptr});
}

void CallInInterface(const std::function<void()>& fn) {
  auto call = std::make_shared<TCallState>();
  if (IsInterfaceThread() || !TInterfacePump::Instance().Push({fn, call})) {
    fn();
    return;
  }
  std::exception_ptr error;
  {
    // The error leaves the shared state here, so this thread alone releases it.
    std::unique_lock guard(call->lock);
    call->finished.wait(guard, [&] { return call->done; });
    error = std::move(call->error);
  }
  if (error) std::rethrow_exception(error);
}

bool ProcessEventsUntil(const std::function<bool()>& done, Millis timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const bool pump = IsInterfaceThread();
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    if (pump) {
      // Our queue first: the caller may itself be one of its tasks.
      TInterfacePump::Instance().Drain();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      // processEvents returns at once when nothing is pending; don't spin a core meanwhile.
      QThread::msleep(1);
    } else {
      std::this_thread::sleep_for(Millis(1));
    }
  }
  return true;
}

struct TVornTimer::Impl {
  QTimer timer;
};

TVornTimer::TVornTimer() : m_impl(std::make_unique<Impl>()) {
  QObject::connect(&m_impl->timer, &QTimer::timeout, [this] {
    if (OnTimer) RunReporting(OnTimer);
  });
}

TVornTimer::~TVornTimer() = default;

void TVornTimer::SetInterval(int ms) {
  m_impl->timer.setInterval(ms);
}
int TVornTimer::Interval() const {
  return m_impl->timer.interval();
}
void TVornTimer::SetEnabled(bool enabled) {
  if (enabled) {
    m_impl->timer.start();
  } else {
    m_impl->timer.stop();
  }
}
bool TVornTimer::Enabled() const {
  return m_impl->timer.isActive();
}

}  // namespace tq
