// The external applications page.
#include "dialogs/utility_apps_editor.h"

namespace tq {

TUtilityAppsEditor::TUtilityAppsEditor(const TVornUtilityApps& apps) {
  m_apps.Assign(apps);
}

TVornUtilityApp* TUtilityAppsEditor::SelectedApp() {
  return m_selected >= 0 ? &m_apps.Items(m_selected) : nullptr;
}

void TUtilityAppsEditor::Add() {
  m_apps.Add();
  Select(m_apps.Count() - 1);
}

void TUtilityAppsEditor::Remove() {
  if (m_selected < 0) return;
  m_apps.Delete(m_selected);
  Select(-1);
}

void TUtilityAppsEditor::Select(int row) {
  m_selected = row >= 0 && row < m_apps.Count() ? row : -1;
  const TVornUtilityApp* app = SelectedApp();
  m_caption = app ? app->Caption : std::string();
  m_file = app ? app->File : std::string();
  m_hotKey = app ? app->HotKey : 0;
}

void TUtilityAppsEditor::EditCaption(const std::string& text) {
  if (TVornUtilityApp* app = SelectedApp()) {
    m_caption = text;
    app->Caption = text;
  }
}

void TUtilityAppsEditor::EditFile(const std::string& text) {
  if (TVornUtilityApp* app = SelectedApp()) {
    m_file = text;
    app->File = text;
  }
}

void TUtilityAppsEditor::EditHotKey(uint16_t code) {
  if (TVornUtilityApp* app = SelectedApp()) {
    m_hotKey = code;
    app->HotKey = code;
  }
}

void TUtilityAppsEditor::SetChecked(int row, bool checked) {
  if (row >= 0 && row < m_apps.Count()) m_apps.Items(row).Enabled = checked;
}

void TUtilityAppsEditor::ChooseFile(const std::string& path) {
  if (!SelectedApp()) return;
  EditFile(path);
  if (m_caption.empty()) EditCaption(path.substr(path.rfind('/') + 1));
}

void TUtilityAppsEditor::WriteBack(TVornUtilityApps& target) const {
  target.Assign(m_apps);
}

}  // namespace tq
