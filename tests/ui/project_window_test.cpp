// A project window at work: a crawl of a loopback site filling lists and trees while the window
// only watches, browsing a link through the offline address, the "&Download" button's checks,
// the list menus and tabs, and Stop, Close and Exit pressed in the middle of a crawl.
// ctest: timeout=180
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <atomic>
#include <thread>

#include "foundation/format.h"
#include "foundation/main_loop.h"
#include "server/server.h"
#include "support/http_test_server.h"
#include "ui/project_browser.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

class ProjectWindowTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    Window().Options().Confirmation.ClosingDoc = false;
  }
};

QToolButton* ToolbarButton(TMainForm& window, const char* caption) {
  for (QToolBar* bar : window.findChildren<QToolBar*>()) {
    for (QAction* action : bar->actions()) {
      if (action->text() == QLatin1String(caption))
        return qobject_cast<QToolButton*>(bar->widgetForAction(action));
    }
  }
  return nullptr;
}

TEST_F(ProjectWindowTest, ACrawlFillsListsAndTreesAndALinkOpensOffline) {
  m_server.Route("/index.html", Page("<a href=a.html>a</a><a href=dir/b.html>b</a><img src=img.png>"
                                     "<a href=mailto:me@h.org>me</a><a href=missing.html>x</a>"
                                     "<a href=file.zip>zip</a>"));
  m_server.Route("/a.html", Page("<a href=index.html>home</a>"));
  m_server.Route("/dir/b.html", Page("<p>b</p>"));
  m_server.Route("/img.png", Page("PNG", "image/png"));
  m_server.Route("/missing.html", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("404 Not Found", "", "gone"));
  });
  TWWWDocForm* project = Crawl(m_server.Url("/index.html"));
  ASSERT_TRUE(RunUntil([&] { return CrawlEnded(); }, Millis(30000)));

  TLinkListsPane& lists = project->Lists();
  EXPECT_EQ(lists.Model(llReady).rowCount(), 4);
  EXPECT_EQ(lists.Counter(llReady)->text().toStdString(), "Ready : 4");
  EXPECT_EQ(lists.Model(llFailed).CaptionAt(0).toStdString(), m_server.Url("/missing.html"));
  EXPECT_EQ(lists.Model(llIgnored).CaptionAt(0).toStdString(), m_server.Url("/file.zip"));
  EXPECT_EQ(lists.Model(llEmails).CaptionAt(0).toStdString(), "me@h.org");
  EXPECT_EQ(lists.Counter(llWorking)->text().toStdString(), "In Progress : 0");
  EXPECT_EQ(lists.Tabs()->count(), 6);

  ASSERT_TRUE(RunUntil([&] { return project->TreesIdle(); }));
  for (const char* path : {"/index.html", "/a.html", "/dir/b.html", "/img.png"}) {
    EXPECT_TRUE(project->AllTree().FindUrlNode(m_server.Url(path)).isValid()) << path;
    EXPECT_TRUE(project->ReadyTree().FindUrlNode(m_server.Url(path)).isValid()) << path;
  }
  const QModelIndex failed = project->AllTree().FindUrlNode(m_server.Url("/missing.html"));
  EXPECT_EQ(failed.data(TVornLinkTree::kImageRole).toInt(), 3);
  EXPECT_FALSE(project->ReadyTree().FindUrlNode(m_server.Url("/missing.html")).isValid());

  // Enter on a Ready row opens its offline address; Enter on a tree node does the same.
  QTreeView* ready = lists.View(llReady);
  ready->setCurrentIndex(lists.Model(llReady).index(1, 0));
  QTest::keyClick(ready, Qt::Key_Return);
  const std::string second = lists.Model(llReady).CaptionAt(1).toStdString();
  ASSERT_TRUE(RunUntil([&] {
    return project->AddressBar()->currentText().toStdString() == project->ServerPrefix() + second;
  }));
  EXPECT_EQ(project->Browser().Address().toStdString(), project->ServerPrefix() + second);
  project->GoToFile(m_server.Url("/dir/b.html"));
  EXPECT_EQ(project->AllTreeView()->currentIndex().data().toString().toStdString(), "b.html");
  QTest::keyClick(project->AllTreeView(), Qt::Key_Return);
  EXPECT_EQ(project->Browser().Address().toStdString(),
            project->ServerPrefix() + m_server.Url("/dir/b.html"));
}

