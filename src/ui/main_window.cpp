// The main window's behaviour: projects opened, docked, activated and closed, the commands that
// act on them, the recent projects and the close query. Commands, menus and toolbars are made in
// main_actions.cpp.
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "foundation/main_loop.h"
#include "foundation/url.h"
#include "platform/dialog_service.h"
#include "platform/program_folder.h"
#include "ui/gui_dialog_service.h"
#include "ui/link_images.h"
#include "ui/project_window.h"
#include "ui/qt_text.h"
#include "ui/tips_form.h"
#include "ui/tray.h"

namespace tq {
namespace {

QIcon StateImage(int state) {
  // Ready, downloading, stopping.
  return LinkImage(state == 1 ? 1 : state == 2 ? 3 : 0);
}

}  // namespace

TMainForm::TMainForm(const TMainFormSetup& setup)
    : m_options(setup.ConfigFile.empty() ? ProgramSettingsFile("config.dat") : setup.ConfigFile),
      m_documents([this] { return new TWWWDocForm(*this, &m_options, &m_templates, this); }) {
  setWindowTitle(QStringLiteral("Tarnquill"));
  m_tabs = new QTabWidget(this);
  m_tabs->setDocumentMode(true);
  setCentralWidget(m_tabs);
  BuildActions();
  BuildMenus();
  BuildToolbars();
  BuildStatusBar();
  WireCommands();
  WireDialogs();
  WireSearchAndExport();
  m_tray = new TTray(*this);
  WireHelpCommands(*this);

  // Yes closes unsaved, No saves first, Cancel keeps the project open.
  m_documents.ConfirmClose = [this] {
    if (!m_options.Confirmation.ClosingDoc) return int(mrYes);
    return DialogService().ShowMessageDlg("Do you want to close document without save ?",
                                          mdiConfirmation, mbYes | mbNo | mbCancel,
                                          "Close without save", 0);
  };
  m_documents.OnNewDoc = [this](TWWWDocForm*) { SyncActiveTab(); };
  m_documents.OnCloseDoc = [this](TWWWDocForm*) { SyncActiveTab(); };
  m_documents.OnUndock = [this](TWWWDocForm* window) {
    // The last project closed leaves its panes' sizes to the next one and to the next run.
    window->SaveLayout(m_windowState);
    const int tab = m_tabs->indexOf(window);
    if (tab >= 0) m_tabs->removeTab(tab);
  };
  connect(m_tabs, &QTabWidget::currentChanged, this, [this] { SyncActiveTab(); });
  m_activity = new QTimer(this);
  connect(m_activity, &QTimer::timeout, this, [this] {
    SyncActiveTab();
    ShowTrayFigures();
  });
  m_activity->start(1000);

  m_templates.SetTemplateFolder(setup.TemplatesFolder.empty() ? UserTemplatesFolder()
                                                              : setup.TemplatesFolder);
  WireOptions();
  m_options.OnFindBrowsers = setup.FindBrowsers;
  m_options.LoadOptions();
  RestoreGeometry();
}

TMainForm::~TMainForm() {
  m_activity->stop();
  for (TWWWDocForm* window : m_documents.Release()) delete window;
}

void TMainForm::On(const char* name, std::function<void()> handler) {
  connect(m_actions.at(name), &QAction::triggered, this, [handler = std::move(handler)] {
    try {
      handler();
    } catch (const std::exception& e) {
      DialogService().ShowMessageDlg(e.what(), mdiError, mbOk, "Error", 0);
    }
  });
}

void TMainForm::WireCommands() {
  On("FileNewProjectBlank", [this] { NewBlankProject(); });
  On("FileOpenProject", [this] {
    const QString file = QFileDialog::getOpenFileName(
        this, QString(), QString(), QtFileFilter(std::string(kProjectFileFilter)));
    if (!file.isEmpty()) OpenProject(PathFromQ(file));
  });
  On("FileSave", [this] {
    if (Active() != nullptr) Active()->Document().Save(false);
  });
  On("FileSaveAs", [this] {
    if (Active() != nullptr) Active()->Document().SaveAs(true);
  });
  On("FileSaveAll", [this] {
    for (int i = 0; i < m_tabs->count(); ++i)
      static_cast<TWWWDocForm*>(m_tabs->widget(i))->Document().Save(false);
  });
  On("FileClose", [this] { CloseActive(); });
  On("FileCloseAll", [this] { CloseAllProjects(); });
  On("FileExit", [this] { close(); });
  On("EditDelete", [this] { EditCommand(ecDelete); });
  On("EditCut", [this] { EditCommand(ecCut); });
  On("EditCopy", [this] { EditCommand(ecCopy); });
  On("EditPaste", [this] { EditCommand(ecPaste); });
  On("EditFindContent", [this] {
    if (Active() != nullptr) Active()->ShowFind();
  });
  On("DownloadResume", [this] {
    if (Active() != nullptr) Active()->Engine().StartDownload();
  });
  On("DownloadUpdate", [this] {
    if (Active() != nullptr) Active()->Engine().StartUpdate();
  });
  On("DownloadPause", [this] {
    if (Active() != nullptr) Active()->Engine().StopDownload();
  });
  On("DownloadStartAll", [this] {
    for (int i = 0; i < m_tabs->count(); ++i)
      static_cast<TWWWDocForm*>(m_tabs->widget(i))->Engine().StartDownload();
  });
  On("DownloadPauseAll", [this] {
    for (int i = 0; i < m_tabs->count(); ++i)
      static_cast<TWWWDocForm*>(m_tabs->widget(i))->Engine().StopDownload();
  });
  On("HelpAbout", [] {
    DialogService().ShowMessageDlg("Tarnquill " + std::string(TQ_VERSION) +
                                       "\nA website downloader: crawl a site, browse and search "
                                       "the copy offline, export it.",
                                   mdiInformation, mbOk, "About", 0);
  });
  On("ShowTarnquill", [this] {
    showNormal();
    raise();
    activateWindow();
  });
  connect(m_actions.at("ViewStandardButtons"), &QAction::toggled, this, [this](bool on) {
    for (QToolBar* bar : m_toolbars) bar->setVisible(on);
  });
  connect(m_actions.at("ViewTextLabels"), &QAction::toggled, this,
          [this](bool on) { SetTextLabels(on); });
  connect(m_actions.at("ViewStatusBar"), &QAction::toggled, this,
          [this](bool on) { statusBar()->setVisible(on); });
}

void TMainForm::WireOptions() {
  // The recent projects and the window's state travel with the options.
  m_options.OnLoadMRU = [this](const TVornCustomIniFile& ini) {
    m_recent.LoadFromIni(ini);
    RebuildRecentMenu();
    m_windowState.LoadFromIni(ini);
  };
  // The window's state is taken when it closes: a save in between (and the comparison that
  // decides whether the file needs writing) sees what was read or last taken.
  m_options.OnSaveMRU = [this](TVornCustomIniFile& ini) {
    m_recent.SaveToIni(ini);
    m_windowState.SaveToIni(ini);
  };
  m_options.OnDocCount = [this](int& count) { count = m_documents.Count(); };
  m_options.OnDocInfoNeeded = [this](int index, void*& download) {
    download = index >= 0 && index < m_documents.Count() ? m_documents.Items(index) : nullptr;
  };
  m_options.OnDocNeedToClose = [this](void* document) {
    const int index = m_documents.IndexOf(static_cast<TWWWDocForm*>(document));
    if (index < 0) return;
    m_tabs->setCurrentWidget(m_documents.Items(index));
    SyncActiveTab();
    m_actions.at("FileClose")->trigger();
  };
  m_options.OnDocNeedToOpen = [this](const std::string& fileName) { OpenRecent(fileName); };
  m_options.OnAskIfDownloads = [this](bool& inProgress) {
    for (int i = 0; i < m_documents.Count(); ++i)
      inProgress = inProgress || m_documents.Items(i)->Engine().State() != edsReady;
  };
  m_options.OnStopDownloads = [this] { m_actions.at("DownloadPauseAll")->trigger(); };
  m_options.OnAutoSave = [this](TAutoSavedDocs& saved) {
    for (int i = 0; i < m_tabs->count(); ++i) {
      TVornDocument& document = static_cast<TWWWDocForm*>(m_tabs->widget(i))->Document();
      document.Save(true);
      saved.Add().FileName = document.DocName();
    }
  };
  m_options.OnShutDown = [this] {
    m_shutDown = true;
    close();
  };
  m_options.IntegrationOnClipboardLink = [this](const std::string& link, bool useTemplate,
                                                bool startDownload) {
    NewProjectFromAddress({{link, link}, false, false, false, startDownload, useTemplate});
  };
  m_options.IntegrationOnIELinks = [this](const std::vector<std::string>& lines, bool useTemplate,
                                          bool startDownload) {
    NewProjectFromAddress({lines, false, false, false, startDownload, useTemplate});
  };
  m_options.OnIntegrationOpenFile = [this](const std::string& fileName) {
    const int open = m_documents.IndexOfFile(fileName);
    if (open >= 0) {
      m_tabs->setCurrentWidget(m_documents.Items(open));
    } else {
      OpenRecent(fileName, false);
    }
  };
}

void TMainForm::EditCommand(int command) {
  if (m_editHandler) m_editHandler(static_cast<TEditCommand>(command));
}

void TMainForm::Dock(TWWWDocForm* window) {
  const int tab =
      m_tabs->addTab(window, StateImage(window->Engine().State()), window->windowTitle());
  window->show();
  m_tabs->setCurrentIndex(tab);
  // The panes take their remembered sizes once the tab has its own.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  window->ApplyLayout(m_windowState);
  SyncActiveTab();
}

void TMainForm::SyncActiveTab() {
  auto* window = static_cast<TWWWDocForm*>(m_tabs->currentWidget());
  m_documents.SetDocIndex(window == nullptr ? -1 : m_documents.IndexOf(window));
}

TWWWDocForm* TMainForm::NewBlankProject() {
  TWWWDocForm* window = m_documents.NewDoc();
  window->Document().SetDocName(std::string(kUntitledDocName));
  TSystem& system = window->Engine().System();
  system.SetBuildAllTree(false);
  system.SetBuildIgnored(false);
  system.SetBuildEmails(false);
  Dock(window);
  return window;
}

TWWWDocForm* TMainForm::OpenProject(const std::string& fileName) {
  const int open = m_documents.IndexOfFile(fileName);
  if (open >= 0) {
    m_tabs->setCurrentWidget(m_documents.Items(open));
    return m_documents.Items(open);
  }
  m_recent.Remove(fileName);
  return OpenRecent(fileName, false);
}

TWWWDocForm* TMainForm::OpenRecent(const std::string& fileName, bool waitForTrees) {
  TWWWDocForm* window = m_documents.NewDoc();
  TWWWDocForm* opened = nullptr;
  if (window->LoadProject(fileName)) {
    // The trees are filled on this thread in batches: let them finish before the tab shows.
    if (waitForTrees) ProcessEventsUntil([window] { return window->TreesIdle(); });
    window->setWindowTitle(PathToQ(fileName));
    Dock(window);
    opened = window;
  } else {
    m_documents.CloseDoc(m_documents.IndexOf(window));
  }
  // A file that failed to load must not come back to the top of the list as it closes.
  m_recent.Remove(fileName);
  RebuildRecentMenu();
  return opened;
}

void TMainForm::CloseActive() {
  TWWWDocForm* window = Active();
  if (window == nullptr) return;
  try {
    window->Engine().StopDownload();
  } catch (const std::exception&) {
  }
  m_documents.CloseDoc(m_documents.IndexOf(window));
  SyncActiveTab();
}

void TMainForm::CloseAllProjects() {
  for (int i = 0; i < m_documents.Count(); ++i) {
    try {
      m_documents.Items(i)->Engine().StopDownload();
    } catch (const std::exception&) {
    }
  }
  m_documents.CloseAll();
  SyncActiveTab();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (m_closing) {
    event->ignore();
    return;
  }
  m_closing = true;
  struct TDone {
    bool& flag;
    ~TDone() { flag = false; }
  } done{m_closing};
  if (m_shutDown) {
    KeepWindowState();
    m_options.SaveOptions();
    event->accept();
    return;
  }
  for (int i = 0; i < m_documents.Count(); ++i) {
    if (m_documents.Items(i)->Engine().State() != edsReady) {
      DialogService().ShowMessageDlg(
          "Please stop all the downloads in progress before trying to quit Tarnquill", mdiWarning,
          mbOk, "Can not quiting at this time", 0);
      event->ignore();
      return;
    }
  }
  if (!m_options.Confirmation.ConfirmQuit()) {
    event->ignore();
    return;
  }
  KeepWindowState();
  CloseAllProjects();
  m_options.SaveOptions();
  if (m_documents.Count() == 0) {
    event->accept();
  } else {
    event->ignore();
  }
}

int TMainForm::ToolbarsWidth() const {
  int width = 0;
  for (const QToolBar* bar : m_toolbars) width += bar->sizeHint().width();
  // The window's frame and the toolbar area's margins.
  return width + 2 * style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent) + 16;
}

