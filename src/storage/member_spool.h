// TMemberSpool: the document's contents not yet in the project archive. Each is turned into its
// archive member form (header and data, exactly as a save would write it) in the background and
// appended to a working file, so that a save copies finished members instead of compressing
// every content at its end, and a crawl makes two files instead of one per page.
//
// Threads: every method may be called from any thread. The spool's own packing thread runs at
// the lowest priority, so it uses otherwise idle processor time; a thread that must not get ahead
// of it packs on its own (PackOne) into a second file. Lock order: the file locks (appending,
// Drain, Clear; the packer's file first) before the item lock; callers may hold locks of their own
// (the document lock) when they call, as long as they never take them inside Drain's write.
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
    // The same content in pieces.
    std::unique_ptr<TContentStream> Stream() const;

   private:
    friend class TMemberSpool;
    std::shared_ptr<const std::string> m_data;      // while it waits to be packed
    std::optional<TVornArchive::TMember> m_member;  // once packed
  };

  // The working files are stem + "0.~web" and stem + "1.~web", each made when its first member
  // is appended and removed with the spool. onRoom is called, without the spool's locks,
  // whenever WaitingBytes shrank.
  TMemberSpool(const std::string& stem, TFileSystem& fileSystem, std::function<void()> onRoom);
  // Stops the packing thread and removes the working files.
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

  // Bytes of content held in memory that no thread is packing yet. Those being packed are held
  // too, one by each packing thread.
  uint64_t WaitingBytes() const { return m_waitingBytes.load(std::memory_order_acquire); }
  // Packs the oldest waiting content on the calling thread. False when none waited or appending
  // it failed; the content then stays in memory and is packed later or by the next save.
  bool PackOne();
  // Why the working files refused a member ("No space left on device"); empty while they take
  // them. Once they refused one nothing more is packed (every content waits in memory for the
  // save) until a save or Clear starts the files anew: packing again and again onto a full disk
  // would only burn the processor.
  std::string Failure() const;
  bool Failed() const { return m_failed.load(std::memory_order_acquire); }

  // Appends every held content, in the order of their first Put, to sources (packed members as
  // ranges of the working files, waiting ones as data), then calls write, which writes them;
  // nothing is appended to the working files meanwhile. When write returns the contents are
  // gone and the working files start anew; when it throws, every one is kept. A Put or Forget
  // while write runs is lost: the caller keeps them out.
  void Drain(std::vector<TVornArchive::TSource>& sources, const std::function<void()>& write);
  // Forgets every content and starts the working files anew.
  void Clear();

 private:
  // Where a packed content lies and what reading it back needs: its header less what the item
  // knows already. A crawl keeps one per page until the save, so it is kept small.
  struct TPlace {
    uint64_t offset = 0;  // of the first header byte
    uint32_t packedSize = 0;
    uint32_t originalSize = 0;
    uint16_t headerLength = 0;
    uint16_t crc = 0;
    bool lh1 = false;
    uint8_t file = 0;
  };
  struct TItem {
    std::string name;  // member name; empty once forgotten
    uint32_t timeStamp = 0;
    bool claimed = false;  // a thread is packing data: it no longer counts as waiting
    uint64_t version = 0;  // grows with every Put, so a packing of an older content is dropped
    std::shared_ptr<const std::string> data;  // while waiting; once it is gone, place holds
    TPlace place;                             // where the packed content lies

    archive_detail::TEntry Entry() const;
  };
  // One working file. The packing thread appends to its own and every other thread to the
  // second, so that no thread of normal priority ever waits for a lock the idle one holds while
  // it writes (a system call, where the scheduler likes to take its processor away).
  struct TFile {
    std::string path;
    std::mutex lock;                          // held while appending, and by Drain and Clear
    std::unique_ptr<TWritableFile> writable;  // guarded by lock
    TFd readable;  // the file open for reading; set and reset under lock and the item lock
  };
  static constexpr size_t kPackerFile = 0;
  static constexpr size_t kHelperFile = 1;
  struct TClaim {
    size_t slot = 0;
    uint64_t version = 0;
  };
  enum class TPacked { None, Packed, Failed };

  void PackerLoop();
  TPacked Pack(size_t fileIndex);
  // With the item lock held: whether claim still names the current content of its slot.
  bool CurrentLocked(const TClaim& claim) const;
  // The working file refused a write with error: kept (the first only), and packing stops.
  void Fail(int error);
  // With the item lock held: the slot's content leaves memory.
  void ReleaseLocked(TItem& item);
  // With both file locks held: removes the files and forgets every content.
  void RestartLocked();
  // With the item lock held: a working file opened for reading, through the descriptor kept
  // since it was made, so that a file saved under its name later is never read as members.
  std::shared_ptr<const archive_detail::TArchiveReader> OpenLocked(size_t fileIndex) const;

  TFileSystem& m_fileSystem;
  const std::function<void()> m_onRoom;
  std::array<TFile, 2> m_files;

  // Guarded by m_itemLock.
  mutable std::mutex m_itemLock;
  std::vector<TItem> m_items;
  std::unordered_map<std::string, size_t> m_slotOf;
  std::deque<TClaim> m_waiting;  // contents to pack, oldest first; stale entries are skipped
  uint64_t m_nextVersion = 0;
  bool m_stop = false;
  std::string m_failure;
  std::condition_variable m_wake;
  std::atomic<uint64_t> m_waitingBytes{0};
  std::atomic<bool> m_failed{false};

  std::thread m_packer;
};

}  // namespace tq
