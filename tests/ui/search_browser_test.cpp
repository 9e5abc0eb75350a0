// A click on a search result's title shows the stored page in the embedded browser, through the
// project window's offline server.
// ctest: timeout=240 labels=xvfb
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "foundation/main_loop.h"
#include "server/server.h"
#include "ui/project_browser.h"
#include "ui/search_pane.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

using SearchResultClick = MainWindowFixture;

TEST_F(SearchResultClick, OpensTheStoredPageInTheBrowser) {
  m_server.Route("/index.html", Page("<html><head><title>Home</title></head>"
                                     "<body><a href=found.html>next</a></body></html>"));
  m_server.Route("/found.html", Page("<html><head><title>Found</title></head>"
                                     "<body><p>a rare keyword here</p></body></html>"));
  TWWWDocForm* project = Crawl(m_server.Url("/index.html"));
  ASSERT_TRUE(RunUntil([&] { return CrawlEnded(); }, Millis(30000)));
  Window().show();

  TSearchPane& pane = project->SearchPane();
  project->ShowFind();
  project->SearchBox()->setText(QStringLiteral("rare keyword"));
  project->SearchButton()->click();
  ASSERT_TRUE(RunUntil([&] { return !pane.Search().Searching(); }));
  ASSERT_EQ(pane.model()->rowCount(), 1);

  bool loaded = false;
  QObject::connect(&project->Browser(), &TProjectBrowser::DocumentComplete, &Window(),
                   [&loaded] { loaded = true; });
  // The title starts 20 pixels into the row, which starts 5 pixels into the list.
  const QRect row = pane.visualRect(pane.model()->index(0, 0));
  QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, row.topLeft() + QPoint(30, 6));
  EXPECT_TRUE(pane.model()->index(0, 0).data(TSearchListModel::ClickedRole).toBool());
  // The browser engine's processes start slowly on a busy machine.
  ASSERT_TRUE(RunUntil([&] { return loaded; }, Millis(90000)));
  const QUrl shown(project->Browser().Address());
  EXPECT_EQ(shown.port(80), project->Server().Port());
  EXPECT_EQ(shown.path().toStdString(), "/" + m_server.Url("/found.html"));
}

}  // namespace
}  // namespace tq::test
