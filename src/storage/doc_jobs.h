// TVornDocJobs: the storage behind one project document — its working folder, content index,
// archive working copy and loose content files — and the queue of storage jobs that one worker
// thread works off, so that crawl threads never wait for disk or archive work.
//
// Threads: every method may be called from any thread. Queue only takes the queue lock, for a
// moment, and never waits on a job, a load or a save. Every job execution, every immediate read
// and the packing of a save hold the document lock; an immediate read first runs the jobs queued
// before it, so a thread always reads what it wrote. Jobs run in the order they were queued,
// whichever threads queued them. Lock order: document lock, then queue lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/mem_ini_file.h"
#include "storage/archive.h"

namespace tq {

inline constexpr std::string_view kSettingsMember = "settings.dat";
inline constexpr std::string_view kIndexMember = "index.dat";

enum TDocJobKind : uint8_t { djRemove, djStoreContent, djWriteInteger, djWriteString };

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

  // folder is the working folder with a trailing "/", or empty (then no content is stored).
  explicit TVornDocJobs(std::string folder);
  // Stops the worker; jobs not yet run are dropped.
  ~TVornDocJobs();
  TVornDocJobs(const TVornDocJobs&) = delete;
  TVornDocJobs& operator=(const TVornDocJobs&) = delete;

  const std::string& Folder() const { return m_folder; }
  // The archive working copy (saves copy it over the project file).
  std::string ArchiveFileName() const;

  // Appends a job; the worker runs it soon.
  void Queue(TVornDocJob job);
  // Grows with every job queued and every adoption, each counted once it can be seen: a read made
  // after taking the count sees every change the count includes.
  uint64_t ChangeCount() const { return m_changeCount.load(std::memory_order_acquire); }
  // Runs every job queued so far before returning.
  void Flush();
  size_t PendingCount() const;

  // Immediate reads; empty on any failure or for an address without that key or content.
  std::string ReadString(std::string_view section, std::string_view key);
  std::string ReadContent(std::string_view section);

  // The save's packing: runs the queued jobs, writes the settings (through writeSettings) and the
  // index beside the archive and moves them and every loose content file into it, reporting after
  // each loose file. Returns a descriptor open on the packed archive (the caller closes it), so
  // that later writes cannot change what the caller copies; -1 when packing failed, in which case
  // every loose file is kept for the next save. Errors of writeSettings count as failures.
  int Pack(const std::function<void(TVornCustomIniFile& settings)>& writeSettings,
           const TPackProgress& progress);

  // Makes archiveCopy (a file in the working folder, moved away) the archive and indexText the
  // content index. Content stored before is dropped. Raises EArchiveError when the move fails.
  void Adopt(const std::string& archiveCopy, std::string_view indexText);

 private:
  void WorkerLoop();
  void RunPendingLocked();  // with the document lock held
  void Execute(TVornDocJob& job);
  void Remove(const std::string& section);
  void StoreContent(const std::string& section, const std::string& content);
  std::string ContentNameOf(std::string_view section) const;
  std::string DrawContentName();
  bool IsLoose(std::string_view name) const;
  void DropLoose(std::string_view name);

  const std::string m_folder;

  // Guarded by m_docLock.
  mutable std::mutex m_docLock;
  std::unique_ptr<TVornMemIniFile> m_index;
  std::unique_ptr<TVornArchive> m_archive;
  std::vector<std::string> m_looseNames;  // content files not yet in the archive, in store order
  std::mt19937 m_random;

  // Guarded by m_queueLock.
  mutable std::mutex m_queueLock;
  std::condition_variable m_wake;
  std::deque<TVornDocJob> m_jobs;
  bool m_stop = false;
  std::atomic<uint64_t> m_changeCount{0};

  std::thread m_worker;
};

// A random generator seeded from the device and the clock, for temporary names.
std::mt19937 SeededRandom();
// prefix + a random number 0..999999 + suffix.
std::string DrawName(std::mt19937& random, std::string_view prefix, std::string_view suffix);

}  // namespace tq
