// A real browser on the served project: Chromium without a window loads the starting page's
// offline address, and the page it shows and the page behind a followed link come from the
// server. Skipped, saying so, where Chromium cannot start.
// ctest: timeout=180 labels=browser report-skips
#include <QTemporaryDir>

#include "cli/served_project.h"
#include "support/loopback_peer.h"

namespace tq {
namespace {

// The page as Chromium has built it, or empty when it did not finish.
std::string DumpDom(const std::string& url) {
  QTemporaryDir profile;
  QProcess chromium;
  // A fresh profile and no background traffic: on a closed network Chromium otherwise waits for
  // services it cannot reach. Run as root it needs --no-sandbox.
  chromium.start(
      QStringLiteral("chromium"),
      Args({"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--user-data-dir=" + profile.path().toStdString(), "--dump-dom", url}));
  if (!chromium.waitForFinished(60000)) {
    chromium.kill();
    chromium.waitForFinished();
    return {};
  }
  return chromium.readAllStandardOutput().toStdString();
}

TEST(Browser, ShowsStoredPagesAndFollowsTheirLinks) {
  if (!test::ProgramExists("chromium"))
    GTEST_SKIP() << "chromium is not installed: no browser check";
  ServedProject project;
  ASSERT_TRUE(project.Serve());
  const std::string start = DumpDom(project.StartAddress);
  // Even an unreachable page gives a document; nothing at all means Chromium did not start.
  if (start.find("<html") == std::string::npos)
    GTEST_SKIP() << "chromium cannot start here: the real-browser check did not run";
  EXPECT_NE(start.find("<h1>" + kGreeting + "</h1>"), std::string::npos) << start;
  const std::string next = project.Prefix + project.Site.Url("/next.html");
  EXPECT_NE(start.find("<a href=\"" + next + "\">Second page</a>"), std::string::npos) << start;
  EXPECT_NE(DumpDom(next).find("<p>The second page</p>"), std::string::npos);
  EXPECT_EQ(project.Stop(SIGTERM).ExitCode, 0);
}

}  // namespace
}  // namespace tq
