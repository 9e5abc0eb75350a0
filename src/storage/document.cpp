// The project document: working folder, content index, content files, saving and loading.
#include "storage/document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <unordered_map>
#include <utility>

#include "foundation/ansi.h"
#include "foundation/atomic_file.h"
#include "platform/shell_folders.h"

namespace tq {
namespace {

// The working copy of the project archive. Its name cannot be a content file's name, nor can a
// project file's own name clash with the files a save writes into the folder.
constexpr std::string_view kWorkingArchive = "project.~web";
constexpr size_t kCopyBlock = 1 << 16;

std::atomic<bool (*)()> g_writeProbe{nullptr};

bool Probe() {
  const auto probe = g_writeProbe.load();
  return probe == nullptr || probe();
}

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

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Replaces target by a copy of source so that the target is either the old file or the
// complete copy, even across a crash: temporary file beside it, fsync, rename, fsync the folder.
bool CopyFileAtomically(int in, const std::string& target) {
  if (in < 0 || ::lseek(in, 0, SEEK_SET) != 0) return false;
  std::mt19937 random = SeededRandom();
  std::string temp;
  int out = -1;
  for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
    temp = target + DrawName(random, ".~", ".tmp");
    out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0 && errno != EEXIST) break;
  }
  if (out < 0) return false;
  struct stat st;
  bool ok = Probe();
  if (ok && ::stat(target.c_str(), &st) == 0) ok = ::fchmod(out, st.st_mode & 07777) == 0;
  std::string block(kCopyBlock, '\0');
  while (ok) {
    const ssize_t n = ::read(in, block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    ok = WriteAll(out, block.data(), static_cast<size_t>(n)) && Probe();
  }
  ok = ok && ::fsync(out) == 0;
  ok = (::close(out) == 0) && ok;
  ok = ok && Probe() && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

class TFd {
 public:
  explicit TFd(int fd) : m_fd(fd) {}
  ~TFd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return m_fd; }

 private:
  int m_fd;
};

std::string WriteErrorMessage(const std::string& docName) {
  return "Unable to save to save file \"" + docName + "\".Please press OK to Retry.";
}

}  // namespace

bool IsContentFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos &&
         name.find('\0') == std::string_view::npos && !AnsiSameText(name, kSettingsMember) &&
         !AnsiSameText(name, kIndexMember);
}

int RoundPercent(uint64_t numerator, uint64_t denominator) {
  if (denominator == 0) return 0;
  const uint64_t scaled = numerator * 100;
  uint64_t q = scaled / denominator;
  const uint64_t twiceRest = 2 * (scaled % denominator);
  if (twiceRest > denominator || (twiceRest == denominator && (q & 1) != 0)) ++q;
  return static_cast<int>(q);
}

void TestOnlySetProjectWriteProbe(bool (*probe)()) {
  g_writeProbe.store(probe);
}

TVornDocument::TVornDocument(std::string cacheFolder, std::string personalFolder)
    : m_personalFolder(std::move(personalFolder)), m_random(SeededRandom()) {
  if (cacheFolder.empty()) cacheFolder = GetSpecialFolder(sfInternetCache);
  if (m_personalFolder.empty()) m_personalFolder = GetSpecialFolder(sfPersonal);
  if (!cacheFolder.empty()) {
    ::mkdir(cacheFolder.c_str(), 0700);  // the user's cache folder need not exist yet
    for (int attempt = 0; attempt < 1000; ++attempt) {
      const std::string folder = cacheFolder + "/" + DrawName(m_random, "temp", ".~tmp");
      if (::mkdir(folder.c_str(), 0700) == 0) {
        m_folder = folder + "/";
        break;
      }
      if (errno != EEXIST) break;
    }
  }
  m_index = std::make_unique<TVornMemIniFile>(m_folder.empty() ? "" : m_folder + "index.dat");
  m_archive = std::make_unique<TVornArchive>(m_folder + std::string(kWorkingArchive));
}

TVornDocument::~TVornDocument() {
  if (!m_folder.empty()) DeleteFolderTree(m_folder.substr(0, m_folder.size() - 1));
}

std::string TVornDocument::DocName() const {
  std::lock_guard lock(m_lock);
  return m_docName;
}

