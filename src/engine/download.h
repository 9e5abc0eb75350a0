// TVornDownload: the crawl engine of one project. It owns the project's crawl settings, its eight
// link lists, the worker manager and the event synchroniser; it starts and stops the crawl,
// hands queued links to workers on a timer, admits newly found links on a thread of its own,
// moves finished links to their lists, and writes every list change and fetched document into
// the project document and the link trees.
//
// Thread rules: create, configure, start, stop and destroy it on the interface thread. Its list
// hooks run on whichever thread changes a list (interface, admission, transfer and analyser
// threads, the project loader); its events reach their handlers on the interface thread only.
// The document, the options and the trees are not owned: unset them before destroying them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/admission.h"
#include "engine/crawl_settings.h"
#include "engine/download_document.h"
#include "engine/download_events.h"
#include "engine/event_synchronizer.h"
#include "engine/link_lists.h"
#include "engine/links.h"
#include "engine/rate_gate.h"
#include "engine/robots.h"
#include "engine/thread_manager.h"
#include "engine/tree_updater.h"
#include "foundation/main_loop.h"
#include "options/options.h"

namespace tq {

class TVornWorkerThread;

// TVornState values. The controller itself enters only the first three.
inline constexpr TVornState edsReady = 0;
inline constexpr TVornState edsDownload = 1;
inline constexpr TVornState edsCancel = 2;
inline constexpr TVornState edsLoading = 3;
inline constexpr TVornState edsSaving = 4;

// What an update run found, counted as its pages end.
struct TVornUpdateSummary {
  int Unchanged = 0;  // the server said the stored copy is current
  int Changed = 0;    // a stored page fetched anew
  int New = 0;        // a page the project did not have
  int Gone = 0;       // a stored page the server no longer gives; its copy is kept
  std::vector<std::string> GoneUrls;
};
// "3 unchanged, 1 changed, 2 new, 1 gone"
std::string UpdateSummaryText(const TVornUpdateSummary& summary);
// How a Ready link whose server stopped answering is shown.
inline constexpr std::string_view kGoneText = "Gone from the server; the stored copy is kept";

enum TVornWizardReason : uint8_t { ewrBlankBaseUrl };

inline constexpr int kDefaultDispatchIntervalMs = 100;
// Unpaced crawls look for work this often while waiting for a worker, in case a wake-up came
// before the worker had left the manager.
inline constexpr int kUnpacedIdlePollMs = 10;
// With a rate limit, how many links at the Queue's front are looked at for one whose server may
// be asked now.
inline constexpr int kRateLimitScan = 64;
// A retry held back by the rate limit looks again this often.
inline constexpr int kRateRetryPollMs = 50;

class TVornDownload {
 public:
  using TVornOnWizardNeeded =
      std::function<void(TVornDownload& sender, TVornWizardReason reason, bool& canceled)>;
  using TBoolNewValueEvent = std::function<void(TVornDownload& sender, bool value)>;
  using TProjectNameEvent = std::function<void(TVornDownload& sender, const std::string& name)>;

  TVornDownload();
  // Stops the crawl and waits for a running admission run, keeping the interface loop running.
  ~TVornDownload();
  TVornDownload(const TVornDownload&) = delete;
  TVornDownload& operator=(const TVornDownload&) = delete;

  TVornState State() const { return m_state.load(); }

  // Starts or resumes the crawl; does nothing unless the state is edsReady. Queues the starting
  // address when the Queue is empty. An error of a list hook (a document write) reaches the
  // caller and leaves the state unchanged.
  void StartDownload();
  // Cancels every transfer and returns once every worker has handed in its result; the cancelled
  // links are back in the Queue. Does nothing unless the state is edsDownload.
  void StopDownload();
  // Starts an update run, keeping the stored copy current; does nothing unless the state is
  // edsReady. Every Ready link goes back to the Queue in Ready order (not with fmcNotExisting),
  // asked about with its validators under fmcOnlyModified, and the Ignored links are admitted
  // again under the current settings. A stored page that now fails stays Ready with its copy.
  void StartUpdate();
  // True from StartUpdate to the next StartDownload: the summary belongs to the latest run.
  bool UpdateRun() const { return m_updating; }
  const TVornUpdateSummary& UpdateSummary() const { return m_update; }
  // Why the last crawl stopped by itself because the document could not store what it fetched
  // (the working folder's error, "No space left on device"); empty otherwise. The crawl reports
  // it once through the dialog service as it stops. Interface thread.
  const std::string& StorageFailure() const { return m_storageFailure; }

