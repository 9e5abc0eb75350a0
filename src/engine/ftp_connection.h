// TVornFTPConnection: fetches the file of one ftp: link for its page, on a connection thread of
// its own, with retries, a size check once the server announces the size and before any data
// arrives, a credential lookup after a refused anonymous login, and optional SOCKS 4/4A/5. The
// file is retrieved in binary mode into memory and handed on unanalysed as "Binary FTP". Built on
// a libcurl easy handle per transfer that may speak FTP only and never lists a folder or uploads.
//
// Settings and hooks are set on the interface thread before StartTransfer. Status, work, size
// check and authorisation hooks run on the transfer's thread; the error and done hooks on the
// interface thread. CancelTransfer may come from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/connection_status.h"
#include "engine/link.h"
#include "engine/transfer.h"
#include "engine/transfer_limits.h"
#include "engine/worker_thread.h"

namespace tq {

template <class Connection, class Derived>
struct TVornTransferAttempt;

class TVornPage;

// The address the network library is given for an ftp: address: the server as written (any
// port kept) and the path after it, relative to the login folder, without query or fragment, with
// the bytes an address may not hold escaped. A folder (a path ending in "/", or none) is named
// without the "/", or as "." for the login folder: the library would list it otherwise.
std::string FtpRequestUrl(const std::string& address);

// The code of a final reply line of the control connection ("226 Transfer complete."), or 0 for
// any other line (one of a multi-line reply, or garbage).
int FtpReplyCode(std::string_view line);
// The size an opening reply gives ("150 ... (1234 bytes)"), or -1 when it gives none.
int64_t FtpReplySize(std::string_view reply);

class TVornFTPConnection : public TVornTransfer {
 public:
  explicit TVornFTPConnection(TVornPage& page);
  ~TVornFTPConnection();

  // An empty UserName logs in anonymously.
  bool Passive = false;  // the client opens the data connection; else the server does

  // Interface thread; see StartAttempts.
  void StartTransfer();

  struct Attempt;  // the state of one retrieval, seen by the library's callbacks
  template <class, class>
  friend struct TVornTransferAttempt;

 private:
  bool RunAttempt(TVornWorkerThread& thread, std::string& error);
  void EndHandler();
};

}  // namespace tq
