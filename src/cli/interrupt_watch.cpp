// Signals reach the event loop through an eventfd the handler writes to.
#include "cli/interrupt_watch.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <utility>

#include <QSocketNotifier>

namespace tq::cli {
namespace {

int g_interruptFd = -1;
volatile std::sig_atomic_t g_lastSignal = 0;

extern "C" void OnInterrupt(int signal) {
  // Only async-signal-safe calls here; the event loop does the rest.
  g_lastSignal = signal;
  const uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(g_interruptFd, &one, sizeof one);
  std::signal(signal, SIG_DFL);  // a second one ends the program
}

}  // namespace

TInterruptWatch::TInterruptWatch(std::function<void()> onInterrupt, std::vector<int> signals)
    : m_signals(std::move(signals)) {
  g_lastSignal = 0;
  g_interruptFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (g_interruptFd < 0) return;
  m_notifier =
      std::make_unique<QSocketNotifier>(static_cast<qintptr>(g_interruptFd), QSocketNotifier::Read);
  QObject::connect(m_notifier.get(), &QSocketNotifier::activated,
                   [fd = g_interruptFd, onInterrupt = std::move(onInterrupt)] {
                     uint64_t count = 0;
                     [[maybe_unused]] auto got = ::read(fd, &count, sizeof count);
                     onInterrupt();
                   });
  for (int signal : m_signals) std::signal(signal, OnInterrupt);
}

int TInterruptWatch::LastSignal() const {
  return g_lastSignal;
}

TInterruptWatch::~TInterruptWatch() {
  for (int signal : m_signals) std::signal(signal, SIG_DFL);
  m_notifier.reset();
  if (g_interruptFd >= 0) ::close(g_interruptFd);
  g_interruptFd = -1;
}

}  // namespace tq::cli
