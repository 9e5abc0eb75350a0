// TMemberSpool: the document's contents not yet in the project archive. Each is turned into its
// archive member form (header and data, exactly as a save would write it) in the background and
// appended to one working file, so that a save copies finished members instead of compressing
// every content at its end, and a crawl makes one file instead of one per page.
//
// Threads: every method may be called from any thread. The spool's own packing thread runs at
// the lowest priority, so it uses otherwise idle processor time; a thread that must not get ahead
// of it packs on its own (PackOne). Lock order: the file lock (appending, Drain, Clear) before
// the item lock; callers may hold locks of their own (the document lock) when they call, as
// long as they never take them inside Drain's write.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/file_system.h"
#include "storage/archive.h"
#include "storage/archive_reader.h"

namespace tq {

class TMemberSpool {
 public:
  // A held content, readable after the spool's locks are let go: a later Put, Drain or Clear
  // does not change what it reads.
  class TContent {
   public:
    // Throws EArchiveError when its member in the working file is damaged.
    std::string Read() const;

   private:
    friend class TMemberSpool;
    std::shared_ptr<const std::string> m_data;      // while it waits to be packed
    std::optional<TVornArchive::TMember> m_member;  // once packed
  };

  // path: the working file, made when the first member is appended and removed with the spool.
  // onRoom is called, without the spool's locks, whenever WaitingBytes shrank.
  TMemberSpool(std::string path, TFileSystem& fileSystem, std::function<void()> onRoom);
  // Stops the packing thread and removes the working file.
  ~TMemberSpool();
  TMemberSpool(const TMemberSpool&) = delete;
  TMemberSpool& operator=(const TMemberSpool&) = delete;

  // Holds content as the member name with the MS-DOS time stamp given, to be packed soon; a
  // content held under that name before is forgotten, its place in the order kept.
  void Put(const std::string& name, std::string content, uint32_t timeStamp);
  void Forget(const std::string& name);
  bool Holds(const std::string& name) const;
  // Nothing when the spool does not hold name.
  std::optional<TContent> Find(const std::string& name) const;

  // Bytes of content held in memory until they are packed.
  uint64_t WaitingBytes() const { return m_waitingBytes.load(std::memory_order_acquire); }
  // Packs the oldest waiting content on the calling thread. False when none waited or appending
  // it failed; the content then stays in memory and is packed later or by the next save.
  bool PackOne();

  // Hands every held content, in the order of their first Put, to write as archive sources
  // (packed members as ranges of the working file, waiting ones as data), appending nothing
  // meanwhile. When write returns they are gone and the working file starts anew; when it
  // throws, every one is kept. A Put or Forget while write runs is lost: the caller keeps them
  // out.
  void Drain(const std::function<void(const std::vector<TVornArchive::TSource>&)>& write);
  // Forgets every content and starts the working file anew.
  void Clear();

 private:
  struct TItem {
    std::string name;  // member name; empty once forgotten
    uint32_t timeStamp = 0;
    uint64_t version = 0;  // grows with every Put, so a packing of an older content is dropped
    std::shared_ptr<const std::string> data;      // while waiting
    std::optional<archive_detail::TEntry> entry;  // once packed
  };
  struct TClaim {
    size_t slot = 0;
    uint64_t version = 0;
  };
  enum class TPacked { None, Packed, Failed };

  void PackerLoop();
  TPacked Pack();
  // With the item lock held: whether claim still names the current content of its slot.
  bool CurrentLocked(const TClaim& claim) const;
  // With the item lock held: the slot's waiting content leaves memory.
  void ReleaseLocked(TItem& item);
  // With the file lock held: removes the file and forgets every content.
  void RestartLocked();
  // With the item lock held: the working file opened for reading. Throws EArchiveError when the
  // file under its name is no longer the one written (something saved over it): its bytes must
  // never be copied into a project as members.
  std::shared_ptr<const archive_detail::TArchiveReader> OpenLocked() const;

  const std::string m_path;
  TFileSystem& m_fileSystem;
  const std::function<void()> m_onRoom;

  // Guarded by m_fileLock.
  std::mutex m_fileLock;
  std::unique_ptr<TWritableFile> m_file;

  // Guarded by m_itemLock.
  mutable std::mutex m_itemLock;
  std::vector<TItem> m_items;
  std::unordered_map<std::string, size_t> m_slotOf;
  std::deque<TClaim> m_waiting;  // contents to pack, oldest first; stale entries are skipped
  std::array<int64_t, 2> m_fileId{};  // device and inode of the file; set under both locks
  uint64_t m_nextVersion = 0;
  bool m_stop = false;
  std::condition_variable m_wake;
  std::atomic<uint64_t> m_waitingBytes{0};

  std::thread m_packer;
};

}  // namespace tq
