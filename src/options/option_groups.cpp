// Storage of the smaller option groups, and the confirmation questions.
#include "options/option_groups.h"

#include "options/ini_values.h"
#include "platform/dialog_service.h"
#include "platform/shell_folders.h"

namespace tq {
namespace {

bool Confirm(bool enabled, const char* title, const char* question) {
  if (!enabled) return true;
  return DialogService().ShowMessageDlg(question, mdiConfirmation, mbYes | mbNo, title, 0) == mrYes;
}

}  // namespace

void TVornDirectories::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  DownDirectory = ini.ReadString(section, "FDownDirectory", "");
  if (DownDirectory.empty()) DownDirectory = GetSpecialFolder(sfPersonal);
  DiskSpaceLimit = ini.ReadInteger(section, "FDiskSpaceLimit", 5000);
}

void TVornDirectories::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  ini.WriteString(section, "FDownDirectory", DownDirectory);
  ini.WriteInteger(
      section, "FDiskSpaceLimit",
      static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(DiskSpaceLimit))));
}

bool TVornConfirmations::ConfirmCloseDocument() const {
  return Confirm(ClosingDoc, "Close without save", "Do you want to close document without save ?");
}

bool TVornConfirmations::ConfirmQuit() const {
  return Confirm(ClosingApp, "Quit", "Do you want to quit Tarnquill ?");
}

bool TVornConfirmations::ConfirmCloseWizard() const {
  return Confirm(QuittingWizard, "Close wizard", "Do you want to close Wizard ?");
}

void TVornConfirmations::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  ClosingDoc = ReadFlag(ini, section, "FClosingDoc", true);
  ClosingApp = ReadFlag(ini, section, "FClosingApp", true);
  QuittingWizard = ReadFlag(ini, section, "FQuittingWizard", true);
  DeletingFiles = ReadFlag(ini, section, "FDeletingFiles", true);
  HaggingConnection = ReadFlag(ini, section, "FHaggingConnection", true);
  BaseUrlChanged = ReadFlag(ini, section, "FBaseUrlChanged", true);
}

void TVornConfirmations::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  ini.WriteBool(section, "FClosingDoc", ClosingDoc);
  ini.WriteBool(section, "FClosingApp", ClosingApp);
  ini.WriteBool(section, "FQuittingWizard", QuittingWizard);
  ini.WriteBool(section, "FDeletingFiles", DeletingFiles);
  ini.WriteBool(section, "FHaggingConnection", HaggingConnection);
  ini.WriteBool(section, "FBaseUrlChanged", BaseUrlChanged);
}

void TVornHTMLCompiler::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  FileName = ini.ReadString(section, "FFileName", "");
  FullSearch = ini.ReadInteger(section, "FFullSearch", 0) != 0;
}

void TVornHTMLCompiler::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  ini.WriteString(section, "FFileName", FileName);
  ini.WriteInteger(section, "FFullSearch", FullSearch ? 1 : 0);
}

int TVornTroubleShooter::FindTopic(std::string_view name) const {
  for (size_t i = 0; i < Topics.size(); ++i) {
    if (Topics[i].Name == name) return static_cast<int>(i);
  }
  return -1;
}

bool TVornTroubleShooter::ShowTopic(const std::string& name) {
  int at = FindTopic(name);
  if (at < 0) {
    Topics.push_back({name, true});
    at = static_cast<int>(Topics.size()) - 1;
  }
  if (!Topics[static_cast<size_t>(at)].Show) return true;
  bool dontShowAgain = false;
  const int result = DialogService().ShowTroubleShooter(name, dontShowAgain);
  // The window runs the event loop, whose handlers may have reloaded the topics.
  at = FindTopic(name);
  if (at >= 0) Topics[static_cast<size_t>(at)].Show = !dontShowAgain;
  return result == mrOk;
}

void TVornTroubleShooter::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  std::vector<std::string> names;
  ini.ReadSection(section, names);
  for (const auto& name : names) {
    if (name.empty()) continue;  // a line without "=" names no topic
    const bool show = ini.ReadBool(section, name, true);
    const int at = FindTopic(name);
    if (at >= 0) {
      Topics[static_cast<size_t>(at)].Show = show;
    } else {
      Topics.push_back({name, show});
    }
  }
}

void TVornTroubleShooter::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  EraseListSection(ini, section);
  for (const auto& topic : Topics) ini.WriteBool(section, topic.Name, topic.Show);
}

}  // namespace tq
