// TMainForm: the program's frame. It owns the application options, the project templates and
// the open project windows (one tab each), carries the menus, toolbars and status bar, applies
// the active project's command state, keeps the recent projects and decides whether the program
// may close. Interface thread only.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>

#include "options/options.h"
#include "options/recent_projects.h"
#include "platform/installed_browsers.h"
#include "storage/templates.h"
#include "ui/documents.h"
#include "ui/project_host.h"
#include "ui/window_state.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTabWidget;
class QTimer;
class QToolBar;

namespace tq {

class INotifier;
class TTray;

struct TMainFormSetup {
  std::string ConfigFile;       // empty: the program's "config.dat" (ProgramSettingsFile)
  std::string TemplatesFolder;  // empty: the user's templates (UserTemplatesFolder)
  // Where a new installation's first list of browsers comes from; empty: none.
  std::function<std::vector<TInstalledBrowser>()> FindBrowsers = FindInstalledBrowsers;
};

class TMainForm : public QMainWindow, public IProjectHost {
 public:
  explicit TMainForm(const TMainFormSetup& setup = {});
  // Frees the project windows that are still open, without asking.
  ~TMainForm() override;

  TDocuments& Documents() { return m_documents; }
  TVornOptions& Options() { return m_options; }
  TVornTemplates& Templates() { return m_templates; }
  TRecentProjects& Recent() { return m_recent; }
  // A command by its name ("FileSave", "DownloadPause", ...); null for an unknown name.
  QAction* Action(const std::string& name) const;
  // Adds the named commands to menu in order; "-" adds a separator.
  void PutActions(QMenu* menu, std::initializer_list<const char*> names) const;
  QTabWidget* Tabs() const { return m_tabs; }
  QLabel* StatusPanel(int index) const { return m_panels[index]; }
  QProgressBar* Gauge() const { return m_gauge; }
  QMenu* RecentMenu() const { return m_recentMenu; }
  // The tray and its balloons.
  TTray& Tray() const { return *m_tray; }
  INotifier& Notifier() const;
  // The last balloon shown, title and text on two lines; empty when none was.
  QString LastBalloon() const;
  // Where the options dialog finds the dial-up connections; unset: none.
  void SetPhonebook(std::function<std::vector<std::string>()> phonebook) {
    m_phonebook = std::move(phonebook);
  }
  // The window and pane state remembered in the settings ("Window" section).
  TWindowState& WindowState() { return m_windowState; }
  // The width at which every toolbar shows all its buttons side by side.
  int ToolbarsWidth() const;
  // Set by a scheduled shutdown: the next close skips the close query.
  void SetShutDown(bool value) { m_shutDown = value; }

  // The project commands behind the menus, for callers other than the menus.
  TWWWDocForm* NewBlankProject();
  // FileOpenProject once a file was chosen: an open file only activates its tab.
  TWWWDocForm* OpenProject(const std::string& fileName);
  // A recent-list entry: opens the file in a new tab, waiting for its trees when asked; the
  // path leaves the recent list either way.
  TWWWDocForm* OpenRecent(const std::string& fileName, bool waitForTrees = true);
  // The tab synchroniser: the active tab's window becomes the active project.
  void SyncActiveTab() override;

  // IProjectHost
  void ApplyCommandState(const TWWWOptions& options) override;
  void DetachCommandState() override;
  bool IsOpenProject(const TWWWDocForm* window) const override;
  void SetTabImage(TWWWDocForm* window, int image) override;
  void SetTabCaption(TWWWDocForm* window, const QString& caption) override;
  void ShowBalloon(const QString& title, const QString& text) override;
  void NewProjectFromAddress(const TNewProjectRequest& request) override;
  void AddRecentProject(const std::string& fileName) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildToolbars();
  void BuildStatusBar();
  void WireCommands();
  void RebuildRecentMenu();
  QAction* AddAction(const char* name, const char* caption, const QKeySequence& shortcut = {});
  void On(const char* name, std::function<void()> handler);
  TWWWDocForm* Active() const { return m_documents.ActiveDoc(); }
  void Dock(TWWWDocForm* window);
  void CloseActive();
  void CloseAllProjects();
  void SetTextLabels(bool on);
  // The active crawl's "Garden: 12/42" after the program's name in the title; empty: the name.
  void ShowTitleFigure(const QString& figure);
  // The remembered size, position and maximised state; the default size shows every toolbar.
  void RestoreGeometry();
  // The window's and the active project's state into m_windowState (as the window closes).
  void KeepWindowState();
  // Every crawling project's figure on the tray icon's hint.
  void ShowTrayFigures();
  void EditCommand(int command);
  void WireOptions();
  // The project and program dialogs behind their commands (main_dialogs.cpp).
  void WireDialogs();
  void NewProjectOther();
  void ViewWizard();
  void ViewProperties();
  // Find Files and Folders and the export commands (main_search_export.cpp).
  void WireSearchAndExport();

  TVornOptions m_options;
  TVornTemplates m_templates;
  TDocuments m_documents;
  TRecentProjects m_recent;
  std::map<std::string, QAction*> m_actions;
  std::vector<QToolBar*> m_toolbars;
  QTabWidget* m_tabs = nullptr;
  QLabel* m_panels[4] = {};
  QProgressBar* m_gauge = nullptr;
  QMenu* m_recentMenu = nullptr;
  TTray* m_tray = nullptr;
  std::function<std::vector<std::string>()> m_phonebook;
  QTimer* m_activity = nullptr;
  TEditHandler m_editHandler;
  TWindowState m_windowState;
  bool m_shutDown = false;
  bool m_closing = false;
};

}  // namespace tq
