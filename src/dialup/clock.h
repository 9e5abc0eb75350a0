// The time the dial-up layer reads and waits on: the local time of day for the schedule, and the
// one-second waits of the dialer's countdown between calls. The program uses TSystemClock; tests
// give a clock that moves only when they say.
#pragma once

#include <condition_variable>
#include <mutex>

#include "foundation/date_time.h"
#include "foundation/main_loop.h"

namespace tq {

// A flag one thread raises and another waits on. Any thread.
class TCancelFlag {
 public:
  void Raise() {
    {
      std::lock_guard guard(m_lock);
      m_raised = true;
    }
    m_changed.notify_all();
  }
  bool Raised() const {
    std::lock_guard guard(m_lock);
    return m_raised;
  }
  // Waits up to duration; true when the flag was raised (at once, if it already was).
  bool WaitFor(Millis duration) const {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, duration, [this] { return m_raised; });
  }

 private:
  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  bool m_raised = false;
};

class IVornClock {
 public:
  virtual ~IVornClock() = default;
  // The local date and time. Any thread.
  virtual TDateTime Now() const = 0;
  // Waits duration on the calling (background) thread, or less when cancel is raised; true when
  // it was.
  virtual bool Sleep(Millis duration, const TCancelFlag& cancel) const = 0;
};

class TSystemClock final : public IVornClock {
 public:
  TDateTime Now() const override { return NowLocal(); }
  bool Sleep(Millis duration, const TCancelFlag& cancel) const override {
    return cancel.WaitFor(duration);
  }
};

}  // namespace tq
