#include "engine/transfer.h"

#include <curl/curl.h>

#include "engine/page.h"
#include "foundation/canonical_url.h"

namespace tq {

std::string SocksProxyUrl(const TVornSocksSettings& socks) {
  if (socks.Version == svNoSocks) return {};
  const char* scheme = socks.Version == svSocks4    ? "socks4://"
                       : socks.Version == svSocks4A ? "socks4a://"
                                                    : "socks5h://";
  // An IPv6 address keeps (or gets) its brackets, or its colons would read as the port's.
  const bool bare6 = socks.Host.find(':') != std::string::npos && socks.Host.front() != '[';
  const std::string host = bare6 ? "[" + socks.Host + "]" : socks.Host;
  return scheme + host + ":" + std::to_string(socks.Port);
}

TVornTransfer::TVornTransfer(TVornPage& page) : m_page(page) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void TVornTransfer::StartAttempts(TAttempts attempts) {
  m_cancelled = false;
  m_refused = false;
  m_address = m_page.Link ? m_page.Link->GetUrl() : m_page.Url;
  std::lock_guard<std::mutex> guard(m_threadMutex);
  if (m_thread) return;
  std::shared_ptr<TVornPage> keep = m_page.weak_from_this().lock();
  auto shared = std::make_shared<TAttempts>(std::move(attempts));
  m_thread = TVornWorkerThread::Start(
      m_priority,
      [this, keep, shared](TVornWorkerThread& thread) {
        const TAttempts& how = *shared;
        // The client goes back when the attempts end, however they end.
        TClient client = how.Acquire();
        m_curl = client.get();
        const auto stopped = [&] {
          return m_cancelled.load() || m_refused.load() || (how.Stopped && how.Stopped());
        };
        // The network library reads an address up to its first NUL: such an address would
        // fetch another document than the one admitted. Links are canonical and hold none;
        // this is the last door, whatever made the address, and no attempt is worth repeating.
        if (HasControlByte(m_address)) {
          m_curl = nullptr;
          m_failed = true;
          m_errorText = kControlByteError;
          return;
        }
        TVornAttemptLoop loop;
        loop.Retries = Retries;
        loop.RetryPauseMs = TestOnlyRetryPauseMs;
        loop.Report = OnStatus;
        loop.NextPauseMs = how.PauseMs;
        std::string error;
        const auto attempt = [&](std::string& attemptError) {
          if (++m_attempts > 1 && BeforeRetry) BeforeRetry(m_address, thread);
          if (!m_curl) {
            attemptError = "Out of memory";
            return false;
          }
          m_content.clear();
          return how.Run(thread, attemptError);
        };
        const bool ok = loop.Run(thread, attempt, stopped, error);
        m_curl = nullptr;
        m_failed = !ok;
        m_errorText = error;
        if (ok && !stopped()) how.Fetched();
      },
      [keep, shared] { shared->Ended(); });
  m_busy = true;
}

void TVornTransfer::SetPriority(TThreadPriority priority) {
  m_priority = priority;
  std::lock_guard<std::mutex> guard(m_threadMutex);
  if (m_thread) m_thread->SetPriority(priority);
}

void TVornTransfer::CancelTransfer() {
  std::lock_guard<std::mutex> guard(m_threadMutex);
  if (!m_thread) return;  // not started, or its end handler has run: nothing to cancel
  m_cancelled = true;
  m_thread->Terminate();
}

}  // namespace tq
