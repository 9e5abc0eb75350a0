// The crawl loop of one project: start and stop, the dispatch timer, the admission thread, and
// the list hooks that turn every list change into an event, document writes and tree updates.
#include "engine/download.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>

#include "engine/content.h"
#include "engine/ftp_connection.h"
#include "engine/link_lists.h"
#include "engine/worker_thread.h"
#include "foundation/canonical_url.h"
#include "foundation/errors.h"
#include "foundation/url.h"
#include "platform/dialog_service.h"

namespace tq {
namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kMostSlots = 256;  // a stored thread count is one byte

TVornLinkPtr CopyOf(const TVornLink& link) {
  auto copy = std::make_shared<TVornLink>();
  copy->Assign(link);
  return copy;
}

TVornSocksSettings SocksOf(const TVornProxy& proxy) {
  return {proxy.Version, proxy.Address, proxy.Port, proxy.User, proxy.Password};
}

// A page's result must reach its list even when a document write fails, or the page would never
// leave the worker manager and the crawl would wait for it forever.
void Guarded(const char* what, const std::function<void()>& fn) {
  RunReporting(what, fn);
}

}  // namespace

TVornDownload::TVornDownload()
    : m_sync(std::make_unique<TVornEventSynchronizer>(this)),
      m_admission(m_settings, TVornAdmissionLists{&m_ready, &m_working, &m_queue, &m_failed,
                                                  &m_ignored, &m_email, &m_deleted, &m_pending}) {
  TSystem& system = m_settings.System;
  system.OnBuildAllTreeChange = [this](bool value) {
    if (OnBuildAllTree) OnBuildAllTree(*this, value);
  };
  system.OnBuildIgnoredChange = [this](bool value) {
    if (OnBuildIgnored) OnBuildIgnored(*this, value);
  };
  system.OnBuildEmailsChange = [this](bool value) {
    if (OnBuildEmails) OnBuildEmails(*this, value);
  };
  m_settings.General.OnProjectNameChange = [this](TGeneral&, const std::string& name) {
    if (OnProjectNameChange) OnProjectNameChange(*this, name);
  };

  InstallListHooks(m_ready, {ekNewReady, ekDelReady, kStatusReady, &m_readyTree, kTreeImageReady,
                             true, true, false});
  InstallListHooks(m_working, {ekNewWorking, ekDelWorking, -1, nullptr, 0, false, true, false});
  InstallListHooks(m_queue, {ekNewQueue, ekDelQueue, kStatusQueue, &m_queueTree, kTreeImageQueue,
                             true, true, false});
  InstallListHooks(m_failed, {ekNewFailed, ekDelFailed, kStatusFailed, &m_failedTree,
                              kTreeImageFailed, true, true, false});
  InstallListHooks(m_email, {ekNewEmail, ekDelEmail, kStatusEmail, nullptr, 0, false, false, true});
  InstallListHooks(m_ignored, {ekNewIgnored, ekDelIgnored, kStatusIgnored, &m_ignoredTree,
                               kTreeImageIgnored, true, true, false});
  InstallListHooks(m_deleted, {TVornEventKind(0), TVornEventKind(0), kStatusDeleted, nullptr, 0,
                               false, true, false});
  InstallWorkerHooks();

  m_timer.SetInterval(m_dispatchInterval);
  m_timer.SetEnabled(false);
  m_timer.OnTimer = [this] { Tick(); };
}

TVornDownload::~TVornDownload() {
  StopDownload();
  m_destroying = true;
  m_timer.SetEnabled(false);
  // The admission run ends once PendingLinks is empty; its end handler runs on this thread, so
  // the loop keeps turning until it has.
  if (m_filtering) {
    if (m_admissionThread) m_admissionThread->Terminate();
    ProcessEventsUntil([this] { return !m_filtering; });
  }
  if (IDownloadDocument* document = m_document.load())
    document->SetDownloadHooks(nullptr, nullptr, nullptr);
}