TEST_F(ProjectWindowTest, TreeAndReadyCountGrowWhileTheWindowOnlyWatches) {
  std::string index;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "/p" + std::to_string(i) + ".html";
    index += "<a href=" + name.substr(1) + ">p</a>";
    // Each page takes a moment, so the crawl is still running between the two looks.
    m_server.Route(name, [](const TestRequest&, TestConnection& c) {
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", "<p>p</p>"));
    });
  }
  m_server.Route("/index.html", Page(index));
  TWWWDocForm* project = Crawl(m_server.Url("/index.html"), 1);
  TVornLinkListModel& ready = project->Lists().Model(llReady);
  ASSERT_TRUE(RunUntil([&] { return ready.rowCount() >= 2; }, Millis(30000)));
  const int rows = ready.rowCount();
  const int nodes = project->ReadyTree().NodeCount();
  const QString counter = project->Lists().Counter(llReady)->text();
  ASSERT_TRUE(RunUntil([&] {
    return ready.rowCount() > rows && project->ReadyTree().NodeCount() > nodes &&
           project->Lists().Counter(llReady)->text() != counter;
  }));
  EXPECT_FALSE(CrawlEnded());
  Window().Action("DownloadPause")->trigger();
}

TEST_F(ProjectWindowTest, DownloadButtonChecksTheAddressFirst) {
  TMainForm& window = Window();
  TWWWDocForm* blank = window.NewBlankProject();
  QLineEdit* address = blank->AddressBar()->lineEdit();
  address->clear();
  QTest::keyClicks(address, QStringLiteral("www.example.com"));
  QTest::mouseClick(blank->DownloadButton(), Qt::LeftButton);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0],
            "Please type the full path including the protocol. Ex: http://www.example.com/");
  EXPECT_EQ(blank->Engine().State(), edsReady);

  // The same address with a scheme starts the crawl (an ftp one fails at once, refused).
  const std::string ftp = "ftp://127.0.0.1:" + std::to_string(RefusedPort()) + "/f.txt";
  address->setText(QString::fromStdString(ftp));
  QTest::mouseClick(blank->DownloadButton(), Qt::LeftButton);
  EXPECT_EQ(blank->Engine().General().BaseUrl, ftp);
  ASSERT_TRUE(RunUntil([&] { return blank->Lists().Model(llFailed).rowCount() == 1; }));
  ASSERT_TRUE(RunUntil([&] { return blank->Engine().State() == edsReady; }));

  // A project that has its starting server refuses any other.
  QTest::mouseClick(blank->DownloadButton(), Qt::LeftButton);
  EXPECT_EQ(Messages().size(), 2u);

  // A busy project hands a typed address to a project of its own.
  m_server.Route("/stall.html", Stall());
  TWWWDocForm* busy = Crawl(m_server.Url("/stall.html"));
  ASSERT_TRUE(RunUntil([&] { return !m_server.Requests().empty(); }));
  busy->AddressBar()->setEditText(QString::fromStdString(busy->ServerPrefix() + "x"));
  busy->DownloadClick();
  EXPECT_EQ(window.Documents().Count(), 2);
  busy->AddressBar()->setEditText(QString::fromStdString(m_server.Url("/other.html")));
  busy->DownloadClick();
  ASSERT_EQ(window.Documents().Count(), 3);
  EXPECT_EQ(window.Documents().Items(2)->Engine().General().ProjectName(), "noname.web");
  window.Action("DownloadPauseAll")->trigger();
}

