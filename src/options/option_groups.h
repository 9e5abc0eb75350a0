// The smaller groups of application options, each persisted in a section of the settings file of
// its own: the download folder, the confirmation switches, the e-book compiler and the
// troubleshooter's memory.
//
// Thread rules: interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ini_file.h"

namespace tq {

class TVornDirectories {
 public:
  std::string DownDirectory;   // where the project save dialog starts
  int64_t DiskSpaceLimit = 0;  // megabytes; stored and edited only

  // FDownDirectory (empty: the user's documents folder), FDiskSpaceLimit (read as a 32-bit
  // signed integer and widened, written as its low 32 bits; 5000 when missing).
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;
};

// The confirmation switches. The three Confirm operations ask through the dialog service (a
// question with Yes and No) when their switch is on, and answer true when the action may go on;
// the other three switches are stored and edited only.
class TVornConfirmations {
 public:
  bool ClosingDoc = false;
  bool ClosingApp = false;
  bool QuittingWizard = false;
  bool DeletingFiles = false;
  bool HaggingConnection = false;
  bool BaseUrlChanged = false;

  bool ConfirmCloseDocument() const;
  bool ConfirmQuit() const;
  bool ConfirmCloseWizard() const;

  // One key per switch, F followed by its name; each true when missing.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;
};

// The e-book compiler the export runs, and whether e-books get full-text search.
class TVornHTMLCompiler {
 public:
  std::string FileName;  // full path; empty: none chosen, the export refuses e-books
  bool FullSearch = false;

  // FFileName; FFullSearch written as an integer and true when not 0.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;
};

struct TVornTrouble {
  std::string Name;
  bool Show = true;
};

// The troubleshooter topics and whether each may still be shown. Persisted as one key per topic
// name, read with the store's Boolean reader (any non-zero integer is true); the section is
// written anew whole.
class TVornTroubleShooter {
 public:
  std::vector<TVornTrouble> Topics;

  // The index of the topic named exactly name (letter case counts); -1 when none.
  int FindTopic(std::string_view name) const;

  // Shows the troubleshooter window for the topic (an unknown one is added, to be shown) unless
  // the user asked not to see it again, in which case the answer is true at once. Otherwise the
  // window's "Don't show me this again" box decides whether it is shown next time, and the
  // answer is true only when the window closed with OK.
  bool ShowTopic(const std::string& name);

  // Adds the topics read to those held; a topic held already takes the flag read.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;
};

}  // namespace tq
