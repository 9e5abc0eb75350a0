// A page's parts: the analysis on its content thread, and how the page hands out priority,
// cancellation and its result.
#include "engine/page.h"

#include "engine/content.h"
#include "engine/ftp_connection.h"
#include "engine/http_connection.h"
#include "engine/worker_thread.h"
#include "foundation/ansi.h"

namespace tq {

bool TVornPageAnalyser::Analyses(std::string_view contentType) const {
  return AnsiUpperCase(contentType).find("TEXT/HTML") != std::string::npos ||
         (StyleLinks && IsStyleSheetType(contentType));
}

void TVornPageAnalyser::Start(std::shared_ptr<void> keepAlive, std::string raw) {
  m_cancelled = false;
  // Shared by the thread and its end handler; the document moves between them, never copied.
  struct TWork {
    std::string Raw;
    std::optional<std::string> Result;
  };
  auto work = std::make_shared<TWork>();
  work->Raw = std::move(raw);
  {
    std::lock_guard<std::mutex> guard(m_threadMutex);
    try {
      m_thread = TVornWorkerThread::Start(
          m_priority,
          [this, keepAlive, work](TVornWorkerThread&) {
            if (OnAnalysisStart) OnAnalysisStart();
            if (Analyse) work->Result = Analyse(*this, work->Raw);
            if (OnAnalysisEnd) OnAnalysisEnd();
          },
          [this, keepAlive, work] {
            bool failed = false;
            {
              std::lock_guard<std::mutex> guard2(m_threadMutex);
              failed = m_thread && !m_thread->Error().empty();
              m_thread.reset();
            }
            m_busy = false;
            FinishHere({std::move(work->Result), failed}, std::move(work->Raw));
          });
      m_busy = true;
      return;
    } catch (const std::exception&) {
      // No thread for the analysis: the page is kept as fetched, without links.
      Links.reset();
    }
  }
  if (OnFinished) OnFinished(false, std::move(work->Raw));
}

TVornPageAnalyser::TInlineResult TVornPageAnalyser::AnalyseHere(std::string& raw) {
  {
    std::lock_guard<std::mutex> guard(m_threadMutex);
    m_cancelled = false;
    m_inline = true;
  }
  TInlineResult result;
  try {
    if (OnAnalysisStart) OnAnalysisStart();
    if (Analyse) result.Document = Analyse(*this, raw);
    if (OnAnalysisEnd) OnAnalysisEnd();
  } catch (...) {
    result.Failed = true;
  }
  std::lock_guard<std::mutex> guard(m_threadMutex);
  m_inline = false;
  return result;
}

void TVornPageAnalyser::FinishHere(TInlineResult result, std::string raw) {
  const bool cancelled = m_cancelled.load();
  // A failed analysis keeps the page as fetched, without links, like a page the analyser cannot
  // read.
  if (result.Failed) Links.reset();
  const bool useDocument = result.Document && !cancelled && !result.Failed;
  if (OnFinished) OnFinished(cancelled, useDocument ? std::move(*result.Document) : std::move(raw));
}

void TVornPageAnalyser::Cancel() {
  std::lock_guard<std::mutex> guard(m_threadMutex);
  if (!m_thread && !m_inline) return;  // not started, or finished
  m_cancelled = true;
  if (m_thread) m_thread->Terminate();
}

void TVornPageAnalyser::SetPriority(TThreadPriority priority) {
  m_priority = priority;
  std::lock_guard<std::mutex> guard(m_threadMutex);
  if (m_thread) m_thread->SetPriority(priority);
}

TVornPage::TVornPage()
    : m_http(std::make_unique<TVornHTTPConnection>(*this)),
      m_ftp(std::make_unique<TVornFTPConnection>(*this)) {
  m_http->OnDone = [this](std::string content) {
    if (OnDone) OnDone(std::move(content));
  };
  m_ftp->OnDone = [this](std::string content) {
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
  m_ftp->SetPriority(priority);
  m_analyser.SetPriority(priority);
}

bool TVornPage::Busy() const {
  return m_http->Busy() || m_ftp->Busy() || m_analyser.Busy();
}

void TVornPage::CancelPage() {
  if (m_http->Busy()) {
    m_http->CancelTransfer();
    m_analyser.Cancel();  // the transfer's thread may be analysing already
  } else if (m_ftp->Busy()) {
    m_ftp->CancelTransfer();
  } else {
    m_analyser.Cancel();
  }
}

}  // namespace tq
