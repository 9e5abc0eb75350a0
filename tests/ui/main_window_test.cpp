// The main window: the command state following the active tab, the recent projects, opening
// good and bad project files, and what closing a project or the program asks.
// ctest: timeout=120
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QTimer>

#include "foundation/main_loop.h"
#include "support/http_test_server.h"
#include "ui/load_form.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

const char* const kProjectCommands[] = {
    "FileSave",      "FileSaveAs",     "FileClose",     "EditDelete",
    "EditCut",       "EditCopy",       "EditPaste",     "EditFindContent",
    "ViewWizard",    "ViewProperties", "ViewStatus",    "DownloadResume",
    "DownloadPause", "ToolsExport",    "ExportArchive", "EditFindFilesAndFolder",
};

using MainWindowTest = MainWindowFixture;

class SaveRecorder : public TFakeDialogService {
 public:
  std::string PromptSaveFile(const std::string& title, const std::string& proposed,
                             const std::string& filter) override {
    proposals.push_back(proposed);
    return TFakeDialogService::PromptSaveFile(title, proposed, filter);
  }
  std::vector<std::string> proposals;
};

TEST_F(MainWindowTest, CommandStateFollowsTheActiveTabAndGoesWithTheLastProject) {
  HttpTestServer server;
  server.Route("/stall.html", Stall());
  TMainForm& window = Window();
  for (const char* name : kProjectCommands) EXPECT_FALSE(Enabled(name)) << name;

  TWWWDocForm* crawling = window.NewBlankProject();
  crawling->Engine().General().BaseUrl = server.Url("/stall.html");
  window.Action("DownloadResume")->trigger();
  ASSERT_TRUE(RunUntil([&] { return Enabled("DownloadPause"); }));
  TWWWDocForm* idle = window.NewBlankProject();
  EXPECT_EQ(window.Documents().ActiveDoc(), idle);
  EXPECT_TRUE(Enabled("DownloadResume"));
  EXPECT_FALSE(Enabled("DownloadPause"));
  EXPECT_TRUE(Enabled("FileClose"));

  window.Tabs()->setCurrentWidget(crawling);
  EXPECT_FALSE(Enabled("DownloadResume"));
  EXPECT_TRUE(Enabled("DownloadPause"));
  EXPECT_FALSE(Enabled("FileClose"));
  EXPECT_EQ(window.StatusPanel(0)->text().toStdString(), "Status : Downloading...");

  window.Action("DownloadPause")->trigger();  // the menu's Stop, mid-crawl
  EXPECT_NE(crawling->Engine().State(), edsDownload);
  ASSERT_TRUE(RunUntil([&] { return Enabled("DownloadResume") && Enabled("FileClose"); }));
  EXPECT_EQ(window.LastBalloon().toStdString(),
            "Download completed\nTarnquill has finished downloading project \"Untitled\"");

  window.Options().Confirmation.ClosingDoc =
      false;  // the crawl changed the project: close it unsaved
  window.Action("FileClose")->trigger();
  EXPECT_EQ(window.Documents().ActiveDoc(), idle);
  window.Action("FileClose")->trigger();
  EXPECT_EQ(window.Tabs()->count(), 0);
  EXPECT_EQ(window.Documents().Count(), 0);
  for (const char* name : kProjectCommands) EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_FALSE(Enabled("EditFindFilesAndFolder"));
  EXPECT_TRUE(window.StatusPanel(0)->text().isEmpty());
  EXPECT_TRUE(window.StatusPanel(1)->text().isEmpty());
  EXPECT_TRUE(window.Recent().Items().empty());  // untitled projects never enter the list
}

TEST_F(MainWindowTest, ProjectFilesOpenOnceAndPassThroughTheRecentList) {
  const std::string file = WriteProject("site.web", 30);
  TMainForm& window = Window();
  TWWWDocForm* project = window.OpenProject(file);
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(project->Engine().ReadyLinks().Count(), 30);
  ASSERT_TRUE(RunUntil([&] { return project->TreesIdle(); }));
  EXPECT_TRUE(project->AllTree().FindUrlNode("http://h.org/d7/p7.html").isValid());
  EXPECT_EQ(window.OpenProject(file), project);  // already open: its tab only
  EXPECT_EQ(window.Tabs()->count(), 1);

  window.Action("FileClose")->trigger();
  ASSERT_EQ(window.Recent().Items(), std::vector<std::string>{file});
  project = window.OpenRecent(file);
  ASSERT_NE(project, nullptr);
  EXPECT_TRUE(project->TreesIdle());
  EXPECT_TRUE(window.Recent().Items().empty());
  EXPECT_FALSE(window.close());  // the quit question is answered No by default...
  EXPECT_EQ(window.Tabs()->count(), 1);
  m_dialogs->messageAnswers = {mrYes};
  EXPECT_TRUE(window.close());
  EXPECT_EQ(window.Tabs()->count(), 0);
  // ...and the settings written on the way out hold the recent list.
  TVornIniFile config(Path("config.dat"));
  EXPECT_EQ(config.ReadString("Recent", "File0", ""), file);
}

