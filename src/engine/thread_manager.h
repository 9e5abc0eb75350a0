// TThreadManager: makes the pages of a crawl, wires their parts to the controller's worker
// hooks, counts the live ones and cancels them all when the crawl stops.
//
// NewPage and the error and done hooks take the process-wide manager lock, which guards only the
// page lists (and the controller's handling inside those two hooks). Status, work, size-check,
// redirect and authorisation hooks run on the transfer threads without it. CancelAll runs on the
// controller's stop thread (or on the interface thread, which it then keeps running).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/connection_status.h"
#include "engine/http_connection.h"
#include "engine/page.h"

namespace tq {

// Shared by the thread managers of every open project.
std::recursive_mutex& ThreadManagerLock();

class TThreadManager {
 public:
  TThreadManager() = default;
  // Cancels and waits for pages still alive: their hooks point here.
  ~TThreadManager();
  TThreadManager(const TThreadManager&) = delete;
  TThreadManager& operator=(const TThreadManager&) = delete;

  // The crawl settings a new page takes (the controller keeps them current).
  int RetriesOnFailed = 0;
  int ConnectionTimeout = 0;  // seconds; 0: none
  TThreadPriority ThreadsPriority = tpNormal;
  int TestOnlyRetryPauseMs = 2000;
  // The credential lookup that may prompt; false when nothing was found.
  TAuthorizationHook Credentials;
  // On a transfer's thread before a retry; may wait.
  std::function<void(const std::string& address, TVornWorkerThread& thread)> BeforeRetry;

  // The controller's worker hooks.
  std::function<void(const TVornPagePtr&, const std::string& location)> OnPageRedirect;
  std::function<void(const TVornPagePtr&, TVornConnectionStatus, const std::string&)> OnPageStatus;
  std::function<void(const TVornPagePtr&, TWorkMode, const TVornConnectionInfo&)> OnPageWork;
  std::function<void(const TVornPagePtr&, const std::string& error)> OnPageError;
  std::function<void(const TVornPagePtr&)> OnAnalysisStart;
  std::function<void(const TVornPagePtr&)> OnAnalysisEnd;
  std::function<TVornSizeVerdict(const TVornLinkPtr&, double size)> OnSizeCheck;
  // On a worker thread before it hands a fetched document on; may wait for the storage.
  std::function<void()> WaitForStorage;
  std::function<void(const TVornPagePtr&, std::string content)> OnPageDone;
  // After a page has left the manager (its slot is free), on the thread that ended it.
  std::function<void()> OnPageGone;

  TVornPagePtr NewPage();
  int PageCount() const { return m_count.load(); }
  void CancelAll();

 private:
  template <class Transfer, class With>
  void WireTransfer(Transfer& transfer, const With& with);
  void Remove(const TVornPage* page);

  std::vector<TVornPagePtr> m_pages;
  std::atomic<int> m_count{0};
};

}  // namespace tq
