// TVornContent: the link analyser of one fetched HTML page. It numbers every link of the page,
// writes the stored copy (link header, then the page with each link value replaced by its
// placeholder, in the stored code page) and hands the links found, all of the page level + 1, to
// its analysis-end hook for admission, each marked with what the page needs it for (its
// Requisite role: images, style sheets, scripts, fonts, frames, objects). With StyleLinks it also
// finds the links that style sheets and srcset candidates name, and analyses style sheets (CSS
// documents) for their links, which it stores unchanged.
//
// Thread rules: an analyser belongs to one worker thread; only Cancel may be called from another
// thread. Analyses of all pages in the process are serialised by one process-wide lock, the
// analysis lock (defined in content.cpp, see AnalysisLockHeld): it is held from the first byte
// decoded until the stored copy is complete, and nothing waits for another thread while holding
// it. The analysis-end hook runs after the lock is released, on the analysing thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/html_elements.h"

namespace tq {

class THtmlStartTag;

// Whether a document of this content type (as the server sent it) is a style sheet.
bool IsStyleSheetType(std::string_view contentType);

enum class TVornAnalysisStatus {
  easNone,       // nothing analysed yet
  easDone,       // Output() is the stored copy, Links() the links found
  easCancelled,  // Cancel() came first: no output, no links
  easFailed,     // an error ended it: Output() is the copy as far as written, without header;
                 // no links are handed over
};

class TVornContent : public TVornHTMLElements {
 public:
  using TAnalysisEndEvent =
      std::function<void(TVornContent& sender, const std::shared_ptr<TVornLevelLinks>& links)>;

  // pageUrl: the page's absolute address; pageLevel: the page's depth (its links get one more).
  TVornContent(std::string pageUrl, int32_t pageLevel);

  // Analyses a fetched page (bytes as received, contentType as the server sent it, for its
  // charset) under the analysis lock, blocking while another page is being analysed. On success
  // calls OnAnalysisEnd with the links found. Errors of the analysis do not escape: they give
  // easFailed with ErrorText() set; an error raised by OnAnalysisEnd reaches the caller. The input
  // is kept so that SetBaseUrl can analyse it again.
  TVornAnalysisStatus Analyze(std::string_view bytes, std::string_view contentType);
  // The same for bytes the analyser takes over instead of copying; TakeInput hands them back.
  TVornAnalysisStatus AnalyzeOwned(std::string bytes, std::string_view contentType) {
    m_input = std::move(bytes);
    return Analyze(m_input, contentType);
  }
  std::string TakeInput() { return std::move(m_input); }

  // Changes the page address; a page already analysed is analysed again against it.
  void SetBaseUrl(std::string pageUrl);

  // Any thread: makes the running or next analysis stop at its next tag and produce nothing.
  // An analyser once cancelled stays cancelled.
  void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

  TVornAnalysisStatus Status() const { return m_status; }
  const std::string& ErrorText() const { return m_errorText; }
  // The stored copy of the last analysis (see TVornAnalysisStatus).
  const std::string& Output() const { return m_output; }
  std::string TakeOutput() { return std::move(m_output); }

  // Links of style sheets (a CSS document, style elements, style attributes) and of srcset
  // candidates are looked for too; srcset candidates get placeholders, style sheet text stays as
  // it is. Set before Analyze.
  bool StyleLinks = false;
  // Called after a successful analysis, outside the analysis lock.
  TAnalysisEndEvent OnAnalysisEnd;
  // Tests only: called on the analysing thread as soon as it holds the analysis lock, before
  // the page is read (a Cancel from here stops the analysis at its first tag).
  std::function<void(TVornContent& sender)> TestOnlyOnLockHeld;

  // True while some thread holds the analysis lock (a snapshot; for tests and assertions).
  static bool AnalysisLockHeld();

  // The value a link attribute is registered with: tab, CR and LF dropped (browsers ignore them,
  // and a line break would split the link header and the content index), and every byte of a
  // non-ASCII character percent-encoded, so addresses stay 8-bit text whatever the page's
  // charset was.
  static std::string CleanLinkValue(std::string_view value);
  // The absolute address a style sheet reference (a url() value or an @import string, as
  // FindCssReferences reads it) of the document at documentUrl leads to: the address the crawl
  // fetches for it, fragment dropped. "" when it names nothing the crawl fetches (data:, about:
  // and the like). Exports map a sheet's references by it.
  static std::string StyleLinkAddress(std::string_view reference, std::string_view documentUrl);

 private:
  class TCancelledError {};

  void TreatStartTag(THtmlStartTag& tag);
  void TreatLinkValue(THtmlStartTag& tag, std::string_view attribute, TVornPublishedTagsKind kind);
  void TreatEventAttributes(THtmlStartTag& tag, TVornPublishedTagsKind kind);
  std::string ScanScript(std::string_view script, TVornPublishedTagsKind kind);
  void TreatSrcset(THtmlStartTag& tag);
  void RegisterStyleLinks(std::string_view css);
  // RegisterLink for an address named by a style sheet or a srcset (fragment already cut); ""
  // without registering for one that names no document to fetch (data:, about: and the like).
  std::string RegisterNamedLink(std::string_view value, TVornPublishedTagsKind kind,
                                TVornRequisite requisite);
  // The placeholder text of the link that value names (adding it when new), or "" for a value
  // that names no link. A requisite role marks the link, also one the page named before.
  std::string RegisterLink(std::string_view value, TVornPublishedTagsKind kind,
                           TVornRequisite requisite = erqNone);
  std::string BuildStoredDocument(std::string_view body) const;

  std::string m_input;
  std::string m_contentType;
  std::string m_baseServer;
  std::atomic<bool> m_cancelled{false};
  TVornAnalysisStatus m_status = TVornAnalysisStatus::easNone;
  std::string m_errorText;
  std::string m_output;
};

}  // namespace tq
