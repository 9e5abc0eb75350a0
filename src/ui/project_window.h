// TWWWDocForm: one open project, shown as a tab of the main window. It owns the project's crawl
// engine, its project document, its offline server, its two link trees and its six link lists,
// browses the stored copy in its embedded browser, and turns engine and document events into
// status texts and the command state it applies to the main window while it is the active one.
//
// Threads: interface thread only.
#pragma once

#include <memory>
#include <string>

#include <QWidget>

#include "engine/download.h"
#include "storage/document.h"
#include "ui/crawl_progress.h"
#include "ui/link_tree.h"
#include "ui/project_host.h"
#include "ui/tree_updater.h"
#include "ui/window_state.h"
#include "ui/www_options.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeView;

namespace tq {

class TLinkListsPane;
class TLoadForm;
class TProjectBrowser;
class TSearchPane;
class TVornOptionsPopupMenu;
class TVornServer;

class TWWWDocForm : public QWidget {
 public:
  TWWWDocForm(IProjectHost& host, TVornOptions* options, TVornTemplates* templates,
              QWidget* parent = nullptr);
  // Stops the crawl, lets the main window forget the command state and puts a named project
  // file on the recent list.
  ~TWWWDocForm() override;
  TWWWDocForm(const TWWWDocForm&) = delete;
  TWWWDocForm& operator=(const TWWWDocForm&) = delete;

  TVornDownload& Engine() { return *m_engine; }
  TVornDocument& Document() { return *m_document; }
  TVornTreeUpdater& AllTreeUpdater() { return *m_allUpdater; }
  TVornTreeUpdater& ReadyTreeUpdater() { return *m_readyUpdater; }
  TVornLinkTree& AllTree() { return *m_allTree; }
  TVornLinkTree& ReadyTree() { return *m_readyTree; }
  QTreeView* AllTreeView() const { return m_allView; }
  QTreeView* ReadyTreeView() const { return m_readyView; }
  QComboBox* TreeSelector() const { return m_selector; }
  QTabWidget* LeftTabs() const { return m_leftTabs; }
  QLineEdit* SearchBox() const { return m_searchBox; }
  QToolButton* SearchButton() const { return m_searchButton; }
  TSearchPane& SearchPane() { return *m_searchPane; }
  // The link trees' context menu; its Run and Can... tests serve the main window's edit commands.
  TVornOptionsPopupMenu& LinkMenu() { return *m_linkMenu; }
  TLinkListsPane& Lists() { return *m_lists; }
  TProjectBrowser& Browser() { return *m_browser; }
  TVornServer& Server() { return *m_server; }
  QComboBox* AddressBar() const { return m_address; }
  QPushButton* GoButton() const { return m_go; }
  QPushButton* DownloadButton() const { return m_download; }
  QToolButton* FullScreenButton() const { return m_fullScreen; }
  QLabel* BrowserStatus() const { return m_browserStatus; }
  TWWWOptions& CommandState() { return m_state; }

  // The window is the active project (attach its command state to the main window) or not.
  void Activate(bool active);
  // Loads a project file into this window; false (the error shown) when it cannot be read.
  bool LoadProject(const std::string& fileName);
  // Both tree updaters have applied everything handed to them.
  bool TreesIdle() const;
  // Shows the link of an absolute address in the All tree.
  void GoToFile(const std::string& url);
  // Opens a link in the browser, through the offline server or at its online address.
  void OpenLink(const std::string& url, bool offline);
  // The left pane's "Find" page with the focus in the search box.
  void ShowFind();
  // The address prefix that turns an online address into its offline one.
  std::string ServerPrefix() const;
  // The text holds an offline address of this window's server, as built or as a browser shows it.
  bool IsOfflineAddress(const std::string& text) const;
  // The splitters and list columns as the user left them, and back; an empty entry of state
  // leaves its pane as it is.
  void SaveLayout(TWindowState& state) const;
  void ApplyLayout(const TWindowState& state);
  QSplitter* OuterSplitter() const { return m_outer; }
  QSplitter* InnerSplitter() const { return m_inner; }
  // Presses "&Download" of the address bar.
  void DownloadClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  QWidget* BuildAddressBar();
  QWidget* BuildLeftPane();
  void WireBrowser();
  void WireEngine();
  void WireDocument();
  void StartServer();

  void StateChanged(TVornState state);
  // The crawl's figures into the status texts and the title figure (every second of a crawl).
  void ShowCrawlProgress();
  void ApplyBuildAllTree(bool value);
  void ShowTree(int which);  // 0 All, 1 Ready
  void SetFullScreen(bool on);
  void Navigate(const QString& address);
  void SetCaption(const QString& caption);
  bool ProjectIdle() const;
  void SetBusyCursor(bool busy);
  void UpdateSearchButton();
  // The main window's Delete, Cut, Copy and Paste act on the address bar or the link tree that
  // has the focus, and on nothing once both have lost it.
  void EditTargetFocused(QObject* target);
  void EditTargetLeft();

  IProjectHost& m_host;
  TWWWOptions m_state;
  std::unique_ptr<TVornDocument> m_document;
  std::unique_ptr<TVornTreeUpdater> m_allUpdater;
  std::unique_ptr<TVornTreeUpdater> m_readyUpdater;
  std::unique_ptr<TVornDownload> m_engine;
  std::unique_ptr<TVornServer> m_server;
  TVornLinkTree* m_allTree = nullptr;
  TVornLinkTree* m_readyTree = nullptr;

  QComboBox* m_address = nullptr;
  QPushButton* m_go = nullptr;
  QPushButton* m_download = nullptr;
  QProgressBar* m_busy = nullptr;
  QToolButton* m_fullScreen = nullptr;
  TProjectBrowser* m_browser = nullptr;
  QLabel* m_browserStatus = nullptr;
  QTabWidget* m_leftTabs = nullptr;
  QWidget* m_selectorRow = nullptr;
  QComboBox* m_selector = nullptr;
  QStackedWidget* m_trees = nullptr;
  QTreeView* m_allView = nullptr;
  QTreeView* m_readyView = nullptr;
  QLineEdit* m_searchBox = nullptr;
  QToolButton* m_searchButton = nullptr;
  TSearchPane* m_searchPane = nullptr;
  TVornOptionsPopupMenu* m_linkMenu = nullptr;
  QTreeView* m_editTree = nullptr;  // the tree the edit commands act on
  TLinkListsPane* m_lists = nullptr;
  QSplitter* m_outer = nullptr;
  QSplitter* m_inner = nullptr;
  QWidget* m_leftPane = nullptr;

  QTimer* m_progressTimer = nullptr;
  TCrawlProgress m_progress;

  TLoadForm* m_loadForm = nullptr;
  bool m_loadFailed = false;
  bool m_busyCursor = false;
  bool m_shownOnce = false;
};

}  // namespace tq
