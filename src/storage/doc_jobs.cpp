// The document's storage jobs: the queue, its worker and what each job does to index and archive.
#include "storage/doc_jobs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <optional>
#include <utility>

#include "formats/lha_header.h"
#include "foundation/ansi.h"
#include "foundation/atomic_file.h"
#include "foundation/main_loop.h"
#include "foundation/mem_ini_file.h"

namespace tq {
namespace {

// The working copy of the project archive. Its name cannot be a content file's name, nor can a
// project file's own name clash with the files a save writes into the folder.
constexpr std::string_view kWorkingArchive = "project.~web";
// Links rebuilt under the document lock at a time while a load hands them over.
constexpr size_t kHandOverBatch = 512;
// Erased index sections are freed once there are this many and more of them than live ones.
constexpr size_t kCompactAfter = 4096;

size_t SectionHash(std::string_view section) {
  return std::hash<std::string_view>()(section);
}

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
}

void TVornDocJobs::Queue(TVornDocJob job) {
  {
    std::lock_guard queue(m_queueLock);
    if (m_stop) return;
    ++m_pendingByHash[SectionHash(job.Section)];
    m_queuedBytes += CostOf(job);
    m_jobs.push_back(std::move(job));
    m_changeCount.fetch_add(1, std::memory_order_release);
  }
  m_wake.notify_one();
}

void TVornDocJobs::WaitForRoom() {
  if (IsInterfaceThread()) return;
  std::unique_lock queue(m_queueLock);
  m_room.wait(queue, [this] { return m_stop || m_queuedBytes <= m_queueLimit; });
}

void TVornDocJobs::TestOnlySetQueueLimit(uint64_t bytes) {
  {
    std::lock_guard queue(m_queueLock);
    m_queueLimit = bytes;
  }
  m_room.notify_all();
}

void TVornDocJobs::TakenLocked(const TVornDocJob& job) {
  const auto it = m_pendingByHash.find(SectionHash(job.Section));
  if (--it->second == 0) m_pendingByHash.erase(it);
  const bool over = m_queuedBytes > m_queueLimit;
  m_queuedBytes -= CostOf(job);
  if (over && m_queuedBytes <= m_queueLimit) m_room.notify_all();
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
      if (m_stop) return;
    }
    // One job per hold of the document lock, so that a read waits for one job at most.
    std::lock_guard doc(m_docLock);
    RunNextLocked();
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

void TVornDocJobs::RunPendingForLocked(std::string_view section) {
  std::vector<TVornDocJob> mine;
  {
    std::lock_guard queue(m_queueLock);
    const auto it = m_pendingByHash.find(SectionHash(section));
    if (it == m_pendingByHash.end()) return;
    uint32_t left = it->second;
    // Another address with the same hash only costs this walk.
    for (TVornDocJob& job : m_jobs) {
      if (job.Kind == djTaken || job.Section != section) continue;
      --left;
      TakenLocked(job);
      mine.push_back(std::move(job));
      job.Kind = djTaken;
      if (left == 0) break;
    }
  }
  for (TVornDocJob& job : mine) Execute(job);
}

void TVornDocJobs::Execute(TVornDocJob& job) {
  try {
    switch (job.Kind) {
      case djRemove:
        Remove(job.Section);
        break;
      case djStoreContent:
        StoreContent(job.Section, job.Value);
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

bool TVornDocJobs::IsLoose(std::string_view name) const {
  return m_looseAt.find(std::string(name)) != m_looseAt.end();
}

void TVornDocJobs::AddLoose(std::string name) {
  if (m_looseAt.emplace(name, m_looseOrder.size()).second) m_looseOrder.push_back(std::move(name));
}

void TVornDocJobs::DropLoose(std::string_view name) {
  const auto it = m_looseAt.find(std::string(name));
  if (it == m_looseAt.end()) return;
  m_looseOrder[it->second].clear();
  m_looseAt.erase(it);
}

void TVornDocJobs::ClearLoose() {
  for (const auto& name : m_looseOrder) {
    if (!name.empty()) m_fileSystem.Remove(m_folder + name);
  }
  m_looseOrder.clear();
  m_looseAt.clear();
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
    if (m_archive->Contains(name)) {
      m_archive->Delete({name});
    } else if (IsLoose(name)) {
      DropLoose(name);
      m_fileSystem.Remove(m_folder + name);
    }
  }
  m_index->EraseSection(section);
  if (!m_handingOver && m_index->ErasedCount() >= kCompactAfter &&
      m_index->ErasedCount() * 2 > m_index->SlotCount()) {
    m_index->Compact();
  }
}

// Draws a name no file of the folder and no member of the archive has, creating the file
// (which reserves the name) and writing content into it; removes it again when that fails.
bool TVornDocJobs::WriteNewContentFile(std::string& name, std::string_view content) {
  for (int attempt = 0; attempt < 100000; ++attempt) {
    name = DrawName(m_random, "tmp", ".~tmp");
    if (m_archive->Contains(name)) continue;
    const std::string path = m_folder + name;
    auto file = m_fileSystem.CreateFile(path, 0600);
    if (!file) {
      if (errno == EEXIST) continue;
      return false;
    }
    if (file->Append(content) && file->Close()) return true;
    file->Close();
    m_fileSystem.Remove(path);
    return false;
  }
  return false;
}

void TVornDocJobs::StoreContent(const std::string& section, const std::string& content) {
  // No member can hold more; the crawl fails such a document before it gets here.
  if (content.size() > kMaxMemberSize) return;
  if (m_folder.empty() || !m_index->SectionExists(section)) return;
  std::string name = ContentNameOf(section);
  if (!name.empty() && m_archive->Contains(name)) {
    m_archive->AddStream(name, content);
    return;
  }
  if (!name.empty() && IsLoose(name)) {
    // Written beside the old file and renamed over it: a failed write keeps the old content.
    ReplaceFile(
        m_folder + name, [&](TWritableFile& file) { return file.Append(content); }, false,
        m_fileSystem);
    return;
  }
  if (!WriteNewContentFile(name, content)) return;
  m_index->WriteString(section, kIndexContent, name);
  AddLoose(std::move(name));
}

std::string TVornDocJobs::ReadString(std::string_view section, std::string_view key) {
  std::lock_guard doc(m_docLock);
  RunPendingForLocked(section);
  try {
    return m_index->ReadString(section, key, "");
  } catch (const std::exception&) {
    return {};
  }
}

std::string TVornDocJobs::ReadContent(std::string_view section) {
  // What to read is settled under the lock; reading and decompressing happen after it, from a
  // member or a file opened meanwhile, which later rewrites and renames do not change.
  std::optional<TVornArchive::TMember> member;
  TFd loose;
  try {
    std::lock_guard doc(m_docLock);
    RunPendingForLocked(section);
    const std::string name = ContentNameOf(section);
    if (name.empty()) return {};
    member = m_archive->OpenMember(name);
    if (!member && IsLoose(name)) {
      loose.Reset(::open((m_folder + name).c_str(), O_RDONLY | O_CLOEXEC));
    }
  } catch (const std::exception&) {
    return {};
  }
  std::string content;
  try {
    if (member) return member->Extract();
    if (loose.Valid() && !ReadFully(loose.Get(), content)) content.clear();
  } catch (const std::exception&) {
    content.clear();
  }
  return content;
}

void TVornDocJobs::DropOversizeLoose() {
  for (std::string& name : m_looseOrder) {
    struct stat st {};
    if (name.empty() || ::lstat((m_folder + name).c_str(), &st) != 0 ||
        static_cast<uint64_t>(st.st_size) <= kMaxMemberSize) {
      continue;
    }
    m_fileSystem.Remove(m_folder + name);
    m_looseAt.erase(name);
    // Its section no longer names content; finding it is a walk, but this never happens twice.
    std::string_view section;
    for (size_t slot = 0; slot < m_index->SlotCount(); ++slot) {
      if (m_index->SectionAt(slot, section) &&
          m_index->ReadString(section, kIndexContent, "") == name) {
        m_index->DeleteKey(section, kIndexContent);
      }
    }
    name.clear();
    m_changeCount.fetch_add(1, std::memory_order_release);
  }
}

int TVornDocJobs::Pack(const std::function<void(TVornCustomIniFile& settings)>& writeSettings,
                       const TPackProgress& progress) {
  std::lock_guard doc(m_docLock);
  while (RunNextLocked()) {
  }
  if (m_folder.empty()) return -1;
  try {
    DropOversizeLoose();
    TVornMemIniFile settings("");
    if (writeSettings) writeSettings(settings);
    const std::string settingsText = settings.GetText();
    const std::string indexText = m_index->GetText();
    // Settings and index go in from memory: files written only to be packed need no disk.
    const uint32_t now = ToDosDateTime(std::time(nullptr));
    std::vector<TVornArchive::TSource> sources = {
        {std::string(kSettingsMember), {}, settingsText, now},
        {std::string(kIndexMember), {}, indexText, now}};
    std::unordered_map<std::string, size_t> loosePosition;
    for (const auto& name : m_looseOrder) {
      if (name.empty()) continue;
      loosePosition.emplace(m_folder + name, loosePosition.size());
      sources.push_back({{}, m_folder + name, {}, 0});
    }
    const size_t looseCount = loosePosition.size();
    m_archive->Add(sources, [&](const std::string& path) {
      const auto it = loosePosition.find(path);
      if (it != loosePosition.end() && progress) progress(it->second, looseCount);
    });
  } catch (const std::exception&) {
    return -1;
  }
  ClearLoose();
  return ::open(m_archive->FileName().c_str(), O_RDONLY | O_CLOEXEC);
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
  ClearLoose();
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