TEST_F(ProjectWindowTest, AServerThatCannotStartIsReportedAndLeavesTheWindowUsable) {
  TestOnlySetAdapterProbe([] { return false; });
  TWWWDocForm* project = Window().NewBlankProject();
  TestOnlySetAdapterProbe(nullptr);
  EXPECT_FALSE(project->Server().Active());
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            "There is no default Network Adapter on this computer !\n\rWant to "
                            "launch the tutorial to help you install the Microsoft Loopback "
                            "Adapter ?"});
  // Windows opened later serve, each on a port of its own.
  TWWWDocForm* second = Window().NewBlankProject();
  TWWWDocForm* third = Window().NewBlankProject();
  EXPECT_TRUE(second->Server().Active());
  EXPECT_TRUE(third->Server().Active());
  EXPECT_NE(third->ServerPrefix(), second->ServerPrefix());
}

TEST_F(ProjectWindowTest, ListMenusMoveLinksAndTabsFollowTheSwitches) {
  TWWWDocForm* project = Window().NewBlankProject();
  TVornDownload& engine = project->Engine();
  engine.System().SetBuildIgnored(true);
  engine.System().SetBuildEmails(true);
  auto queued = std::make_shared<TVornLink>();
  queued->SetPage("http://h.org/");
  queued->SetText("http://h.org/q.html");
  engine.QueueLinks().Add(queued);
  TLinkListsPane& lists = project->Lists();
  ASSERT_TRUE(RunUntil([&] { return lists.Model(llQueue).rowCount() == 1; }));

  QMenu* menu = lists.BuildMenu(llQueue);
  ASSERT_EQ(menu->actions().size(), 4);           // a separator first
  EXPECT_FALSE(menu->actions()[3]->isEnabled());  // nothing selected
  lists.View(llQueue)->setCurrentIndex(lists.Model(llQueue).index(0, 0));
  menu = lists.BuildMenu(llQueue);
  EXPECT_EQ(menu->actions()[3]->text().toStdString(), "Ignore File");
  menu->actions()[3]->trigger();
  ASSERT_TRUE(RunUntil([&] { return lists.Model(llIgnored).rowCount() == 1; }));
  EXPECT_EQ(lists.Model(llQueue).rowCount(), 0);
  EXPECT_EQ(lists.Model(llIgnored).index(0, 1).data().toString().toStdString(), "Ignored by user");

  // Turning a list's switch off while its list shows shows the last remaining tab's list.
  ShowList(*project, "Ignored");
  engine.System().SetBuildIgnored(false);
  EXPECT_EQ(lists.Shown(), llEmails);
  engine.System().SetBuildEmails(false);
  EXPECT_EQ(lists.Shown(), llFailed);
  engine.System().SetBuildEmails(true);
  engine.System().SetBuildIgnored(true);
  // A tab put back shows its list's count, as every tab does once its list holds links.
  EXPECT_EQ(lists.Tabs()->tabText(4).toStdString(), "Ignored (1)");
  EXPECT_EQ(lists.Tabs()->tabText(5).toStdString(), "Emails");

  engine.System().SetBuildAllTree(true);
  engine.System().SetBuildAllTree(false);
  EXPECT_FALSE(project->ReadyTreeUpdater().Enabled());
  EXPECT_EQ(project->TreeSelector()->currentIndex(), 0);
}

