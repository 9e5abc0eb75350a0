// The dialog service of the desktop program: the program's message dialog, the login prompt and
// the desktop's own file and folder pickers. Interface thread only, as the service's contract says.
#pragma once

#include <QString>

#include "platform/dialog_service.h"

namespace tq {

class TGuiDialogService : public IDialogService {
 public:
  int ShowMessageDlg(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                     const std::string& title, int helpContext) override;
  TLoginAnswer PromptLogin(const TLoginRequest& request) override;
  std::string BrowseForFolder(const std::string& title, int flags) override;
  std::string PromptSaveFile(const std::string& title, const std::string& initialPath,
                             const std::string& filter) override;
};

// "Name|*.ext|Other|*.a;*.b" as a Qt file dialog filter ("Name (*.ext);;Other (*.a *.b)").
QString QtFileFilter(const std::string& filter);

}  // namespace tq
