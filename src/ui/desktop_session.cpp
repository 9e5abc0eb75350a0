// The desktop program's services around its main window.
#include "ui/desktop_session.h"

#include "dialup/dial_up_system.h"
#include "server/server.h"
#include "ui/main_window.h"
#include "ui/qt_clipboard.h"
#include "ui/tips_form.h"

namespace tq {

TDesktopSession::TDesktopSession(TMainForm& window, const TDesktopSetup& setup) : m_window(window) {
  SetClipboard(std::make_shared<TQtClipboard>());
  TVornOptions& options = window.Options();
  if (setup.DialUp) {
    m_dialUp = std::make_unique<TVornDialUpSystem>(options);
    window.SetPhonebook([this] { return m_dialUp->Dialer().Phonebook(); });
  }
  options.Integration.StartDesktop(setup.HandOverName, setup.Program);
  // A topic the user has seen and closed is remembered at once, not only at the next save.
  if (!TVornServer::HasNetworkAdapter() && !options.TroubleShooter.ShowTopic("nocard")) {
    options.SaveOptions();
  }
  if (TipsOnStartup(options.ConfigFile())) ShowTips(options.ConfigFile(), &window);
}

TDesktopSession::~TDesktopSession() {
  m_window.SetPhonebook(nullptr);
  m_dialUp.reset();
  SetClipboard(nullptr);
}

}  // namespace tq
