// TVornTransferAttempt: the state one attempt of an HTTP or FTP transfer shares with the
// library's callbacks: the block-by-block body held to the size bounds, progress paced for the
// interface, cancelling and the read time-out, and the connection reports. Each transfer's own
// attempt derives from it (Derived) and adds what its protocol says before the body.
//
// Threads: the transfer's worker thread only; Connection's hooks are called from there.
#pragma once

#include <curl/curl.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "engine/connection_status.h"
#include "engine/transfer.h"
#include "engine/transfer_limits.h"
#include "engine/worker_thread.h"

namespace tq {

template <class Connection, class Derived>
struct TVornTransferAttempt {
  using Clock = std::chrono::steady_clock;
  // Progress goes out at most this often, and once after the last block with its values: often
  // enough for a person watching, rarely enough that a crawl of small pages makes about one
  // report per page.
  static constexpr auto kProgressInterval = std::chrono::milliseconds(100);

  Connection* Self = nullptr;
  TVornWorkerThread* Thread = nullptr;
  CURL* Curl = nullptr;
  TVornCallbackGuard Guard;
  std::string Host;              // as written in the address, with any port
  std::string TransferringText;  // reported with the body's progress
  int64_t Expected = 0;
  int64_t Limit = kMaxContentBytes;  // the most bytes the body may reach
  TVornSizeVerdict Verdict;
  bool TimedOut = false;
  Clock::time_point Start;
  Clock::time_point LastActivity;
  Clock::time_point LastProgress;
  bool ProgressOwed = false;
  double OwedBytes = 0;
  int64_t OwedElapsedMs = 0;

  // Starts the attempt of self on thread with its client, reporting the name look-up of host.
  void Begin(Connection& self, TVornWorkerThread& thread, std::string host) {
    Self = &self;
    Thread = &thread;
    Curl = static_cast<CURL*>(self.m_curl);
    Host = std::move(host);
    TransferringText = kStatusTransferringPrefix + Host;
    Start = LastActivity = Clock::now();
    Report(ecsResolving, StatusTextResolving(Host));
  }

  // Points the library's callbacks at this attempt, with the receive buffer and the SOCKS proxy.
  void Install(const TVornSocksSettings& socks) {
    void* self = static_cast<Derived*>(this);
    // The library's own default is 16 KB; a typical page then arrives in one or two reads.
    curl_easy_setopt(Curl, CURLOPT_BUFFERSIZE, 64L * 1024);
    curl_easy_setopt(Curl, CURLOPT_UPLOAD_BUFFERSIZE, 32768L);
    const std::string proxy = SocksProxyUrl(socks);
    // SOCKS 4 carries the user name as its user id; SOCKS 5 is offered no authentication.
    const std::string proxyUser = socks.Version == svSocks4 || socks.Version == svSocks4A
                                      ? socks.UserName.substr(0, 255)
                                      : "";
    curl_easy_setopt(Curl, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(Curl, CURLOPT_PROXYUSERNAME, proxyUser.empty() ? nullptr : proxyUser.c_str());
    curl_easy_setopt(Curl, CURLOPT_SOCKS5_AUTH, static_cast<long>(CURLAUTH_NONE));
    curl_easy_setopt(Curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(Curl, CURLOPT_HEADERDATA, self);
    curl_easy_setopt(Curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(Curl, CURLOPT_WRITEDATA, self);
    curl_easy_setopt(Curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(Curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(Curl, CURLOPT_XFERINFODATA, self);
    curl_easy_setopt(Curl, CURLOPT_OPENSOCKETFUNCTION, &OnOpenSocket);
    curl_easy_setopt(Curl, CURLOPT_OPENSOCKETDATA, self);
    curl_easy_setopt(Curl, CURLOPT_PREREQFUNCTION, &OnConnected);
    curl_easy_setopt(Curl, CURLOPT_PREREQDATA, self);
  }

  void Report(TVornConnectionStatus status, const std::string& text) const {
    if (Self->OnStatus) Self->OnStatus(status, text);
  }
  bool Stopping() const { return Self->m_cancelled.load() || Thread->Terminated(); }

  // Refuses the body at size bytes: what was received goes, the refusal page stands for it.
  void Refuse(double size) {
    Self->m_refusalPage = RefuseBySize(Self->m_page, size, Self->m_address, Verdict.Reason);
    Self->m_refused = true;
    std::string().swap(Self->m_content);
  }

  // One block of the body; false refuses it: a body without a length, or longer than it said, is
  // held to the bounds as it grows.
  bool Append(const char* data, size_t length) {
    LastActivity = Clock::now();
    std::string& content = Self->m_content;
    if (static_cast<int64_t>(content.size() + length) > Limit) {
      Refuse(static_cast<double>(content.size() + length));
      return false;
    }
    content.append(data, length);
    ProgressOwed = true;
    OwedBytes = static_cast<double>(content.size());
    OwedElapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(LastActivity - Start).count();
    if (LastProgress == Clock::time_point() || LastActivity - LastProgress >= kProgressInterval) {
      LastProgress = LastActivity;
      ReportProgress();
    }
    return true;
  }

  void ReportProgress() {
    if (!ProgressOwed) return;
    ProgressOwed = false;
    // The figures go first: progress events do not wake the interface thread, the status after
    // them does. In the other order a batch could leave with the status alone, and the figures
    // of a transfer that then goes quiet would wait for its next event.
    if (Self->OnWork) {
      Self->OnWork(wmRead, TVornConnectionInfo::Numbers(static_cast<double>(Expected), OwedBytes,
                                                        OwedElapsedMs));
    }
    Report(ecsTransferring, TransferringText);
  }

  int Progress() {
    if (Stopping()) return 1;
    const int timeout = Self->ReadTimeoutSeconds;
    if (timeout > 0 && Clock::now() - LastActivity > std::chrono::seconds(timeout)) {
      TimedOut = true;
      return 1;
    }
    return 0;
  }

  // The library's callbacks. An error must not unwind through the library: the guard keeps it
  // for the attempt and the callback's return value aborts the transfer.
  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* a = static_cast<Derived*>(user);
    return a->Guard.Run(size_t{0}, [&] { return a->Header(data, size * count); });
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* a = static_cast<Derived*>(user);
    return a->Guard.Run(size_t{0}, [&] { return a->Body(data, size * count); });
  }

  // Called often, also while nothing arrives: where cancelling and the read time-out act.
  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* a = static_cast<Derived*>(user);
    return a->Guard.Run(1, [&] { return a->Progress(); });
  }

  static curl_socket_t OnOpenSocket(void* user, curlsocktype, struct curl_sockaddr* address) {
    auto* a = static_cast<Derived*>(user);
    return a->Guard.Run(CURL_SOCKET_BAD, [&] {
      a->Connecting();
      return socket(address->family, address->socktype, address->protocol);
    });
  }

  static int OnConnected(void* user, char*, char*, int, int) {
    auto* a = static_cast<Derived*>(user);
    return a->Guard.Run(int{CURL_PREREQFUNC_ABORT}, [&] {
      a->LastActivity = Clock::now();
      a->Report(ecsConnected, kStatusConnected);
      return int{CURL_PREREQFUNC_OK};
    });
  }
};

}  // namespace tq
