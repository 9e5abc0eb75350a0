// A crawl's progress at a glance: the figures' texts, and a crawl in progress seen in the status
// bar, the window title, the tray's hint and the list tabs.
// ctest: timeout=120
#include <gtest/gtest.h>

#include <QLabel>

#include "foundation/format.h"
#include "foundation/main_loop.h"
#include "ui/crawl_progress.h"
#include "ui/tray.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

using namespace std::chrono_literals;

TEST(CrawlProgressTest, TextsCountFromTheStartOfThisRun) {
  struct TCase {
    TCrawlCounts atStart, now;
    std::chrono::seconds after;
    int64_t bytes;
    const char* counts;
    const char* time;
    std::string rate;
  };
  const TCase cases[] = {
      // Nothing done yet: no estimate, and no division by the zero seconds of a fresh start.
      {{}, {0, 0, 1, 0}, 0s, 0, "0 done, 1 queued", "Elapsed 0s, estimating", FormatFileSize(0)},
      {{},
       {10, 0, 2, 8},
       20s,
       40960,
       "10 done, 10 queued",
       "Elapsed 20s, about 20s left",
       FormatFileSize(2048)},
      // A resumed crawl: the 100 pages of an earlier run took none of this run's time.
      {{100, 0, 0, 50},
       {110, 0, 0, 40},
       10s,
       0,
       "110 done, 40 queued",
       "Elapsed 10s, about 40s left",
       FormatFileSize(0)},
      // Failures are finished pages too, and told apart.
      {{},
       {3, 1, 0, 4},
       65s,
       0,
       "4 done (1 failed), 4 queued",
       "Elapsed 1m 5s, about 1m 5s left",
       FormatFileSize(0)},
      {{}, {5, 0, 0, 0}, 90s, 0, "5 done, 0 queued", "Elapsed 1m 30s", FormatFileSize(0)},
  };
  const auto start = TCrawlProgress::TClock::time_point{} + 1000s;
  for (const TCase& c : cases) {
    TCrawlProgress progress;
    progress.Start(start, c.atStart, 500);
    EXPECT_EQ(TCrawlProgress::CountsText(c.now), c.counts);
    EXPECT_EQ(progress.TimeText(start + c.after, c.now), c.time);
    EXPECT_EQ(progress.RateText(start + c.after, 500 + c.bytes), c.rate + "/s");
  }
  EXPECT_EQ(TCrawlProgress::DoneOfTotal({7, 1, 2, 30}), "8/40");
}

class CrawlProgressView : public MainWindowFixture {};

TEST_F(CrawlProgressView, ACrawlShowsItsFiguresInTheStatusBarTitleTrayAndTabs) {
  m_server.Route("/index.html", Page("<a href=a.html>a</a> <a href=stall.html>s</a>"));
  m_server.Route("/a.html", Page("<p>a</p>"));
  m_server.Route("/stall.html", Stall());
  TMainForm& window = Window();
  TWWWDocForm* project = Crawl(m_server.Url("/index.html"));
  TLinkListsPane& lists = project->Lists();
  ASSERT_TRUE(RunUntil([&] { return lists.Model(llReady).rowCount() == 2; }));
  ASSERT_TRUE(
      RunUntil([&] { return window.StatusPanel(1)->text() == QLatin1String("2 done, 1 queued"); }));
  EXPECT_EQ(window.StatusPanel(0)->text().toStdString(), "Status : Downloading...");
  EXPECT_TRUE(window.StatusPanel(2)->text().endsWith(QLatin1String("/s")));
  EXPECT_TRUE(window.StatusPanel(3)->text().startsWith(QLatin1String("Elapsed ")));
  const QString figure = project->windowTitle() + QStringLiteral(": 2/3");
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnquill - ") + figure);
  ASSERT_TRUE(RunUntil([&] { return window.Tray().ToolTip().contains(figure); }));
  // Every list's count is on its tab, not only the one in front.
  const std::pair<int, const char*> tabs[] = {{0, "Links Ready (2)"}, {1, "In Progress (1)"}};
  for (const auto& [tab, text] : tabs) EXPECT_EQ(lists.Tabs()->tabText(tab).toStdString(), text);

  window.Action("DownloadPause")->trigger();
  ASSERT_TRUE(RunUntil([&] { return window.windowTitle() == QLatin1String("Tarnquill"); }));
  EXPECT_TRUE(window.StatusPanel(3)->text().isEmpty());
  ASSERT_TRUE(RunUntil([&] { return window.Tray().ToolTip() == QLatin1String("Tarnquill"); }));
}

}  // namespace
}  // namespace tq::test
