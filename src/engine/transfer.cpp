#include "engine/transfer.h"

#include <curl/curl.h>

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
