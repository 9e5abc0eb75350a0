#include "app/screen_tour.h"

#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "app/dialog_tour.h"
#include "foundation/main_loop.h"
#include "ui/link_lists_pane.h"
#include "ui/main_window.h"
#include "ui/project_browser.h"
#include "ui/project_window.h"
#include "ui/qt_text.h"
#include "ui/search_pane.h"
#include "ui/stats_form.h"

namespace tq {
namespace {

bool Shoot(TMainForm& window, const QString& folder, const QString& name) {
  QApplication::processEvents();
  QPixmap picture;
  if (QScreen* screen = QGuiApplication::primaryScreen())
    picture = screen->grabWindow(window.winId());
  if (picture.isNull()) picture = window.grab();
  return picture.save(QDir(folder).filePath(name), "PNG");
}

void ShowList(TWWWDocForm& project, const QString& tab) {
  QTabBar* tabs = project.Lists().Tabs();
  for (int i = 0; i < tabs->count(); ++i) {
    if (tabs->tabText(i).startsWith(tab)) tabs->setCurrentIndex(i);
  }
}

// An update of the opened project, then a new crawl of the same site held to two requests a
// second, pictured while it runs with its statistics, and stopped.
bool ShootCrawl(TMainForm& window, TWWWDocForm& project, const QString& folder) {
  TVornDownload& engine = project.Engine();
  engine.StartUpdate();
  // The state changes with the engine's events: wait for the summary itself.
  ProcessEventsUntil(
      [&window] {
        return window.StatusPanel(0)->text().startsWith(QLatin1String("Update finished"));
      },
      Millis(60000));
  bool ok = Shoot(window, folder, QStringLiteral("16-update-finished.png"));

  TWWWDocForm* crawl = window.NewBlankProject();
  TVornDownload& running = crawl->Engine();
  running.General().BaseUrl = engine.General().BaseUrl;
  running.General().SetProjectName("Garden");
  running.System().MaxRequestsPerSecond = 2;
  running.StartDownload();
  ProcessEventsUntil(
      [&running] {
        return running.State() == edsReady ||
               (running.ReadyLinks().Count() >= 6 && running.QueueLinks().Count() > 0);
      },
      Millis(60000));
  ShowList(*crawl, QStringLiteral("In Progress"));
  // The status bar's figures follow once a second.
  ProcessEventsUntil([] { return false; }, Millis(1200));
  ok = Shoot(window, folder, QStringLiteral("17-crawl-in-progress.png")) && ok;
  {
    TStatsForm stats(running, &window);
    stats.show();
    QApplication::processEvents();
    ok = stats.grab().save(QDir(folder).filePath(QStringLiteral("18-statistics-during-crawl.png")),
                           "PNG") &&
         ok;
  }
  running.StopDownload();
  ProcessEventsUntil([&running] { return running.State() == edsReady; }, Millis(60000));
  return ok;
}

}  // namespace

void StartScreenTour(TMainForm& window, const std::string& projectFile, const std::string& folder) {
  QTimer::singleShot(0, &window, [&window, projectFile, folder] {
    const QString out = PathToQ(folder);
    QDir().mkpath(out);
    TWWWDocForm* project = window.OpenRecent(projectFile, true);
    if (project == nullptr) {
      QApplication::exit(1);
      return;
    }
    project->AllTreeView()->expandAll();
    ShowList(*project, QStringLiteral("Links Ready"));
    bool ok = Shoot(window, out, QStringLiteral("1-tree-and-ready-list.png"));
    ShowList(*project, QStringLiteral("Ignored"));
    project->TreeSelector()->setCurrentIndex(1);
    project->ReadyTreeView()->expandAll();
    ok = Shoot(window, out, QStringLiteral("2-ready-tree-and-ignored-list.png")) && ok;

    project->TreeSelector()->setCurrentIndex(0);
    ShowList(*project, QStringLiteral("Links Ready"));
    const std::string start = project->Engine().General().BaseUrl;
    bool loaded = false;
    QObject::connect(&project->Browser(), &TProjectBrowser::DocumentComplete, &window,
                     [&loaded] { loaded = true; });
    project->GoToFile(start);
    project->OpenLink(start, true);
    ProcessEventsUntil([&loaded] { return loaded; }, Millis(20000));
    // Images of the page arrive after the document itself.
    ProcessEventsUntil([] { return false; }, Millis(1500));
    ok = Shoot(window, out, QStringLiteral("3-browser-stored-page.png")) && ok;
    ok = ShootDialogs(window, *project, out) && ok;
    project->ShowFind();
    project->SearchBox()->setText(QStringLiteral("the"));
    project->SearchButton()->click();
    ProcessEventsUntil([project] { return !project->SearchPane().Search().Searching(); },
                       Millis(20000));
    ok = Shoot(window, out, QStringLiteral("15-search-pane.png")) && ok;
    ok = ShootCrawl(window, *project, out) && ok;
    ok = ShootManual(out) && ok;
    QApplication::exit(ok ? 0 : 1);
  });
}

}  // namespace tq
