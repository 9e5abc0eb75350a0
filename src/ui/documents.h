// TDocuments: the main window's ordered list of open project windows and which one is active.
// It does not own the windows (the main window does); closing one asks about unsaved changes,
// takes it off the list, has the main window undock it and frees it. Interface thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tq {

class TWWWDocForm;

class TDocuments {
 public:
  using TDocEvent = std::function<void(TWWWDocForm* window)>;

  // create makes a new project window owned by the main window.
  explicit TDocuments(std::function<TWWWDocForm*()> create) : m_create(std::move(create)) {}

  // Makes a window, appends it and raises OnNewDoc.
  TWWWDocForm* NewDoc();
  int Count() const { return static_cast<int>(m_items.size()); }
  TWWWDocForm* Items(int index) const { return m_items.at(static_cast<size_t>(index)); }
  int IndexOf(const TWWWDocForm* window) const;
  // The first window whose project file name is exactly fileName, or -1.
  int IndexOfFile(const std::string& fileName) const;

  int DocIndex() const { return m_docIndex; }
  TWWWDocForm* ActiveDoc() const { return m_active; }
  // A valid index makes that window the active one (its command state goes to the main window).
  void SetDocIndex(int value);

  // A changed project is closed unsaved, saved first (and kept open when that fails) or kept
  // open, as ConfirmClose answers; without ConfirmClose it closes unsaved. True when the window
  // was closed and freed.
  bool CloseDoc(int index);
  void CloseAll();
  // Empties the list without closing anything; the caller frees the windows.
  std::vector<TWWWDocForm*> Release();

  TDocEvent OnNewDoc;
  TDocEvent OnCloseDoc;
  // Takes the window out of its tab before it is freed.
  TDocEvent OnUndock;
  // mrYes: close unsaved; mrNo: save first; anything else keeps the project open.
  std::function<int()> ConfirmClose;

 private:
  std::function<TWWWDocForm*()> m_create;
  std::vector<TWWWDocForm*> m_items;
  int m_docIndex = -1;
  TWWWDocForm* m_active = nullptr;
};

}  // namespace tq
