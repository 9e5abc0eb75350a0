// TVornInternetDisconnect: the scheduled disconnect and exit options (section
// "FInternetDisconnect" of the settings file), the projects a scheduled exit saved for the next
// start (TAutoSavedDocs, section "FAutoSaved"), and the entry points a crawl calls when all
// downloads are complete. The schedule, the countdown and the actions themselves belong to the
// dial-up layer, which fills OnDisconnect and OnExitProgram; the requests the actions make of the
// main window are the events below, which TVornOptions publishes under its own names.
//
// Thread rules: interface thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "foundation/date_time.h"
#include "foundation/ini_file.h"
#include "foundation/owned_list.h"

namespace tq {

struct TAutoSavedDoc {
  std::string FileName;  // a project file
};

// An ordered list of project files. Persisted as "Count" and "File0", "File1", ...; the section
// is written anew whole.
class TAutoSavedDocs : public TOwnedList<TAutoSavedDoc> {
 public:
  // Empties the list first.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;
};

class TVornInternetDisconnect {
 public:
  bool DisconnectWhenDownloadsComplete = false;
  bool DisconnectAt = false;
  TDateTime DisconnectAtTime = 0;  // only the hour and minute count
  bool ExitWhenDownloadsComplete = false;
  bool ExitAt = false;
  TDateTime ExitAtTime = 0;  // only the hour and minute count
  bool SaveDownloadsBeforeExit = false;
  bool ShutDownOnExit = false;

  TAutoSavedDocs AutoSavedDocs;

  // Called by a crawl that has just completed (afterDownloads true) and by the schedule.
  void Disconnect(bool afterDownloads) {
    if (OnDisconnect) OnDisconnect(afterDownloads);
  }
  void ExitProgram(bool afterDownloads) {
    if (OnExitProgram) OnExitProgram(afterDownloads);
  }
  std::function<void(bool afterDownloads)> OnDisconnect;
  std::function<void(bool afterDownloads)> OnExitProgram;

  // What the actions ask of the main window. Unset events answer "no downloads", 0 projects.
  std::function<void(bool& inProgress)> OnAskIfDownloads;           // any open project downloading
  std::function<void()> OnStopDownloads;                            // stop every running download
  std::function<void(TAutoSavedDocs& savedDocs)> OnAutoSave;        // save all, append their files
  std::function<void(int& count)> OnDocCount;                       // number of open projects
  std::function<void(int index, void*& download)> OnDocInfoNeeded;  // the project at index
  std::function<void(void* document)> OnNeedToClose;                // close that project
  std::function<void(const std::string& fileName)> OnNeedToOpen;    // open that project file
  std::function<void()> OnShutDown;                                 // close the program

  // Reads the keys, then the auto-saved list from the section autoSavedSection; then hands
  // every auto-saved project to OnNeedToOpen in list order and empties the list (also without a
  // handler; an error the handler raises ends only that project's reopening). Returns how many
  // projects were handed over. FDisconnectAtTime and FExitAtTime
  // default to the current local time.
  int LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                  std::string_view autoSavedSection);
  // Writes the auto-saved list first, then the keys.
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                 std::string_view autoSavedSection) const;
};

}  // namespace tq
