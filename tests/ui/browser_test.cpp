// The embedded web engine on a virtual display: a page stored by a crawl is shown through the
// project window's offline server, with the stored title, and its image comes from the stored
// copy, not from the site.
// ctest: timeout=240 labels=xvfb
#include <gtest/gtest.h>

#include <QBuffer>
#include <QComboBox>
#include <QImage>
#include <QUrl>

#include "foundation/main_loop.h"
#include "server/server.h"
#include "ui/project_browser.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

using EmbeddedBrowser = MainWindowFixture;

// A PNG picture width pixels wide.
std::string Picture(int width) {
  QImage image(width, 3, QImage::Format_RGB32);
  image.fill(Qt::darkGreen);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

// The result of a script run in the shown page.
QString RunScript(TProjectBrowser& browser, const QString& script) {
  QString result;
  bool done = false;
  browser.TestOnlyRunScript(script, [&](const QVariant& value) {
    result = value.toString();
    done = true;
  });
  EXPECT_TRUE(RunUntil([&] { return done; }, Millis(20000)));
  return result;
}

TEST_F(EmbeddedBrowser, ShowsAStoredPageAndItsImageThroughTheOfflineServer) {
  m_server.Route("/index.html", Page("<html><head><title>Stored title</title></head>"
                                     "<body><p>text</p><img src=img.png></body></html>"));
  m_server.Route("/img.png", Page(Picture(17), "image/png"));
  const std::string page = m_server.Url("/index.html");
  TWWWDocForm* project = Crawl(page);
  ASSERT_TRUE(RunUntil([&] { return CrawlEnded(); }, Millis(30000)));
  ASSERT_TRUE(project->Server().Active());
  const std::size_t siteRequests = m_server.Requests().size();

  Window().show();
  bool loaded = false;
  QObject::connect(&project->Browser(), &TProjectBrowser::DocumentComplete, &Window(),
                   [&loaded] { loaded = true; });
  project->OpenLink(page, true);
  // The browser engine's processes start slowly on a busy machine.
  ASSERT_TRUE(RunUntil([&] { return loaded; }, Millis(90000)));
  // The browser shows the address without the port when it is the default one.
  const QUrl shown(project->Browser().Address());
  EXPECT_EQ(shown.port(80), project->Server().Port());
  EXPECT_EQ(shown.path().toStdString(), "/" + page);
  EXPECT_EQ(project->AddressBar()->currentText(), shown.toString());
  EXPECT_TRUE(project->IsOfflineAddress(project->AddressBar()->currentText().toStdString()));

  EXPECT_EQ(RunScript(project->Browser(), QStringLiteral("document.title")).toStdString(),
            "Stored title");
  // The load ends after the page's images have arrived.
  const QString image = QStringLiteral("document.images[0]");
  EXPECT_EQ(RunScript(project->Browser(), image + QStringLiteral(".naturalWidth")).toStdString(),
            "17");
  const QUrl source(RunScript(project->Browser(), image + QStringLiteral(".currentSrc")));
  EXPECT_EQ(source.port(80), project->Server().Port());
  EXPECT_EQ(source.path().toStdString(), "/" + m_server.Url("/img.png"));
  EXPECT_EQ(m_server.Requests().size(), siteRequests);
}

}  // namespace
}  // namespace tq::test
