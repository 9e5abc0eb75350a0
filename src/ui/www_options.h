// TWWWOptions: a project window's command state (which main-window commands are enabled, the
// status texts, the progress gauge, the panes) kept by the window and applied to the main window
// while the window is the active project. Interface thread only.
#pragma once

#include <functional>
#include <utility>

#include <QString>

namespace tq {

class TWWWOptions;

enum TEditCommand : int { ecDelete, ecCut, ecCopy, ecPaste };
using TEditHandler = std::function<void(TEditCommand command)>;

// What a command state is applied to: the main window.
class ICommandTarget {
 public:
  virtual ~ICommandTarget() = default;
  virtual void ApplyCommandState(const TWWWOptions& options) = 0;
  // No project is active: every project command off, status texts and gauge cleared.
  virtual void DetachCommandState() = 0;
};

struct TWWWState {
  bool SaveEnabled = true;
  bool SaveAsEnabled = true;
  bool CloseEnabled = true;
  bool DeleteEnabled = false;
  bool CutEnabled = false;
  bool CopyEnabled = false;
  bool PasteEnabled = false;
  TEditHandler EditHandler;  // what Delete, Cut, Copy and Paste run; empty: nothing
  bool FindContentEnabled = true;
  bool FindFilesEnabled = true;
  bool PropertiesEnabled = true;
  bool StatusEnabled = true;
  bool WizardEnabled = true;
  bool StopEnabled = false;
  bool DownloadEnabled = true;
  bool UpdateEnabled = false;  // no crawl runs and the Ready list holds links
  bool ExportEnabled = true;
  QString StatusText = QStringLiteral("Status : Ready");  // status bar panel 0
  QString InfoText;                                       // status bar panel 1
  // A running crawl's figures: pages (panel 1 when there is no info text), rate (panel 2),
  // time (panel 3), and "Garden: 12/42" for the window title and the tray; empty otherwise.
  QString CrawlCounts, CrawlRate, CrawlTime, CrawlFigure;
  bool ProgressVisible = false;
  int Progress = 0;
  bool TreePaneShown = true;
  bool ListPaneShown = true;
};

class TWWWOptions {
 public:
  const TWWWState& State() const { return m_state; }

  // Stores one field and, while attached, applies the whole record at once.
  template <class T, class V>
  void Set(T TWWWState::*field, V&& value) {
    m_state.*field = std::forward<V>(value);
    Apply();
  }

  // Applies every field to target and follows it with every later change.
  void Attach(ICommandTarget* target) {
    m_target = target;
    Apply();
  }
  // Stops following; target's commands go to their no-project state.
  void Detach() {
    ICommandTarget* target = m_target;
    m_target = nullptr;
    if (target == nullptr) return;
    try {
      target->DetachCommandState();
    } catch (...) {
    }
  }
  bool Attached() const { return m_target != nullptr; }

 private:
  void Apply() {
    if (m_target == nullptr) return;
    try {
      m_target->ApplyCommandState(*this);
    } catch (...) {
    }
  }

  TWWWState m_state;
  ICommandTarget* m_target = nullptr;
};

}  // namespace tq
