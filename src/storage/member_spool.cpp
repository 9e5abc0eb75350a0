// The spool of packed contents: its working files of members, the packing thread and the
// save's hand-over.
#include "storage/member_spool.h"

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "engine/connection_status.h"
#include "storage/archive_writer.h"

namespace tq {
namespace {

// The attributes a content had as a file of its own (writable: the archive bit only); members
// keep them so that a save writes what it wrote from those files.
constexpr uint8_t kContentAttributes = 0x20;
// How long the packing thread leaves a disk that refused a member before it tries again.
constexpr auto kRetryAfter = std::chrono::seconds(1);

}  // namespace

archive_detail::TEntry TMemberSpool::TItem::Entry() const {
  archive_detail::TEntry entry;
  entry.header.method = place.lh1 ? kLhaLh1 : kLhaStored;
  entry.header.packedSize = place.packedSize;
  entry.header.originalSize = place.originalSize;
  entry.header.timeStamp = timeStamp;
  entry.header.attributes = kContentAttributes;
  entry.header.name = name;
  entry.header.crc = place.crc;
  entry.offset = place.offset;
  entry.headerLength = place.headerLength;
  return entry;
}

std::string TMemberSpool::TContent::Read() const {
  return m_data ? *m_data : m_member->Extract();
}

std::unique_ptr<TContentStream> TMemberSpool::TContent::Stream() const {
  return m_data ? MemoryContentStream(m_data) : m_member->Stream();
}

TMemberSpool::TMemberSpool(const std::string& stem, TFileSystem& fileSystem,
                           std::function<void()> onRoom)
    : m_fileSystem(fileSystem), m_onRoom(std::move(onRoom)) {
  for (size_t i = 0; i < m_files.size(); ++i) m_files[i].path = stem + std::to_string(i) + ".~web";
  m_packer = std::thread([this] { PackerLoop(); });
}

TMemberSpool::~TMemberSpool() {
  {
    std::lock_guard items(m_itemLock);
    m_stop = true;
  }
  m_wake.notify_all();
  m_packer.join();
  for (TFile& file : m_files) {
    if (file.writable) {
      file.writable->Close();
      m_fileSystem.Remove(file.path);
    }
  }
}

void TMemberSpool::PackerLoop() {
  // Packing is work a save would otherwise do at its end: it may wait while the crawl has
  // anything to do. The lowest nice value rather than SCHED_IDLE: a save waits for the append
  // under way, and a thread with a share of its own always gets to end it.
  ApplyThreadPriority(CurrentThreadTid(), tpIdle);
  for (;;) {
    {
      std::unique_lock items(m_itemLock);
      m_wake.wait(items, [this] { return m_stop || (!m_waiting.empty() && !Failed()); });
      if (m_stop) return;
    }
    if (Pack(kPackerFile) == TPacked::Failed) {
      // Trying again at once would spin on a full or failing disk.
      std::unique_lock items(m_itemLock);
      m_wake.wait_for(items, kRetryAfter, [this] { return m_stop; });
    }
  }
}

bool TMemberSpool::CurrentLocked(const TClaim& claim) const {
  return claim.slot < m_items.size() && m_items[claim.slot].version == claim.version &&
         !m_items[claim.slot].name.empty();
}

void TMemberSpool::ReleaseLocked(TItem& item) {
  if (item.data && !item.claimed) {
    m_waitingBytes.fetch_sub(item.data->size(), std::memory_order_acq_rel);
  }
  item.data.reset();
  item.claimed = false;
}

void TMemberSpool::Put(const std::string& name, std::string content, uint32_t timeStamp) {
  auto data = std::make_shared<const std::string>(std::move(content));
  const uint64_t size = data->size();
  {
    std::lock_guard items(m_itemLock);
    const auto [it, added] = m_slotOf.emplace(TVornArchive::MemberName(name), m_items.size());
    if (added) m_items.emplace_back();
    TItem& item = m_items[it->second];
    ReleaseLocked(item);
    item.name = it->first;
    item.timeStamp = timeStamp;
    item.version = ++m_nextVersion;
    item.data = std::move(data);  // a packed one's bytes stay in the file, unused, until the save
    m_waitingBytes.fetch_add(size, std::memory_order_acq_rel);
    m_waiting.push_back({it->second, item.version});
  }
  m_wake.notify_all();
}

void TMemberSpool::Forget(const std::string& name) {
  {
    std::lock_guard items(m_itemLock);
    const auto it = m_slotOf.find(TVornArchive::MemberName(name));
    if (it == m_slotOf.end()) return;
    TItem& item = m_items[it->second];
    ReleaseLocked(item);
    item.name.clear();
    m_slotOf.erase(it);
  }
  m_onRoom();
}

bool TMemberSpool::Holds(const std::string& name) const {
  std::lock_guard items(m_itemLock);
  return m_slotOf.count(TVornArchive::MemberName(name)) > 0;
}

std::optional<TMemberSpool::TContent> TMemberSpool::Find(const std::string& name) const {
  std::lock_guard items(m_itemLock);
  const auto it = m_slotOf.find(TVornArchive::MemberName(name));
  if (it == m_slotOf.end()) return std::nullopt;
  const TItem& item = m_items[it->second];
  TContent content;
  if (item.data) {
    content.m_data = item.data;
  } else {
    // Opened while the entry is known to be in this file: a restart clears the entries before
    // it removes the file, and the descriptor keeps this version readable after.
    content.m_member.emplace(OpenLocked(item.place.file), item.Entry());
  }
  return content;
}

bool TMemberSpool::PackOne() {
  return Pack(kHelperFile) == TPacked::Packed;
}

std::string TMemberSpool::Failure() const {
  std::lock_guard items(m_itemLock);
  return m_failure;
}

void TMemberSpool::Fail(int error) {
  {
    std::lock_guard items(m_itemLock);
    if (m_failure.empty()) m_failure = std::strerror(error != 0 ? error : EIO);
    m_failed.store(true, std::memory_order_release);
  }
  m_onRoom();  // a thread waiting for room now waits for nothing
}

TMemberSpool::TPacked TMemberSpool::Pack(size_t fileIndex) {
  TClaim claim;
  std::string name;
  uint32_t timeStamp = 0;
  std::shared_ptr<const std::string> data;
  {
    std::lock_guard items(m_itemLock);
    if (Failed()) return TPacked::None;
    do {
      if (m_waiting.empty()) return TPacked::None;
      claim = m_waiting.front();
      m_waiting.pop_front();
    } while (!CurrentLocked(claim) || !m_items[claim.slot].data);
    TItem& item = m_items[claim.slot];
    name = item.name;
    timeStamp = item.timeStamp;
    data = item.data;
    item.claimed = true;
    m_waitingBytes.fetch_sub(data->size(), std::memory_order_acq_rel);
  }
  m_onRoom();
  // With the item lock held: back to waiting when it could not be packed, for a later try or
  // the next save.
  const auto unclaim = [&] {
    m_items[claim.slot].claimed = false;
    m_waitingBytes.fetch_add(data->size(), std::memory_order_acq_rel);
    m_waiting.push_back(claim);
  };
  // Small members are compressed before the file is locked, so that threads packing side by
  // side append one after the other but compress at the same time.
  std::optional<archive_detail::TPackedMember> packed;
  try {
    if (data->size() < archive_detail::kStreamedMemberSize) {
      packed = archive_detail::PackMember(name, *data, timeStamp, kContentAttributes);
    }
  } catch (const EArchiveError&) {
    std::lock_guard items(m_itemLock);
    if (CurrentLocked(claim)) unclaim();
    return TPacked::Failed;
  }
  std::optional<archive_detail::TEntry> entry;
  int writeError = 0;
  TFile& file = m_files[fileIndex];
  {
    std::lock_guard fileLock(file.lock);
    {
      std::lock_guard items(m_itemLock);
      if (!CurrentLocked(claim)) return TPacked::Packed;  // replaced or forgotten meanwhile
    }
    if (!file.writable) {
      // A file a crash left behind goes first; the new one is never opened through a link.
      m_fileSystem.Remove(file.path);
      file.writable = m_fileSystem.CreateFile(file.path, 0600);
      if (!file.writable) writeError = errno;
      // Read back through the file just made: a file renamed over its name meanwhile (a page
      // copied out under it) must never be read as members.
      TFd readable(file.writable ? file.writable->OpenForReading() : TFd(-1));
      if (readable.Valid()) {
        std::lock_guard items(m_itemLock);
        file.readable = std::move(readable);
      } else if (file.writable) {
        file.writable->Close();
        file.writable.reset();
      }
    }
    if (file.writable) {
      const uint64_t end = file.writable->Size();
      errno = 0;
      try {
        entry = packed ? archive_detail::AppendPacked(*file.writable, *packed)
                       : archive_detail::AppendMember(*file.writable, name, *data, timeStamp,
                                                      kContentAttributes);
      } catch (const EArchiveError&) {
        writeError = errno != 0 ? errno : EIO;
        // What part of the member got written is cut off; should even that fail, the members
        // before it still lie where they were recorded.
        file.writable->Truncate(end);
      }
    }
    std::unique_lock items(m_itemLock);
    if (!entry) {
      if (CurrentLocked(claim)) unclaim();
      items.unlock();
      if (writeError != 0 || !file.writable) Fail(writeError);
      return TPacked::Failed;
    }
    if (!CurrentLocked(claim)) return TPacked::Packed;
    TItem& item = m_items[claim.slot];
    const TLhaHeader& header = entry->header;
    item.place = {entry->offset,
                  header.packedSize,
                  header.originalSize,
                  static_cast<uint16_t>(entry->headerLength),
                  header.crc,
                  header.method == kLhaLh1,
                  static_cast<uint8_t>(fileIndex)};
    ReleaseLocked(item);
  }
  return TPacked::Packed;
}

void TMemberSpool::Drain(std::vector<TVornArchive::TSource>& sources,
                         const std::function<void()>& write) {
  std::scoped_lock files(m_files[kPackerFile].lock, m_files[kHelperFile].lock);
  std::vector<std::shared_ptr<const std::string>> waiting;  // alive while write reads them
  {
    std::lock_guard items(m_itemLock);
    sources.reserve(sources.size() + m_slotOf.size());
    std::array<std::shared_ptr<const archive_detail::TArchiveReader>, 2> packedFrom;
    for (const TItem& item : m_items) {
      if (item.name.empty()) continue;
      TVornArchive::TSource source;
      source.name = item.name;
      if (!item.data) {
        auto& reader = packedFrom[item.place.file];
        if (!reader) reader = OpenLocked(item.place.file);
        source.packedFrom = reader;
        source.packedAt = item.place.offset;
        source.packedLength = item.place.headerLength + uint64_t{item.place.packedSize};
      } else {
        source.data = *item.data;
        source.timeStamp = item.timeStamp;
        source.attributes = kContentAttributes;
        waiting.push_back(item.data);
      }
      sources.push_back(std::move(source));
    }
  }
  write();
  RestartLocked();
  m_onRoom();
}

void TMemberSpool::Clear() {
  {
    std::scoped_lock files(m_files[kPackerFile].lock, m_files[kHelperFile].lock);
    RestartLocked();
  }
  m_onRoom();
}

std::shared_ptr<const archive_detail::TArchiveReader> TMemberSpool::OpenLocked(
    size_t fileIndex) const {
  const TFile& file = m_files[fileIndex];
  // A reader of its own each time: it takes the file's size as it opens, and members are
  // appended after every earlier reader was made.
  return std::make_shared<const archive_detail::TArchiveReader>(
      file.path, TFd(::fcntl(file.readable.Get(), F_DUPFD_CLOEXEC, 0)));
}

void TMemberSpool::RestartLocked() {
  {
    std::lock_guard items(m_itemLock);
    m_items.clear();
    m_slotOf.clear();
    m_waiting.clear();
    m_waitingBytes.store(0, std::memory_order_release);
    for (TFile& file : m_files) file.readable.Reset();
    // New files on a disk that took the save: worth another try.
    m_failure.clear();
    m_failed.store(false, std::memory_order_release);
  }
  for (TFile& file : m_files) {
    if (!file.writable) continue;
    file.writable->Close();
    file.writable.reset();
    m_fileSystem.Remove(file.path);
  }
}

}  // namespace tq
