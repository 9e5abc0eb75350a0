// The operating system's files behind the file-system seam.
#include "foundation/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tq {

TFd& TFd::operator=(TFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int TFd::Release() {
  const int fd = m_fd;
  m_fd = -1;
  return fd;
}

void TFd::Reset(int fd) {
  Close();
  m_fd = fd;
}

bool TFd::Close() {
  if (m_fd < 0) return true;
  const int rc = ::close(m_fd);
  m_fd = -1;
  return rc == 0;
}

namespace {

// The one write loop: at the descriptor's position, or at *offset (advanced) when given.
bool WriteLoop(int fd, std::string_view data, uint64_t* offset) {
  while (!data.empty()) {
    const ssize_t n = offset == nullptr
                          ? ::write(fd, data.data(), data.size())
                          : ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(*offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
    if (offset != nullptr) *offset += static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace

bool WriteFully(int fd, std::string_view data) {
  return WriteLoop(fd, data, nullptr);
}

bool ReadFully(int fd, std::string& out) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

class TPosixFile : public TWritableFile {
 public:
  explicit TPosixFile(int fd) : m_fd(fd) {}

  bool Append(std::string_view data) override {
    if (!WriteFully(m_fd.Get(), data)) return false;
    m_size += data.size();
    return true;
  }

  bool WriteAt(uint64_t offset, std::string_view data) override {
    return WriteLoop(m_fd.Get(), data, &offset);
  }

  bool Truncate(uint64_t size) override {
    if (::ftruncate(m_fd.Get(), static_cast<off_t>(size)) != 0 ||
        ::lseek(m_fd.Get(), static_cast<off_t>(size), SEEK_SET) < 0) {
      return false;
    }
    m_size = size;
    return true;
  }

  bool SetMode(mode_t mode) override { return ::fchmod(m_fd.Get(), mode) == 0; }
  bool Sync() override { return ::fsync(m_fd.Get()) == 0; }
  bool Close() override { return m_fd.Close(); }
  uint64_t Size() const override { return m_size; }
  TFd OpenForReading() const override {
    // The descriptor's own entry reopens its file, not whatever a rename put under the name.
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd.Get());
    return TFd(::open(self.c_str(), O_RDONLY | O_CLOEXEC));
  }

 private:
  TFd m_fd;
  uint64_t m_size = 0;
};

class TPosixFileSystem : public TFileSystem {
 public:
  std::unique_ptr<TWritableFile> CreateFile(const std::string& path, mode_t mode) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return nullptr;
    return std::make_unique<TPosixFile>(fd);
  }

  bool Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  bool SyncFolder(const std::string& folder) override {
    TFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Valid() && ::fsync(fd.Get()) == 0;
  }
};

}  // namespace

TFileSystem& RealFileSystem() {
  static TPosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace tq
