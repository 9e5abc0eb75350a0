// External application lists, their storage and launching.
#include "options/utility_apps.h"

#include "foundation/ansi.h"
#include "foundation/errors.h"
#include "options/ini_values.h"
#include "platform/dialog_service.h"
#include "platform/process.h"

namespace tq {

void TVornUtilityApps::AppendCopies(const TVornUtilityApps& other) {
  // Counted first, so appending a list to itself copies each application once.
  const int count = other.Count();
  for (int i = 0; i < count; ++i) Add() = other.Items(i);
}

int TVornUtilityApps::IndexOfCaption(std::string_view caption) const {
  for (int i = 0; i < Count(); ++i) {
    if (AnsiSameText(Items(i).Caption, caption)) return i;
  }
  return -1;
}

void TVornUtilityApps::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  Clear();
  const int count = ReadListCount(ini, section, "Count_");
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    TVornUtilityApp& app = Add();
    app.Caption = ini.ReadString(section, n + "FCaption", "");
    app.Enabled = ReadFlag(ini, section, n + "FEnabled", false);
    app.File = ini.ReadString(section, n + "FFile", "");
    app.HotKey = ReadWord(ini, section, n + "FHotKey", 0);
    app.WindowStyle = ReadByte(ini, section, n + "FWindowStyle", 0);
  }
}

void TVornUtilityApps::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  EraseListSection(ini, section);
  ini.WriteInteger(section, "Count_", Count());
  for (int i = 0; i < Count(); ++i) {
    const std::string n = std::to_string(i);
    const TVornUtilityApp& app = Items(i);
    ini.WriteString(section, n + "FCaption", app.Caption);
    ini.WriteBool(section, n + "FEnabled", app.Enabled);
    ini.WriteString(section, n + "FFile", app.File);
    ini.WriteInteger(section, n + "FHotKey", app.HotKey);
    ini.WriteInteger(section, n + "FWindowStyle", app.WindowStyle);
  }
}

void LaunchApplication(const std::string& programFile, const std::string& address) {
  try {
    StartProgram(programFile, address);
  } catch (const EVornOSError& e) {
    throw EVornOSError("Failed to execute \"" + programFile + "\".  (Error Code " +
                           std::to_string(e.Code()) + "). Please check your settings.",
                       e.Code());
  }
}

void BrowseWith(const TVornUtilityApps& browsers, std::string_view caption,
                const std::string& address, bool fetched, const std::string& serverBase) {
  const int index = browsers.IndexOfCaption(caption);
  if (index < 0) return;
  try {
    LaunchApplication(browsers.Items(index).File, fetched ? serverBase + address : address);
  } catch (const EVornError& e) {
    DialogService().ShowMessageDlg(e.what(), mdiError, mbOk, "Unable to launch browser", 0);
  }
}

}  // namespace tq
