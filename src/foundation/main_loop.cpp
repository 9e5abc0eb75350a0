// Interface-thread helpers on top of the Qt event loop.
#include "foundation/main_loop.h"

#include <cstdio>
#include <exception>
#include <thread>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace tq {

bool IsInterfaceThread() {
  auto* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

namespace {
void ReportStray(const char* what) {
  std::fprintf(stderr, "tarnquill: error in an interface-thread task: %s\n", what);
}
}  // namespace

void PostToInterface(std::function<void()> fn) {
  auto* app = QCoreApplication::instance();
  if (app == nullptr) return;  // no loop any more: the program is shutting down
  QMetaObject::invokeMethod(
      app,
      [fn = std::move(fn)] {
        try {
          fn();
        } catch (const std::exception& e) {
          ReportStray(e.what());
        } catch (...) {
          ReportStray("unknown error");
        }
      },
      Qt::QueuedConnection);
}

void CallInInterface(const std::function<void()>& fn) {
  if (IsInterfaceThread() || QCoreApplication::instance() == nullptr) {
    fn();
    return;
  }
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&] {
        try {
          fn();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

bool ProcessEventsUntil(const std::function<bool()>& done, Millis timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const bool pump = IsInterfaceThread();
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    if (pump) {
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
    if (!OnTimer) return;
    try {
      OnTimer();
    } catch (const std::exception& e) {
      ReportStray(e.what());
    }
  });
}

TVornTimer::~TVornTimer() = default;

void TVornTimer::SetInterval(int ms) { m_impl->timer.setInterval(ms); }
int TVornTimer::Interval() const { return m_impl->timer.interval(); }
void TVornTimer::SetEnabled(bool enabled) {
  if (enabled) {
    m_impl->timer.start();
  } else {
    m_impl->timer.stop();
  }
}
bool TVornTimer::Enabled() const { return m_impl->timer.isActive(); }

}  // namespace tq
