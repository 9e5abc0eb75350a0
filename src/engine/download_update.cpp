// Update runs: a finished project's stored pages asked about again (conditionally by their
// validators), its Ignored links admitted again under the current settings, and the stored copy
// of a page the server no longer gives kept in Ready.
#include <ctime>

#include "engine/download.h"
#include "foundation/errors.h"

namespace tq {
namespace {

// Now, in UTC, as "YYYY-MM-DD HH:MM:SS".
std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

// Ignored links whose reason the current settings may have lifted: every reason but the size
// bounds, which only a transfer can tell.
bool MayBeAdmittedNow(const TVornLink& link) {
  return link.Reason != kReasonSize;
}

}  // namespace

std::string UpdateSummaryText(const TVornUpdateSummary& summary) {
  return std::to_string(summary.Unchanged) + " unchanged, " + std::to_string(summary.Changed) +
         " changed, " + std::to_string(summary.New) + " new, " + std::to_string(summary.Gone) +
         " gone";
}

void TVornDownload::StartUpdate() {
  if (State() != edsReady) return;
  m_update = TVornUpdateSummary();
  if (m_settings.General.FileModificationCheck != fmcNotExisting) {
    // In Ready order, after whatever an interrupted run left in the Queue.
    while (m_ready.Count() > 0) RequeueStored(0);
  }
  std::vector<TVornLinkPtr> again;
  {
    TVornWriteGuard guard(m_ignored.Lock());
    for (int i = m_ignored.Count() - 1; i >= 0; --i) {
      const TVornLinkPtr link = m_ignored.Get(i);
      if (!MayBeAdmittedNow(*link)) continue;
      auto copy = std::make_shared<TVornLink>(*link);
      copy->Reason.clear();
      again.push_back(std::move(copy));
      m_ignored.Delete(i);
    }
  }
  for (auto it = again.rbegin(); it != again.rend(); ++it) m_pending.Add(*it);
  m_updating = true;
  // Without stored pages to ask about, the starting address is not fetched again either.
  StartRun(m_settings.General.FileModificationCheck != fmcNotExisting);
  if (State() != edsDownload) m_updating = false;  // the wizard was cancelled
}

void TVornDownload::RequeueStored(int readyIndex) {
  TVornLinkPtr copy;
  {
    TVornWriteGuard guard(m_ready.Lock());
    const TVornLinkPtr stored = m_ready.Get(readyIndex);
    // Marked before it leaves Ready, so its stored document is not removed with the entry.
    stored->StoredSize = stored->Size;
    copy = std::make_shared<TVornLink>(*stored);
    m_ready.Delete(readyIndex);
  }
  copy->ErrorText.clear();
  m_queue.Add(copy);
}

void TVornDownload::AddReady(const TVornLinkPtr& link) {
  {
    TVornWriteGuard guard(m_ready.Lock());
    int old = -1;
    try {
      old = m_ready.FindUrl(kFindExact, link->GetUrl());
    } catch (const EVornError&) {
      // No address: nothing to replace.
    }
    if (old >= 0) {
      m_ready.Get(old)->StoredSize = 0;  // its document now belongs to the new entry
      m_ready.Delete(old);
    }
  }
  link->StoredSize = -1;
  m_ready.Add(link);
}

bool TVornDownload::EndRefresh(const TVornLinkPtr& link, uint8_t outcome,
                               const std::string& error) {
  if (outcome == kOutcomeFetched) return false;
  IDownloadDocument* document = m_document.load();
  const std::string url = link->GetUrl();
  link->Size = link->StoredSize;
  if (outcome == kOutcomeNotModified || outcome == kOutcomeRefused) {
    // Current (or now beyond the size bounds): the stored copy stands untouched.
    if (outcome == kOutcomeNotModified) ++m_update.Unchanged;
    const bool hadGone = !link->GoneSince.empty();
    link->GoneSince.clear();
    link->ErrorText.clear();
    AddReady(link);
    if (hadGone && document != nullptr) document->SetDocumentValue(url, kIndexGoneSince, "");
    return true;
  }
  // Failed, or moved elsewhere: the copy is kept and the page reported gone, since when it
  // first stopped answering.
  link->ErrorText = outcome == kOutcomeRedirected ? "Moved to another address" : error;
  if (link->GoneSince.empty()) link->GoneSince = UtcNow();
  ++m_update.Gone;
  m_update.GoneUrls.push_back(url);
  AddReady(link);
  if (document != nullptr) {
    document->SetDocumentValue(url, kIndexGoneSince, link->GoneSince);
    document->SetDocumentValue(url, kIndexError, link->ErrorText);
  }
  return true;
}

}  // namespace tq