void TVornDownload::ArmTimer(bool soon) {
  const int interval = m_dispatchInterval;
  m_timer.SetInterval(interval != 0 ? interval : soon ? 0 : kUnpacedIdlePollMs);
  m_timer.SetEnabled(true);
}

void TVornDownload::WakeDispatch() {
  // An enabled timer means the crawl waits for its next tick (a disabled one: no crawl, or a
  // tick under way). Unpaced, the tick comes now. Paced, it comes now while the last interval
  // saw fewer dispatches than there are worker slots, as many as one tick may start; otherwise
  // the tick due fills the slot.
  const auto lookNow = [this] {
    if (!m_timer.Enabled() || m_timer.Interval() == 0) return;
    if (m_dispatchInterval != 0) {
      const auto since = Clock::now() - std::chrono::milliseconds(m_dispatchInterval);
      while (!m_recentDispatches.empty() && m_recentDispatches.front() <= since)
        m_recentDispatches.pop_front();
      const size_t slots = std::max<int>(1, m_settings.System.ThreadsCount);
      if (m_recentDispatches.size() >= slots) return;
    }
    m_timer.SetInterval(0);
    m_timer.SetEnabled(true);
  };
  // A page ends on this thread: looking at once spares a round trip through the event loop.
  if (IsInterfaceThread()) return lookNow();
  if (m_wakePosted.exchange(true)) return;
  PostToInterface([this, lookNow, alive = std::weak_ptr<void>(m_alive)] {
    if (alive.expired()) return;  // the controller is gone; both run on this thread
    m_wakePosted = false;
    lookNow();
  });
}

void TVornDownload::SetDispatchInterval(int ms) {
  m_dispatchInterval = ms < 0 ? 0 : ms;
  const bool enabled = m_timer.Enabled();
  m_timer.SetInterval(m_dispatchInterval);
  m_timer.SetEnabled(enabled);
}

void TVornDownload::SetVornDocument(IDownloadDocument* document) {
  IDownloadDocument* old = m_document.exchange(document);
  if (old == document) return;
  if (old != nullptr) old->SetDownloadHooks(nullptr, nullptr, nullptr);
  if (document == nullptr) return;
  document->SetDownloadHooks(
      [this](TVornLinkPtr link, int status) { return LoadLink(std::move(link), status); },
      [this](TVornCustomIniFile& ini, bool templateMode) {
        m_settings.LoadFromIni(ini, templateMode);
      },
      [this](TVornCustomIniFile& ini, bool templateMode) {
        m_settings.SaveToIni(ini, templateMode);
      });
}

bool TVornDownload::LoadLink(TVornLinkPtr link, int status) {
  const auto list = LinkListOfStatus(status);
  if (!list || !link) return true;  // a STATUS no list uses: the entry is skipped
  Links(*list).Add(std::move(link));
  return true;
}

TVornBaseLinks& TVornDownload::Links(TVornLinkList list) {
  TVornBaseLinks* const lists[] = {&m_ready,   &m_working, &m_queue,   &m_failed,
                                   &m_ignored, &m_email,   &m_deleted, &m_pending};
  return *lists[list];
}

// --- list hooks ---

void TVornDownload::InstallListHooks(TVornBaseLinks& list, const TListRole& role) {
  list.OnAdd = [this, role](TVornBaseLinks& sender, const TVornLinkPtr& link) {
    ListAdded(sender, role, link);
  };
  list.OnDelete = [this, role](TVornBaseLinks& sender, const TVornLinkPtr& link) {
    ListDeleted(sender, role, link);
  };
}

