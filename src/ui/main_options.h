// TMainOptions: what the main window needs of the application options, kept in one place: the
// options object every project's engine reads, the two confirmations of closing a changed
// project and quitting, and loading and saving the settings file "config.dat", whose "Recent"
// section the window reads and writes through OnLoadMRU and OnSaveMRU.
//
// Threads: interface thread only.
#pragma once

#include <functional>
#include <string>

#include "foundation/ini_file.h"
#include "options/options.h"

namespace tq {

class TMainOptions {
 public:
  // configFile: the settings file; empty: "config.dat" in the program's folder (or the user's
  // configuration folder when that is not writable).
  explicit TMainOptions(std::string configFile = {});

  TVornOptions& Options() { return m_options; }
  const std::string& ConfigFile() const { return m_configFile; }

  // Confirmation switches: ask before closing a changed project, before quitting.
  bool ClosingDoc = true;
  bool ClosingApp = true;
  // True when the action may proceed: the switch is off or the user answers Yes.
  bool ConfirmCloseDocument();
  bool ConfirmQuit();

  // Reads the settings file (a missing file gives the defaults), then raises OnLoadMRU.
  void LoadOptions();
  // Writes the settings file, then raises OnSaveMRU. A write that fails raises the store's error.
  void SaveOptions();

  std::function<void(TVornCustomIniFile& ini)> OnLoadMRU;
  std::function<void(TVornCustomIniFile& ini)> OnSaveMRU;

 private:
  TVornOptions m_options;
  std::string m_configFile;
};

}  // namespace tq