  // The dispatch timer's interval; every tick starts as many queued links as there are free
  // worker slots. With 0 a tick runs as soon as a worker slot comes free.
  void SetDispatchInterval(int ms);
  int DispatchInterval() const { return m_dispatchInterval; }
  // True while an admission run is under way (the dispatch goes on beside it).
  bool Filtering() const { return m_filtering; }
  // How many ticks have run: tests count the pacing in ticks.
  int64_t TestOnlyTicks() const { return m_ticks; }

  // Crawl settings. Change them between crawls only.
  TVornCrawlSettings& Settings() { return m_settings; }
  TGeneral& General() { return m_settings.General; }
  TSystem& System() { return m_settings.System; }
  TVornPasswords& Passwords() { return m_settings.Passwords; }
  TVornLinkTranslation& LinksTranslation() { return m_settings.LinksTranslation; }
  TVornFileFilters& FilterTextFiles() { return m_settings.FilterTextFiles; }
  TVornFileFilters& FilterImagesFiles() { return m_settings.FilterImagesFiles; }
  TVornFileFilters& FilterVideoFiles() { return m_settings.FilterVideoFiles; }
  TVornFileFilters& FilterAudioFiles() { return m_settings.FilterAudioFiles; }
  TVornFileFilters& FilterArchiveFiles() { return m_settings.FilterArchiveFiles; }
  TVornTagsRecognition& TagsRecognition() { return m_settings.TagsRecognition; }
  TVornDirectoryRules& DirectoryRules() { return m_settings.DirectoryRules; }
  TVornFileRules& FileRules() { return m_settings.FileRules; }
  TVornServerRules& ServerRules() { return m_settings.ServerRules; }

  // The link lists.
  TVornBaseLinks& ReadyLinks() { return m_ready; }
  TVornBaseLinks& WorkingLinks() { return m_working; }
  TVornBaseLinks& QueueLinks() { return m_queue; }
  TVornBaseLinks& FailedLinks() { return m_failed; }
  TVornBaseLinks& EmailLinks() { return m_email; }
  TVornBaseLinks& IgnoredLinks() { return m_ignored; }
  TVornBaseLinks& DeletedLinks() { return m_deleted; }
  TVornBaseLinks& PendingLinks() { return m_pending; }
  // The list of that role.
  TVornBaseLinks& Links(TVornLinkList list);

  // The user's commands on the lists (interface thread). Each holds list locks for its search
  // and change only, so whatever the caller does with the result (the clipboard, a message)
  // comes after the locks are released.
  // Moves the first link of from whose address is url to the end of to, as a copy whose Reason
  // is set to reason unless that is empty. False when from holds no such address.
  bool MoveLink(TVornLinkList from, TVornLinkList to, const std::string& url,
                std::string_view reason = {});
  // Delete: the link goes from the first of Ready, Queue, Ignored and Failed that holds it to
  // Deleted. False when none holds it.
  bool DeleteLink(const std::string& url);
  // Cut: as Delete, and the link leaves the other lists too. Deleted remembers the address even
  // when no list held it, so that it is not fetched again.
  void CutLink(const std::string& url);
  // Deletes the e-mail entry of that mail address. False when there is none.
  bool DeleteEmail(const std::string& address);

  TThreadManager& ThreadManager() { return m_manager; }

