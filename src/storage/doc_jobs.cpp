// The document's storage jobs: the queue, its worker and what each job does to index and archive.
#include "storage/doc_jobs.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <map>
#include <optional>
#include <utility>

#include "formats/lha_header.h"
#include "foundation/ansi.h"
#include "foundation/main_loop.h"
#include "foundation/mem_ini_file.h"
#include "platform/free_memory.h"

namespace tq {
namespace {

// The working copy of the project archive. Its name cannot be a content file's name, nor can a
// project file's own name clash with the files a save writes into the folder.
constexpr std::string_view kWorkingArchive = "project.~web";
// The start of the names of the spool's working files of packed contents.
constexpr std::string_view kSpoolStem = "members";
// Links rebuilt under the document lock at a time while a load hands them over.
constexpr size_t kHandOverBatch = 512;
// The most bytes of stored contents held in memory until the spool packs them: past it the
// crawl's threads pack them rather than let the idle packer fall further behind.
constexpr uint64_t kMaxWaitingContentBytes = uint64_t{1} << 20;
// Erased index sections are freed once there are this many and more of them than live ones.
constexpr size_t kCompactAfter = 4096;
// A crawl queues a dozen jobs a page from several threads. The worker, woken by the first job
// of a burst, lets the burst gather this long (or to this many jobs) and then runs it all: one
// wake-up for the lot instead of one for each job. Reads never wait for it: they run every
// queued job first.
constexpr auto kGatherTime = std::chrono::milliseconds(20);
constexpr size_t kGatherJobs = 256;

uint64_t CostOf(const TVornDocJob& job) {
  return sizeof(TVornDocJob) + job.Section.size() + job.Key.size() + job.Value.size();
}

}  // namespace

std::mt19937 SeededRandom() {
  std::random_device device;
  const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  std::seed_seq seed{device(), static_cast<unsigned>(now), static_cast<unsigned>(now >> 32)};
  return std::mt19937(seed);
}

std::string DrawName(std::mt19937& random, std::string_view prefix, std::string_view suffix) {
  std::uniform_int_distribution<int> number(0, 999999);
  return std::string(prefix) + std::to_string(number(random)) + std::string(suffix);
}

bool IsContentFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos &&
         name.find('\0') == std::string_view::npos && !AnsiSameText(name, kSettingsMember) &&
         !AnsiSameText(name, kIndexMember);
}

TVornDocJobs::TVornDocJobs(std::string folder, TFileSystem& fileSystem)
    : m_folder(std::move(folder)),
      m_fileSystem(fileSystem),
      m_index(std::make_unique<TVornIndexFile>()),
      // The working copy is rebuilt from the project file after a crash, never read back: it
      // needs no syncing.
      m_archive(std::make_unique<TVornArchive>(m_folder + std::string(kWorkingArchive),
                                               m_fileSystem, false)),
      m_random(SeededRandom()),
      m_clock([] { return std::time(nullptr); }),
      m_spool(m_folder.empty()
                  ? nullptr
                  : std::make_unique<TMemberSpool>(m_folder + std::string(kSpoolStem), m_fileSystem,
                                                   [this] { NotifyRoom(); })),
      m_worker([this] { WorkerLoop(); }) {}

TVornDocJobs::~TVornDocJobs() {
  {
    std::lock_guard queue(m_queueLock);
    m_stop = true;
    m_jobs.clear();
  }
  m_wake.notify_all();
  m_room.notify_all();
  m_worker.join();
  m_spool.reset();  // its packer reports room to this object
}

void TVornDocJobs::Queue(TVornDocJob job) {
  bool wake = false;
  {
    std::lock_guard queue(m_queueLock);
    if (m_stop) return;
    m_queuedBytes += CostOf(job);
    m_jobs.push_back(std::move(job));
    m_changeCount.fetch_add(1, std::memory_order_release);
    // The worker sleeps only on an empty queue, and gathers until kGatherJobs.
    wake = m_jobs.size() == 1 || m_jobs.size() == kGatherJobs;
  }
  if (wake) m_wake.notify_one();
}

