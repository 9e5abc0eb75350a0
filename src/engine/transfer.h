// TVornTransfer: what the HTTP and FTP transfers of a page have in common: the settings and hooks
// the thread manager wires, the transfer's own connection thread with its priority and cancel,
// and the state of the body being received. Each protocol's connection derives from it.
//
// Settings and hooks are set on the interface thread before StartTransfer. Status, work, size
// check and authorisation hooks run on the transfer's thread; the error and done hooks on the
// interface thread. CancelTransfer may come from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/connection_status.h"
#include "engine/link.h"
#include "engine/transfer_limits.h"
#include "engine/worker_thread.h"
#include "options/internet_connection.h"  // TSocksVersion

namespace tq {

// Credentials for an address whose server refused the login (may prompt the user), given what
// the server asked for (its authentication request lines, e.g. the scheme and realm); false
// when nothing was found.
using TAuthorizationHook =
    std::function<bool(const std::string& address, const std::vector<std::string>& challenge,
                       std::string& user, std::string& password)>;

class TVornPage;

// Why an address holding a control byte was not fetched.
inline constexpr std::string_view kControlByteError = "The address holds a control character";

struct TVornSocksSettings {
  TSocksVersion Version = svNoSocks;
  std::string Host;  // a name, an IPv4 address or an IPv6 address (bracketed or not)
  int Port = 1080;
  std::string UserName;  // a SOCKS 4/4A user id only; never offered for authentication
  std::string Password;  // never sent
};

// The proxy address the network library takes for these settings; empty for svNoSocks.
std::string SocksProxyUrl(const TVornSocksSettings& socks);

class TVornTransfer {
 public:
  TVornTransfer(const TVornTransfer&) = delete;
  TVornTransfer& operator=(const TVornTransfer&) = delete;

  int ReadTimeoutSeconds = 0;  // 0: no time-out
  std::string UserName, Password;
  int Retries = 0;
  TVornSocksSettings Socks;
  int TestOnlyRetryPauseMs = 2000;

  std::function<void(TVornConnectionStatus, const std::string&)> OnStatus;
  std::function<void(TWorkMode, const TVornConnectionInfo&)> OnWork;
  // What the size bounds say once the size is announced (0 when it is not). Unset: any size up
  // to kMaxContentBytes.
  std::function<TVornSizeVerdict(const TVornLinkPtr& link, double size)> OnSizeCheck;
  std::function<void(const std::string& error)> OnError;
  std::function<void(std::string content)> OnDone;
  // On the transfer's thread before a fetched document is handed on; may wait for storage.
  std::function<void()> WaitForStorage;
  // Credentials for the address after the server refused the login (may prompt); false leaves
  // the login as it is.
  TAuthorizationHook OnAuthorization;
  // On the transfer's thread before every attempt after the first, with the address; may wait
  // (for a rate limit), ending early once the thread is terminated.
  std::function<void(const std::string& address, TVornWorkerThread& thread)> BeforeRetry;

  void SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const { return m_priority; }

  void CancelTransfer();
  bool Busy() const { return m_busy.load(); }
  bool Cancelled() const { return m_cancelled.load(); }
  bool Failed() const { return m_failed; }
  const std::string& ErrorText() const { return m_errorText; }
  int Attempts() const { return m_attempts.load(); }

 protected:
  explicit TVornTransfer(TVornPage& page);
  ~TVornTransfer() = default;

  // A library client for the attempts of one transfer, and how it goes back.
  using TClient = std::unique_ptr<void, void (*)(void*)>;
  // What a kind of transfer puts into the attempt loop.
  struct TAttempts {
    std::function<TClient()> Acquire;
    // One attempt with the client in m_curl (never null there) and m_content emptied; false,
    // with the error set, when it failed.
    std::function<bool(TVornWorkerThread& thread, std::string& error)> Run;
    // Whether to stop without another attempt, beyond a cancel or a refusal; may be unset.
    std::function<bool()> Stopped;
    // The pause before a retry that the last attempt asked for; may be unset (see
    // TVornAttemptLoop::NextPauseMs).
    std::function<int()> PauseMs;
    // On the transfer's thread after an attempt succeeded and nothing stopped it.
    std::function<void()> Fetched;
    // On the interface thread once the thread has ended.
    std::function<void()> Ended;
  };
  // Interface thread. Runs the attempts on a thread of their own around one client. Busy only
  // once the thread exists: a transfer that never started has nothing to cancel or wait for.
  // Throws std::system_error, and stays idle, when no thread can be had.
  void StartAttempts(TAttempts attempts);

  TVornPage& m_page;
  void* m_curl = nullptr;  // the library client, held only while the transfer's thread runs
  std::string m_content;
  std::atomic<bool> m_busy{false};
  std::atomic<bool> m_cancelled{false};
  std::atomic<bool> m_refused{false};
  bool m_failed = false;
  std::string m_errorText;
  std::string m_refusalPage;
  std::string m_address;
  std::atomic<int> m_attempts{0};
  TThreadPriority m_priority = tpNormal;
  std::mutex m_threadMutex;
  std::shared_ptr<TVornWorkerThread> m_thread;
};

}  // namespace tq
