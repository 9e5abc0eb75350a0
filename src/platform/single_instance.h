// One running instance per user: a named claim that the kernel drops when its holder ends in any
// way (a crash included), and the private folder where the claim and the hand-over socket live.
// Any thread; a TInstanceLock object has one user at a time.
#pragma once

#include <string>

namespace tq {

// The folder for this user's locks and sockets, with a trailing slash: $XDG_RUNTIME_DIR when it is
// set, else "/tmp/tarnquill-<uid>/", made with mode 0700. Raises EVornOSError when the folder
// cannot be made, or is not a folder of this user's alone (another user could then take the
// names in it).
std::string UserRuntimeFolder();

class TInstanceLock {
 public:
  TInstanceLock() = default;
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

  // Claims name ("<name>.lock" in the user's runtime folder). True when this object holds the
  // claim now, false when another process holds it. Raises EVornOSError when the lock file cannot
  // be opened or locked for another reason.
  bool TryAcquire(const std::string& name);
  bool Held() const { return m_fd >= 0; }
  // Gives the claim up; nothing when not held.
  void Release();

 private:
  int m_fd = -1;
};

}  // namespace tq