bool TVornDocJobs::OverLimitLocked() const {
  const uint64_t waiting = m_spool ? m_spool->WaitingBytes() : 0;
  return m_queuedBytes + waiting > m_queueLimit || waiting > kMaxWaitingContentBytes;
}

void TVornDocJobs::NotifyRoom() {
  // Taken and let go so that a waiter between its check and its wait cannot miss the call.
  { std::lock_guard queue(m_queueLock); }
  m_room.notify_all();
}

void TVornDocJobs::WaitForRoom() {
  if (IsInterfaceThread()) return;
  std::unique_lock queue(m_queueLock);
  const auto held = [this] {
    return !m_stop && !m_waitsReleased && !(m_spool && m_spool->Failed()) && OverLimitLocked();
  };
  while (held()) {
    // Past the queue's own bound, what the worker gathers holds this thread up: it runs now.
    const uint64_t waiting = m_spool ? m_spool->WaitingBytes() : 0;
    if (!m_roomWanted && m_queuedBytes + waiting > m_queueLimit) {
      m_roomWanted = true;
      m_wake.notify_one();
    }
    // The spool packs at the lowest priority: a crawl that keeps every core busy would wait for
    // it without end, so the crawl's own threads pack what holds them up.
    queue.unlock();
    const bool packed = m_spool && m_spool->PackOne();
    queue.lock();
    if (!packed && held()) m_room.wait(queue);
  }
}

void TVornDocJobs::ReleaseWaits(bool released) {
  {
    std::lock_guard queue(m_queueLock);
    m_waitsReleased = released;
  }
  m_room.notify_all();
}

void TVornDocJobs::TestOnlySetQueueLimit(uint64_t bytes) {
  {
    std::lock_guard queue(m_queueLock);
    m_queueLimit = bytes;
  }
  m_room.notify_all();
}

void TVornDocJobs::TestOnlySetClock(std::function<std::time_t()> clock) {
  std::lock_guard doc(m_docLock);
  m_clock = std::move(clock);
}

void TVornDocJobs::TakenLocked(const TVornDocJob& job) {
  const bool over = OverLimitLocked();
  m_queuedBytes -= CostOf(job);
  if (over && !OverLimitLocked()) m_room.notify_all();
}

void TVornDocJobs::Flush() {
  std::lock_guard doc(m_docLock);
  while (RunNextLocked()) {
  }
}

void TVornDocJobs::WorkerLoop() {
  for (;;) {
    {
      std::unique_lock queue(m_queueLock);
      m_wake.wait(queue, [this] { return m_stop || !m_jobs.empty(); });
      m_wake.wait_for(queue, kGatherTime,
                      [this] { return m_stop || m_roomWanted || m_jobs.size() >= kGatherJobs; });
      if (m_stop) return;
      m_roomWanted = false;
    }
    // One job per hold of the document lock, so that a read waits for one job at most.
    for (bool more = true; more;) {
      std::lock_guard doc(m_docLock);
      more = RunNextLocked();
    }
  }
}

// A job is taken off the queue and run under the document lock, so whoever holds that lock next
// (worker or reader) finds it complete, and jobs on one address can never overtake one another.
bool TVornDocJobs::RunNextLocked() {
  TVornDocJob job;
  {
    std::lock_guard queue(m_queueLock);
    while (!m_jobs.empty() && m_jobs.front().Kind == djTaken) m_jobs.pop_front();
    if (m_jobs.empty() || m_stop) return false;
    job = std::move(m_jobs.front());
    m_jobs.pop_front();
    TakenLocked(job);
  }
  Execute(job);
  return true;
}

// Every job queued so far, not only the address's own: the index finds an address under other
// spellings of it, so a job on another spelling (a project stored before addresses had one form)
// may write the very entry the read looks at.
void TVornDocJobs::RunPendingLocked() {
  while (RunNextLocked()) {
  }
}

