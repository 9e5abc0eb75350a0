// The logic of the options page that edits a list of external applications, without widgets:
// a check list of captions (the check mark is Enabled) over a working copy of the list, edit
// boxes for the selected entry, and the add and remove buttons. OK writes the copy back; Cancel
// just drops the editor. Interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "options/utility_apps.h"

namespace tq {

class TUtilityAppsEditor {
 public:
  // Starts with a copy of apps and nothing selected.
  explicit TUtilityAppsEditor(const TVornUtilityApps& apps);

  // The working copy: one check-list row per application.
  const TVornUtilityApps& Apps() const { return m_apps; }
  int Selected() const { return m_selected; }

  // The boxes of the selected entry ("&Caption : ", "&File :", "&Hotkey : "), and whether they
  // and "&Remove >>" can be used: cleared and disabled while nothing is selected.
  const std::string& CaptionBox() const { return m_caption; }
  const std::string& FileBox() const { return m_file; }
  uint16_t HotKeyBox() const { return m_hotKey; }
  bool BoxesEnabled() const { return m_selected >= 0; }

  // "<< &Add": a new empty entry at the end, selected.
  void Add();
  // "&Remove >>": deletes the selected entry; nothing is selected afterwards.
  void Remove();
  // Selects row (-1 or out of range: nothing) and fills the boxes from it; not an edit.
  void Select(int row);

  // The user's edits of the boxes, applied to the selected entry.
  void EditCaption(const std::string& text);
  void EditFile(const std::string& text);
  void EditHotKey(uint16_t code);
  // A row's check mark.
  void SetChecked(int row, bool checked);
  // The browse button's choice: into the file box, and its file name (with extension, without
  // folder) into an empty caption box.
  void ChooseFile(const std::string& path);

  // OK: target becomes a copy of the working copy.
  void WriteBack(TVornUtilityApps& target) const;

 private:
  TVornUtilityApp* SelectedApp();

  TVornUtilityApps m_apps;
  int m_selected = -1;
  std::string m_caption, m_file;
  uint16_t m_hotKey = 0;
};

}  // namespace tq