void TMainForm::RestoreGeometry() {
  const TWindowState& s = m_windowState;
  if (s.Width > 0) {
    resize(s.Width, s.Height);
    // A position off every screen (a screen since removed) is left to the desktop.
    const QRect frame(QPoint(s.Left, s.Top), QSize(s.Width, s.Height));
    for (const QScreen* screen : QGuiApplication::screens()) {
      if (screen->availableGeometry().intersects(frame)) {
        move(s.Left, s.Top);
        break;
      }
    }
  } else {
    resize(std::max(1100, ToolbarsWidth()), 780);
  }
  if (s.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainForm::KeepWindowState() {
  // A window never shown has no geometry of its own to keep.
  if (!isVisible()) return;
  // Moving places the frame; the geometry is the inside, below the title bar.
  const QPoint frame = geometry().topLeft() - pos();
  const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
  if (normal.isValid()) {
    m_windowState.Left = normal.x() - frame.x();
    m_windowState.Top = normal.y() - frame.y();
    m_windowState.Width = normal.width();
    m_windowState.Height = normal.height();
  }
  m_windowState.Maximized = isMaximized();
  if (Active() != nullptr) Active()->SaveLayout(m_windowState);
}

void TMainForm::ShowTrayFigures() {
  QStringList lines;
  for (int i = 0; i < m_documents.Count(); ++i) {
    const QString& figure = m_documents.Items(i)->CommandState().State().CrawlFigure;
    if (!figure.isEmpty()) lines << figure;
  }
  m_tray->SetProgressLines(lines);
}

bool TMainForm::IsOpenProject(const TWWWDocForm* window) const {
  return m_documents.IndexOf(window) >= 0;
}

void TMainForm::SetTabImage(TWWWDocForm* window, int image) {
  const int tab = m_tabs->indexOf(window);
  if (tab >= 0) m_tabs->setTabIcon(tab, StateImage(image));
}

void TMainForm::SetTabCaption(TWWWDocForm* window, const QString& caption) {
  const int tab = m_tabs->indexOf(window);
  if (tab >= 0) m_tabs->setTabText(tab, caption);
}

void TMainForm::ShowBalloon(const QString& title, const QString& text) {
  m_tray->ShowBalloon({title, text, 5000});
}

INotifier& TMainForm::Notifier() const {
  return *m_tray;
}

QString TMainForm::LastBalloon() const {
  if (m_tray->Balloons().empty()) return {};
  const TBalloon& last = m_tray->Balloons().back();
  return last.Title + QLatin1Char('\n') + last.Text;
}

void TMainForm::AddRecentProject(const std::string& fileName) {
  m_recent.Add(fileName);
  RebuildRecentMenu();
}

void TMainForm::RebuildRecentMenu() {
  m_recentMenu->clear();
  for (const std::string& path : m_recent.Items()) {
    QAction* item = m_recentMenu->addAction(PathToQ(path));
    connect(item, &QAction::triggered, this, [this, path] {
      // The menu is rebuilt while the project opens; the path is a copy.
      QTimer::singleShot(0, this, [this, path] { OpenRecent(path); });
    });
  }
}

}  // namespace tq