  // The project document; setting it installs the load-link and settings hooks on it (and takes
  // them off the one it replaces). Null: list changes are not stored.
  IDownloadDocument* VornDocument() const { return m_document.load(); }
  void SetVornDocument(IDownloadDocument* document);
  // The application options a crawl dials, identifies and connects by. Set it before starting.
  TVornOptions* VornOptions() const { return m_options; }
  void SetVornOptions(TVornOptions* options) { m_options = options; }

  // The link trees kept in step with the lists; any may be null.
  ITreeUpdater* AllTreeUpdater() const { return m_allTree.load(); }
  ITreeUpdater* ReadyTreeUpdater() const { return m_readyTree.load(); }
  ITreeUpdater* QueueTreeUpdater() const { return m_queueTree.load(); }
  ITreeUpdater* FailedTreeUpdater() const { return m_failedTree.load(); }
  ITreeUpdater* IgnoredTreeUpdater() const { return m_ignoredTree.load(); }
  void SetAllTreeUpdater(ITreeUpdater* tree) { m_allTree = tree; }
  void SetReadyTreeUpdater(ITreeUpdater* tree) { m_readyTree = tree; }
  void SetQueueTreeUpdater(ITreeUpdater* tree) { m_queueTree = tree; }
  void SetFailedTreeUpdater(ITreeUpdater* tree) { m_failedTree = tree; }
  void SetIgnoredTreeUpdater(ITreeUpdater* tree) { m_ignoredTree = tree; }

  // Raised on the caller's thread.
  TProjectNameEvent OnProjectNameChange;  // General's project name was set
  TVornOnWizardNeeded OnWizard;           // at start, when the starting address has no server part
  TBoolNewValueEvent OnBuildAllTree, OnBuildIgnored, OnBuildEmails;  // System's switches set

  // The events delivered on the interface thread: slots of the synchroniser. Set them on the
  // interface thread.
  TVornEventHandlers& Handlers() { return m_sync->Handlers(); }
  TLinksEvent& OnNewQueue() { return Handlers().OnNewQueue; }
  TLinksEvent& OnDelQueue() { return Handlers().OnDelQueue; }
  TLinksEvent& OnNewReady() { return Handlers().OnNewReady; }
  TLinksEvent& OnDelReady() { return Handlers().OnDelReady; }
  TLinksEvent& OnNewFailed() { return Handlers().OnNewFailed; }
  TLinksEvent& OnDelFailed() { return Handlers().OnDelFailed; }
  TLinksEvent& OnNewWorking() { return Handlers().OnNewWorking; }
  TLinksEvent& OnDelWorking() { return Handlers().OnDelWorking; }
  TLinksEvent& OnNewIgnored() { return Handlers().OnNewIgnored; }
  TLinksEvent& OnDelIgnored() { return Handlers().OnDelIgnored; }
  TLinksEvent& OnNewEmail() { return Handlers().OnNewEmail; }
  TLinksEvent& OnDelEmail() { return Handlers().OnDelEmail; }
  TOnStartThreadEvent& OnStartThread() { return Handlers().OnStartThread; }
  TVornHTTPWork& OnWork() { return Handlers().OnWork; }
  TVornHTTPError& OnError() { return Handlers().OnError; }
  TVornFetchEnd& OnFetchEnd() { return Handlers().OnFetchEnd; }
  TVornFetchBegin& OnFetchStart() { return Handlers().OnFetchStart; }
  TVornHTTPStatus& OnStatus() { return Handlers().OnStatus; }
  TVornJobEnd& OnJobReady() { return Handlers().OnJobReady; }
  TVornOnStateEvent& OnStateChange() { return Handlers().OnStateChange; }

 private:
  // What the hooks of one list do: its events, STATUS, and trees.
  struct TListRole {
    TVornEventKind NewKind;  // 0: no events
    TVornEventKind DelKind;
    int Status;  // -1: not stored
    std::atomic<ITreeUpdater*>* OwnTree;
    int Image;
    bool AllTreeAdd;
    bool AllTreeRemove;
    bool ByMail;  // stored under the mail address
  };