void TVornDownload::ListAdded(TVornBaseLinks& list, const TListRole& role,
                              const TVornLinkPtr& link) {
  if (role.NewKind != 0) m_sync->LinkEvent(role.NewKind, &list, link);
  IDownloadDocument* document = m_document.load();
  // A stored link queued for a refresh keeps its index entry (Ready, with its copy) until its
  // transfer ends: a project saved meanwhile still holds the copy.
  const bool keepEntry = role.Status == kStatusQueue && link->Refreshing();
  if (role.Status >= 0 && document != nullptr && !document->IsLoadingFile() && !keepEntry) {
    const std::string key = role.ByMail ? link->GetMailAddress() : link->GetUrl();
    document->SetDocumentStatus(key, role.Status);
    if (role.Status != kStatusDeleted) {
      document->SetDocumentValue(key, kIndexLevel, std::to_string(link->Level));
      document->SetDocumentValue(key, kIndexPage, link->Page());
    }
    if (role.Status == kStatusReady)
      document->SetDocumentValue(key, kIndexSize, std::to_string(link->Size));
    if (role.Status == kStatusFailed) document->SetDocumentValue(key, kIndexError, link->ErrorText);
    if (role.Status == kStatusIgnored) document->SetDocumentValue(key, kIndexReason, link->Reason);
  }
  if (role.OwnTree != nullptr) {
    if (ITreeUpdater* tree = role.OwnTree->load()) tree->AddLink(link, role.Image);
  }
  if (role.AllTreeAdd) {
    if (ITreeUpdater* tree = m_allTree.load()) tree->AddLink(link, role.Image);
  }
}

void TVornDownload::ListDeleted(TVornBaseLinks& list, const TListRole& role,
                                const TVornLinkPtr& link) {
  if (role.DelKind != 0) m_sync->LinkEvent(role.DelKind, &list, link);
  if (role.OwnTree != nullptr) {
    if (ITreeUpdater* tree = role.OwnTree->load()) tree->RemoveLink(link);
  }
  if (role.AllTreeRemove) {
    if (ITreeUpdater* tree = m_allTree.load()) {
      try {
        tree->RemoveLink(link);
      } catch (const std::exception&) {
      }
    }
  }
  IDownloadDocument* document = m_document.load();
  if (role.Status >= 0 && document != nullptr && !link->Refreshing()) {
    try {
      document->RemoveDocument(role.ByMail ? link->GetMailAddress() : link->GetUrl());
    } catch (const std::exception&) {
    }
  }
}

// --- worker hooks ---

