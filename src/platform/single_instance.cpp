// The per-user runtime folder and the instance claim (flock on a lock file).
#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/errors.h"

namespace tq {
namespace {

[[noreturn]] void RaiseOS(const std::string& what, int code) {
  throw EVornOSError(what + ": " + std::strerror(code), code);
}

}  // namespace

std::string UserRuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
    std::string folder = runtime;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  const std::string folder = "/tmp/tarnquill-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    RaiseOS("Cannot make " + folder, errno);
  // lstat: a symbolic link planted by someone else must not redirect our sockets.
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) RaiseOS("Cannot read " + folder, errno);
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
    throw EVornOSError(folder + " is not a private folder of this user", EPERM);
  }
  return folder + "/";
}

TInstanceLock::~TInstanceLock() {
  Release();
}

bool TInstanceLock::TryAcquire(const std::string& name) {
  if (Held()) return true;
  const std::string path = UserRuntimeFolder() + name + ".lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) RaiseOS("Cannot open " + path, errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int code = errno;
    ::close(fd);
    if (code == EWOULDBLOCK) return false;
    RaiseOS("Cannot lock " + path, code);
  }
  m_fd = fd;
  return true;
}

void TInstanceLock::Release() {
  if (m_fd < 0) return;
  // The lock file stays: removing it would let a third start lock a new file while a second
  // still waits on the old one.
  ::close(m_fd);
  m_fd = -1;
}

}  // namespace tq
