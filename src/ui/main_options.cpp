#include "ui/main_options.h"

#include "platform/dialog_service.h"
#include "platform/program_folder.h"

namespace tq {
namespace {

constexpr const char* kConfirmationSection = "FConfirmation";

bool Ask(bool enabled, const char* question, const char* title) {
  if (!enabled) return true;
  return DialogService().ShowMessageDlg(question, mdiConfirmation, mbYes | mbNo, title, 0) == mrYes;
}

}  // namespace

TMainOptions::TMainOptions(std::string configFile) : m_configFile(std::move(configFile)) {
  if (m_configFile.empty()) m_configFile = ProgramDataFolder(".") + "config.dat";
}

bool TMainOptions::ConfirmCloseDocument() {
  return Ask(ClosingDoc, "Do you want to close document without save ?", "Close without save");
}

bool TMainOptions::ConfirmQuit() {
  return Ask(ClosingApp, "Do you want to quit Tarnquill ?", "Quit");
}

void TMainOptions::LoadOptions() {
  TVornIniFile ini(m_configFile);
  // The application settings take a Boolean as true only when it reads exactly 1.
  ClosingDoc = ini.ReadInteger(kConfirmationSection, "FClosingDoc", 1) == 1;
  ClosingApp = ini.ReadInteger(kConfirmationSection, "FClosingApp", 1) == 1;
  if (OnLoadMRU) OnLoadMRU(ini);
}

void TMainOptions::SaveOptions() {
  TVornIniFile ini(m_configFile);
  ini.WriteBool(kConfirmationSection, "FClosingDoc", ClosingDoc);
  ini.WriteBool(kConfirmationSection, "FClosingApp", ClosingApp);
  if (OnSaveMRU) OnSaveMRU(ini);
}

}  // namespace tq
