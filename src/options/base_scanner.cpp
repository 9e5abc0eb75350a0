// The scan thread and its hand-over of events to the interface thread.
#include "options/base_scanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "foundation/background_thread.h"
#include "options/mask.h"
#include "platform/mount_table.h"

namespace tq {

struct TBaseScanner::TRun {
  // The properties as they were at Start.
  std::string Directory, Files, MountTable;
  TScanStrategy ScanStrategy = ssGlobal;
  unsigned ScanDrives = 0, Attributes = 0;
  bool Recursive = true;

  std::atomic<bool> Terminate{false};
  std::mutex Lock;
  std::condition_variable Delivered;
  int Pending = 0;  // events handed over and not yet raised

  // The matches and their summed sizes so far: written by the scan thread, read by the end
  // handler once the thread has ended (so what was found is reported even after a failure).
  uint32_t Count = 0;
  uint64_t Size = 0;

  TBaseScanner* Owner = nullptr;  // interface thread only; null once the scanner is gone
  TVornBackgroundThread Thread{"file scan thread"};
};

namespace {

using TRunPtr = std::shared_ptr<TBaseScanner::TRun>;

bool Excluded(const std::string& folder) {
  for (std::string_view root : {"/proc", "/sys", "/dev"}) {
    if (folder.compare(0, root.size(), root) == 0 &&
        (folder.size() == root.size() || folder[root.size()] == '/')) {
      return true;
    }
  }
  return false;
}

unsigned AttributesOf(const std::string& name, const struct stat& st) {
  unsigned attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= faDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attributes |= faArchive;
  } else {
    attributes |= faSysFile;
  }
  if (!name.empty() && name[0] == '.') attributes |= faHidden;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= faReadOnly;
  return attributes;
}

unsigned DriveBit(TDriveKind kind) {
  switch (kind) {
    case dkFixed:
      return sdHard;
    case dkRemovable:
      return sdFloppy;
    case dkRemote:
      return sdNetwork;
    case dkCDROM:
      return sdCDROM;
    case dkRAM:
      return sdRAM;
    case dkNone:
      break;
  }
  return 0;
}

// One scan's walk, on the scan thread.
class TWalk {
 public:
  TWalk(TRunPtr run, const TMultiMask& masks) : m_run(std::move(run)), m_masks(masks) {}
  TWalk(const TWalk&) = delete;
  TWalk& operator=(const TWalk&) = delete;

  // Scans folder (and below it with Recursive); with stayOnDevice the walk does not descend into
  // another file system than the folder's own.
  void Scan(const std::string& folder, bool stayOnDevice) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    ScanFolder(folder, stayOnDevice ? std::optional<dev_t>(st.st_dev) : std::nullopt);
  }

  // Hands fn to the interface thread, waiting while kEventWindow events are still undelivered.
  // False (and nothing handed over) once the scan is asked to end.
  template <class Fn>
  bool Emit(Fn fn) {
    {
      std::unique_lock lock(m_run->Lock);
      m_run->Delivered.wait(lock, [&] {
        return m_run->Pending < TBaseScanner::kEventWindow || m_run->Terminate.load();
      });
      if (m_run->Terminate) return false;
      ++m_run->Pending;
    }
    m_run->Thread.Queue([run = m_run, fn = std::move(fn)] {
      {
        std::lock_guard lock(run->Lock);
        --run->Pending;
      }
      run->Delivered.notify_all();
      if (run->Owner != nullptr) fn(*run->Owner);
    });
    return true;
  }

 private:
  struct TEntry {
    std::string Name;
    unsigned Attributes = 0;
    int64_t Size = 0;
    long long Time = 0;
    bool Folder = false;  // a real folder, never a link to one
    dev_t Device = 0;
  };

