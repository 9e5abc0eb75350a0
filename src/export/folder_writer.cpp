// Writing below one folder with *at calls, never through a symbolic link.
#include "export/folder_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "foundation/atomic_file.h"

namespace tq {
namespace {

bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find('\0') == std::string_view::npos && name.find('/') == std::string_view::npos;
}

// Closes fd keeping errno as the failure before it left it.
void CloseQuietly(int fd) {
  const int saved = errno;
  ::close(fd);
  errno = saved;
}

int OpenFolderAt(int parent, const std::string& name) {
  return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

}  // namespace

TVornFolderWriter::TVornFolderWriter(const std::string& root) {
  std::error_code ignored;  // opening the folder tells whether it is there
  std::filesystem::create_directories(root, ignored);
  m_root = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

TVornFolderWriter::~TVornFolderWriter() {
  if (m_folder >= 0) ::close(m_folder);
  if (m_root >= 0) ::close(m_root);
}

int TVornFolderWriter::Folder(std::string_view folderPath) {
  if (m_folder >= 0 && folderPath == m_folderPath) return m_folder;
  if (m_folder >= 0) ::close(m_folder);
  m_folder = -1;
  if (m_root < 0) {
    errno = EBADF;
    return -1;
  }
  // Files come in address order, so consecutive files mostly share their folder: only a change
  // of folder walks the path again.
  std::string wanted(folderPath);
  int current = ::dup(m_root);
  while (current >= 0 && !folderPath.empty()) {
    const size_t slash = folderPath.find('/');
    const std::string name(folderPath.substr(0, slash));
    folderPath.remove_prefix(slash == std::string_view::npos ? folderPath.size() : slash + 1);
    if (!IsPlainName(name)) {
      CloseQuietly(current);
      errno = EINVAL;
      return -1;
    }
    int next = OpenFolderAt(current, name);
    if (next < 0 && errno == ENOENT &&
        (::mkdirat(current, name.c_str(), 0777) == 0 || errno == EEXIST)) {
      next = OpenFolderAt(current, name);
    }
    CloseQuietly(current);
    current = next;
  }
  if (current < 0) return -1;
  m_folder = current;
  m_folderPath = std::move(wanted);
  return m_folder;
}

bool TVornFolderWriter::Write(std::string_view relativePath, std::string_view data) {
  const size_t slash = relativePath.rfind('/');
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : relativePath.substr(0, slash);
  const std::string name(relativePath.substr(slash == std::string_view::npos ? 0 : slash + 1));
  if (!IsPlainName(name) || slash == 0) {
    errno = EINVAL;
    return false;
  }
  const int dir = Folder(folder);
  if (dir < 0) return false;

  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = ".~tq" + std::to_string(::getpid()) + "-" + std::to_string(++m_serial) + ".tmp";
    fd = ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteFully(fd, data);
  if (!ok) CloseQuietly(fd);
  ok = ok && ::close(fd) == 0;
  ok = ok && ::renameat(dir, temp.c_str(), dir, name.c_str()) == 0;
  if (!ok) {
    const int saved = errno;
    ::unlinkat(dir, temp.c_str(), 0);
    errno = saved;
  }
  return ok;
}

bool TVornFolderWriter::Sync() {
  return m_root >= 0 && ::syncfs(m_root) == 0;
}

}  // namespace tq
