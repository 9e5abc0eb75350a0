// Making, wiring, counting and cancelling the pages of a crawl.
#include "engine/thread_manager.h"

#include <algorithm>

#include "engine/ftp_connection.h"
#include "foundation/main_loop.h"

namespace tq {

std::recursive_mutex& ThreadManagerLock() {
  static std::recursive_mutex lock;
  return lock;
}

TThreadManager::~TThreadManager() {
  if (m_count.load() > 0) CancelAll();
}

// Both kinds of transfer report to the same hooks and take the same settings.
template <class Transfer, class With>
void TThreadManager::WireTransfer(Transfer& transfer, const With& with) {
  transfer.OnStatus = [this, with](TVornConnectionStatus status, const std::string& text) {
    with([&](const TVornPagePtr& p) {
      if (OnPageStatus) OnPageStatus(p, status, text);
    });
  };
  transfer.OnWork = [this, with](TWorkMode mode, const TVornConnectionInfo& info) {
    with([&](const TVornPagePtr& p) {
      if (OnPageWork) OnPageWork(p, mode, info);
    });
  };
  transfer.OnSizeCheck = [this](const TVornLinkPtr& link, double size) {
    return OnSizeCheck ? OnSizeCheck(link, size) : TVornSizeVerdict{};
  };
  transfer.OnError = [this, with](const std::string& error) {
    with([&](const TVornPagePtr& p) {
      std::lock_guard<std::recursive_mutex> lock(ThreadManagerLock());
      if (OnPageError) OnPageError(p, error);
      Remove(p.get());
      if (OnPageGone) OnPageGone();
    });
  };
  transfer.OnAuthorization = [this](const std::string& address,
                                    const std::vector<std::string>& challenge, std::string& user,
                                    std::string& password) {
    return Credentials ? Credentials(address, challenge, user, password) : false;
  };
  // A fetched document waits on its transfer's thread while the project file's queue is full.
  transfer.WaitForStorage = [this] {
    if (WaitForStorage) WaitForStorage();
  };
  transfer.BeforeRetry = [this](const std::string& address, TVornWorkerThread& thread) {
    if (BeforeRetry) BeforeRetry(address, thread);
  };
  transfer.ReadTimeoutSeconds = ConnectionTimeout;
  transfer.Retries = RetriesOnFailed;
  transfer.TestOnlyRetryPauseMs = TestOnlyRetryPauseMs;
}

TVornPagePtr TThreadManager::NewPage() {
  std::lock_guard<std::recursive_mutex> guard(ThreadManagerLock());
  auto page = std::make_shared<TVornPage>();
  std::weak_ptr<TVornPage> weak = page;
  // The hooks reach the page through a weak reference: the page owns them.
  auto with = [weak](auto&& fn) {
    if (auto p = weak.lock()) fn(p);
  };
  WireTransfer(page->Http(), with);
  WireTransfer(page->Ftp(), with);
  page->Http().OnRedirect = [this, with](const std::string& location) {
    with([&](const TVornPagePtr& p) {
      if (OnPageRedirect) OnPageRedirect(p, location);
    });
  };
  page->Analyser().OnAnalysisStart = [this, with] {
    with([&](const TVornPagePtr& p) {
      if (OnAnalysisStart) OnAnalysisStart(p);
    });
  };
  page->Analyser().OnAnalysisEnd = [this, with] {
    with([&](const TVornPagePtr& p) {
      if (OnAnalysisEnd) OnAnalysisEnd(p);
    });
  };
  page->OnDone = [this, with](std::string content) {
    with([&](const TVornPagePtr& p) {
      std::lock_guard<std::recursive_mutex> lock(ThreadManagerLock());
      if (OnPageDone) OnPageDone(p, std::move(content));
      Remove(p.get());
      if (OnPageGone) OnPageGone();
    });
  };
  page->SetPriority(ThreadsPriority);
  m_pages.push_back(page);
  m_count = static_cast<int>(m_pages.size());
  return page;
}

void TThreadManager::Remove(const TVornPage* page) {
  auto it = std::find_if(m_pages.begin(), m_pages.end(),
                         [&](const TVornPagePtr& p) { return p.get() == page; });
  if (it != m_pages.end()) m_pages.erase(it);
  m_count = static_cast<int>(m_pages.size());
}

void TThreadManager::CancelAll() {
  std::vector<TVornPagePtr> copy;
  {
    std::lock_guard<std::recursive_mutex> guard(ThreadManagerLock());
    copy = m_pages;
  }
  // The copy keeps every page valid, also one that ends before its turn here.
  for (const auto& page : copy) page->CancelPage();
  copy.clear();
  ProcessEventsUntil([this] { return m_count.load() == 0; });
}

}  // namespace tq