TEST_F(MainWindowTest, ProjectsSavedByAScheduledExitReopenAtStart) {
  const std::string first = WriteProject("first.web", 3);
  const std::string second = WriteProject("second.web", 3);
  {
    TVornIniFile config(Path("config.dat"));
    config.WriteInteger("FAutoSaved", "Count", 2);
    config.WriteString("FAutoSaved", "File0", first);
    config.WriteString("FAutoSaved", "File1", second);
  }
  TMainForm& window = Window();
  ASSERT_EQ(window.Documents().Count(), 2);
  EXPECT_EQ(window.Documents().Items(0)->Document().DocName(), first);
  EXPECT_EQ(window.Documents().Items(1)->Document().DocName(), second);
  EXPECT_EQ(window.Tabs()->count(), 2);
  bool busy = false;
  window.Options().OnAskIfDownloads(busy);
  EXPECT_FALSE(busy);
  int count = 0;
  window.Options().OnDocCount(count);
  EXPECT_EQ(count, 2);
}

TEST_F(MainWindowTest, AProjectFileThatCannotBeLoadedLeavesNoTab) {
  const std::string damaged = Path("damaged.web");
  std::ofstream(damaged) << "not an archive at all";
  const std::string missing = Path("missing.web");
  TMainForm& window = Window();
  for (const std::string& file : {damaged, missing}) {
    EXPECT_EQ(window.OpenProject(file), nullptr);
    EXPECT_EQ(window.Tabs()->count(), 0);
    EXPECT_EQ(window.Documents().Count(), 0);
    EXPECT_TRUE(window.Recent().Items().empty());
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages().back(), "Unable to load \"" + file + "\"");
  }
}

TEST_F(MainWindowTest, LoadingShowsRisingProgressWhileTimersRun) {
  const std::string file = WriteProject("large.web", 20000);
  TMainForm& window = Window();
  std::vector<int> shown;
  int ticks = 0;
  TLoadForm* form = nullptr;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    ++ticks;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (form != nullptr || !top->isVisible() || top->objectName() != QLatin1String("LoadForm"))
        continue;
      form = static_cast<TLoadForm*>(top);
      QObject::connect(form->Gauge(), &QProgressBar::valueChanged,
                       [&](int value) { shown.push_back(value); });
    }
  });
  sampler.start(1);
  ASSERT_NE(window.OpenProject(file), nullptr);
  sampler.stop();
  EXPECT_GT(ticks, 2);
  ASSERT_NE(form, nullptr);
  ASSERT_GE(shown.size(), 10u);
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
  EXPECT_EQ(shown.back(), 100);
  EXPECT_TRUE(window.StatusPanel(1)->text().isEmpty());  // cleared when loading ended
  EXPECT_FALSE(QApplication::overrideCursor());
}

TEST_F(MainWindowTest, CloseQueryAndUnsavedChanges) {
  auto recorder = std::make_shared<SaveRecorder>();
  m_dialogs = recorder;
  SetDialogService(recorder);
  HttpTestServer server;
  server.Route("/stall.html", Stall());
  TMainForm& window = Window();
  TWWWDocForm* project = window.NewBlankProject();
  project->Engine().General().BaseUrl = server.Url("/stall.html");
  project->Engine().StartDownload();
  ASSERT_TRUE(RunUntil([&] { return !server.Requests().empty(); }));
  window.Action("FileExit")->trigger();  // refused while a project downloads
  EXPECT_EQ(window.Tabs()->count(), 1);
  EXPECT_EQ(Messages().back(),
            "Please stop all the downloads in progress before trying to quit Tarnquill");
  window.Action("DownloadPauseAll")->trigger();
  ASSERT_TRUE(RunUntil([&] { return Enabled("FileClose"); }));

  // A changed project: with the question switched off it goes unsaved; with it on, No means
  // saving (under the project's name), a cancelled save keeps the project open, and so does
  // Cancel, without saving.
  project->Engine().General().SetProjectName("Garden");
  project->Document().SetChanged(true);
  m_dialogs->messageAnswers = {mrNo};
  window.Action("FileClose")->trigger();
  EXPECT_EQ(window.Tabs()->count(), 1);
  EXPECT_EQ(m_dialogs->Questions().back().kind, "save");
  EXPECT_EQ(recorder->proposals, (std::vector<std::string>{"Garden.web"}));
  m_dialogs->messageAnswers = {mrCancel};
  window.Action("FileClose")->trigger();
  EXPECT_EQ(window.Tabs()->count(), 1);
  EXPECT_EQ(m_dialogs->Questions().back().text, "Do you want to close document without save ?");
  EXPECT_EQ(recorder->proposals.size(), 1u);
  window.Options().Confirmation.ClosingDoc = false;
  const size_t asked = m_dialogs->Questions().size();
  window.Action("FileClose")->trigger();
  EXPECT_EQ(window.Tabs()->count(), 0);
  EXPECT_EQ(m_dialogs->Questions().size(), asked);
}

}  // namespace
}  // namespace tq::test
