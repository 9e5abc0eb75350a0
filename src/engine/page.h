// TVornPage: the bundle of work for one link being fetched (its HTTP and FTP transfers and its
// analyser), and the outcome that decides which list the link goes to afterwards. Created and
// finished on the interface thread; the worker threads of one page write its Outcome and the
// link's size and type before handing the page back, and the hand-over through the interface
// thread orders those writes before any reader.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "engine/connection_status.h"
#include "engine/link.h"

namespace tq {

class TVornFTPConnection;
class TVornHTTPConnection;
class TVornLevelLinks;
class TVornWorkerThread;

// TVornPage::Outcome values.
inline constexpr uint8_t kOutcomeNone = 0;     // nothing yet
inline constexpr uint8_t kOutcomeFetched = 1;  // the content is the document (or its analysed copy)
inline constexpr uint8_t kOutcomeRefused = 2;  // refused by the size bounds: a "Page Ignored" page
inline constexpr uint8_t kOutcomeRedirected = 3;  // the content is the generated "Redirected" page
inline constexpr uint8_t kOutcomeCancelled = 4;
inline constexpr uint8_t kOutcomeFailed = 5;       // after the last retry
inline constexpr uint8_t kOutcomeNotModified = 6;  // a 304: the stored copy is still current

// Runs the analysis of a fetched HTML document on a content thread of its own. Analyse turns the
// raw bytes into the stored document (serialised with every other analysis in the process by the
// analyser's own lock), or gives nothing to keep them as they are; it may look at Cancelled to
// give up early, and may move raw away while it works but leaves it holding the raw bytes.
class TVornPageAnalyser {
 public:
  using AnalyseHook =
      std::function<std::optional<std::string>(TVornPageAnalyser& analyser, std::string& raw)>;
  AnalyseHook Analyse;
  std::function<void()> OnAnalysisStart;  // on the content thread, before the analysis
  std::function<void()> OnAnalysisEnd;    // on the content thread, after it
  // On the interface thread: the document, or the raw bytes when the analysis was cancelled or
  // failed (an error, or no thread to run it on; Links is then empty).
  std::function<void(bool cancelled, std::string content)> OnFinished;

  int32_t Level = 0;    // level of the links the analysis finds
  std::string BaseUrl;  // the address the document was fetched from
  // Links named by style sheets and srcset are looked for: style sheets are analysed as well.
  bool StyleLinks = false;
  // The links the last analysis found, left here by Analyse; shared so that the events carrying
  // them keep them after the page is gone.
  std::shared_ptr<TVornLevelLinks> Links;

  // Whether a document of this content type (as the server sent it) is analysed: HTML, and
  // style sheets with StyleLinks.
  bool Analyses(std::string_view contentType) const;
  // Interface thread. Starts the analysis of raw; keeps keepAlive alive until it has finished.
  // Without a thread to run it on, OnFinished runs at once with raw.
  void Start(std::shared_ptr<void> keepAlive, std::string raw);
  // The same analysis on a worker thread the page already has (its transfer's), which spares a
  // hand-over to the interface thread and on to another thread; Cancel reaches it as well.
  // Returns what the interface thread then passes to FinishHere with raw (Start's end does too).
  struct TInlineResult {
    std::optional<std::string> Document;
    bool Failed = false;
  };
  TInlineResult AnalyseHere(std::string& raw);
  void FinishHere(TInlineResult result, std::string raw);
  void Cancel();  // any thread; does nothing once finished
  bool Busy() const { return m_busy.load(); }
  bool Cancelled() const { return m_cancelled.load(); }
  void SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const { return m_priority; }

 private:
  std::atomic<bool> m_busy{false};
  std::atomic<bool> m_cancelled{false};
  TThreadPriority m_priority = tpNormal;
  std::mutex m_threadMutex;
  std::shared_ptr<TVornWorkerThread> m_thread;
  bool m_inline = false;  // under m_threadMutex: AnalyseHere is running
};

class TVornPage : public std::enable_shared_from_this<TVornPage> {
 public:
  TVornPage();
  ~TVornPage();
  TVornPage(const TVornPage&) = delete;
  TVornPage& operator=(const TVornPage&) = delete;

  std::string Url;    // the page address
  int32_t Level = 0;  // the page's depth level
  TVornLinkPtr Link;  // the In Progress link being worked on; shared with WorkingLinks
  uint8_t Outcome = kOutcomeNone;

  TVornHTTPConnection& Http() { return *m_http; }
  TVornFTPConnection& Ftp() { return *m_ftp; }
  TVornPageAnalyser& Analyser() { return m_analyser; }

  // Interface thread, the result of the page: the fetched, analysed or generated content.
  std::function<void(std::string content)> OnDone;

  // Only while no part is busy: takes the link, its level and address.
  void AssignLink(TVornLinkPtr link);
  TThreadPriority Priority() const { return m_priority; }
  void SetPriority(TThreadPriority priority);
  // Cancels whichever part is busy; a finished part is left alone.
  void CancelPage();
  bool Busy() const;

 private:
  std::unique_ptr<TVornHTTPConnection> m_http;
  std::unique_ptr<TVornFTPConnection> m_ftp;
  TVornPageAnalyser m_analyser;
  TThreadPriority m_priority = tpNormal;
};

using TVornPagePtr = std::shared_ptr<TVornPage>;

}  // namespace tq
