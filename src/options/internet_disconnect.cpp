// How the disconnect and exit options and the auto-saved projects are stored.
#include "options/internet_disconnect.h"

#include "options/ini_values.h"

namespace tq {

void TAutoSavedDocs::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  Clear();
  const int count = ReadListCount(ini, section, "Count");
  for (int i = 0; i < count; ++i) {
    Add().FileName = ini.ReadString(section, "File" + std::to_string(i), "");
  }
}

void TAutoSavedDocs::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  EraseListSection(ini, section);
  ini.WriteInteger(section, "Count", Count());
  for (int i = 0; i < Count(); ++i) {
    ini.WriteString(section, "File" + std::to_string(i), Items(i).FileName);
  }
}

int TVornInternetDisconnect::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                                         std::string_view autoSavedSection) {
  const TDateTime now = NowLocal();
  DisconnectWhenDownloadsComplete =
      ReadFlag(ini, section, "FDisconnectWhenDownloadsComplete", false);
  DisconnectAt = ReadFlag(ini, section, "FDisconnectAt", false);
  DisconnectAtTime = ini.ReadDateTime(section, "FDisconnectAtTime", now);
  ExitWhenDownloadsComplete = ReadFlag(ini, section, "FExitWhenDownloadsComplete", false);
  ExitAt = ReadFlag(ini, section, "FExitAt", false);
  ExitAtTime = ini.ReadDateTime(section, "FExitAtTime", now);
  SaveDownloadsBeforeExit = ReadFlag(ini, section, "FSaveDownloadsBeforeExit", false);
  ShutDownOnExit = ReadFlag(ini, section, "FShutDownOnExit", false);

  AutoSavedDocs.LoadFromIni(ini, autoSavedSection);
  int handedOver = 0;
  while (AutoSavedDocs.Count() > 0) {
    // Taken off the list before the handler runs, so a handler that fails (or saves the
    // options) never sees the project twice.
    const std::string file = AutoSavedDocs.Items(0).FileName;
    AutoSavedDocs.Delete(0);
    ++handedOver;
    if (!OnNeedToOpen) continue;
    try {
      OnNeedToOpen(file);
    } catch (const std::exception&) {
      // A project that cannot be opened ends only its own reopening; the options still load.
    }
  }
  return handedOver;
}

void TVornInternetDisconnect::SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                                        std::string_view autoSavedSection) const {
  AutoSavedDocs.SaveToIni(ini, autoSavedSection);
  ini.WriteBool(section, "FDisconnectWhenDownloadsComplete", DisconnectWhenDownloadsComplete);
  ini.WriteBool(section, "FDisconnectAt", DisconnectAt);
  ini.WriteDateTime(section, "FDisconnectAtTime", DisconnectAtTime);
  ini.WriteBool(section, "FExitWhenDownloadsComplete", ExitWhenDownloadsComplete);
  ini.WriteBool(section, "FExitAt", ExitAt);
  ini.WriteDateTime(section, "FExitAtTime", ExitAtTime);
  ini.WriteBool(section, "FSaveDownloadsBeforeExit", SaveDownloadsBeforeExit);
  ini.WriteBool(section, "FShutDownOnExit", ShutDownOnExit);
}

}  // namespace tq
