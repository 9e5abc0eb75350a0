// The crawl on the event loop, its progress line and its Ctrl-C handling.
#include "cli/crawl_session.h"

#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "cli/list_output.h"

namespace tq::cli {
namespace {

int g_interruptFd = -1;

extern "C" void OnInterrupt(int) {
  // Only async-signal-safe calls here; the event loop does the rest.
  const uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(g_interruptFd, &one, sizeof one);
  std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the program
}

// Turns Ctrl-C into a call on the interface thread for as long as it lives.
class TInterruptWatch {
 public:
  explicit TInterruptWatch(std::function<void()> onInterrupt) {
    g_interruptFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (g_interruptFd < 0) return;
    m_notifier = std::make_unique<QSocketNotifier>(static_cast<qintptr>(g_interruptFd),
                                                   QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated,
                     [fd = g_interruptFd, onInterrupt = std::move(onInterrupt)] {
                       uint64_t count = 0;
                       [[maybe_unused]] auto got = ::read(fd, &count, sizeof count);
                       onInterrupt();
                     });
    std::signal(SIGINT, OnInterrupt);
  }
  ~TInterruptWatch() {
    std::signal(SIGINT, SIG_DFL);
    m_notifier.reset();
    if (g_interruptFd >= 0) ::close(g_interruptFd);
    g_interruptFd = -1;
  }
  TInterruptWatch(const TInterruptWatch&) = delete;
  TInterruptWatch& operator=(const TInterruptWatch&) = delete;

 private:
  std::unique_ptr<QSocketNotifier> m_notifier;
};

int TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// One line on the terminal, redrawn in place: the list counts and the latest transfer.
class TProgressLine {
 public:
  explicit TProgressLine(TVornDownload& download) : m_download(download) {
    m_download.OnStatus() = [this](const TVornPagePtr&, TVornConnectionStatus, const std::string& text,
                                   const TVornLinkPtr& link) {
      m_current = text;
      if (link) {
        try {
          m_current = link->GetUrl() + "  " + text;
        } catch (const std::exception&) {
        }
      }
    };
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Draw(); });
    m_timer.start(250);
  }
  ~TProgressLine() {
    m_timer.stop();
    m_download.OnStatus() = nullptr;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

 private:
  void Draw() {
    std::string line = "Ready " + std::to_string(m_download.ReadyLinks().Count()) +
                       "  In Progress " + std::to_string(m_download.WorkingLinks().Count()) +
                       "  Queue " + std::to_string(m_download.QueueLinks().Count()) +
                       "  Failed " + std::to_string(m_download.FailedLinks().Count()) +
                       "  Ignored " + std::to_string(m_download.IgnoredLinks().Count()) +
                       "  Emails " + std::to_string(m_download.EmailLinks().Count());
    if (!m_current.empty()) line += "  " + m_current;
    const size_t width = static_cast<size_t>(TerminalWidth() - 1);
    if (line.size() > width) line.resize(width);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
  }

  TVornDownload& m_download;
  QTimer m_timer;
  std::string m_current;
};

}  // namespace

bool ParseHostPort(const std::string& text, std::string& host, int& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  host = text.substr(0, colon);
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const std::string digits = text.substr(colon + 1);
  if (host.empty() || digits.size() > 5) return false;
  port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535;
}

void ApplyCrawlArgs(const TCrawlArgs& args, TVornDownload& download, TVornOptions& options) {
  if (args.Threads) download.System().ThreadsCount = static_cast<uint8_t>(*args.Threads);
  if (args.Level) download.General().LevelLimit = *args.Level;
  if (args.Retries) download.System().RetriesOnFailed = static_cast<uint8_t>(*args.Retries);
  if (args.Timeout) download.System().ConnectionTimeout = *args.Timeout;
  if (args.Agent) {
    options.InternetConnection.AgentIdentify = static_cast<TVornAgentIdentifyType>(*args.Agent);
  }
  if (args.AgentString) {
    options.InternetConnection.AgentIdentify = EaitCustom;
    options.InternetConnection.CustomAgentIdentify = *args.AgentString;
  }
  if (args.Socks.Version != svNoSocks) {
    options.ProxyHTTP.Version = args.Socks.Version;
    options.ProxyHTTP.Address = args.Socks.Host;
    options.ProxyHTTP.Port = args.Socks.Port;
    if (args.User) options.ProxyHTTP.User = *args.User;  // a SOCKS 4 request's user id
  }
  if (args.User || args.Password) {
    TVornPasswords& passwords = download.Passwords();
    passwords.DefaultLogin.User = args.User.value_or("");
    passwords.DefaultLogin.Password = args.Password.value_or("");
    passwords.DefaultLogin.Enabled = true;
    passwords.NewPassAction = eaUseDefault;
  }
  download.SetDispatchInterval(args.DispatchIntervalMs);
  download.SetVornOptions(&options);
}

bool RunCrawl(TVornDownload& download) {
  bool stopped = false;
  TInterruptWatch interrupt([&] {
    stopped = true;
    download.StopDownload();
  });
  std::unique_ptr<TProgressLine> progress;
  if (::isatty(STDERR_FILENO)) progress = std::make_unique<TProgressLine>(download);

  download.OnStateChange() = [](void*, TVornState state) {
    if (state == edsReady) QCoreApplication::quit();
  };
  download.StartDownload();
  if (download.State() != edsReady) QCoreApplication::exec();
  download.OnStateChange() = nullptr;
  return !stopped;
}

}  // namespace tq::cli
