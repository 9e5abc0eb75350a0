// TVornDocJobs: the storage behind one project document — its working folder, content index,
// archive working copy and the spool of contents not yet saved — and the queue of storage jobs
// that one worker thread works off, so that crawl threads never wait for disk or archive work.
//
// Threads: every method may be called from any thread. Queue only takes the queue lock, for a
// moment, and never waits on a job, a load or a save. Every job execution, every immediate read
// and the packing of a save hold the document lock, the worker for one job at a time. Jobs on
// one address run in the order they were queued, whichever threads queued them; an immediate
// read first runs every job queued before it (so a thread always reads what it wrote, under any
// spelling of the address), and reads the content itself after letting the lock go. Lock order:
// document lock, then queue lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "storage/archive.h"
#include "storage/content_index.h"
#include "storage/index_file.h"
#include "storage/member_spool.h"

namespace tq {

inline constexpr std::string_view kSettingsMember = "settings.dat";
inline constexpr std::string_view kIndexMember = "index.dat";
// The largest settings or index member a project file may hold: far above any real project's,
// and low enough that a crafted file cannot make a load allocate gigabytes.
inline constexpr uint64_t kMaxControlMemberSize = uint64_t{256} << 20;
// The most bytes of jobs, and of stored contents not yet packed, held before the crawl's worker
// threads wait for them: a crawl faster than the disk would otherwise grow them without end.
inline constexpr uint64_t kMaxQueuedJobBytes = uint64_t{64} << 20;

enum TDocJobKind : uint8_t { djRemove, djStoreContent, djWriteInteger, djWriteString, djTaken };

struct TVornDocJob {
  TDocJobKind Kind = djWriteString;
  std::string Section;  // the document address
  std::string Key;
  std::string Value;  // string value, or the content to store
  int IntValue = 0;
};

// Whether a "Content" value may name a content file: a plain file name, never a path, "." or
// "..", nor the name of the settings or index member.
bool IsContentFileName(std::string_view name);

class TVornDocJobs {
 public:
  using TPackProgress = std::function<void(size_t position, size_t count)>;

  // folder is the working folder with a trailing "/", or empty (then no content is stored). Every
  // file is written through fileSystem, which must outlive the object.
  explicit TVornDocJobs(std::string folder, TFileSystem& fileSystem = RealFileSystem());
  // Stops the worker; jobs not yet run are dropped.
  ~TVornDocJobs();
  TVornDocJobs(const TVornDocJobs&) = delete;
  TVornDocJobs& operator=(const TVornDocJobs&) = delete;

  const std::string& Folder() const { return m_folder; }

  // Appends a job; the worker runs it soon. Never waits, also past the queue's bound.
  void Queue(TVornDocJob job);
  // Waits while the queued jobs and the contents waiting to be packed hold more than their
  // bound, packing contents itself meanwhile; returns at once on the interface thread, which
  // must never wait for the disk. For the threads that produce what is queued.
  // Returns at once, too, once the working folder refused a write (StorageFailure) and while
  // waits are released.
  void WaitForRoom();
  // While released, WaitForRoom returns at once and a wait under way ends: a crawl that stops
  // must never wait for the disk.
  void ReleaseWaits(bool released);
  // Why the working folder refused a content ("No space left on device"); empty while it takes
  // them. The contents it refused stay in memory for the next save.
  std::string StorageFailure() const { return m_spool ? m_spool->Failure() : std::string(); }
  void TestOnlySetQueueLimit(uint64_t bytes);
  // The time stamps of stored contents and of the saved settings and index come from clock.
  void TestOnlySetClock(std::function<std::time_t()> clock);
  // Grows with every job queued, every adoption and every content a save drops, each counted once
  // it can be seen: a read made after taking the count sees every change the count includes.
  uint64_t ChangeCount() const { return m_changeCount.load(std::memory_order_acquire); }
  // Runs every job queued so far before returning.
  void Flush();

  // Immediate reads; empty on any failure or for an address without that key.
  std::string ReadString(std::string_view section, std::string_view key);
  // Empty for an address without content. Unreadable is not empty: raises EArchiveError when
  // the content the index names is missing or damaged, and the next save marks the address.
  std::string ReadContent(std::string_view section);
  // The content in pieces, for contents too large to hold whole; null for an address without
  // content. Raises as ReadContent when the content cannot be opened.
  std::unique_ptr<TContentStream> OpenContent(std::string_view section);

