// Signals that ask a command to end (Ctrl-C, a service manager's TERM) turned into a call on the
// interface thread, where the command can stop cleanly.
#pragma once

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace tq::cli {

// While it lives, each of the signals calls onInterrupt on the interface thread; a second one of
// the same kind ends the program at once, for a user who does not want to wait. One watch at a
// time; create and destroy it on the interface thread.
class TInterruptWatch {
 public:
  explicit TInterruptWatch(std::function<void()> onInterrupt, std::vector<int> signals = {SIGINT});
  ~TInterruptWatch();
  TInterruptWatch(const TInterruptWatch&) = delete;
  TInterruptWatch& operator=(const TInterruptWatch&) = delete;

  // The signal that came last; 0 while none has.
  int LastSignal() const;

 private:
  std::unique_ptr<QSocketNotifier> m_notifier;
  std::vector<int> m_signals;
};

}  // namespace tq::cli
