// Finding and removing abandoned working folders and save files by their locks.
#include "storage/leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <vector>

#include "platform/shell_folders.h"

namespace tq {
namespace {

bool HasDigitsBetween(std::string_view name, std::string_view prefix, std::string_view suffix) {
  if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
      !name.ends_with(suffix)) {
    return false;
  }
  const std::string_view digits =
      name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  return digits.find_first_not_of("0123456789") == std::string_view::npos;
}

std::vector<std::string> EntriesOf(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
  ::closedir(dir);
  return names;
}

// The file open and locked when no other open file holds its lock; invalid otherwise. A FIFO
// or device planted under the name is never opened for real (O_NONBLOCK, regular files only).
TFd TakeAbandoned(const std::string& path, int flags) {
  TFd fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    return TFd();
  }
  return fd;
}

}  // namespace

TFd LockWorkingFolder(const std::string& folder) {
  TFd fd(::open((folder + kWorkingFolderLock).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                0600));
  if (!fd.Valid()) return TFd();
  if (::flock(fd.Get(), LOCK_EX) != 0) {
    // A lock file nobody holds would let another run take the folder for abandoned.
    ::unlink((folder + kWorkingFolderLock).c_str());
    return TFd();
  }
  // Another run may have found the folder in the moment before the lock was taken, taken it as
  // abandoned and removed it.
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || st.st_nlink == 0) return TFd();
  return fd;
}

void RemoveAbandonedWorkingFolders(const std::string& cacheFolder) {
  for (const std::string& name : EntriesOf(cacheFolder)) {
    if (!HasDigitsBetween(name, "temp", ".~tmp")) continue;
    const std::string folder = cacheFolder + "/" + name;
    const TFd lock = TakeAbandoned(folder + "/" + kWorkingFolderLock, O_RDWR);
    // Removed while its lock is held, so a run that opened the lock file meanwhile sees it gone.
    if (lock.Valid()) DeleteFolderTree(folder);
  }
}

void RemoveAbandonedSaveFiles(const std::string& path) {
  const std::string folder = FolderOf(path);
  const size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty()) return;
  for (const std::string& name : EntriesOf(folder)) {
    if (!HasDigitsBetween(name, base + ".~", ".tmp")) continue;
    const std::string file = folder + "/" + name;
    const TFd lock = TakeAbandoned(file, O_RDONLY);
    if (lock.Valid()) ::unlink(file.c_str());
  }
}

}  // namespace tq
