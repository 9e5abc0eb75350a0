// TDesktopSession: what the desktop program adds around its main window once it is the user's
// running instance: the desktop's clipboard, the hand-over from later starts of the program, the
// dial-up layer (the options dialog's phonebook, dialing before a crawl, the scheduled actions),
// and the troubleshooter when the computer has no network adapter. Create it after the main
// window and destroy it before; interface thread only.
#pragma once

#include <memory>
#include <string>

namespace tq {

class TMainForm;
class TVornDialUpSystem;

struct TDesktopSetup {
  std::string HandOverName;  // the name the instance claimed (TOneInstance::Name)
  std::string Program;       // the executable the ".web" file type opens
  bool DialUp = true;        // reach the system's dial-up connections
};

class TDesktopSession {
 public:
  TDesktopSession(TMainForm& window, const TDesktopSetup& setup);
  ~TDesktopSession();
  TDesktopSession(const TDesktopSession&) = delete;
  TDesktopSession& operator=(const TDesktopSession&) = delete;

 private:
  TMainForm& m_window;
  std::unique_ptr<TVornDialUpSystem> m_dialUp;
};

}  // namespace tq