  // The save's packing: runs the queued jobs and adds the settings (from writeSettings), the
  // index and every content stored since the last save to the archive in one rewrite, reporting
  // after each content. Returns a descriptor open on the packed archive (the caller closes it),
  // so that later writes cannot change what the caller copies; -1 when packing failed, in which
  // case every content is kept for the next save. Errors of writeSettings count as failures.
  int Pack(const std::function<void(TVornCustomIniFile& settings)>& writeSettings,
           const TPackProgress& progress);

  // Reads every stored content to its end, checking it, so that the next save marks each one
  // that cannot be read; the number found. Slow (it decompresses everything): for a batch run
  // that is about to save a project it loaded.
  size_t CheckContents();
  // The addresses the last Pack marked damaged ("DAMAGED" in the index, with the reason): those
  // whose content a read could not read, and those whose content the archive does not hold.
  std::vector<std::string> DamagedDocuments() const;

  // Makes archiveCopy (a file in the working folder, moved away) the archive and index the
  // content index. Content stored before is dropped. Raises EArchiveError when the move fails.
  void Adopt(const std::string& archiveCopy, std::unique_ptr<TVornIndexFile> index);

  // Rebuilds a link from every section of the index, in file order, and hands each to onLink
  // without holding the document lock (onLink may read the document); stops when onLink answers
  // false. Sections added meanwhile are not handed over.
  void HandOverLinks(const TIndexLinkHandler& onLink);

 private:
  void WorkerLoop();
  // With the document lock held: runs the first queued job; false when there was none.
  bool RunNextLocked();
  // With the queue lock held: job leaves the queue.
  void TakenLocked(const TVornDocJob& job);
  // With the document lock held: runs every queued job, in order.
  void RunPendingLocked();
  void Execute(TVornDocJob& job);
  void Remove(const std::string& section);
  void StoreContent(const std::string& section, std::string&& content);
  // A content name no member of the archive or the spool has; empty when none was found.
  std::string DrawContentName();
  std::string ContentNameOf(std::string_view section) const;
  // With the document lock held: runs the address's jobs and finds its content; false when it
  // has none. Raises EArchiveError (and notes the address) when the content cannot be opened.
  bool FindContentLocked(std::string_view section, std::optional<TMemberSpool::TContent>& spooled,
                         std::optional<TVornArchive::TMember>& member);
  // Notes the address as unreadable for the next save; the reason as the user reads it.
  std::string NoteUnreadable(std::string_view section, std::string reason);
  // Notes the address as unreadable for the next save and raises EArchiveError naming it.
  [[noreturn]] void Unreadable(std::string_view section, std::string reason);
  // With the document lock held: marks the unreadable addresses in the index for the save.
  void MarkUnreadableLocked();
  // With the queue lock held: whether the queue and the spool are over their bound.
  bool OverLimitLocked() const;
  void NotifyRoom();

  const std::string m_folder;
  TFileSystem& m_fileSystem;

  // Guarded by m_docLock.
  mutable std::mutex m_docLock;
  std::unique_ptr<TVornIndexFile> m_index;
  std::unique_ptr<TVornArchive> m_archive;
  bool m_handingOver = false;  // slots of the index must stay where they are
  std::mt19937 m_random;
  std::function<std::time_t()> m_clock;

  // Guarded by m_queueLock.
  mutable std::mutex m_queueLock;
  std::condition_variable m_wake;
  std::deque<TVornDocJob> m_jobs;  // a job run ahead by a read stays as djTaken
  uint64_t m_queuedBytes = 0;
  uint64_t m_queueLimit = kMaxQueuedJobBytes;
  std::condition_variable m_room;
  bool m_stop = false;
  bool m_waitsReleased = false;
  bool m_roomWanted = false;  // a thread waits in WaitForRoom: the worker gathers no longer
  std::atomic<uint64_t> m_changeCount{0};

  // Contents not yet in the archive; none without a working folder. Ended before the rest.
  std::unique_ptr<TMemberSpool> m_spool;
  // Addresses whose content a read found unreadable since the last save, with the reason.
  std::mutex m_unreadableLock;
  std::map<std::string, std::string> m_unreadable;
  std::vector<std::string> m_damaged;  // guarded by m_docLock
  // Members of removed documents, still in the working archive until the next save.
  std::vector<std::string> m_removedMembers;
  std::thread m_worker;
};

// A random generator seeded from the device and the clock, for temporary names.
std::mt19937 SeededRandom();
// prefix + a random number 0..999999 + suffix.
std::string DrawName(std::mt19937& random, std::string_view prefix, std::string_view suffix);

}  // namespace tq
