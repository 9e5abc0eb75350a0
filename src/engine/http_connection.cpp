// One HTTP(S) transfer on libcurl: the attempts on the connection thread, the library's
// callbacks, and the end handler on the interface thread.
#include "engine/http_connection.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "engine/content.h"
#include "engine/page.h"
#include "engine/transfer_attempt.h"
#include "foundation/ansi.h"

namespace tq {

namespace {

using Clock = std::chrono::steady_clock;

// Library handles outlive their transfers: a handle keeps its open connections, so the next
// transfer to the same server skips the connect, and a crawl does not pay a handle's set-up
// (and its wake-up socket pair) once per page. A handle serves one transfer at a time and
// carries nothing of it into the next: every attempt sets all the options it relies on, and the
// cookies are erased on return. (No curl_easy_reset: it leaks the library's list of cookie
// files, and the cookie store must stay on.)
class TClientPool {
 public:
  static TClientPool& Instance() {
    static auto* pool = new TClientPool();  // never destroyed: transfers may end during exit
    return *pool;
  }

  CURL* Acquire() {
    CURL* curl = nullptr;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      if (!m_idle.empty()) {
        curl = m_idle.back();
        m_idle.pop_back();
      }
    }
    if (!curl) {
      curl = curl_easy_init();
      // The transfer's own cookie store: on from the start, empty, kept across attempts.
      if (curl) curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
    }
    return curl;
  }

  void Release(CURL* curl) {
    if (!curl) return;
    curl_easy_setopt(curl, CURLOPT_COOKIELIST, "ALL");
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      if (m_idle.size() < kMaxIdle) {
        m_idle.push_back(curl);
        return;
      }
    }
    curl_easy_cleanup(curl);
  }

  void CloseIdle() {
    std::vector<CURL*> idle;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      idle.swap(m_idle);
    }
    for (CURL* curl : idle) curl_easy_cleanup(curl);
  }

 private:
  static constexpr std::size_t kMaxIdle = 16;
  std::mutex m_mutex;
  std::vector<CURL*> m_idle;
};

// A Content-Length as a byte count; garbage and negative values count as none, values beyond
// 64 bits as the largest.
int64_t ParseLength(const std::string& value) {
  errno = 0;
  char* end = nullptr;
  const long long n = std::strtoll(value.c_str(), &end, 10);
  if (end == value.c_str() || n < 0) return 0;
  return errno == ERANGE ? INT64_MAX : static_cast<int64_t>(n);
}

// Statuses that may turn out otherwise a moment later: the server was busy, overloaded, or
// between deployments. Any other status is the server's answer and is not asked again.
bool MayPassOnRetry(long code) {
  switch (code) {
    case 408:
    case 429:
    case 500:
    case 502:
    case 503:
    case 504:
      return true;
    default:
      return false;
  }
}

// The longest Retry-After waited for: a worker waits through it, so a server asking for more is
// taken at its word that the page is not to be had now.
constexpr int kMaxRetryAfterSeconds = 120;

// A Retry-After value (seconds, or an HTTP date) as milliseconds from now; -1 when unreadable.
int ParseRetryAfterMs(const std::string& value) {
  if (value.empty()) return -1;
  if (value.find_first_not_of("0123456789") == std::string::npos) {
    const long seconds = value.size() > 9 ? LONG_MAX : std::stol(value);
    return seconds > kMaxRetryAfterSeconds ? INT32_MAX : static_cast<int>(seconds) * 1000;
  }
  const time_t when = curl_getdate(value.c_str(), nullptr);
  if (when < 0) return -1;
  const time_t now = std::time(nullptr);
  if (when <= now) return 0;
  return when - now > kMaxRetryAfterSeconds ? INT32_MAX : static_cast<int>(when - now) * 1000;
}