void TVornDownload::InstallWorkerHooks() {
  // After a 401: the lookup that may prompt, on the interface thread while the transfer waits.
  m_manager.Credentials = [this](const std::string& address,
                                 const std::vector<std::string>& challenge, std::string& user,
                                 std::string& password) {
    const TAuthorization found = m_settings.Passwords.LookupCredentials(address, true, &challenge);
    user = found.User;
    password = found.Password;
    return true;
  };
  m_manager.OnPageRedirect = [this](const TVornPagePtr& page, const std::string& location) {
    auto target = std::make_shared<TVornLink>();
    target->TagKind = eptRedirect;
    // A requisite that moved is still what its page needs.
    if (page->Link) target->Requisite = page->Link->Requisite;
    target->SetPage(page->Url);
    target->SetText(location);
    target->Level = page->Level + 1;
    // A redirected starting page moves the starting address, so later rules compare with it.
    m_settings.General.ReplaceStartingUrl(page->Url, target->GetUrl());
    m_pending.Add(target);
  };
  m_manager.OnPageStatus = [this](const TVornPagePtr& page, TVornConnectionStatus status,
                                  const std::string& text) {
    m_sync->Status(page, status, text, page->Link);
  };
  m_manager.OnPageWork = [this](const TVornPagePtr& page, TWorkMode mode,
                                const TVornConnectionInfo& info) {
    m_sync->Work(page, mode, info, page->Link);
  };
  m_manager.OnAnalysisStart = [this](const TVornPagePtr& page) {
    m_sync->FetchStart(page, page->Link);
    m_sync->Status(page, ecsAnalizingDoc, kStatusAnalyzing, page->Link);
  };
  m_manager.OnAnalysisEnd = [this](const TVornPagePtr& page) {
    m_sync->Status(page, ecsAnalizingDocReady, kStatusAnalyzingReady, page->Link);
    const auto& found = page->Analyser().Links;
    if (found) m_pending.CopyFrom(*found);
    m_sync->FetchEnd(page, found.get(), page->Link);
    // No wake-up for the found links here: the page's end, on the interface thread right after,
    // wakes the dispatch once for the links and the free worker slot together.
  };
  m_manager.OnSizeCheck = [this](const TVornLinkPtr& link, double) {
    TVornSizeVerdict verdict;
    verdict.Reason = kReasonSize;
    if (link) verdict.Allowed = m_admission.CheckSize(*link, &verdict.MaxBytes) != elvNo;
    return verdict;
  };
  m_manager.WaitForStorage = [this] {
    IDownloadDocument* document = m_document.load();
    if (document == nullptr) return;
    document->WaitForRoom();
    if (!m_storageRefused.load() && !document->StorageFailure().empty()) {
      m_storageRefused = true;
      WakeDispatch();
    }
  };
  m_manager.OnPageError = [this](const TVornPagePtr& page, const std::string& error) {
    {
      TVornWriteGuard moving(m_working.Lock());
      if (TVornLinkPtr copy = TakeWorkingLink(page)) {
        copy->ErrorText = error;
        Guarded("storing a failed link", [&] {
          if (!copy->Refreshing() || !EndRefresh(copy, kOutcomeFailed, error)) m_failed.Add(copy);
        });
      }
    }
    m_sync->Error(page, error, page->Link);
  };
  m_manager.OnPageDone = [this](const TVornPagePtr& page, std::string content) {
    const uint8_t outcome = page->Outcome;
    const bool stored = outcome == kOutcomeFetched || outcome == kOutcomeRedirected;
    if (stored && content.size() > kMaxDocumentSize) {
      // No project file could hold it; kept as Ready it would be lost at the next save.
      m_manager.OnPageError(page, std::string(kDocumentTooLarge));
      return;
    }
    TVornLinkPtr copy;
    std::string url;
    bool kept = false;     // a stored copy stands as it is
    bool hadGone = false;  // the page answers again after it had gone
    {
      TVornWriteGuard moving(m_working.Lock());
      copy = TakeWorkingLink(page);
      if (copy) url = copy->GetUrl();
      Guarded("storing a finished link", [&] {
        if (!copy) return;
        if (outcome == kOutcomeCancelled) {
          // The starting link is not put back: a new start queues it again. A stored link is,
          // since its stored copy stays listed nowhere else.
          if (copy->Refreshing() || url != CanonicalUrl(m_settings.General.StartingUrl()))
            m_queue.Add(copy);
          return;
        }
        if (copy->Refreshing() && EndRefresh(copy, outcome, {})) {
          kept = true;
          return;
        }
        if (outcome == kOutcomeFetched || outcome == kOutcomeRedirected) {
          if (m_updating && outcome == kOutcomeFetched)
            ++(copy->Refreshing() ? m_update.Changed : m_update.New);
          hadGone = !copy->GoneSince.empty();
          copy->GoneSince.clear();
          AddReady(copy);
        } else if (outcome == kOutcomeRefused) {
          if (m_settings.System.BuildIgnored()) m_ignored.Add(copy);
        }
      });
    }
    if (copy && !kept) {
      IDownloadDocument* document = m_document.load();
      if (document != nullptr && outcome >= kOutcomeFetched && outcome <= kOutcomeRedirected) {
        Guarded("storing a document", [&] {
          document->SetDocumentStatus(url, kStatusReady);
          document->SetDocumentValue(url, kIndexContentType, copy->ContentType);
          document->SetDocumentContent(url, content);
          // The validators of this copy replace those of the one before, also when none came.
          document->SetDocumentValue(url, kIndexETag, copy->ETag);
          document->SetDocumentValue(url, kIndexLastModified, copy->LastModified);
          if (hadGone) document->SetDocumentValue(url, kIndexGoneSince, "");
        });
      }
    }
    m_sync->JobEnd(page, std::move(content), page->Link);
  };
  m_manager.OnPageGone = [this] { WakeDispatch(); };
  // A retry is a request like the first: it waits for its server's share of the second.
  m_manager.BeforeRetry = [this](const std::string& address, TVornWorkerThread& thread) {
    const std::string server = ExtractUrlServer(address);
    while (!m_rateGate.TryTake(server) && thread.SleepUnlessTerminated(kRateRetryPollMs)) {
    }
  };
}

