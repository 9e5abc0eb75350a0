// TVornHTTPConnection: fetches one link over HTTP or HTTPS for its page, on a connection thread
// of its own, with retries, a size check before the body, redirects turned into a generated page
// and a new link, and optional SOCKS 4/4A/5. Built on one libcurl easy handle per transfer, whose
// cookie store lives as long as the transfer.
//
// Settings and hooks are set on the interface thread before StartTransfer. Status, work, size
// check, redirect and authorisation hooks run on the transfer's thread; an error they raise fails
// the attempt with its text. The error and done hooks (and the analyser start) run on the
// interface thread. CancelTransfer may come from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/connection_status.h"
#include "engine/connection_thread.h"
#include "engine/link.h"
#include "engine/page.h"
#include "engine/transfer_limits.h"
#include "options/internet_connection.h"  // TSocksVersion

namespace tq {

template <class Connection, class Derived>
struct TVornTransferAttempt;

class TVornPage;

struct TVornSocksSettings {
  TSocksVersion Version = svNoSocks;
  std::string Host;  // a name, an IPv4 address or an IPv6 address (bracketed or not)
  int Port = 1080;
  std::string UserName;  // a SOCKS 4/4A user id only; never offered for authentication
  std::string Password;  // never sent
};

// The proxy address the network library takes for these settings; empty for svNoSocks.
std::string SocksProxyUrl(const TVornSocksSettings& socks);

// The stored "Redirected" page: the stored-document header naming target, then the message.
std::string MakeRedirectPage(const std::string& target);
// The address made safe to stand inside HTML text or a double-quoted attribute.
std::string EscapeAddressForHtml(const std::string& address);
// Transfers hand their library client back when they end, and the next transfer to the same
// server reuses its open connection; this closes the clients no transfer holds.
void CloseIdleHttpConnections();

class TVornHTTPConnection {
 public:
  explicit TVornHTTPConnection(TVornPage& page);
  ~TVornHTTPConnection();
  TVornHTTPConnection(const TVornHTTPConnection&) = delete;
  TVornHTTPConnection& operator=(const TVornHTTPConnection&) = delete;

  std::string UserAgent;
  int ReadTimeoutSeconds = 0;  // 0: no time-out
  std::string UserName, Password;
  int Retries = 0;
  TVornSocksSettings Socks;
  bool VerifyCertificates = true;
  std::string CaFile;  // empty: the system store
  int TestOnlyRetryPauseMs = 2000;

  std::function<void(TVornConnectionStatus, const std::string&)> OnStatus;
  std::function<void(TWorkMode, const TVornConnectionInfo&)> OnWork;
  // What the size bounds say once the size is announced (0 when it is not). Unset: any size up
  // to kMaxContentBytes.
  std::function<TVornSizeVerdict(const TVornLinkPtr& link, double size)> OnSizeCheck;
  std::function<void(const std::string& location)> OnRedirect;
  std::function<void(const std::string& error)> OnError;
  std::function<void(std::string content)> OnDone;
  // On the transfer's thread before a fetched document is handed on; may wait for storage.
  std::function<void()> WaitForStorage;
  // Credentials for the address after a 401 (may prompt); false leaves the request's as they are.
  std::function<bool(const std::string& address, std::string& user, std::string& password)>
      OnAuthorization;

  void SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const { return m_priority; }

  // Interface thread. Throws std::system_error, and stays idle, when no thread can be had.
  void StartTransfer();
  void CancelTransfer();
  bool Busy() const { return m_busy.load(); }
  bool Cancelled() const { return m_cancelled.load(); }
  bool Failed() const { return m_failed; }
  const std::string& ErrorText() const { return m_errorText; }
  int Attempts() const { return m_attempts.load(); }

  struct Attempt;  // the state of one request, seen by the library's callbacks
  template <class, class>
  friend struct TVornTransferAttempt;

 private:
  bool RunAttempt(TVornWorkerThread& thread, std::string& error);
  void Redirect(const std::string& location);
  void EndHandler();
  // On the transfer's thread, after a document arrived whole.
  void Fetched();

  TVornPage& m_page;
  void* m_curl = nullptr;  // the library client, held only while the transfer's thread runs
  std::string m_content;
  std::string m_contentType;
  std::atomic<bool> m_busy{false};
  std::atomic<bool> m_cancelled{false};
  std::atomic<bool> m_refused{false};
  std::atomic<bool> m_redirected{false};
  bool m_failed = false;
  // Set on the transfer's thread when it analysed the document itself.
  std::optional<TVornPageAnalyser::TInlineResult> m_analysis;
  std::string m_errorText;
  std::string m_refusalPage;
  std::string m_address;
  std::atomic<int> m_attempts{0};
  TThreadPriority m_priority = tpNormal;
  std::mutex m_threadMutex;
  std::shared_ptr<TVornWorkerThread> m_thread;
};

}  // namespace tq