void TVornDocJobs::Execute(TVornDocJob& job) {
  try {
    switch (job.Kind) {
      case djRemove:
        Remove(job.Section);
        break;
      case djStoreContent:
        StoreContent(job.Section, std::move(job.Value));
        break;
      case djWriteInteger:
        m_index->WriteInteger(job.Section, job.Key, job.IntValue);
        break;
      case djWriteString:
        m_index->WriteString(job.Section, job.Key, job.Value);
        break;
      case djTaken:
        break;
    }
  } catch (const std::exception&) {
    // Index jobs report nothing: a failed job leaves the entry as it was.
  }
}

// The index comes from a project file, so a content name is never trusted to stay inside the
// working folder.
std::string TVornDocJobs::ContentNameOf(std::string_view section) const {
  std::string name = m_index->ReadString(section, kIndexContent, "");
  if (!IsContentFileName(name)) return {};
  return name;
}

void TVornDocJobs::Remove(const std::string& section) {
  if (!m_index->SectionExists(section)) return;
  const std::string name = ContentNameOf(section);
  if (!name.empty()) {
    if (m_spool) m_spool->Forget(name);
    // The member leaves the working archive in the next save's rewrite, not in one of its own
    // per removed page; no section names it any more, and its name is not drawn again before.
    if (m_archive->Contains(name)) m_removedMembers.push_back(name);
  }
  m_index->EraseSection(section);
  if (!m_handingOver && m_index->ErasedCount() >= kCompactAfter &&
      m_index->ErasedCount() * 2 > m_index->SlotCount()) {
    m_index->Compact();
  }
}

std::string TVornDocJobs::DrawContentName() {
  for (int attempt = 0; attempt < 100000; ++attempt) {
    std::string name = DrawName(m_random, "tmp", ".~tmp");
    if (!m_archive->Contains(name) && !m_spool->Holds(name)) return name;
  }
  return {};
}

void TVornDocJobs::StoreContent(const std::string& section, std::string&& content) {
  // No member can hold more; the crawl fails such a document before it gets here.
  if (content.size() > kMaxMemberSize) return;
  if (!m_spool || !m_index->SectionExists(section)) return;
  std::string name = ContentNameOf(section);
  // New content of an archived document goes to the spool under the same name and takes the
  // member's place at the next save, instead of rewriting the whole working archive per page.
  if (name.empty() || !(m_spool->Holds(name) || m_archive->Contains(name))) {
    name = DrawContentName();
    if (name.empty()) return;
    m_index->WriteString(section, kIndexContent, name);
  }
  m_index->DeleteKey(section, kIndexDamaged);
  m_spool->Put(name, std::move(content), ToDosDateTime(m_clock()));
}

std::string TVornDocJobs::ReadString(std::string_view section, std::string_view key) {
  std::lock_guard doc(m_docLock);
  RunPendingLocked();
  try {
    return m_index->ReadString(section, key, "");
  } catch (const std::exception&) {
    return {};
  }
}

bool TVornDocJobs::FindContentLocked(std::string_view section,
                                     std::optional<TMemberSpool::TContent>& spooled,
                                     std::optional<TVornArchive::TMember>& member) {
  RunPendingLocked();
  const std::string name = ContentNameOf(section);
  if (name.empty()) return false;
  // The spool holds the newer content when both have the name.
  if (m_spool) spooled = m_spool->Find(name);
  if (spooled) return true;
  try {
    member = m_archive->OpenMember(name);
  } catch (const EArchiveError& e) {
    Unreadable(section, e.what());
  }
  // The index names a content the project file does not hold: a damaged or cut file.
  if (!member) Unreadable(section, "its content " + name + " is missing from the project file");
  return true;
}