void TVornDocument::SetDocName(std::string name) {
  std::lock_guard lock(m_lock);
  m_docName = std::move(name);
}

bool TVornDocument::IsLoose(std::string_view name) const {
  for (const auto& loose : m_looseNames) {
    if (loose == name) return true;
  }
  return false;
}

void TVornDocument::DropLoose(std::string_view name) {
  std::erase_if(m_looseNames, [&](const std::string& loose) { return loose == name; });
}

// The content file of url, if its name is one this document may touch: a member of the archive
// or a file it stored itself since the last save. The index comes from a project file, so a
// name is never trusted to stay inside the working folder.
std::string TVornDocument::ContentNameOf(std::string_view url) const {
  std::string name = m_index->ReadString(url, kIndexContent, "");
  if (!IsContentFileName(name)) return {};
  return name;
}

std::string TVornDocument::DrawContentName() {
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

void TVornDocument::SetDownloadHooks(TLoadLinkHook onLoadLink, TSettingsHook onLoadSettings,
                                     TSettingsHook onSaveSettings) {
  OnLoadLink = std::move(onLoadLink);
  OnLoadSettings = std::move(onLoadSettings);
  OnSaveSettings = std::move(onSaveSettings);
}

void TVornDocument::RemoveDocument(std::string_view url) {
  if (url.empty()) return;
  std::lock_guard lock(m_lock);
  m_changed = true;
  try {
    if (!m_index->SectionExists(url)) return;
    const std::string name = ContentNameOf(url);
    if (!name.empty()) {
      if (m_archive->Contains(name)) {
        m_archive->Delete({name});
      } else if (IsLoose(name)) {
        DropLoose(name);
        ::unlink((m_folder + name).c_str());
      }
    }
    m_index->EraseSection(url);
  } catch (const std::exception&) {
    // Index jobs report nothing: a failed removal leaves the entry as it was.
  }
}

void TVornDocument::SetDocumentStatus(std::string_view url, int status) {
  if (url.empty()) return;
  std::lock_guard lock(m_lock);
  m_changed = true;
  m_index->WriteInteger(url, kIndexStatus, status);
}

void TVornDocument::SetDocumentValue(std::string_view url, std::string_view key,
                                     std::string_view value) {
  if (url.empty()) return;
  std::lock_guard lock(m_lock);
  m_changed = true;
  m_index->WriteString(url, key, value);
}

void TVornDocument::SetDocumentContent(std::string_view url, std::string_view content) {
  if (url.empty()) return;
  std::lock_guard lock(m_lock);
  m_changed = true;
  if (m_folder.empty()) return;
  try {
    if (!m_index->SectionExists(url)) return;
    std::string name = ContentNameOf(url);
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
    const bool written = fd >= 0 && WriteAll(fd, content.data(), content.size());
    if (fd >= 0) ::close(fd);
    if (!written) {
      if (!reuse) ::unlink(path.c_str());
      return;
    }
    if (!reuse) {
      m_index->WriteString(url, kIndexContent, name);
      m_looseNames.push_back(std::move(name));
    }
  } catch (const std::exception&) {
    // As above: the content is not stored.
  }
}

std::string TVornDocument::GetDocumentValue(std::string_view url, std::string_view key) {
  if (url.empty()) return {};
  std::lock_guard lock(m_lock);
  return m_index->ReadString(url, key, "");
}

std::string TVornDocument::GetDocumentContent(std::string_view url) {
  if (url.empty()) return {};
  std::lock_guard lock(m_lock);
  std::string content;
  try {
    const std::string name = ContentNameOf(url);
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

bool TVornDocument::Save(bool autosave) {
  TDocStatus idle = dsReady;
  if (!m_status.compare_exchange_strong(idle, dsSaving)) return false;
  bool ok = false;
  try {
    ok = SaveLocked(autosave);
  } catch (const std::exception&) {
    ok = false;
  }
  m_status = dsReady;
  return ok;
}

bool TVornDocument::SaveLocked(bool autosave) {
  std::unique_lock lock(m_lock);
  if (m_folder.empty()) return false;
  if (m_docName == kUntitledDocName) {
    if (!autosave || m_personalFolder.empty()) return false;
    std::string name;
    do {
      name = m_personalFolder + "/" + DrawName(m_random, "autosave", ".web");
    } while (Exists(name));
    m_docName = name;
  }
  const std::string docName = m_docName;

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
    if (OnSaveSettings) OnSaveSettings(settings, false);
    packed = WriteFileAtomically(settingsPath, settings.GetText()) &&
             WriteFileAtomically(indexPath, m_index->GetText());
    if (packed) {
      m_archive->AddFiles(paths, [&](const std::string& path) {
        const auto it = loosePosition.find(path);
        if (it != loosePosition.end() && OnSaveProgress) {
          OnSaveProgress("Saving ...", RoundPercent(it->second, looseCount));
        }
      });
    }
  } catch (const std::exception&) {
    packed = false;
  }
  ::unlink(settingsPath.c_str());
  ::unlink(indexPath.c_str());
  if (!packed) return false;
  for (const auto& name : m_looseNames) ::unlink((m_folder + name).c_str());
  m_looseNames.clear();

  // The copy reads the archive as packed, even if a write replaces it meanwhile; writes made
  // from here on keep the document marked as changed.
  const bool wasChanged = m_changed.exchange(false);
  TFd packedArchive(::open(m_archive->FileName().c_str(), O_RDONLY | O_CLOEXEC));
  lock.unlock();
  while (!CopyFileAtomically(packedArchive.Get(), docName)) {
    if (!OnWriteError || !OnWriteError(WriteErrorMessage(docName))) {
      if (wasChanged) m_changed = true;
      return false;
    }
  }
  return true;
}

bool TVornDocument::Load(const std::string& fileName) {
  TDocStatus idle = dsReady;
  if (!m_status.compare_exchange_strong(idle, dsLoading)) return true;
  SetDocName(fileName);
  const auto fail = [&](TFileError error) {
    if (OnLoadError) OnLoadError(error);
    m_status = dsReady;
    m_changed = false;
    return false;
  };
  if (m_folder.empty()) return fail(feCantRead);

  const std::string copy = m_folder + "loading.~web";
  {
    TFd source(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!CopyFileAtomically(source.Get(), copy)) return fail(feCantRead);
  }
  auto index = std::make_unique<TVornMemIniFile>(m_folder + std::string(kIndexMember));
  TVornMemIniFile links("");
  try {
    TVornArchive archive(copy);
    archive.List();  // refuses a file that is not an archive
    if (archive.Contains(kSettingsMember)) {
      TVornMemIniFile settings("");
      settings.SetText(archive.ExtractToStream(kSettingsMember));
      if (OnLoadSettings) OnLoadSettings(settings, false);
    }
    if (archive.Contains(kIndexMember)) {
      const std::string text = archive.ExtractToStream(kIndexMember);
      index->SetText(text);
      links.SetText(text);
    }
    std::lock_guard lock(m_lock);
    const std::string working = m_folder + std::string(kWorkingArchive);
    if (::rename(copy.c_str(), working.c_str()) != 0) throw EArchiveError("rename failed");
    // Content stored before the load belongs to no loaded entry.
    for (const auto& name : m_looseNames) ::unlink((m_folder + name).c_str());
    m_looseNames.clear();
    m_archive = std::make_unique<TVornArchive>(working);
    m_index = std::move(index);
  } catch (const std::exception&) {
    ::unlink(copy.c_str());
    return fail(feInvalidDoc);
  }

  try {
    std::vector<std::string> sections;
    links.ReadSections(sections);
    const uint64_t total = sections.size();
    uint64_t handed = 0;
    int lastPercent = -1;
    LoadLinksFromIndex(links, [&](TVornLinkPtr link, int status) {
      const bool more = !OnLoadLink || OnLoadLink(std::move(link), status);
      ++handed;
      const int percent = RoundPercent(handed - 1, total);
      if (percent != lastPercent && OnLoadProgress) OnLoadProgress("Loading...", percent);
      lastPercent = percent;
      return more;
    });
  } catch (const std::exception&) {
    return fail(feInvalidDoc);
  }
  m_status = dsReady;
  m_changed = false;
  return true;
}

}  // namespace tq
