// The crawl on the event loop, its progress line and its Ctrl-C handling.
#include "cli/crawl_session.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include <QCoreApplication>
#include <QTimer>

#include "cli/interrupt_watch.h"
#include "cli/list_output.h"
#include "cli/text_escape.h"
#include "dialogs/configure_model.h"

namespace tq::cli {
namespace {

// Reads one line from the terminal without showing it.
std::string ReadPasswordFromTerminal(const std::string& prompt) {
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  termios saved{};
  const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (quiet) {
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
  }
  std::string line;
  std::getline(std::cin, line);
  if (quiet) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::fputs("\n", stderr);
  return line;
}

int TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// One line on the terminal, redrawn in place: the list counts and the latest transfer.
class TProgressLine {
 public:
  explicit TProgressLine(TVornDownload& download) : m_download(download) {
    m_download.OnStatus() = [this](const TVornPagePtr&, TVornConnectionStatus,
                                   const std::string& text, const TVornLinkPtr& link) {
      m_current = EscapeControls(text);
      if (link) {
        try {
          m_current = EscapeControls(link->GetUrl() + "  " + text);
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
                       "  Queue " + std::to_string(m_download.QueueLinks().Count()) + "  Failed " +
                       std::to_string(m_download.FailedLinks().Count()) + "  Ignored " +
                       std::to_string(m_download.IgnoredLinks().Count()) + "  Emails " +
                       std::to_string(m_download.EmailLinks().Count());
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

// The three proxy options of one kind of transfer; they exclude each other.
void AddSocksOptions(CLI::App& command, const std::string& prefix, const std::string& purpose,
                     std::string& socks4, std::string& socks4a, std::string& socks5) {
  auto* s4 =
      command.add_option(prefix + "socks4", socks4, "SOCKS 4 proxy" + purpose + " HOST:PORT");
  auto* s4a =
      command.add_option(prefix + "socks4a", socks4a, "SOCKS 4A proxy" + purpose + " HOST:PORT");
  auto* s5 =
      command.add_option(prefix + "socks5", socks5, "SOCKS 5 proxy" + purpose + " HOST:PORT");
  s4->excludes(s4a)->excludes(s5);
  s4a->excludes(s5);
}

}  // namespace

void TCrawlOptions::AddTo(CLI::App& command) {
  command.add_option("--threads", Args.Threads, "Transfers at once (1-99)")
      ->check(CLI::Range(1, 99));
  command.add_option("--level", Args.Level, "Deepest link level followed")
      ->check(CLI::Range(0, 1000000));
  command.add_option("--retries", Args.Retries, "Extra attempts after a failed one (0-255)")
      ->check(CLI::Range(0, 255));
  command.add_option("--timeout", Args.Timeout, "Read time-out in seconds (0: none)")
      ->check(CLI::Range(0, 86400));
  auto* agent = command.add_option("--agent", Args.Agent, "Browser identity number (0-11)")
                    ->check(CLI::Range(0, 11));
  command.add_option("--agent-string", Args.AgentString, "User-Agent text sent as typed")
      ->excludes(agent);
  AddSocksOptions(command, "--", "", Socks4, Socks4A, Socks5);
  command.add_option("--user", Args.User,
                     "User name for the starting address's server (sent to no other)");
  command.add_option("--password", Args.Password,
                     "Its password; else TARNQUILL_PASSWORD, else asked on a terminal");
  command.add_option("--socks-user", Args.SocksUser, "User id for a SOCKS 4 or 4A proxy");
  command
      .add_option("--dispatch-interval", Args.DispatchIntervalMs,
                  "Milliseconds between dispatch ticks, each filling every free worker (0: as soon "
                  "as a worker is free)")
      ->check(CLI::Range(0, 60000));
  AddSocksOptions(command, "--ftp-", " for FTP,", FtpSocks4, FtpSocks4A, FtpSocks5);
  command.add_flag("--ftp-passive", Args.FtpPassive,
                   "FTP data connections opened by this side (passive mode)");
  command
      .add_option("--max-rate", Args.MaxRate,
                  "At most N requests a second to one server (0: no limit)")
      ->check(CLI::Range(0, kMaxRateMax));
  command.add_flag("--robots", Args.Robots,
                   "Obey the servers' robots.txt: the links it refuses go to Ignored");
  command.add_flag("--no-requisites", Args.NoRequisites,
                   "Images, style sheets and scripts of pages obey the level limit and the "
                   "folder rules like other links");
  command
      .add_option("--modification-check", ModificationCheck,
                  "Pages already stored: fetched again only when modified (asked by their "
                  "validators), all fetched again, or only pages not stored yet fetched")
      ->check(CLI::IsMember({"only-modified", "all", "not-existing"}));
}

namespace {

// The one of the three proxy options given (they exclude each other) into arg; false (with a
// message) when it is not HOST:PORT.
bool ResolveSocks(const std::string& socks4, const std::string& socks4a, const std::string& socks5,
                  TSocksArg& arg) {
  const std::pair<const std::string*, TSocksVersion> choices[] = {
      {&socks4, svSocks4}, {&socks4a, svSocks4A}, {&socks5, svSocks5}};
  for (const auto& [text, version] : choices) {
    if (text->empty()) continue;
    if (!ParseHostPort(*text, arg.Host, arg.Port)) {
      std::fprintf(stderr, "tarnquill-cli: a SOCKS proxy is given as HOST:PORT, not \"%s\"\n",
                   text->c_str());
      return false;
    }
    arg.Version = version;
  }
  return true;
}

}  // namespace

bool TCrawlOptions::Resolve() {
  if (!ResolveSocks(Socks4, Socks4A, Socks5, Args.Socks) ||
      !ResolveSocks(FtpSocks4, FtpSocks4A, FtpSocks5, Args.FtpSocks)) {
    return false;
  }
  if (ModificationCheck == "only-modified") Args.ModificationCheck = fmcOnlyModified;
  if (ModificationCheck == "all") Args.ModificationCheck = fmcAll;
  if (ModificationCheck == "not-existing") Args.ModificationCheck = fmcNotExisting;
  if (Args.User && !Args.Password) {
    // Not on the command line, where every user of the machine can read it.
    if (const char* fromEnvironment = std::getenv("TARNQUILL_PASSWORD")) {
      Args.Password = fromEnvironment;
    } else if (::isatty(STDIN_FILENO)) {
      Args.Password = ReadPasswordFromTerminal("Password for " + *Args.User + ": ");
    }
  }
  return true;
}

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
  if (args.NoRequisites) download.General().PageRequisites = false;
  if (args.Retries) download.System().RetriesOnFailed = static_cast<uint8_t>(*args.Retries);
  if (args.Timeout) download.System().ConnectionTimeout = *args.Timeout;
  if (args.MaxRate) download.System().MaxRequestsPerSecond = *args.MaxRate;
  if (args.Robots) download.System().ObeyRobots = true;
  if (args.ModificationCheck) download.General().FileModificationCheck = *args.ModificationCheck;
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
  }
  if (args.SocksUser) options.ProxyHTTP.User = *args.SocksUser;
  // The login belongs to the starting address's server alone: the crawl sends it there with the
  // first request, and to no other server the rules admit.
  if (args.User || args.Password) {
    download.Passwords().SetServerLogin(download.General().BaseUrl, args.User.value_or(""),
                                        args.Password.value_or(""));
  }
  if (args.FtpSocks.Version != svNoSocks) {
    options.ProxyFTP.Version = args.FtpSocks.Version;
    options.ProxyFTP.Address = args.FtpSocks.Host;
    options.ProxyFTP.Port = args.FtpSocks.Port;
  }
  if (args.FtpPassive) options.ProxyFTP.PasvMode = true;
  download.SetDispatchInterval(args.DispatchIntervalMs);
  download.SetVornOptions(&options);
}

bool RunCrawl(TVornDownload& download, int* stopSignal, bool update) {
  bool stopped = false;
  // A service manager's TERM and a closed terminal's HUP stop the crawl as Ctrl-C does, so
  // that what was fetched is still saved.
  TInterruptWatch interrupt(
      [&] {
        stopped = true;
        download.StopDownload();
      },
      {SIGINT, SIGTERM, SIGHUP});
  std::unique_ptr<TProgressLine> progress;
  if (::isatty(STDERR_FILENO)) progress = std::make_unique<TProgressLine>(download);

  download.OnStateChange() = [](void*, TVornState state) {
    if (state == edsReady) QCoreApplication::quit();
  };
  if (update) {
    download.StartUpdate();
  } else {
    download.StartDownload();
  }
  if (download.State() != edsReady) QCoreApplication::exec();
  download.OnStateChange() = nullptr;
  if (stopSignal != nullptr) *stopSignal = interrupt.LastSignal();
  if (!download.StorageFailure().empty()) {
    std::cerr << "tarnquill-cli: the crawl stopped: cannot write to the working folder: "
              << download.StorageFailure() << '\n';
    return false;
  }
  return !stopped;
}

}  // namespace tq::cli
