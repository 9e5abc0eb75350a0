// The logic of the e-book compiler finder window, without widgets: a scan of every hard disk,
// CD-ROM, RAM and network file system for the compiler programs, the copies found, and the state
// of the window's buttons and pages. The options dialog takes the selected copy when the window
// closes with OK. Interface thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "options/base_scanner.h"

namespace tq {

class TFindCompilerModel {
 public:
  // Our own wrapper first, then the compiler it wraps.
  static constexpr const char* kCompilerNames = "tarnquill-hhc;chmcmd";
  static constexpr const char* kIdleText =
      "Press Start to let Tarnquill search your computer for Microsoft HTML Help compiler.";

  TFindCompilerModel();

  // The scanner, configured for the compilers; tests point its MountTable elsewhere.
  TBaseScanner& Scanner() { return m_scanner; }

  // "Start" pressed: with the caption "Start" a new search (the list cleared), with "Stop" the
  // running one ends.
  void PressStart();
  // A list entry chosen (-1: none); only a chosen entry enables "OK".
  void Select(int index);

  bool Searching() const { return m_scanner.Running(); }
  const char* StartCaption() const { return Searching() ? "Stop" : "Start"; }
  // "Cancel" and the list are disabled while searching, and with them the window's closing.
  bool CancelEnabled() const { return !Searching(); }
  bool ListEnabled() const { return !Searching(); }
  bool OkEnabled() const { return !Searching() && m_selected >= 0; }
  // The working page ("Searching in :") is shown while searching, the idle page otherwise.
  // The folder being searched, shortened to fit: 50 characters and more are shown as the
  // first 23, "...." and the last 23.
  const std::string& CurrentFolder() const { return m_current; }

  // Copies found, each as folder, "/" and name; only programs the user may run are listed.
  const std::vector<std::string>& Found() const { return m_found; }
  // The chosen copy; empty when none is chosen.
  std::string SelectedFile() const;

  // Raised after every change the search makes, for the window to show it.
  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }

  std::vector<std::string> m_found;
  int m_selected = -1;
  std::string m_current;
  TBaseScanner m_scanner;  // last, so it stops before what its events touch goes
};

}  // namespace tq
