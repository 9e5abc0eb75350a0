// TVornOptions: the application options one program run shares between its projects, and their
// settings file "config.dat". The main window (or the CLI) owns one; every project's controller
// holds a reference to read the identity, the proxies and the dial and disconnect entry points.
//
// The file is read once by LoadOptions and written whole by SaveOptions, atomically and with
// mode 0600 (it holds passwords). SaveOptions leaves the file untouched while nothing differs
// from what the last load or save took in, so a damaged file keeps its bytes until the user
// changes an option.
//
// Thread rules: interface thread only. The offline server may read
// InternetConnection.AllowLocalConnectionOnly from its own threads.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/ini_file.h"
#include "options/integration.h"
#include "options/internet_connection.h"
#include "options/internet_dial.h"
#include "options/internet_disconnect.h"
#include "options/option_groups.h"
#include "options/utility_apps.h"
#include "platform/installed_browsers.h"
#include "platform/program_folder.h"

namespace tq {

class TVornOptions {
 public:
  // Options at their constructor values (the file's defaults take over at load), kept in the
  // settings file at configFile. Nothing is read or written yet.
  explicit TVornOptions(std::string configFile = ProgramSettingsFile("config.dat"));
  TVornOptions(const TVornOptions&) = delete;
  TVornOptions& operator=(const TVornOptions&) = delete;

  const std::string& ConfigFile() const { return m_configFile; }

  TVornInternetConnection InternetConnection;
  TVornInternetDial InternetDialUp;
  TVornInternetDisconnect InternetDisconnect;
  TVornProxyFTP ProxyFTP;
  TVornProxyHTTP ProxyHTTP;
  TVornUtilityApps ExtBrowsers;
  TVornUtilityApps ExtEditors;  // stored and carried through the options dialog only
  TVornUtilityApps ExtViewers;  // likewise
  TVornTroubleShooter TroubleShooter;
  TVornDirectories Directories;
  TVornIntegration Integration;
  TVornConfirmations Confirmation;
  TVornHTMLCompiler HTMLCompiler;

  // The requests of the desktop integration and of the scheduled disconnect and exit to the main
  // window: the sub-objects' own events under the names the main window knows them by.
  decltype(TVornIntegration::OnClipboardLink)& IntegrationOnClipboardLink =
      Integration.OnClipboardLink;
  decltype(TVornIntegration::OnIELinks)& IntegrationOnIELinks = Integration.OnIELinks;
  decltype(TVornIntegration::OnOpenFile)& OnIntegrationOpenFile = Integration.OnOpenFile;
  decltype(TVornInternetDisconnect::OnAskIfDownloads)& OnAskIfDownloads =
      InternetDisconnect.OnAskIfDownloads;
  decltype(TVornInternetDisconnect::OnAutoSave)& OnAutoSave = InternetDisconnect.OnAutoSave;
  decltype(TVornInternetDisconnect::OnDocCount)& OnDocCount = InternetDisconnect.OnDocCount;
  decltype(TVornInternetDisconnect::OnDocInfoNeeded)& OnDocInfoNeeded =
      InternetDisconnect.OnDocInfoNeeded;
  decltype(TVornInternetDisconnect::OnNeedToClose)& OnDocNeedToClose =
      InternetDisconnect.OnNeedToClose;
  decltype(TVornInternetDisconnect::OnNeedToOpen)& OnDocNeedToOpen =
      InternetDisconnect.OnNeedToOpen;
  decltype(TVornInternetDisconnect::OnStopDownloads)& OnStopDownloads =
      InternetDisconnect.OnStopDownloads;
  decltype(TVornInternetDisconnect::OnShutDown)& OnShutDown = InternetDisconnect.OnShutDown;

  // The main window's own part of the file (the recent projects): read at the end of every load,
  // written at the end of every save. OnSaveMRU may also be raised into a scratch store to see
  // whether anything changed, so it must only write into the store it is given.
  std::function<void(const TVornCustomIniFile& ini)> OnLoadMRU;
  std::function<void(TVornCustomIniFile& ini)> OnSaveMRU;

  // Where a first list of browsers comes from when the file holds no browser list at all (a new
  // installation); unset, the list starts empty. FindInstalledBrowsers is the usual choice.
  std::function<std::vector<TInstalledBrowser>()> OnFindBrowsers;

  // Reads every section of the settings file; a missing, empty, unreadable or damaged file gives
  // the defaults for what it does not hold readably, so loading never fails. Projects a scheduled
  // exit saved are handed to OnDocNeedToOpen on the way.
  void LoadOptions();
  // Writes every section into the settings file (creating it and its folder), then OnSaveMRU.
  // Raises EIniFileException ("Unable to write to <file>") when the file cannot be read back or
  // written; the old file then stays as it was.
  void SaveOptions();

  // The same sections read from / written into another store (the CLI, tests).
  void LoadFromIni(const TVornCustomIniFile& ini);
  void SaveToIni(TVornCustomIniFile& ini) const;

 private:
  // Loads and says whether the load itself changed something the file holds (auto-saved
  // projects handed over, browsers found for a new installation).
  bool LoadSections(const TVornCustomIniFile& ini);
  // The file text the options would write into an empty file.
  std::string Snapshot() const;

  std::string m_configFile;
  // What the file holds as far as the options are concerned; unset when a save must write.
  std::optional<std::string> m_fileSnapshot;
};

}  // namespace tq
