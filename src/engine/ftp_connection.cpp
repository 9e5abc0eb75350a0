// One FTP retrieval on libcurl: the attempts on the connection thread, the library's callbacks
// (server replies, data, progress), and the end handler on the interface thread.
#include "engine/ftp_connection.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <new>

#include "engine/page.h"
#include "engine/transfer_attempt.h"
#include "engine/transfer_limits.h"
#include "foundation/url.h"

namespace tq {

namespace {

using Clock = std::chrono::steady_clock;

// The content type of every document fetched over FTP, whatever the file holds.
constexpr const char* kFtpContentTypeText = "Binary FTP";

// The path as the library's address parser takes it: bytes it would refuse or read as the start
// of a query or fragment are escaped, escapes already in the address stay as they are.
std::string EscapeForUrl(const std::string& path) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F ||
        std::string_view("\"#<>?\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::string FtpRequestUrl(const std::string& address) {
  std::string path = ExtractUrlDir(address) + ExtractUrlFileName(address);
  while (!path.empty() && path.back() == '/') path.pop_back();
  if (path.empty()) path = ".";
  return ExtractUrlServer(address) + "/" + EscapeForUrl(path);
}

int FtpReplyCode(std::string_view line) {
  const auto digit = [&](size_t i) { return line[i] >= '0' && line[i] <= '9'; };
  if (line.size() < 4 || !digit(0) || !digit(1) || !digit(2) || line[3] != ' ') return 0;
  return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

// Some servers do not answer SIZE but name the size when the data connection opens:
// "150 Opening BINARY mode data connection for a.zip (1234 bytes)".
int64_t FtpReplySize(std::string_view reply) {
  const size_t bytes = reply.rfind(" bytes)");
  if (bytes == std::string_view::npos) return -1;
  const size_t open = reply.rfind('(', bytes);
  if (open == std::string_view::npos || open + 1 == bytes) return -1;
  int64_t size = 0;
  for (size_t i = open + 1; i < bytes; ++i) {
    if (reply[i] < '0' || reply[i] > '9') return -1;
    if (size < INT64_MAX / 10) size = size * 10 + (reply[i] - '0');  // beyond: too big anyway
  }
  return size;
}

struct TVornFTPConnection::Attempt : TVornTransferAttempt<TVornFTPConnection, Attempt> {
  int LastCode = 0;  // of the server's last complete reply
  std::string LastReply;
  bool SizeChecked = false;
  bool ConnectingReported = false;

  // The size is known once the data connection opens (from SIZE, or from the opening reply);
  // false refuses the file before any of it is read.
  bool SizeAnnounced(int64_t announced) {
    SizeChecked = true;
    const int64_t size = std::max<int64_t>(announced, 0);
    TVornPage& page = Self->m_page;
    if (page.Link) page.Link->SetSize(size);
    Verdict = Self->OnSizeCheck ? Self->OnSizeCheck(page.Link, static_cast<double>(size))
                                : TVornSizeVerdict{};
    Limit = BodyLimit(Verdict);
    if (!Verdict.Allowed || size > Limit) {
      Refuse(static_cast<double>(size));
      return false;
    }
    Expected = size;
    // The whole file at once: growing by doubling would hold up to twice its size meanwhile.
    // The size is the server's word, but memory reserved and never written costs no pages.
    try {
      Self->m_content.reserve(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      // It grows as the data comes instead.
    }
    return true;
  }

  // Every reply line of the control connection passes here (the library calls them headers).
  size_t Header(const char* data, size_t length) {
    LastActivity = Clock::now();
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    const int code = FtpReplyCode(line);
    if (code == 0) return length;  // a line of a multi-line reply
    // The answer to the QUIT that closes every attempt, failed ones too, says nothing of it.
    if (code == 221) return length;
    LastCode = code;
    LastReply = line;
    if ((code == 150 || code == 125) && !SizeChecked) {
      curl_off_t announced = -1;
      curl_easy_getinfo(Curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
      if (announced < 0) announced = FtpReplySize(line);
      if (!SizeAnnounced(announced)) return 0;
    }
    return length;
  }

  size_t Body(const char* data, size_t length) {
    if (Stopping() || Self->m_refused) return 0;
    // Data without an opening reply seen: the size is not known, so the check sees 0.
    if (!SizeChecked && !SizeAnnounced(0)) return 0;
    return Append(data, length) ? length : 0;
  }

  // The data connection opens a socket of its own; the status speaks of the server's.
  void Connecting() {
    if (!ConnectingReported) Report(ecsConnecting, StatusTextConnecting(Host));
    ConnectingReported = true;
  }
};

TVornFTPConnection::TVornFTPConnection(TVornPage& page) : TVornTransfer(page) {}

TVornFTPConnection::~TVornFTPConnection() = default;

void TVornFTPConnection::StartTransfer() {
  StartAttempts({
      // Every attempt connects afresh and leaves nothing open, so the handle is the transfer's
      // own and goes with it.
      .Acquire = [] { return TClient(curl_easy_init(), curl_easy_cleanup); },
      .Run = [this](TVornWorkerThread& thread,
                    std::string& error) { return RunAttempt(thread, error); },
      .Stopped = {},
      .PauseMs = {},
      .Fetched =
          [this] {
            if (WaitForStorage) WaitForStorage();
          },
      .Ended = [this] { EndHandler(); },
  });
}

bool TVornFTPConnection::RunAttempt(TVornWorkerThread& thread, std::string& error) {
  CURL* curl = static_cast<CURL*>(m_curl);
  const std::string server = ExtractUrlServer(m_address);
  Attempt a;
  a.Begin(*this, thread, server.substr(std::min<size_t>(server.size(), 6)));  // after "ftp://"
  // The login lines are commands of their own on the control connection.
  if (HasLineBreak(UserName) || HasLineBreak(Password)) {
    error = "Invalid user name or password";
    return false;
  }

  const std::string url = FtpRequestUrl(m_address);

  char errorBuffer[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  // The path goes to the server as written, relative to the login folder, in one RETR.
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 0L);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);
  curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE, curl_off_t{0});
  // Credentials come from the project, never from the address.
  curl_easy_setopt(curl, CURLOPT_DISALLOW_USERNAME_IN_URL, 1L);
  curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
  // Passive: the client connects to the server for the data; active: "-" offers the address
  // the control connection uses.
  curl_easy_setopt(curl, CURLOPT_FTPPORT, Passive ? nullptr : "-");
  curl_easy_setopt(curl, CURLOPT_USERNAME, UserName.empty() ? nullptr : UserName.c_str());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, UserName.empty() ? nullptr : Password.c_str());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   ReadTimeoutSeconds > 0 ? ReadTimeoutSeconds * 1000L : 0L);
  a.Install(Socks);