TEST_F(ProjectWindowTest, StopCloseAndExitInTheMiddleOfACrawl) {
  m_server.Route("/stall.html", Stall());
  TMainForm& window = Window();
  TWWWDocForm* project = Crawl(m_server.Url("/stall.html"));
  ASSERT_TRUE(RunUntil([&] { return m_server.Requests().size() == 1; }));
  // A transfer's figures show while it runs, also once it has gone quiet.
  TVornLinkListModel& working = project->Lists().Model(llWorking);
  const auto cell = [&](int column) { return working.index(0, column).data().toString(); };
  EXPECT_TRUE(RunUntil([&] { return working.rowCount() == 1 && !cell(2).isEmpty(); }));
  EXPECT_EQ(cell(2).toStdString(), FormatFileSize(3));       // Done
  EXPECT_EQ(cell(3).toStdString(), FormatFileSize(100000));  // Overall
  for (int column : {1, 4, 5}) EXPECT_FALSE(cell(column).trimmed().isEmpty()) << column;

  window.close();  // Exit is refused while the crawl runs
  EXPECT_EQ(window.Tabs()->count(), 1);
  QToolButton* stop = ToolbarButton(window, "&Stop");
  ASSERT_NE(stop, nullptr);
  QTest::mouseClick(stop, Qt::LeftButton);
  ASSERT_TRUE(RunUntil([&] { return window.Action("DownloadResume")->isEnabled(); }));

  QTest::mouseClick(ToolbarButton(window, "&Download"), Qt::LeftButton);
  ASSERT_TRUE(RunUntil([&] { return m_server.Requests().size() == 2; }));
  window.Action("FileCloseAll")->trigger();  // stops the crawl, then closes
  EXPECT_EQ(window.Tabs()->count(), 0);

  project = Crawl(m_server.Url("/stall.html"));
  ASSERT_TRUE(RunUntil([&] { return m_server.Requests().size() == 3; }));
  window.Action("DownloadPause")->trigger();
  ASSERT_TRUE(RunUntil([&] { return project->Engine().State() == edsReady; }));
  m_dialogs->messageAnswers = {mrYes};  // "Do you want to quit Tarnquill ?"
  window.Action("FileExit")->trigger();
  EXPECT_EQ(window.Tabs()->count(), 0);
}

}  // namespace
}  // namespace tq::test

namespace tq::test {
namespace {

// Update in the Download menu of a finished project: the unchanged page is asked about by its
// ETag, the removed one keeps its copy, and the status bar says what the update found.
TEST_F(ProjectWindowTest, UpdateFromTheMenuKeepsTheCopyAndSaysWhatChanged) {
  std::atomic<bool> removed{false};
  m_server.Route("/index.html", [](const TestRequest& r, TestConnection& c) {
    if (r.Header("if-none-match") == "\"1\"") {
      c.Send(HttpTestServer::Answer("304 Not Modified", "", ""));
      return;
    }
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\nETag: \"1\"\r\n",
                                  "<a href=old.html>old</a>"));
  });
  m_server.Route("/old.html", [&removed](const TestRequest&, TestConnection& c) {
    c.Send(removed ? HttpTestServer::Answer("404 Not Found", "", "gone")
                   : HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", "<p>old</p>"));
  });
  TMainForm& window = Window();
  TWWWDocForm* project = Crawl(m_server.Url("/index.html"));
  ASSERT_TRUE(RunUntil([&] { return CrawlEnded(); }, Millis(30000)));
  ASSERT_TRUE(window.Action("DownloadUpdate")->isEnabled());

  removed = true;
  QAction* update = nullptr;
  for (QMenu* menu : window.menuBar()->findChildren<QMenu*>()) {
    if (menu->title() != QLatin1String("&Download")) continue;
    for (QAction* action : menu->actions()) {
      if (action->text() == QLatin1String("&Update")) update = action;
    }
  }
  ASSERT_NE(update, nullptr);
  update->trigger();
  const QString summary = QStringLiteral("Update finished: 1 unchanged, 0 changed, 0 new, 1 gone");
  ASSERT_TRUE(RunUntil([&] { return window.StatusPanel(0)->text() == summary; }, Millis(30000)))
      << window.StatusPanel(0)->text().toStdString();

  TVornLinkListModel& ready = project->Lists().Model(llReady);
  ASSERT_EQ(ready.rowCount(), 2);
  int gone = ready.CaptionAt(0).toStdString() == m_server.Url("/old.html") ? 0 : 1;
  EXPECT_TRUE(ready.index(gone, 1).data().toString().endsWith(QLatin1String(kGoneText.data())));
  EXPECT_EQ(project->Lists().Model(llFailed).rowCount(), 0);
}

}  // namespace
}  // namespace tq::test