// Callers hold WorkingLinks' write lock until the copy is in its next list: the admission reads
// WorkingLinks around its duplicate search, so a link is never seen in neither list and fetched
// twice.
TVornLinkPtr TVornDownload::TakeWorkingLink(const TVornPagePtr& page) {
  if (!page->Link) return nullptr;
  int index = -1;
  try {
    index = m_working.FindUrl(kFindExact, page->Link->GetUrl());
  } catch (const EVornError&) {
    // No address to look it up by: found as itself below.
  }
  // A link without an address (an empty starting address) is found by no address look-up; left
  // in In Progress it would keep the crawl from ever ending, so it is looked up as itself.
  for (int i = 0; index < 0 && i < m_working.Count(); ++i) {
    if (m_working.Get(i) == page->Link) index = i;
  }
  if (index >= 0) m_working.Delete(index);
  return CopyOf(*page->Link);
}

// --- crawl loop ---

void TVornDownload::SetState(TVornState state) {
  if (m_state.exchange(state) == state) return;
  // A finished crawl keeps no connections open to its servers.
  if (state == edsReady) CloseIdleHttpConnections();
  m_sync->State(state);
}

void TVornDownload::StartDownload() {
  if (State() != edsReady) return;
  m_updating = false;
  StartRun(true);
}

void TVornDownload::StartRun(bool queueStart) {
  if (m_options != nullptr) m_options->InternetDialUp.Dial();
  if (ExtractUrlServer(m_settings.General.BaseUrl).empty() && OnWizard) {
    bool canceled = false;
    OnWizard(*this, ewrBlankBaseUrl, canceled);
    if (canceled) return;
  }
  if (queueStart && m_queue.Count() == 0) {
    auto start = std::make_shared<TVornLink>();
    start->SetPage(m_settings.General.BaseUrl);
    start->SetText(m_settings.General.BaseUrl);
    start->Level = 0;
    // A finished project's starting page is fetched again in place of its stored copy, which
    // stays listed once and is kept should the server no longer give it.
    int stored = -1;
    try {
      stored = m_ready.FindUrl(kFindExact, start->GetUrl());
    } catch (const EVornError&) {
    }
    if (stored >= 0) {
      RequeueStored(stored);
    } else {
      m_queue.Add(start);
    }
  }
  if (IDownloadDocument* document = m_document.load()) document->ReleaseWaits(false);
  m_storageRefused = false;
  m_storageFailure.clear();
  m_rateGate.SetLimit(m_settings.System.MaxRequestsPerSecond);
  ObeyRobots();
  SetState(edsDownload);
  if (!m_admissionThread) m_filtering = false;
  ArmTimer(true);
}

void TVornDownload::ObeyRobots() {
  if (!m_settings.System.ObeyRobots) {
    m_admission.RobotsAllow = nullptr;
    return;
  }
  // Asked as the transfers ask: with the same identity, through the same proxy.
  const std::string agent =
      m_options != nullptr ? m_options->InternetConnection.GetAgentString() : std::string();
  const std::string proxy =
      m_options != nullptr ? SocksProxyUrl(SocksOf(m_options->ProxyHTTP)) : "";
  const int timeout = m_settings.System.ConnectionTimeout;
  m_robots.Reset(agent, [agent, proxy, timeout](const std::string& url) {
    return FetchRobotsTxt(url, agent, proxy, timeout);
  });
  m_admission.RobotsAllow = [this](const std::string& url) { return m_robots.Allows(url); };
}

void TVornDownload::StopDownload() {
  if (State() != edsDownload) return;
  SetState(edsCancel);
  // A worker held until the document has room would keep the stop waiting for the disk.
  if (IDownloadDocument* document = m_document.load()) document->ReleaseWaits(true);
  // Workers hand their results to this thread, so it keeps its loop turning while the stop
  // thread cancels them and waits for them all to be gone.
  std::atomic<bool> stopped{false};
  std::thread stopThread([this, &stopped] {
    try {
      m_manager.CancelAll();
    } catch (const std::exception&) {
    }
    stopped = true;
  });
  ProcessEventsUntil([&stopped] { return stopped.load(); });
  stopThread.join();
}