  void ScanFolder(const std::string& folder, std::optional<dev_t> device) {
    if (m_run->Terminate || Excluded(folder)) return;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !m_visited.insert({st.st_dev, st.st_ino}).second) {
      return;
    }
    const uint32_t count = m_run->Count;
    const uint64_t size = m_run->Size;
    if (!Emit([count, size, folder](TBaseScanner& s) {
          if (s.OnProcess) s.OnProcess(count, size, folder);
        })) {
      return;
    }
    const std::vector<TEntry> entries = List(folder);
    const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
    for (const TEntry& entry : entries) {
      if (m_run->Terminate) return;
      if ((entry.Attributes & m_run->Attributes) == m_run->Attributes &&
          m_masks.Matches(entry.Name)) {
        const TDateTime time = LocalDateTimeOf(entry.Time).value_or(0);
        const bool handed = Emit([entry, folder, time](TBaseScanner& s) {
          if (s.OnFileFound) s.OnFileFound(entry.Name, folder, entry.Attributes, entry.Size, time);
        });
        if (!handed) return;
        ++m_run->Count;
        m_run->Size += static_cast<uint64_t>(entry.Size);
      }
      if (m_run->Recursive && entry.Folder && (!device || entry.Device == *device)) {
        ScanFolder(prefix + entry.Name, device);
      }
    }
  }

  // The folder's entries, read whole before any is looked into, so a deep tree holds one open
  // folder at a time. A folder that cannot be listed has no entries.
  std::vector<TEntry> List(const std::string& folder) const {
    std::vector<TEntry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return entries;
    const int fd = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir)) {
      if (m_run->Terminate) break;
      const std::string name = item->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      if (::fstatat(fd, item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      TEntry entry{name};
      entry.Device = st.st_dev;
      entry.Folder = S_ISDIR(st.st_mode);
      // A link is reported as what it points at (a dangling one not at all) and never entered.
      if (S_ISLNK(st.st_mode) && ::fstatat(fd, item->d_name, &st, 0) != 0) continue;
      entry.Attributes = AttributesOf(name, st);
      entry.Size = static_cast<int64_t>(st.st_size);
      entry.Time = static_cast<long long>(st.st_mtime);
      entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
  }

  TRunPtr m_run;
  const TMultiMask& m_masks;
  std::set<std::pair<dev_t, ino_t>> m_visited;
};

// The mount point holding path: the longest one that is path or a folder above it.
std::string MountPointOf(const std::vector<TMountEntry>& mounts, const std::string& path) {
  std::string best;
  for (const auto& m : mounts) {
    const std::string& point = m.MountPoint;
    const bool holds = path.compare(0, point.size(), point) == 0 &&
                       (path.size() == point.size() || point == "/" || path[point.size()] == '/');
    if (holds && point.size() > best.size()) best = point;
  }
  return best.empty() ? path : best;
}

// The whole scan, on the scan thread. A failure of the walk (out of memory, say) ends the scan
// and is reported; what was found so far is still reported as the result.
void ScanAll(const TRunPtr& run) {
  std::optional<TMultiMask> masks;
  try {
    masks.emplace(run->Files);
  } catch (const EMaskException&) {
    return;
  }
  TWalk walk(run, *masks);
  if (run->ScanStrategy == ssSpecifiedDir) {
    walk.Scan(run->Directory, false);
    return;
  }
  const auto mounts = ReadMountTable(run->MountTable);
  if (run->ScanStrategy == ssSpecifiedDisk) {
    walk.Scan(MountPointOf(mounts, run->Directory), true);
    return;
  }
  for (const auto& m : mounts) {
    if ((DriveBit(m.Kind) & run->ScanDrives) != 0) walk.Scan(m.MountPoint, true);
  }
}

}  // namespace

TBaseScanner::TBaseScanner() = default;

TBaseScanner::~TBaseScanner() {
  if (!m_run) return;
  m_run->Owner = nullptr;
  Stop();
  m_run->Thread.Stop();
}

void TBaseScanner::Start() {
  if (m_run) return;
  auto run = std::make_shared<TRun>();
  run->Directory = Directory;
  run->Files = Files;
  run->MountTable = MountTable;
  run->ScanStrategy = ScanStrategy;
  run->ScanDrives = ScanDrives;
  run->Attributes = Attributes;
  run->Recursive = Recursive;
  run->Owner = this;
  m_run = run;
  // The run's shared pointer is kept alive by the end handler until it has returned.
  run->Thread.Start([run](TVornBackgroundThread&) { ScanAll(run); },
                    [run] {
                      TBaseScanner* owner = run->Owner;
                      if (owner == nullptr) return;
                      owner->m_run.reset();
                      if (owner->OnProcessDone) owner->OnProcessDone(run->Count, run->Size);
                    });
}

void TBaseScanner::Stop() {
  if (!m_run) return;
  {
    std::lock_guard lock(m_run->Lock);
    m_run->Terminate = true;
  }
  m_run->Delivered.notify_all();
}

}  // namespace tq