  const CURLcode rc = curl_easy_perform(curl);
  a.ReportProgress();
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);

  bool ok = false;
  if (a.Guard.Failed()) {
    error = a.Guard.Error();
  } else if (m_refused) {
    ok = true;  // the data was stopped on purpose
  } else if (m_cancelled || thread.Terminated()) {
    error = "Cancelled";
  } else if (a.TimedOut) {
    error = "Read Timeout";
  } else if (rc != CURLE_OK) {
    // A refused anonymous login: the next attempt logs in with what the project knows.
    if (a.LastCode == 530 && UserName.empty()) {
      a.Report(ecsAuthorizing, kStatusAuthorizing);
      std::string user, password;
      if (OnAuthorization && OnAuthorization(m_address, {}, user, password)) {
        UserName = user;
        Password = password;
      }
    }
    // The server's own words where it refused something; the library's for everything else.
    // In active mode the library notes a harmless address-printing failure as its first error,
    // which would hide the real one.
    const std::string libraryText = errorBuffer;
    if (a.LastCode >= 400) {
      error = a.LastReply;
    } else if (!libraryText.empty() && libraryText.rfind("sa_addr inet_ntop()", 0) != 0) {
      error = libraryText;
    } else {
      error = curl_easy_strerror(rc);
    }
  } else {
    a.Report(ecsTransferComplete, kStatusTransferComplete);
    ok = true;
  }
  a.Report(ecsDisconnecting, kStatusDisconnecting);
  a.Report(ecsDisconnected, kStatusDisconnected);
  return ok;
}

void TVornFTPConnection::EndHandler() {
  {
    std::lock_guard<std::mutex> guard(m_threadMutex);
    // An error that escaped the attempts ends the transfer as failed, with its text.
    if (m_thread && !m_thread->Error().empty()) {
      m_failed = true;
      m_errorText = m_thread->Error();
    }
    m_thread.reset();
  }
  m_busy = false;
  TVornPage& page = m_page;
  if (m_failed && !m_cancelled) {
    if (OnStatus) OnStatus(ecsError, kStatusErrorPrefix + m_errorText);
    page.Outcome = kOutcomeFailed;
    if (OnError) OnError(m_errorText);
    return;
  }
  if (m_cancelled) {
    page.Outcome = kOutcomeCancelled;
    if (OnDone) OnDone(std::move(m_content));
    return;
  }
  // No analysis follows, whatever the file holds; the analyser only learns where it was.
  page.Analyser().BaseUrl = m_address;
  if (m_refused) {
    // The refusal set the link's size and type and the page's outcome already.
    if (OnDone) OnDone(std::move(m_refusalPage));
    return;
  }
  if (page.Link)
    page.Link->SetSizeAndType(static_cast<int64_t>(m_content.size()), kFtpContentTypeText);
  page.Outcome = kOutcomeFetched;
  if (OnDone) OnDone(std::move(m_content));
}

}  // namespace tq