void TVornDownload::Tick() {
  m_timer.SetEnabled(false);
  if (m_destroying) return;
  if (!RunReporting("crawl step", [this] { TickOnce(); })) {
    // The tick disabled the timer: without it the crawl would never move again. A link that
    // had left the Queue was handed to a failed page, so the next tick does not meet it again.
    ArmTimer(false);
  }
}

void TVornDownload::StopForStorage() {
  IDownloadDocument* document = m_document.load();
  if (document == nullptr || State() != edsDownload) return;
  const std::string failure = document->StorageFailure();
  if (failure.empty()) return;
  StopDownload();
  m_storageFailure = failure;
  DialogService().ShowMessageDlg(
      "Unable to write to the project's working folder: " + failure +
          ".\nThe download has been stopped. Save the project to another disk or close it.",
      mdiError, mbOk, "Write Error", 0);
}

void TVornDownload::TickOnce() {
  ++m_ticks;
  if (m_storageRefused.exchange(false)) StopForStorage();
  // Links found on pages that ended before a stop are still admitted: their pages are Ready
  // and will never be analysed again, so a crawl that skipped them would lose them for good.
  if (!m_filtering && m_pending.Count() > 0 && State() != edsReady) StartAdmission();
  // The admission run goes on beside the dispatch: it only appends to the Queue, whose oldest
  // links leave first, so every free worker slot is filled on every tick.
  bool progressed = false;
  if (State() == edsDownload) {
    while (Dispatch()) progressed = true;
  }
  if (m_working.Count() > 0 || m_queue.Count() > 0 || m_filtering) {
    if (m_working.Count() > 0 || State() != edsCancel || m_filtering) {
      ArmTimer(progressed);
    } else {
      SetState(edsReady);  // only queued links are left after a cancel
    }
    return;
  }
  SetState(edsReady);
  if (m_options != nullptr) {
    m_options->InternetDisconnect.Disconnect(true);
    m_options->InternetDisconnect.ExitProgram(true);
  }
}

void TVornDownload::StartAdmission() {
  // Filtering only once the thread exists: a run that never started must not pause the crawl.
  m_admissionThread = TVornWorkerThread::Start(
      m_settings.System.ThreadsPriority,
      [this](TVornWorkerThread&) {
        try {
          m_admission.AdmitPending();
        } catch (const std::exception&) {
          // The run ends; the links not yet handled wait for the next one.
        }
      },
      [this] {
        m_admissionThread.reset();
        m_filtering = false;
        if (m_destroying) return;
        if (!m_timer.Enabled()) ArmTimer(true);
        WakeDispatch();  // the admitted links may fill free slots
      });
  m_filtering = true;
}

bool TVornDownload::Dispatch() {
  // A stored thread count keeps only its low 8 bits, so 256 reads as 0; with no worker at all a
  // crawl would tick forever without fetching anything, so at least one runs.
  const int threads = std::max<int>(1, m_settings.System.ThreadsCount);
  if (m_queue.Count() == 0 || State() == edsCancel || m_manager.PageCount() >= threads) {
    return false;
  }
  TVornLinkPtr link;
  {
    // The link changes lists under WorkingLinks' write lock: the admission run beside the
    // dispatch reads WorkingLinks around its duplicate search and so never finds the link in
    // neither list.
    TVornWriteGuard moving(m_working.Lock());
    TVornWriteGuard queue(m_queue.Lock());
    const int index = NextDispatchable();
    if (index < 0) return false;
    link = CopyOf(*m_queue.Get(index));
    m_queue.Delete(index);
    m_working.Add(link);
  }

  const TSystem& system = m_settings.System;
  m_manager.RetriesOnFailed = system.RetriesOnFailed;
  m_manager.ConnectionTimeout = system.ConnectionTimeout;
  m_manager.ThreadsPriority = system.ThreadsPriority;
  TVornPagePtr page = m_manager.NewPage();
  try {
    page->AssignLink(link);
    StartPage(page, page->Url);
  } catch (const std::exception& e) {
    // A page whose transfer cannot start (no thread to be had) fails like one that gave up, so
    // its link reaches Failed and its worker slot comes free.
    FailPage(page, e.what());
  }
  m_sync->StartThread(page);
  if (m_dispatchInterval != 0) {
    m_recentDispatches.push_back(Clock::now());
    if (m_recentDispatches.size() > kMostSlots) m_recentDispatches.pop_front();
  }
  return true;
}

