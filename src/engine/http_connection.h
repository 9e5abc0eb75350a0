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
#include <string_view>
#include <vector>

#include "engine/connection_status.h"
#include "engine/link.h"
#include "engine/page.h"
#include "engine/transfer.h"
#include "engine/transfer_limits.h"
#include "engine/worker_thread.h"

namespace tq {

template <class Connection, class Derived>
struct TVornTransferAttempt;

class TVornPage;

// The stored "Redirected" page: the stored-document header naming target, then the message. A
// browser that opens it goes on to the target at once, as it would have followed the redirect,
// unless the target is the page itself (pageAddress; the copy would reload it for ever) or a
// local file.
std::string MakeRedirectPage(const std::string& target, std::string_view pageAddress = {});
// The address made safe to stand inside HTML text or a double-quoted attribute.
std::string EscapeAddressForHtml(const std::string& address);
// The fields of one answer's head that a transfer acts on, read a line at a time as they come.
struct TResponseHead {
  enum TLine : uint8_t { hlStatus, hlField, hlEnd };

  std::string StatusLine;
  std::string Location;
  std::string ContentType;
  std::vector<std::string> Challenges;  // what a 401 asks for (scheme, realm), shown at a prompt
  int64_t ContentLength = 0;            // 0 for none, garbage or a negative value
  int RetryAfterMs = -1;                // how long Retry-After asks to wait; -1: not given
  std::string ETag, LastModified;       // the validators, as the server wrote them

  // One line, with or without its line end. A status line starts the head anew (an interim
  // answer came before it); an empty line ends it.
  TLine Read(std::string_view line);
};

// The address a Location names, cleaned as a link value found on a page is.
std::string CleanRedirectTarget(std::string_view location);

// Transfers hand their library client back when they end, and the next transfer to the same
// server reuses its open connection; this closes the clients no transfer holds.
void CloseIdleHttpConnections();

class TVornHTTPConnection : public TVornTransfer {
 public:
  explicit TVornHTTPConnection(TVornPage& page);
  ~TVornHTTPConnection();

  std::string UserAgent;
  bool VerifyCertificates = true;
  std::string CaFile;  // empty: the system store
  // The stored copy's validators: set, the request is conditional and a 304 ends the transfer
  // with kOutcomeNotModified and no content.
  std::string IfNoneMatch, IfModifiedSince;

  std::function<void(const std::string& location)> OnRedirect;

  // Interface thread; see StartAttempts.
  void StartTransfer();

  struct Attempt;  // the state of one request, seen by the library's callbacks
  template <class, class>
  friend struct TVornTransferAttempt;

 private:
  bool RunAttempt(TVornWorkerThread& thread, std::string& error);
  void Redirect(const std::string& location);
  void EndHandler();
  // On the transfer's thread, after a document arrived whole.
  void Fetched();

  std::string m_contentType;
  std::atomic<bool> m_redirected{false};
  std::atomic<bool> m_notModified{false};
  std::string m_etag, m_lastModified;  // of the answer that brought the content
  // The last answer was a status another attempt would only repeat (a 404, say): no retry.
  std::atomic<bool> m_definitive{false};
  // How long the server asked to be left alone before the next attempt; -1: the usual pause.
  std::atomic<int> m_retryAfterMs{-1};
  // Set on the transfer's thread when it analysed the document itself.
  std::optional<TVornPageAnalyser::TInlineResult> m_analysis;
};

}  // namespace tq