std::string HostOf(const std::string& address) {
  std::string host;
  CURLU* url = curl_url();
  char* part = nullptr;
  if (curl_url_set(url, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK &&
      curl_url_get(url, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
    host = part;
  }
  curl_free(part);
  curl_url_cleanup(url);
  return host;
}

}  // namespace

// A Location is a link value like any found on a page and is cleaned the same way: blanks and
// control bytes around it go, and no line break inside it reaches the lists or the stored header.
std::string CleanRedirectTarget(std::string_view location) {
  while (!location.empty() && static_cast<unsigned char>(location.front()) <= ' ')
    location.remove_prefix(1);
  while (!location.empty() && static_cast<unsigned char>(location.back()) <= ' ')
    location.remove_suffix(1);
  return TVornContent::CleanLinkValue(location);
}

TResponseHead::TLine TResponseHead::Read(std::string_view data) {
  while (!data.empty() && (data.back() == '\r' || data.back() == '\n')) data.remove_suffix(1);
  if (data.starts_with("HTTP/")) {
    *this = TResponseHead();
    StatusLine = data;
    return hlStatus;
  }
  if (data.empty()) return hlEnd;
  const size_t colon = data.find(':');
  if (colon == std::string_view::npos) return hlField;
  const std::string_view name = data.substr(0, colon);
  std::string value(data.substr(colon + 1));
  value.erase(0, value.find_first_not_of(" \t"));
  if (AnsiSameText(name, "Location")) {
    Location = value;
  } else if (AnsiSameText(name, "Content-Type")) {
    ContentType = value;
  } else if (AnsiSameText(name, "Content-Length")) {
    ContentLength = ParseLength(value);
  } else if (AnsiSameText(name, "WWW-Authenticate")) {
    Challenges.push_back(std::move(value));
  } else if (AnsiSameText(name, "ETag")) {
    value.erase(value.find_last_not_of(" \t") + 1);
    ETag = std::move(value);
  } else if (AnsiSameText(name, "Last-Modified")) {
    value.erase(value.find_last_not_of(" \t") + 1);
    LastModified = std::move(value);
  } else if (AnsiSameText(name, "Retry-After")) {
    value.erase(value.find_last_not_of(" \t") + 1);
    RetryAfterMs = ParseRetryAfterMs(value);
  }
  return hlField;
}

struct TVornHTTPConnection::Attempt : TVornTransferAttempt<TVornHTTPConnection, Attempt> {
  TResponseHead Head;
  bool HttpError = false;
  bool MayRetry = false;  // an error status worth another attempt

  // The headers of one answer are complete; false stops the transfer before any body byte.
  bool HeadersDone() {
    long code = 0;
    curl_easy_getinfo(Curl, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 100 && code < 200) return true;  // an interim answer; the real one follows
    if (code == 304 && !(Self->IfNoneMatch.empty() && Self->IfModifiedSince.empty())) {
      Self->m_notModified = true;
      return true;  // no body follows, and the connection stays open for the next request
    }
    if (code >= 300 && code < 400 && !Head.Location.empty()) {
      Self->Redirect(Head.Location);
      return false;
    }
    if (code >= 400) {
      HttpError = true;
      MayRetry = MayPassOnRetry(code);
      if (code == 401 && Self->OnAuthorization) {
        std::string user, password;
        // The next attempt carries what the lookup found; this one fails with the status line.
        // The same login again would only be refused again.
        if (Self->OnAuthorization(Self->m_address, Head.Challenges, user, password) &&
            (user != Self->UserName || password != Self->Password)) {
          Self->UserName = user;
          Self->Password = password;
          MayRetry = true;
        }
      }
      if (MayRetry && Head.RetryAfterMs > kMaxRetryAfterSeconds * 1000) MayRetry = false;
      return false;
    }
    TVornPage& page = Self->m_page;
    if (page.Link) page.Link->SetSize(Head.ContentLength);
    Verdict = Self->OnSizeCheck
                  ? Self->OnSizeCheck(page.Link, static_cast<double>(Head.ContentLength))
                  : TVornSizeVerdict{};
    Limit = BodyLimit(Verdict);
    if (!Verdict.Allowed || Head.ContentLength > Limit) {
      Refuse(static_cast<double>(Head.ContentLength));
      return false;
    }
    Self->m_contentType = Head.ContentType;
    Self->m_etag = Head.ETag;
    Self->m_lastModified = Head.LastModified;
    Expected = Head.ContentLength;
    // Room for the announced body at once, within reason: the announcement is the server's word.
    Self->m_content.reserve(
        static_cast<std::size_t>(std::min<int64_t>(Head.ContentLength, 16 << 20)));
    return true;
  }

  size_t Header(char* data, size_t length) {
    LastActivity = Clock::now();
    if (Head.Read(std::string_view(data, length)) == TResponseHead::hlEnd) {
      return HeadersDone() ? length : 0;
    }
    return length;
  }

  size_t Body(const char* data, size_t length) {
    if (Self->m_notModified) return length;  // a 304 has no body: whatever came is dropped
    if (Stopping() || Self->m_refused || Self->m_redirected) return 0;
    return Append(data, length) ? length : 0;
  }

  void Connecting() const { Report(ecsConnecting, StatusTextConnecting(Host)); }
};

TVornHTTPConnection::TVornHTTPConnection(TVornPage& page) : TVornTransfer(page) {}

TVornHTTPConnection::~TVornHTTPConnection() = default;

void CloseIdleHttpConnections() {
  TClientPool::Instance().CloseIdle();
}

void TVornHTTPConnection::Redirect(const std::string& location) {
  const std::string clean = CleanRedirectTarget(location);
  // A local file is never a link of the crawl, as a file: link on a page is not.
  const bool local = AnsiStartsText("file:", clean);
  if (OnRedirect && !local) OnRedirect(clean);
  TVornLink target;
  target.SetPage(m_address);
  target.SetText(clean);
  m_content = MakeRedirectPage(local ? clean : target.GetUrl(), m_address);
  m_page.Outcome = kOutcomeRedirected;
  m_redirected = true;
  if (m_page.Link) m_page.Link->SetSizeAndType(static_cast<int64_t>(m_content.size()), "TEXT/HTML");
}

void TVornHTTPConnection::StartTransfer() {
  m_analysis.reset();
  m_notModified = false;
  StartAttempts({
      // The client goes back to the pool, keeping its connections for the next transfer.
      .Acquire =
          [] {
            return TClient(TClientPool::Instance().Acquire(),
                           [](void* client) { TClientPool::Instance().Release(client); });
          },
      .Run = [this](TVornWorkerThread& thread,
                    std::string& error) { return RunAttempt(thread, error); },
      .Stopped = [this] { return m_redirected.load() || m_definitive.load(); },
      .PauseMs = [this] { return m_retryAfterMs.load(); },
      .Fetched = [this] { Fetched(); },
      .Ended = [this] { EndHandler(); },
  });
}

bool TVornHTTPConnection::RunAttempt(TVornWorkerThread& thread, std::string& error) {
  CURL* curl = static_cast<CURL*>(m_curl);
  m_definitive = false;
  m_retryAfterMs = -1;
  Attempt a;
  a.Begin(*this, thread, HostOf(m_address));

  char errorBuffer[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, m_address.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  // HTTP/1.1 only, also over TLS: status lines (error texts) read "HTTP/1.1 404 Not Found", and
  // HTTP/2 would give them no reason phrase.
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent.c_str());
  curl_slist* headers = curl_slist_append(nullptr, "Accept: text/html, */*");
  // A validator holding a line break would add a header of its own: such a one is not sent.
  const auto sendable = [](const std::string& value) {
    return !value.empty() && value.find_first_of("\r\n") == std::string::npos;
  };
  if (sendable(IfNoneMatch))
    headers = curl_slist_append(headers, ("If-None-Match: " + IfNoneMatch).c_str());
  if (sendable(IfModifiedSince))
    headers = curl_slist_append(headers, ("If-Modified-Since: " + IfModifiedSince).c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
  if (!UserName.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, UserName.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, Password.c_str());
  } else {
    curl_easy_setopt(curl, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(curl, CURLOPT_PASSWORD, nullptr);
  }
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   ReadTimeoutSeconds > 0 ? ReadTimeoutSeconds * 1000L : 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, VerifyCertificates ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, VerifyCertificates ? 2L : 0L);
  curl_easy_setopt(curl, CURLOPT_CAINFO, CaFile.empty() ? nullptr : CaFile.c_str());
  a.Install(Socks);

  const CURLcode rc = curl_easy_perform(curl);
  a.ReportProgress();
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  curl_slist_free_all(headers);

  bool ok = false;
  if (a.Guard.Failed()) {
    error = a.Guard.Error();
  } else if (m_notModified) {
    a.Report(ecsTransferComplete, kStatusTransferComplete);
    ok = true;
  } else if (m_refused) {
    ok = true;  // the body was stopped on purpose
  } else if (m_redirected || a.HttpError) {
    error = a.Head.StatusLine;
    m_definitive = a.HttpError && !a.MayRetry;
    if (a.MayRetry) m_retryAfterMs = a.Head.RetryAfterMs;
  } else if (m_cancelled || thread.Terminated()) {
    error = "Cancelled";
  } else if (a.TimedOut) {
    error = "Read Timeout";
  } else if (rc == CURLE_PARTIAL_FILE ||
             (rc == CURLE_OK && static_cast<int64_t>(m_content.size()) < a.Expected)) {
    error = "Transfer failed";
  } else if (rc != CURLE_OK) {
    error = errorBuffer[0] != 0 ? std::string(errorBuffer) : curl_easy_strerror(rc);
  } else {
    a.Report(ecsTransferComplete, kStatusTransferComplete);
    ok = true;
  }
  a.Report(ecsDisconnecting, kStatusDisconnecting);
  a.Report(ecsDisconnected, kStatusDisconnected);
  return ok;
}

void TVornHTTPConnection::Fetched() {
  if (m_notModified) return;
  if (m_page.Link) {
    m_page.Link->SetSizeAndType(static_cast<int64_t>(m_content.size()), m_contentType);
    m_page.Link->SetValidators(m_etag, m_lastModified);
  }
  TVornPageAnalyser& analyser = m_page.Analyser();
  if (analyser.Analyses(m_contentType)) m_analysis = analyser.AnalyseHere(m_content);
  if (WaitForStorage) WaitForStorage();
}

void TVornHTTPConnection::EndHandler() {
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
  if (m_failed && !m_redirected && !m_cancelled) {
    if (OnStatus) OnStatus(ecsError, kStatusErrorPrefix + m_errorText);
    page.Outcome = kOutcomeFailed;
    if (OnError) OnError(m_errorText);
    return;
  }
  // The content is handed on, never copied: it may be as large as a document gets.
  if (m_cancelled) {
    page.Outcome = kOutcomeCancelled;
    if (OnDone) OnDone(std::move(m_content));
    return;
  }
  if (m_notModified) {
    page.Outcome = kOutcomeNotModified;
    if (OnDone) OnDone(std::string());
    return;
  }
  if (m_redirected) {
    page.Outcome = kOutcomeRedirected;
    if (OnDone) OnDone(std::move(m_content));
    return;
  }
  if (m_refused) {
    if (OnDone) OnDone(std::move(m_refusalPage));
    return;
  }
  page.Outcome = kOutcomeFetched;
  if (m_analysis) {
    TVornPageAnalyser::TInlineResult analysis = std::move(*m_analysis);
    m_analysis.reset();
    page.Analyser().FinishHere(std::move(analysis), std::move(m_content));
  } else if (OnDone) {
    OnDone(std::move(m_content));
  }
}

}  // namespace tq
