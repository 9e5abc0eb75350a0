// Whole-file reads and replacement by temporary file, fsync and rename.
#include "foundation/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tq {
namespace {

class TFd {
 public:
  explicit TFd(int fd) : m_fd(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() { Close(); }
  int Get() const { return m_fd; }
  bool Close() {
    if (m_fd < 0) return true;
    const int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0;
  }

 private:
  int m_fd;
};

std::atomic<void (*)()> g_probe{nullptr};

void Probe() {
  if (auto* probe = g_probe.load(std::memory_order_relaxed)) probe();
}

bool WriteAll(int fd, std::string_view data) {
  constexpr size_t kChunk = 65536;
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), std::min(data.size(), kChunk));
    Probe();
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

TFileReadResult ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    return errno == ENOENT || errno == ENOTDIR ? TFileReadResult::frMissing
                                               : TFileReadResult::frError;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return TFileReadResult::frError;
  }
  if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      out.clear();
      return TFileReadResult::frError;
    }
    out.append(buf, static_cast<size_t>(n));
  }
  return TFileReadResult::frOk;
}

bool WriteFileAtomically(const std::string& path, std::string_view data) {
  struct stat old {};
  const bool hadFile = ::stat(path.c_str(), &old) == 0;

  static thread_local std::mt19937 rng{std::random_device{}()};
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    temp = path + ".tmp" + std::to_string(rng() % 1000000);
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST) return false;
  }
  if (raw < 0) return false;
  TFd fd(raw);
  Probe();

  const bool written = (!hadFile || ::fchmod(fd.Get(), old.st_mode & 07777) == 0) &&
                       WriteAll(fd.Get(), data) && ::fsync(fd.Get()) == 0 && fd.Close() &&
                       (Probe(), ::rename(temp.c_str(), path.c_str()) == 0);
  Probe();
  if (!written) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return false;
  }
  // The rename is durable only once the folder entry is synced; a failure here leaves a
  // complete file either way, so it is not reported.
  TFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() >= 0) ::fsync(folder.Get());
  return true;
}

void TestOnlySetAtomicWriteProbe(void (*probe)()) {
  g_probe.store(probe);
}

bool WriteFully(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace tq
