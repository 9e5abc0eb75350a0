#include "ui/documents.h"

#include <algorithm>

#include <QApplication>

#include "platform/dialog_service.h"
#include "ui/project_window.h"

namespace tq {

TWWWDocForm* TDocuments::NewDoc() {
  TWWWDocForm* window = m_create();
  m_items.push_back(window);
  if (OnNewDoc) OnNewDoc(window);
  return window;
}

int TDocuments::IndexOf(const TWWWDocForm* window) const {
  const auto it = std::find(m_items.begin(), m_items.end(), window);
  return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

int TDocuments::IndexOfFile(const std::string& fileName) const {
  for (size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i]->Document().DocName() == fileName) return static_cast<int>(i);
  }
  return -1;
}

void TDocuments::SetDocIndex(int value) {
  if (value == m_docIndex) return;
  m_docIndex = value;
  if (value < 0 || value >= Count()) return;
  TWWWDocForm* window = Items(value);
  if (m_active != nullptr && m_active != window) m_active->Activate(false);
  m_active = window;
  window->Activate(true);
}

bool TDocuments::CloseDoc(int index) {
  if (index < 0 || index >= Count()) return false;
  TWWWDocForm* window = Items(index);
  TVornDocument& document = window->Document();
  if (document.Changed()) {
    const int answer = ConfirmClose ? ConfirmClose() : int(mrYes);
    if (answer != mrYes && answer != mrNo) return false;
    if (answer == mrNo && !document.Save(false)) return false;
  }
  m_items.erase(m_items.begin() + index);
  if (OnCloseDoc) OnCloseDoc(window);
  if (window == m_active) window->Activate(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct TAfter {  // also when freeing the window raised an error
    TDocuments& self;
    ~TAfter() {
      QApplication::restoreOverrideCursor();
      self.m_active = nullptr;
      self.m_docIndex = -1;
    }
  } after{*this};
  window->hide();
  if (OnUndock) OnUndock(window);
  delete window;
  return true;
}

std::vector<TWWWDocForm*> TDocuments::Release() {
  std::vector<TWWWDocForm*> windows;
  windows.swap(m_items);
  m_active = nullptr;
  m_docIndex = -1;
  return windows;
}

void TDocuments::CloseAll() {
  // A project that stays open (its save failed) ends the round instead of being asked forever.
  while (Count() > 0) {
    if (!CloseDoc(0)) return;
  }
}

}  // namespace tq