std::string TVornDocJobs::NoteUnreadable(std::string_view section, std::string reason) {
  // The working files' names say nothing to the user: what follows them does.
  const std::string damaged = "Damaged archive " + m_folder;
  if (reason.starts_with(damaged)) {
    const size_t colon = reason.find(": ", damaged.size());
    if (colon != std::string::npos) reason.erase(0, colon + 2);
  }
  std::lock_guard lock(m_unreadableLock);
  m_unreadable.emplace(std::string(section), reason);
  return reason;
}

void TVornDocJobs::Unreadable(std::string_view section, std::string reason) {
  reason = NoteUnreadable(section, std::move(reason));
  throw EArchiveError("The document " + std::string(section) + " cannot be read: " + reason);
}

size_t TVornDocJobs::CheckContents() {
  std::vector<std::string> sections;
  {
    std::lock_guard doc(m_docLock);
    std::string_view section;
    for (size_t slot = 0; slot < m_index->SlotCount(); ++slot) {
      if (m_index->SectionAt(slot, section) && !ContentNameOf(section).empty()) {
        sections.emplace_back(section);
      }
    }
  }
  size_t unreadable = 0;
  std::string buffer(1 << 16, '\0');
  for (const std::string& section : sections) {
    try {
      // Read to its end: only then is the CRC compared.
      if (auto content = OpenContent(section)) {
        while (content->Read(buffer.data(), buffer.size()) > 0) {
        }
      }
    } catch (const EArchiveError& e) {
      NoteUnreadable(section, e.what());
      ++unreadable;
    }
  }
  return unreadable;
}

std::string TVornDocJobs::ReadContent(std::string_view section) {
  // What to read is settled under the lock; reading and decompressing happen after it, from a
  // member or a content taken meanwhile, which later rewrites and saves do not change.
  std::optional<TVornArchive::TMember> member;
  std::optional<TMemberSpool::TContent> spooled;
  {
    std::lock_guard doc(m_docLock);
    if (!FindContentLocked(section, spooled, member)) return {};
  }
  try {
    return spooled ? spooled->Read() : member->Extract();
  } catch (const EArchiveError& e) {
    Unreadable(section, e.what());
  }
}

std::unique_ptr<TContentStream> TVornDocJobs::OpenContent(std::string_view section) {
  std::optional<TVornArchive::TMember> member;
  std::optional<TMemberSpool::TContent> spooled;
  {
    std::lock_guard doc(m_docLock);
    if (!FindContentLocked(section, spooled, member)) return nullptr;
  }
  return spooled ? spooled->Stream() : member->Stream();
}

int TVornDocJobs::Pack(const std::function<void(TVornCustomIniFile& settings)>& writeSettings,
                       const TPackProgress& progress) {
  std::lock_guard doc(m_docLock);
  while (RunNextLocked()) {
  }
  if (!m_spool) return -1;
  // What the crawl's threads freed stays in their allocator arenas, which this thread does not
  // allocate from: given back first, the save's lists do not come on top of it.
  ReleaseFreeMemory();
  try {
    MarkUnreadableLocked();
    TVornMemIniFile settings("");
    if (writeSettings) writeSettings(settings);
    const std::string settingsText = settings.GetText();
    // Settings and index go in from memory: files written only to be packed need no disk. The
    // index text is made piece by piece as it is compressed: for a large project, whole, it
    // would be the largest thing a save holds.
    TVornIndexFile::TTextReader indexText(*m_index);
    const uint32_t now = ToDosDateTime(m_clock());
    std::vector<TVornArchive::TSource> sources(2);
    sources[0].name = kSettingsMember;
    sources[0].data = settingsText;
    sources[1].name = kIndexMember;
    sources[1].readAt = [&indexText](uint64_t offset, char* buffer, size_t size) {
      return indexText.ReadAt(offset, buffer, size);
    };
    sources[1].dataSize = indexText.Size();
    for (auto& source : sources) source.timeStamp = now;
    const size_t first = sources.size();
    m_spool->Drain(sources, [&] {
      const size_t count = sources.size() - first;
      m_archive->Add(
          sources,
          [&](size_t source) {
            if (source >= first && progress) progress(source - first, count);
          },
          m_removedMembers);
    });
  } catch (const std::exception&) {
    // The next save says again which documents it marks.
    std::lock_guard lock(m_unreadableLock);
    for (const std::string& url : m_damaged) {
      m_unreadable.emplace(url, m_index->ReadString(url, kIndexDamaged, ""));
    }
    return -1;
  }
  m_removedMembers.clear();
  ReleaseFreeMemory();  // the spool's bookkeeping and the save's lists
  return ::open(m_archive->FileName().c_str(), O_RDONLY | O_CLOEXEC);
}