int TVornDownload::NextDispatchable() {
  if (m_rateGate.Limit() == 0) return 0;
  // A server that had its share this second waits; the oldest link of another server goes. Only
  // the front of the Queue is searched, so a long Queue costs a tick little.
  const int scan = std::min(m_queue.Count(), kRateLimitScan);
  for (int i = 0; i < scan; ++i) {
    if (m_rateGate.TryTake(ExtractUrlServer(m_queue.Get(i)->GetUrl()))) return i;
  }
  return -1;
}

void TVornDownload::StartPage(const TVornPagePtr& page, const std::string& url) {
  const TAuthorization credentials = m_settings.Passwords.LookupCredentials(url, false);
  std::weak_ptr<TVornPage> weak = page;
  page->Analyser().StyleLinks = m_settings.TagsRecognition.StyleLinks;
  page->Analyser().Analyse = [weak](TVornPageAnalyser& analyser, std::string& raw) {
    const TVornPagePtr self = weak.lock();
    const std::string contentType = self && self->Link ? self->Link->ContentType : std::string();
    TVornContent content(analyser.BaseUrl, analyser.Level - 1);
    content.StyleLinks = analyser.StyleLinks;
    // The raw bytes travel into the analyser and back, never copied.
    const TVornAnalysisStatus status = content.AnalyzeOwned(std::move(raw), contentType);
    raw = content.TakeInput();
    if (status == TVornAnalysisStatus::easDone) {
      analyser.Links = content.Links();
      return std::optional<std::string>(content.TakeOutput());
    }
    // A page the analyser could not read is kept as fetched, without links.
    analyser.Links.reset();
    return std::optional<std::string>();
  };

  if (GetUrlProtocol(url) == upFtp) {
    TVornFTPConnection& ftp = page->Ftp();
    ftp.UserName = credentials.User;
    ftp.Password = credentials.Password;
    if (m_options != nullptr) {
      ftp.Socks = SocksOf(m_options->ProxyFTP);
      ftp.Passive = m_options->ProxyFTP.PasvMode;
    }
    ftp.StartTransfer();
    return;
  }
  TVornHTTPConnection& http = page->Http();
  // An update asks whether the stored copy is still current; without validators (an older
  // project, a server that sends none) the page is fetched whole.
  const bool conditional = m_updating && page->Link && page->Link->Refreshing() &&
                           m_settings.General.FileModificationCheck == fmcOnlyModified;
  http.IfNoneMatch = conditional ? page->Link->ETag : std::string();
  http.IfModifiedSince = conditional ? page->Link->LastModified : std::string();
  http.UserName = credentials.User;
  http.Password = credentials.Password;
  if (m_options != nullptr) {
    http.UserAgent = m_options->InternetConnection.GetAgentString();
    http.Socks = SocksOf(m_options->ProxyHTTP);
  }
  http.StartTransfer();
}

// A page whose transfer has no thread fails the way a transfer that gave up does, on the
// interface thread after dispatch, so its page leaves the manager and its link is listed in
// Failed with the error. The HTTP transfer's hooks serve for an FTP page too: the thread manager
// wires both transfers of a page to the same hooks.
void TVornDownload::FailPage(const TVornPagePtr& page, std::string error) {
  PostToInterface([page, error = std::move(error)] {
    TVornHTTPConnection& http = page->Http();
    if (http.OnStatus) http.OnStatus(ecsError, kStatusErrorPrefix + error);
    page->Outcome = kOutcomeFailed;
    if (http.OnError) http.OnError(error);
  });
}

}  // namespace tq
