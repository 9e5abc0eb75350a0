// The document's storage jobs: the queue, its worker and what each job does to index and archive.
#include "storage/doc_jobs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <unordered_map>
#include <utility>

#include "foundation/ansi.h"
#include "foundation/atomic_file.h"
#include "storage/content_index.h"

namespace tq {
namespace {

// The working copy of the project archive. Its name cannot be a content file's name, nor can a
// project file's own name clash with the files a save writes into the folder.
constexpr std::string_view kWorkingArchive = "project.~web";

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

TVornDocJobs::TVornDocJobs(std::string folder)
    : m_folder(std::move(folder)),
      m_index(std::make_unique<TVornMemIniFile>(m_folder.empty() ? "" : m_folder + "index.dat")),
      m_archive(std::make_unique<TVornArchive>(m_folder + std::string(kWorkingArchive))),
      m_random(SeededRandom()),
      m_worker([this] { WorkerLoop(); }) {}

TVornDocJobs::~TVornDocJobs() {
  {
    std::lock_guard queue(m_queueLock);
    m_stop = true;
    m_jobs.clear();
  }
  m_wake.notify_all();
  m_worker.join();
}

std::string TVornDocJobs::ArchiveFileName() const {
  std::lock_guard doc(m_docLock);
  return m_archive->FileName();
}

void TVornDocJobs::Queue(TVornDocJob job) {
  {
    std::lock_guard queue(m_queueLock);
    if (m_stop) return;
    m_jobs.push_back(std::move(job));
    m_changeCount.fetch_add(1, std::memory_order_release);
  }
  m_wake.notify_one();
}

size_t TVornDocJobs::PendingCount() const {
  std::lock_guard queue(m_queueLock);
  return m_jobs.size();
}

void TVornDocJobs::Flush() {
  std::lock_guard doc(m_docLock);
  RunPendingLocked();
}

void TVornDocJobs::WorkerLoop() {
  std::unique_lock queue(m_queueLock);
  while (!m_stop) {
    if (m_jobs.empty()) {
      m_wake.wait(queue);
      continue;
    }
    queue.unlock();
    {
      std::lock_guard doc(m_docLock);
      RunPendingLocked();
    }
    queue.lock();
  }
}

// A job is taken off the queue and run under the document lock, so whoever holds that lock next
// (worker or reader) finds it complete, and jobs can never overtake one another.
void TVornDocJobs::RunPendingLocked() {
  for (;;) {
    TVornDocJob job;
    {
      std::lock_guard queue(m_queueLock);
      if (m_jobs.empty() || m_stop) return;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    Execute(job);
  }
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
    }
  } catch (const std::exception&) {
    // Index jobs report nothing: a failed job leaves the entry as it was.
  }
}

bool TVornDocJobs::IsLoose(std::string_view name) const {
  for (const auto& loose : m_looseNames) {
    if (loose == name) return true;
  }
  return false;
}

void TVornDocJobs::DropLoose(std::string_view name) {
  std::erase_if(m_looseNames, [&](const std::string& loose) { return loose == name; });
}

// The index comes from a project file, so a content name is never trusted to stay inside the
// working folder.
std::string TVornDocJobs::ContentNameOf(std::string_view section) const {
  std::string name = m_index->ReadString(section, kIndexContent, "");
  if (!IsContentFileName(name)) return {};
  return name;
}

std::string TVornDocJobs::DrawContentName() {
  for (int attempt = 0; attempt < 100000; ++attempt) {
    std::string name = DrawName(m_random, "tmp", ".~tmp");
    if (m_archive->Contains(name)) continue;
    const std::string path = m_folder + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

void TVornDocJobs::Remove(const std::string& section) {
  if (!m_index->SectionExists(section)) return;
  const std::string name = ContentNameOf(section);
  if (!name.empty()) {
    if (m_archive->Contains(name)) {
      m_archive->Delete({name});
    } else if (IsLoose(name)) {
      DropLoose(name);
      ::unlink((m_folder + name).c_str());
    }
  }
  m_index->EraseSection(section);
}

void TVornDocJobs::StoreContent(const std::string& section, const std::string& content) {
  if (m_folder.empty() || !m_index->SectionExists(section)) return;
  std::string name = ContentNameOf(section);
  if (!name.empty() && m_archive->Contains(name)) {
    m_archive->AddStream(name, content);
    return;
  }
  // A file stored since the last save is rewritten in place rather than left behind unnamed.
  const bool reuse = !name.empty() && IsLoose(name);
  if (!reuse) name = DrawContentName();
  if (name.empty()) return;
  const std::string path = m_folder + name;
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  const bool written = fd >= 0 && WriteFully(fd, content);
  if (fd >= 0) ::close(fd);
  if (!written) {
    if (!reuse) ::unlink(path.c_str());
    return;
  }
  if (!reuse) {
    m_index->WriteString(section, kIndexContent, name);
    m_looseNames.push_back(std::move(name));
  }
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

std::string TVornDocJobs::ReadContent(std::string_view section) {
  std::lock_guard doc(m_docLock);
  RunPendingLocked();
  std::string content;
  try {
    const std::string name = ContentNameOf(section);
    if (name.empty()) return {};
    if (m_archive->Contains(name)) return m_archive->ExtractToStream(name);
    if (IsLoose(name) && ReadWholeFile(m_folder + name, content) != TFileReadResult::frOk) {
      content.clear();
    }
  } catch (const std::exception&) {
    content.clear();
  }
  return content;
}

int TVornDocJobs::Pack(const std::function<void(TVornCustomIniFile& settings)>& writeSettings,
                       const TPackProgress& progress) {
  std::lock_guard doc(m_docLock);
  RunPendingLocked();
  if (m_folder.empty()) return -1;
  const std::string settingsPath = m_folder + std::string(kSettingsMember);
  const std::string indexPath = m_folder + std::string(kIndexMember);
  std::vector<std::string> paths = {settingsPath, indexPath};
  std::unordered_map<std::string, size_t> loosePosition;
  for (const auto& name : m_looseNames) {
    loosePosition.emplace(m_folder + name, loosePosition.size());
    paths.push_back(m_folder + name);
  }
  const size_t looseCount = m_looseNames.size();
  bool packed = false;
  try {
    TVornMemIniFile settings("");
    if (writeSettings) writeSettings(settings);
    packed = WriteFileAtomically(settingsPath, settings.GetText()) &&
             WriteFileAtomically(indexPath, m_index->GetText());
    if (packed) {
      m_archive->AddFiles(paths, [&](const std::string& path) {
        const auto it = loosePosition.find(path);
        if (it != loosePosition.end() && progress) progress(it->second, looseCount);
      });
    }
  } catch (const std::exception&) {
    packed = false;
  }
  ::unlink(settingsPath.c_str());
  ::unlink(indexPath.c_str());
  if (!packed) return -1;
  for (const auto& name : m_looseNames) ::unlink((m_folder + name).c_str());
  m_looseNames.clear();
  return ::open(m_archive->FileName().c_str(), O_RDONLY | O_CLOEXEC);
}

void TVornDocJobs::Adopt(const std::string& archiveCopy, std::string_view indexText) {
  auto index = std::make_unique<TVornMemIniFile>(m_folder + std::string(kIndexMember));
  index->SetText(indexText);
  std::lock_guard doc(m_docLock);
  RunPendingLocked();
  const std::string working = m_folder + std::string(kWorkingArchive);
  if (::rename(archiveCopy.c_str(), working.c_str()) != 0) {
    throw EArchiveError("Unable to move " + archiveCopy);
  }
  // Content stored before the load belongs to no loaded entry.
  for (const auto& name : m_looseNames) ::unlink((m_folder + name).c_str());
  m_looseNames.clear();
  m_archive = std::make_unique<TVornArchive>(working);
  m_index = std::move(index);
  m_changeCount.fetch_add(1, std::memory_order_release);
}

}  // namespace tq
