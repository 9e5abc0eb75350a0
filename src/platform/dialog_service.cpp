// The program-wide dialog service slot and the silent default.
#include "platform/dialog_service.h"

#include <atomic>

#include "foundation/main_loop.h"

namespace tq {
namespace {

class TSilentDialogService final : public IDialogService {
 public:
  int ShowMessageDlg(const std::string&, TMsgDlgIcon, unsigned buttons, const std::string&,
                     int) override {
    if (buttons & mbCancel) return mrCancel;
    if (buttons & mbNo) return mrNo;
    return mrOk;
  }
  TLoginAnswer PromptLogin(const TLoginRequest&) override { return {}; }
  std::string BrowseForFolder(const std::string&, int) override { return {}; }
  std::string PromptSaveFile(const std::string&, const std::string&, const std::string&) override {
    return {};
  }
};

std::shared_ptr<IDialogService>& Slot() {
  static std::shared_ptr<IDialogService> slot = std::make_shared<TSilentDialogService>();
  return slot;
}

}  // namespace

int IDialogService::ShowModalWindow(TModalWindow& window) {
  if (window.OnShow) window.OnShow();
  if (!window.Closed() && window.OnButton) window.OnButton(mrCancel);
  ProcessEventsUntil([&window] { return window.Closed(); });
  return window.Result();
}

int IDialogService::ShowTroubleShooter(const std::string&, bool&) {
  return mrCancel;
}

void SetDialogService(std::shared_ptr<IDialogService> service) {
  Slot() = service ? std::move(service) : std::make_shared<TSilentDialogService>();
}

IDialogService& DialogService() {
  return *Slot();
}

}  // namespace tq