void TVornDocJobs::MarkUnreadableLocked() {
  std::map<std::string, std::string> unreadable;
  {
    std::lock_guard lock(m_unreadableLock);
    unreadable.swap(m_unreadable);
  }
  // Every content the index names must be in the archive or the spool: one that is not was
  // lost before the project came here, and the save says so instead of carrying the loss on.
  std::string_view section;
  for (size_t slot = 0; slot < m_index->SlotCount(); ++slot) {
    if (!m_index->SectionAt(slot, section)) continue;
    const std::string name = ContentNameOf(section);
    if (!name.empty() && !m_spool->Holds(name) && !m_archive->Contains(name)) {
      unreadable.emplace(std::string(section),
                         "its content " + name + " is missing from the project file");
    }
  }
  m_damaged.clear();
  for (const auto& [url, reason] : unreadable) {
    // Read and failed, but stored anew since: the new content is good.
    const std::string name = ContentNameOf(url);
    if (name.empty() || m_spool->Holds(name)) continue;
    m_index->WriteString(url, kIndexDamaged, reason);
    m_damaged.push_back(url);
  }
}

std::vector<std::string> TVornDocJobs::DamagedDocuments() const {
  std::lock_guard doc(m_docLock);
  return m_damaged;
}

void TVornDocJobs::Adopt(const std::string& archiveCopy, std::unique_ptr<TVornIndexFile> index) {
  std::lock_guard doc(m_docLock);
  while (RunNextLocked()) {
  }
  const std::string working = m_folder + std::string(kWorkingArchive);
  if (!m_fileSystem.Rename(archiveCopy, working)) {
    throw EArchiveError("Unable to move " + archiveCopy);
  }
  // Content stored before the load belongs to no loaded entry.
  if (m_spool) m_spool->Clear();
  m_removedMembers.clear();
  m_archive = std::make_unique<TVornArchive>(working, m_fileSystem, false);
  m_index = std::move(index);
  m_changeCount.fetch_add(1, std::memory_order_release);
}

void TVornDocJobs::HandOverLinks(const TIndexLinkHandler& onLink) {
  std::vector<std::pair<TVornLinkPtr, int>> batch;
  size_t slot = 0;
  size_t end = 0;
  {
    std::lock_guard doc(m_docLock);
    m_handingOver = true;
    end = m_index->SlotCount();
  }
  struct TDone {
    TVornDocJobs& jobs;
    ~TDone() {
      std::lock_guard doc(jobs.m_docLock);
      jobs.m_handingOver = false;
    }
  } done{*this};
  bool more = true;
  while (more && slot < end) {
    {
      std::lock_guard doc(m_docLock);
      std::string_view section;
      for (; slot < end && batch.size() < kHandOverBatch; ++slot) {
        int status = 0;
        if (!m_index->SectionAt(slot, section)) continue;
        if (TVornLinkPtr link = RebuildLink(*m_index, section, status)) {
          batch.emplace_back(std::move(link), status);
        }
      }
    }
    for (auto& [link, status] : batch) {
      if (more) more = onLink(std::move(link), status);
    }
    batch.clear();
  }
}

}  // namespace tq
