// The main window's commands, menus, toolbars and status bar, as the program's texts give them.
#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "ui/main_window.h"

namespace tq {
namespace {

// The commands that need an active project, disabled until a project's state says otherwise.
constexpr const char* kProjectCommands[] = {
    "FileSave",
    "FileSaveAs",
    "FileClose",
    "EditDelete",
    "EditCut",
    "EditCopy",
    "EditPaste",
    "EditFindContent",
    "ViewWizard",
    "ViewProperties",
    "ViewStatus",
    "DownloadResume",
    "DownloadUpdate",
    "DownloadPause",
    "ToolsExport",
    "ExportLinks",
    "ExportEmails",
    "ExportPages",
    "ExportCHM",
    "ExportFolder",
    "ExportArchive",
    "SaveProjSettings",
    "EditFindFilesAndFolder",
};

}  // namespace

QAction* TMainForm::AddAction(const char* name, const char* caption, const QKeySequence& shortcut) {
  auto* action = new QAction(QString::fromLatin1(caption), this);
  action->setObjectName(QString::fromLatin1(name));
  action->setShortcut(shortcut);
  m_actions[name] = action;
  return action;
}

QAction* TMainForm::Action(const std::string& name) const {
  const auto it = m_actions.find(name);
  return it == m_actions.end() ? nullptr : it->second;
}

void TMainForm::BuildActions() {
  AddAction("FileNewProjectOther", "Other ...", QKeySequence(Qt::CTRL | Qt::Key_N));
  AddAction("FileNewProjectBlank", "Blank Project");
  AddAction("FileNewProjectWizard", "Project wizard");
  AddAction("FileOpenProject", "&Open Solution...", QKeySequence(Qt::CTRL | Qt::Key_O));
  AddAction("FileSave", "Save", QKeySequence(Qt::CTRL | Qt::Key_S));
  AddAction("FileSaveAs", "Save As..");
  AddAction("FileSaveAll", "SaveAll", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  AddAction("FileClose", "Close");
  AddAction("FileCloseAll", "Close All");
  AddAction("FileExit", "E&xit", QKeySequence(Qt::ALT | Qt::Key_X));
  AddAction("EditDelete", "Delete");
  AddAction("EditCut", "Cut", QKeySequence(Qt::CTRL | Qt::Key_X));
  AddAction("EditCopy", "Copy");
  AddAction("EditPaste", "Paste", QKeySequence(Qt::CTRL | Qt::Key_V));
  AddAction("EditFindContent", "Find Content");
  AddAction("EditFindFilesAndFolder", "Find Files and Folders");
  AddAction("ViewWizard", "Wizard");
  AddAction("ViewProperties", "Properties", QKeySequence(Qt::CTRL | Qt::Key_P));
  AddAction("ViewStatus", "Status");
  const std::pair<const char*, const char*> checks[] = {
      {"ViewStandardButtons", "Standard Buttons"},
      {"ViewTextLabels", "Text Labels"},
      {"ViewProjectTree", "Project Tree"},
      {"ViewDownloadInfo", "&Download Info"},
      {"ViewStatusBar", "Status Bar"},
  };
  for (const auto& [name, caption] : checks) {
    QAction* action = AddAction(name, caption);
    action->setCheckable(true);
    action->setChecked(true);
  }
  AddAction("DownloadResume", "&Download");
  AddAction("DownloadUpdate", "&Update");
  AddAction("DownloadPause", "&Stop");
  AddAction("DownloadStartAll", "&Download All");
  AddAction("DownloadPauseAll", "S&top All");
  AddAction("ToolsOptions", "Options", QKeySequence(Qt::CTRL | Qt::Key_0));
  AddAction("ToolsExport", "Export Wizard");
  AddAction("ExportLinks", "Links");
  AddAction("ExportEmails", "Emails");
  AddAction("ExportPages", "Pages and media files");
  AddAction("ExportCHM", "Microsoft HTML Help");
  AddAction("ExportFolder", "Folder");
  AddAction("ExportArchive", "Archive");
  AddAction("SaveProjSettings", "Save project settings");
  AddAction("HelpHelp", "Contents", QKeySequence(Qt::Key_F1));
  AddAction("TehnicalsupportAction", "Tehnical support");
  AddAction("HelpHomePage", "Tarnquill on the Web");
  AddAction("TipsAction", "&Tips of Day ..");
  AddAction("HelpAbout", "About");
  AddAction("ShowTarnquill", "Show Tarnquill");
  for (const char* name : kProjectCommands) m_actions[name]->setEnabled(false);
}

void TMainForm::PutActions(QMenu* menu, std::initializer_list<const char*> names) const {
  for (const char* name : names) {
    if (name[0] == '-') {
      menu->addSeparator();
    } else {
      menu->addAction(m_actions.at(name));
    }
  }
}

void TMainForm::BuildMenus() {
  const auto put = [this](QMenu* menu, std::initializer_list<const char*> names) {
    PutActions(menu, names);
  };
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  QMenu* newProject = file->addMenu(QStringLiteral("&New Project..."));
  put(newProject, {"FileNewProjectBlank", "FileNewProjectWizard", "-", "FileNewProjectOther"});
  // The menu names the command differently from its toolbar and shortcut.
  QAction* open = file->addAction(QStringLiteral("&Open Project..."));
  open->setObjectName(QStringLiteral("FileOpenProjectMenu"));
  connect(open, &QAction::triggered, m_actions.at("FileOpenProject"), &QAction::trigger);
  m_recentMenu = file->addMenu(QStringLiteral("&Open Recent"));
  put(file, {"-", "FileSave", "FileSaveAs", "FileSaveAll", "-", "FileClose", "FileCloseAll", "-",
             "FileExit"});
  addAction(m_actions.at("FileOpenProject"));  // its shortcut works without a visible item

  put(bar->addMenu(QStringLiteral("&Edit")), {"EditDelete", "-", "EditCut", "EditCopy", "EditPaste",
                                              "-", "EditFindContent", "EditFindFilesAndFolder"});

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  put(view->addMenu(QStringLiteral("Toolbar")), {"ViewStandardButtons", "-", "ViewTextLabels"});
  put(view, {"ViewStatusBar"});
  put(view->addMenu(QStringLiteral("Explorer Bars")), {"ViewProjectTree", "-", "ViewDownloadInfo"});
  put(view, {"-", "ViewWizard", "ViewProperties", "ViewStatus"});

  put(bar->addMenu(QStringLiteral("&Download")),
      {"DownloadResume", "DownloadUpdate", "DownloadPause", "-", "DownloadStartAll",
       "DownloadPauseAll"});

  QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
  put(tools, {"ToolsOptions", "-"});
  put(tools->addMenu(QStringLiteral("Export Elements")),
      {"ExportLinks", "ExportEmails", "ExportPages"});
  put(tools->addMenu(QStringLiteral("Export Project")),
      {"ExportCHM", "ExportFolder", "ExportArchive"});
  put(tools, {"-", "SaveProjSettings", "-", "ToolsExport"});

  put(bar->addMenu(QStringLiteral("&Help")),
      {"HelpHelp", "-", "TehnicalsupportAction", "HelpHomePage", "TipsAction", "-", "HelpAbout"});
}

void TMainForm::BuildToolbars() {
  QStyle* look = style();
  struct TButton {
    const char* command;
    const char* label;  // the caption shown under the image
    QStyle::StandardPixmap image;
  };
  const auto toolbar = [&](const char* title, std::initializer_list<TButton> buttons) {
    QToolBar* bar = addToolBar(QString::fromLatin1(title));
    bar->setObjectName(QString::fromLatin1(title));
    for (const TButton& button : buttons) {
      QAction* command = m_actions.at(button.command);
      // A button of its own caption that follows its command's enabled state.
      auto* proxy =
          new QAction(look->standardIcon(button.image), QString::fromLatin1(button.label), bar);
      proxy->setEnabled(command->isEnabled());
      connect(proxy, &QAction::triggered, command, &QAction::trigger);
      connect(command, &QAction::changed, proxy,
              [proxy, command] { proxy->setEnabled(command->isEnabled()); });
      bar->addAction(proxy);
    }
    m_toolbars.push_back(bar);
  };
  toolbar("File", {{"FileNewProjectOther", "&New", QStyle::SP_FileIcon},
                   {"FileOpenProject", "&Open", QStyle::SP_DialogOpenButton},
                   {"FileSave", "&Save", QStyle::SP_DialogSaveButton},
                   {"FileClose", "&Close", QStyle::SP_DialogCloseButton}});
  toolbar("Edit", {{"EditDelete", "&Delete", QStyle::SP_TrashIcon},
                   {"EditCut", "Cu&t", QStyle::SP_ArrowRight},
                   {"EditCopy", "Cop&y", QStyle::SP_FileLinkIcon},
                   {"EditPaste", "&Paste", QStyle::SP_ArrowDown},
                   {"EditFindContent", "F&ind", QStyle::SP_FileDialogContentsView}});
  toolbar("Download", {{"DownloadPause", "&Stop", QStyle::SP_MediaStop},
                       {"DownloadResume", "&Download", QStyle::SP_MediaPlay},
                       {"DownloadUpdate", "&Update", QStyle::SP_BrowserReload},
                       {"DownloadPauseAll", "S&top All", QStyle::SP_MediaPause},
                       {"DownloadStartAll", "&Download All", QStyle::SP_MediaSeekForward}});
  toolbar("View", {{"ViewWizard", "&Wizard", QStyle::SP_FileDialogStart},
                   {"ToolsOptions", "&Options", QStyle::SP_FileDialogDetailedView},
                   {"ViewProperties", "Prope&rties", QStyle::SP_FileDialogInfoView},
                   {"ViewStatus", "Sta&tus", QStyle::SP_MessageBoxInformation}});
  toolbar("Help", {{"HelpHelp", "&Help", QStyle::SP_DialogHelpButton}});
  toolbar("Tool", {{"ToolsExport", "Export", QStyle::SP_DriveFDIcon}});
  SetTextLabels(true);
}

void TMainForm::SetTextLabels(bool on) {
  for (QToolBar* bar : m_toolbars) {
    bar->setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    bar->adjustSize();
  }
}

void TMainForm::BuildStatusBar() {
  const int widths[4] = {200, 200, 100, 100};
  for (int i = 0; i < 4; ++i) {
    m_panels[i] = new QLabel(this);
    m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    // At least the panel's width: a longer text (an update's summary, a crawl's times) shows
    // whole.
    m_panels[i]->setMinimumWidth(widths[i]);
    m_panels[i]->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_panels[i]);
  }
  m_gauge = new QProgressBar(this);
  m_gauge->setRange(0, 100);
  m_gauge->setMaximumWidth(200);
  m_gauge->setVisible(false);
  statusBar()->addWidget(m_gauge);
}

void TMainForm::ApplyCommandState(const TWWWOptions& options) {
  const TWWWState& s = options.State();
  const std::pair<const char*, bool> states[] = {
      {"FileSave", s.SaveEnabled},
      {"FileSaveAs", s.SaveAsEnabled},
      {"FileClose", s.CloseEnabled},
      {"EditDelete", s.DeleteEnabled},
      {"EditCut", s.CutEnabled},
      {"EditCopy", s.CopyEnabled},
      {"EditPaste", s.PasteEnabled},
      {"EditFindContent", s.FindContentEnabled},
      {"EditFindFilesAndFolder", s.FindFilesEnabled},
      {"ViewProperties", s.PropertiesEnabled},
      {"ViewStatus", s.StatusEnabled},
      {"ViewWizard", s.WizardEnabled},
      {"DownloadPause", s.StopEnabled},
      {"DownloadResume", s.DownloadEnabled},
      {"DownloadUpdate", s.UpdateEnabled},
      {"ToolsExport", s.ExportEnabled},
      {"ExportLinks", s.ExportEnabled},
      {"ExportEmails", s.ExportEnabled},
      {"ExportPages", s.ExportEnabled},
      {"ExportCHM", s.ExportEnabled},
      {"ExportFolder", s.ExportEnabled},
      {"ExportArchive", s.ExportEnabled},
      {"SaveProjSettings", s.ExportEnabled},
  };
  for (const auto& [name, enabled] : states) m_actions.at(name)->setEnabled(enabled);
  m_editHandler = s.EditHandler;
  m_panels[0]->setText(s.StatusText);
  m_panels[1]->setText(s.InfoText.isEmpty() ? s.CrawlCounts : s.InfoText);
  m_panels[2]->setText(s.CrawlRate);
  m_panels[3]->setText(s.CrawlTime);
  ShowTitleFigure(s.CrawlFigure);
  m_gauge->setValue(s.Progress);
  m_gauge->setVisible(s.ProgressVisible);
}

void TMainForm::DetachCommandState() {
  for (const char* name : kProjectCommands) m_actions.at(name)->setEnabled(false);
  m_editHandler = nullptr;
  for (QLabel* panel : m_panels) panel->clear();
  ShowTitleFigure(QString());
  m_gauge->setVisible(false);
  m_gauge->setValue(0);
}

void TMainForm::ShowTitleFigure(const QString& figure) {
  const QString title =
      figure.isEmpty() ? QStringLiteral("Tarnquill") : QStringLiteral("Tarnquill - ") + figure;
  if (windowTitle() != title) setWindowTitle(title);
}

}  // namespace tq
