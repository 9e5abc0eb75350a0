// The single-instance check and the hand-over of a second start's arguments.
#include "options/one_instance.h"

#include <filesystem>

#include "platform/dialog_service.h"
#include "platform/hand_over.h"
#include "platform/program_folder.h"

namespace tq {
namespace {

void ShowError(const std::string& text) {
  DialogService().ShowMessageDlg(text, mdiError, mbOk, "Tarnquill", 0);
}

}  // namespace

std::string TOneInstance::ProgramName() {
  const std::string program = ProgramFile();
  const std::string name = program.substr(program.find_last_of('/') + 1);
  return name.empty() ? std::string("tarnquill") : name;
}

TOneInstance::TOneInstance(std::string name) : m_name(std::move(name)) {}

bool TOneInstance::Check() {
  bool claimed = false;
  try {
    claimed = m_lock.TryAcquire(m_name);
  } catch (const std::exception& e) {
    ShowError(std::string("Unable to verify that Mutex already exists!") +
              " An Exception was raised " + "with the message : " + e.what());
  }
  if (claimed) return false;
  if (ApplicationExists) ApplicationExists();
  if (Terminate) {
    if (InformUser) {
      ShowError(
          "Another instance of this application appears to be running. You must \r\n"
          "close any previous instances before continuing. ");
    }
    return true;
  }
  if (InformUser) {
    DialogService().ShowMessageDlg("Another instance of this application appears to be running!",
                                   mdiWarning, mbOk, "Tarnquill", 0);
  }
  return false;
}

std::vector<std::string> HandOverLines(const std::vector<std::string>& arguments) {
  if (arguments.size() == 1) {
    // The running instance has its own working folder: a relative path would miss the file.
    std::error_code ec;
    const auto path = std::filesystem::absolute(arguments[0], ec);
    return {"OpenFile=" + (ec ? arguments[0] : path.lexically_normal().string())};
  }
  if (arguments.size() == 2) return arguments;
  return {};
}

bool HandOverToRunningInstance(const std::string& name, const std::vector<std::string>& arguments,
                               Millis timeout) {
  const std::vector<std::string> lines = HandOverLines(arguments);
  if (lines.empty()) return true;
  try {
    return SendHandOver(name, lines, timeout);
  } catch (const std::exception&) {
    return false;  // no runtime folder: nobody to hand over to
  }
}

}  // namespace tq
