// Whole-file reads and replacement by temporary file, fsync and rename.
#include "foundation/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>

namespace tq {

TFileReadResult ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    return errno == ENOENT || errno == ENOTDIR ? TFileReadResult::frMissing
                                               : TFileReadResult::frError;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return TFileReadResult::frError;
  }
  if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  if (!ReadFully(fd.Get(), out)) {
    out.clear();
    return TFileReadResult::frError;
  }
  return TFileReadResult::frOk;
}

bool ReplaceFile(const std::string& path, const TFileFiller& fill, bool durable,
                 TFileSystem& fileSystem) {
  struct stat old {};
  const bool hadFile = ::stat(path.c_str(), &old) == 0;

  static thread_local std::mt19937 random{
      std::random_device{}() ^
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
  std::string temp;
  std::unique_ptr<TWritableFile> file;
  // Locked while it is written, so that another run that finds it takes it for a file a killed
  // run left only when it is one.
  TFd held;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    temp = path + ".~" + std::to_string(random() % 1000000) + ".tmp";
    file = fileSystem.CreateFile(temp, 0666);
    if (!file && errno != EEXIST) return false;
    if (file) {
      held = file->OpenForReading();
      struct stat st {};
      if (held.Valid() && ::flock(held.Get(), LOCK_EX) == 0 && ::fstat(held.Get(), &st) == 0 &&
          st.st_nlink == 0) {
        file.reset();  // removed by such a run before the lock was taken: another name
        errno = EEXIST;
      }
    }
  }
  if (!file) return false;

  const bool written = (!hadFile || file->SetMode(old.st_mode & 07777)) && fill(*file) &&
                       (!durable || file->Sync()) && file->Close() && fileSystem.Rename(temp, path);
  if (!written) {
    const int saved = errno;
    file->Close();
    fileSystem.Remove(temp);
    errno = saved;
    return false;
  }
  // A folder that cannot be synced leaves a complete file either way, so it is not reported.
  if (durable) fileSystem.SyncFolder(FolderOf(path));
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view data, TFileSystem& fileSystem) {
  return ReplaceFile(
      path, [&](TWritableFile& file) { return file.Append(data); }, true, fileSystem);
}

}  // namespace tq
