// The one seam through which lower layers ask the user something. The GUI implements it with Qt
// widgets, the CLI with the console (answers chosen by flags), tests with a scripted fake that
// records what was asked. Every method is called on the interface thread; a background thread
// that needs an answer hands the call over with CallInInterface and waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tq {

// Icon kinds and button bits of the program's message dialog.
enum TMsgDlgIcon : int {
  mdiWarning = 0,
  mdiError = 1,
  mdiInformation = 2,
  mdiConfirmation = 3,
  mdiNone = 4
};

enum TMsgDlgButton : unsigned {
  mbYes = 1u << 0,
  mbNo = 1u << 1,
  mbOk = 1u << 2,
  mbCancel = 1u << 3,
  mbAbort = 1u << 4,
  mbRetry = 1u << 5,
  mbIgnore = 1u << 6,
  mbAll = 1u << 7,
  mbHelp = 1u << 8,
};

// What a pressed button returns.
enum TModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrHelp = 9,
};

// What the login prompt is given and what it answers.
struct TLoginRequest {
  std::string Caption;                  // the server part of the address
  std::vector<std::string> Parameters;  // the server's authentication request lines (realm, ...)
  std::vector<std::pair<std::string, std::string>> KnownUsers;  // user name, password, list order
};

struct TLoginAnswer {
  bool Accepted = false;  // false: cancelled
  std::string User;
  std::string Password;
  bool SavePassword = false;
  bool DoNotPrompt = false;
};

// A modal window whose content a lower layer's logic drives: the dial-up progress and the
// countdown before a scheduled disconnect or exit. The logic fills the texts and the handlers and
// closes the window; the service draws it, calls OnTick every TickInterval milliseconds while it
// is shown, passes pressed buttons (and a close from the window frame, as mrCancel) to OnButton,
// and redraws when OnChanged is raised. Interface thread only.
class TModalWindow {
 public:
  enum TPicture : uint8_t { mpNone, mpDialing, mpConnection, mpShutdown };

  std::string Caption = "Tarnquill";
  std::string Heading;
  std::string GroupCaption;
  std::string Description;  // word-wrapped, above the status line
  std::string Footer;       // below the status line
  TPicture Picture = mpNone;
  unsigned Buttons = mbCancel;  // mbOk ("&OK") and mbCancel ("&Cancel")
  bool StayOnTop = false;
  int TickInterval = 0;  // 0: no ticks

  std::function<void()> OnShow;  // once, as the window appears
  std::function<void()> OnTick;
  std::function<void(int modalResult)> OnButton;
  std::function<void()> OnChanged;  // set by the service

  const std::string& Status() const { return m_status; }
  void SetStatus(std::string text) {
    m_status = std::move(text);
    if (OnChanged) OnChanged();
  }
  // The first close counts; the service's ShowModalWindow returns once the window is closed.
  void Close(int modalResult) {
    if (m_result != mrNone) return;
    m_result = modalResult;
    if (OnChanged) OnChanged();
  }
  bool Closed() const { return m_result != mrNone; }
  int Result() const { return m_result; }

 private:
  std::string m_status;
  int m_result = mrNone;
};

class IDialogService {
 public:
  virtual ~IDialogService() = default;

  // The program's message box; returns the pressed button's TModalResult.
  virtual int ShowMessageDlg(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                             const std::string& title, int helpContext) = 0;

  // The site login prompt.
  virtual TLoginAnswer PromptLogin(const TLoginRequest& request) = 0;

  // The platform's folder picker; empty when cancelled.
  virtual std::string BrowseForFolder(const std::string& title, int flags) = 0;

  // A save-file dialog; empty when cancelled. filter is "Name|*.ext" pairs joined by "|".
  virtual std::string PromptSaveFile(const std::string& title, const std::string& initialPath,
                                     const std::string& filter) = 0;

  // Shows window until its logic closes it and returns its result. This default presses
  // "&Cancel" at once (the answer a service without windows gives) and runs the event loop until
  // the logic has closed the window.
  virtual int ShowModalWindow(TModalWindow& window);

  // The system's warning sound; silent by default.
  virtual void Beep() {}

  // The troubleshooter window for topic, modal. Returns its result (mrOk only when its page closed
  // it so) and sets dontShowAgain from its "Don't show me this again" check box. Without a window
  // (the default) the answer is mrCancel and dontShowAgain stays false.
  virtual int ShowTroubleShooter(const std::string& topic, bool& dontShowAgain);
};

// The program-wide dialog service. Set once at start by the main (GUI, CLI) or a test; unset,
// DialogService() returns a service that answers every question with "cancel".
void SetDialogService(std::shared_ptr<IDialogService> service);
IDialogService& DialogService();

}  // namespace tq
