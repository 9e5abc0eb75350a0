// A page's parts: the analysis on its content thread, and how the page hands out priority,
// cancellation and its result.
#include "engine/page.h"

#include "engine/connection_thread.h"
#include "engine/content.h"
#include "engine/http_connection.h"
#include "foundation/ansi.h"

namespace tq {

std::mutex& PageAnalysisLock() {
  static std::mutex lock;
  return lock;
}

bool TVornPageAnalyser::Analyses(std::string_view contentType) const {
  return AnsiUpperCase(contentType).find("TEXT/HTML") != std::string::npos ||
         (StyleLinks && IsStyleSheetType(contentType));
}

void TVornPageAnalyser::Start(std::shared_ptr<void> keepAlive, std::string raw) {
  m_cancelled = false;
  m_busy = true;
  auto result = std::make_shared<std::string>();
  auto rawShared = std::make_shared<std::string>(std::move(raw));
  std::lock_guard<std::mutex> guard(m_threadMutex);
  m_thread = TVornWorkerThread::Start(
      m_priority,
      [this, keepAlive, result, rawShared](TVornWorkerThread&) {
        std::lock_guard<std::mutex> analysis(PageAnalysisLock());
        if (OnAnalysisStart) OnAnalysisStart();
        *result = Analyse ? Analyse(*this, *rawShared) : *rawShared;
        if (OnAnalysisEnd) OnAnalysisEnd();
      },
      [this, keepAlive, result, rawShared] {
        {
          std::lock_guard<std::mutex> guard2(m_threadMutex);
          m_thread.reset();
        }
        m_busy = false;
        const bool cancelled = m_cancelled.load();
        if (OnFinished)
          OnFinished(cancelled, cancelled ? std::move(*rawShared) : std::move(*result));
      });
}

void TVornPageAnalyser::Cancel() {
  if (!m_busy) return;
  m_cancelled = true;
  std::lock_guard<std::mutex> guard(m_threadMutex);
  if (m_thread) m_thread->Terminate();
}

void TVornPageAnalyser::SetPriority(TThreadPriority priority) {
  m_priority = priority;
  std::lock_guard<std::mutex> guard(m_threadMutex);
  if (m_thread) m_thread->SetPriority(priority);
}

TVornPage::TVornPage() : m_http(std::make_unique<TVornHTTPConnection>(*this)) {
  m_http->OnDone = [this](std::string content) {
    if (OnDone) OnDone(std::move(content));
  };
  m_analyser.OnFinished = [this](bool cancelled, std::string content) {
    if (cancelled) Outcome = kOutcomeCancelled;
    if (OnDone) OnDone(std::move(content));
  };
}

TVornPage::~TVornPage() = default;

void TVornPage::AssignLink(TVornLinkPtr link) {
  if (Busy() || !link) return;
  Link = std::move(link);
  Level = Link->Level;
  m_analyser.Level = Level + 1;
  Url = Link->GetUrl();
  m_analyser.BaseUrl = Url;
}

void TVornPage::SetPriority(TThreadPriority priority) {
  m_priority = priority;
  m_http->SetPriority(priority);
  if (FtpSetPriority) FtpSetPriority(priority);
  m_analyser.SetPriority(priority);
}

bool TVornPage::Busy() const {
  return m_http->Busy() || (FtpBusy && FtpBusy()) || m_analyser.Busy();
}

void TVornPage::CancelPage() {
  if (m_http->Busy()) {
    m_http->CancelTransfer();
  } else if (FtpBusy && FtpBusy()) {
    if (FtpCancel) FtpCancel();
  } else {
    m_analyser.Cancel();
  }
}

}  // namespace tq