  void InstallListHooks(TVornBaseLinks& list, const TListRole& role);
  void ListAdded(TVornBaseLinks& list, const TListRole& role, const TVornLinkPtr& link);
  void ListDeleted(TVornBaseLinks& list, const TListRole& role, const TVornLinkPtr& link);
  void InstallWorkerHooks();
  bool LoadLink(TVornLinkPtr link, int status);

  void SetState(TVornState state);
  // Starts the crawl; with queueStart, an empty Queue gets the starting address.
  void StartRun(bool queueStart);
  // Under WorkingLinks' write lock: adds a finished link to Ready in place of an entry of the
  // same address, whose stored document it takes over.
  void AddReady(const TVornLinkPtr& link);
  // Under WorkingLinks' write lock: a stored link fetched again ended; false when it was fetched
  // whole and is stored as any fetched page is. Otherwise its stored copy stands: unchanged, or
  // kept as gone with error.
  bool EndRefresh(const TVornLinkPtr& link, uint8_t outcome, const std::string& error);
  // Moves a Ready entry to the back of the Queue as a refresh of its stored copy.
  void RequeueStored(int readyIndex);
  // On the interface thread, once the document refused a write: stops the crawl and says why.
  void StopForStorage();
  void Tick();
  void TickOnce();
  // Enables the dispatch timer: paced, the next tick comes one interval on. Unpaced, soon runs
  // it on the next loop turn, else after the idle poll: a tick that could start nothing waits
  // for WakeDispatch instead of spinning the interface thread.
  void ArmTimer(bool soon);
  // Any thread: a worker slot may have come free, or admitted links wait in the Queue.
  void WakeDispatch();
  void StartAdmission();
  // Sets the admission's robots.txt question for the coming crawl, each server asked afresh.
  void ObeyRobots();
  bool Dispatch();
  // Under the Queue's lock: the index of the link to dispatch next, counted by the rate gate; -1
  // when every server in reach had its share.
  int NextDispatchable();
  // Throws when the page's transfer cannot start.
  void StartPage(const TVornPagePtr& page, const std::string& url);
  void FailPage(const TVornPagePtr& page, std::string error);
  // Deletes the worker's entry from WorkingLinks and returns a copy of the worker's link.
  TVornLinkPtr TakeWorkingLink(const TVornPagePtr& page);

  std::unique_ptr<TVornEventSynchronizer> m_sync;  // first made, last released
  TVornCrawlSettings m_settings;
  TVornBaseLinks m_ready, m_working, m_queue, m_failed, m_email, m_ignored, m_deleted;
  TVornBaseLinks m_pending;
  TVornAdmission m_admission;
  TThreadManager m_manager;
  TVornTimer m_timer;
  TVornRateGate m_rateGate;
  TVornRobots m_robots;

  std::atomic<TVornState> m_state{edsReady};
  bool m_filtering = false;
  bool m_destroying = false;
  int64_t m_ticks = 0;
  // When the latest pages were started, at most one a worker slot (paced crawls only).
  std::deque<std::chrono::steady_clock::time_point> m_recentDispatches;
  std::atomic<int> m_dispatchInterval{kDefaultDispatchIntervalMs};
  std::shared_ptr<TVornWorkerThread> m_admissionThread;
  std::atomic<bool> m_wakePosted{false};
  std::atomic<bool> m_storageRefused{false};  // set by a worker, handled by the next tick
  std::string m_storageFailure;
  bool m_updating = false;
  TVornUpdateSummary m_update;
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);  // expires with the controller

  std::atomic<IDownloadDocument*> m_document{nullptr};
  TVornOptions* m_options = nullptr;
  std::atomic<ITreeUpdater*> m_allTree{nullptr}, m_readyTree{nullptr}, m_queueTree{nullptr},
      m_failedTree{nullptr}, m_ignoredTree{nullptr};
};

}  // namespace tq
