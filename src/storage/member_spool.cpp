// The spool of packed contents: one working file of members, the packing thread and the save's
// hand-over.
#include "storage/member_spool.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "storage/archive_writer.h"

namespace tq {
namespace {

// The attributes a content had as a file of its own (writable: the archive bit only); members
// keep them so that a save writes what it wrote from those files.
constexpr uint8_t kContentAttributes = 0x20;
// How long the packing thread leaves a disk that refused a member before it tries again.
constexpr auto kRetryAfter = std::chrono::seconds(1);

}  // namespace

std::string TMemberSpool::TContent::Read() const {
  return m_data ? *m_data : m_member->Extract();
}

TMemberSpool::TMemberSpool(std::string path, TFileSystem& fileSystem, std::function<void()> onRoom)
    : m_path(std::move(path)),
      m_fileSystem(fileSystem),
      m_onRoom(std::move(onRoom)),
      m_packer([this] { PackerLoop(); }) {}

TMemberSpool::~TMemberSpool() {
  {
    std::lock_guard items(m_itemLock);
    m_stop = true;
  }
  m_wake.notify_all();
  m_packer.join();
  if (m_file) {
    m_file->Close();
    m_fileSystem.Remove(m_path);
  }
}

void TMemberSpool::PackerLoop() {
  // Packing is work a save would otherwise do at its end: it may wait while the crawl has
  // anything to do. The lowest nice value rather than SCHED_IDLE: the packer holds the file lock
  // while it appends, and a thread with a share of its own always gets to let it go.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
  for (;;) {
    {
      std::unique_lock items(m_itemLock);
      m_wake.wait(items, [this] { return m_stop || !m_waiting.empty(); });
      if (m_stop) return;
    }
    if (Pack() == TPacked::Failed) {
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
  if (item.data) {
    m_waitingBytes.fetch_sub(item.data->size(), std::memory_order_acq_rel);
    item.data.reset();
  }
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
    item.data = std::move(data);
    item.entry.reset();  // its bytes stay in the file, unused, until the next save
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
    item.entry.reset();
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
    content.m_member.emplace(OpenLocked(), *item.entry);
  }
  return content;
}

bool TMemberSpool::PackOne() {
  return Pack() == TPacked::Packed;
}

TMemberSpool::TPacked TMemberSpool::Pack() {
  TClaim claim;
  std::string name;
  uint32_t timeStamp = 0;
  std::shared_ptr<const std::string> data;
  {
    std::lock_guard items(m_itemLock);
    do {
      if (m_waiting.empty()) return TPacked::None;
      claim = m_waiting.front();
      m_waiting.pop_front();
    } while (!CurrentLocked(claim) || !m_items[claim.slot].data);
    const TItem& item = m_items[claim.slot];
    name = item.name;
    timeStamp = item.timeStamp;
    data = item.data;
  }
  // Small members are compressed before the file is locked, so that threads packing side by
  // side append one after the other but compress at the same time.
  std::optional<archive_detail::TPackedMember> packed;
  try {
    if (data->size() < archive_detail::kStreamedMemberSize) {
      packed = archive_detail::PackMember(name, *data, timeStamp, kContentAttributes);
    }
  } catch (const EArchiveError&) {
    std::lock_guard items(m_itemLock);
    if (CurrentLocked(claim)) m_waiting.push_back(claim);
    return TPacked::Failed;
  }
  std::optional<archive_detail::TEntry> entry;
  {
    std::lock_guard file(m_fileLock);
    {
      std::lock_guard items(m_itemLock);
      if (!CurrentLocked(claim)) return TPacked::Packed;  // replaced or forgotten meanwhile
    }
    if (!m_file) {
      // A file a crash left behind goes first; the new one is never opened through a link.
      m_fileSystem.Remove(m_path);
      m_file = m_fileSystem.CreateFile(m_path, 0600);
      struct stat st {};
      if (m_file && ::stat(m_path.c_str(), &st) == 0) {
        std::lock_guard items(m_itemLock);
        m_fileId = {static_cast<int64_t>(st.st_dev), static_cast<int64_t>(st.st_ino)};
      } else if (m_file) {
        m_file->Close();
        m_file.reset();
      }
    }
    if (m_file) {
      const uint64_t end = m_file->Size();
      try {
        entry = packed ? archive_detail::AppendPacked(*m_file, *packed)
                       : archive_detail::AppendMember(*m_file, name, *data, timeStamp,
                                                      kContentAttributes);
      } catch (const EArchiveError&) {
        // What part of the member got written is cut off; should even that fail, the members
        // before it still lie where they were recorded.
        m_file->Truncate(end);
      }
    }
    std::lock_guard items(m_itemLock);
    if (!CurrentLocked(claim)) return TPacked::Packed;
    if (!entry) {
      m_waiting.push_back(claim);
      return TPacked::Failed;
    }
    TItem& item = m_items[claim.slot];
    item.entry = std::move(entry);
    ReleaseLocked(item);
  }
  m_onRoom();
  return TPacked::Packed;
}

void TMemberSpool::Drain(
    const std::function<void(const std::vector<TVornArchive::TSource>&)>& write) {
  std::lock_guard file(m_fileLock);
  std::vector<TVornArchive::TSource> sources;
  std::vector<std::shared_ptr<const std::string>> waiting;  // alive while write reads them
  {
    std::lock_guard items(m_itemLock);
    for (const TItem& item : m_items) {
      if (item.name.empty()) continue;
      TVornArchive::TSource source;
      source.name = item.name;
      if (item.entry) {
        source.path = m_path;
        source.packedAt = item.entry->offset;
        source.packedLength = item.entry->End() - item.entry->offset;
      } else {
        source.data = *item.data;
        source.timeStamp = item.timeStamp;
        source.attributes = kContentAttributes;
        waiting.push_back(item.data);
      }
      sources.push_back(std::move(source));
    }
    if (m_file) OpenLocked();
  }
  write(sources);
  RestartLocked();
  m_onRoom();
}

void TMemberSpool::Clear() {
  {
    std::lock_guard file(m_fileLock);
    RestartLocked();
  }
  m_onRoom();
}

std::shared_ptr<const archive_detail::TArchiveReader> TMemberSpool::OpenLocked() const {
  auto reader = std::make_shared<const archive_detail::TArchiveReader>(m_path);
  if (reader->Identity()[0] != m_fileId[0] || reader->Identity()[1] != m_fileId[1]) {
    throw EArchiveError("The working file " + m_path + " was replaced");
  }
  return reader;
}

void TMemberSpool::RestartLocked() {
  {
    std::lock_guard items(m_itemLock);
    m_items.clear();
    m_slotOf.clear();
    m_waiting.clear();
    m_waitingBytes.store(0, std::memory_order_release);
  }
  if (m_file) {
    m_file->Close();
    m_file.reset();
    m_fileSystem.Remove(m_path);
  }
}

}  // namespace tq
