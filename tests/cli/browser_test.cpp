// A real browser on the served project: Chromium without a window loads the starting page's
// offline address, and the page it shows and the page behind a followed link come from the
// server; and a real site's pages run their scripts offline as they did online. Skipped, saying
// so, where Chromium cannot start.
// ctest: timeout=400 labels=browser report-skips
#include <set>
#include <sstream>

#include <QTemporaryDir>

#include "cli/served_project.h"
#include "support/loopback_peer.h"
#include "support/source_paths.h"

namespace tq {
namespace {

struct Visit {
  std::string Dom;               // the page as Chromium has built it; empty: it did not finish
  std::set<std::string> Errors;  // what the page's scripts raised, without where
};

// Chromium loads url, runs its scripts (timers too, for a while) and dumps the page.
Visit Open(const std::string& url) {
  QTemporaryDir profile;
  QProcess chromium;
  // A fresh profile and no background traffic: on a closed network Chromium otherwise waits for
  // services it cannot reach. Run as root it needs --no-sandbox.
  chromium.start(
      QStringLiteral("chromium"),
      Args({"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--enable-logging=stderr", "--v=0", "--virtual-time-budget=5000",
            "--user-data-dir=" + profile.path().toStdString(), "--dump-dom", url}));
  Visit visit;
  if (!chromium.waitForFinished(90000)) {
    chromium.kill();
    chromium.waitForFinished();
    return visit;
  }
  visit.Dom = chromium.readAllStandardOutput().toStdString();
  std::istringstream log(chromium.readAllStandardError().toStdString());
  for (std::string line; std::getline(log, line);) {
    const size_t at = line.find(":CONSOLE");
    const size_t quote = line.find('"', at);
    if (at == std::string::npos || quote == std::string::npos) continue;
    // The message alone: its source names the host, which differs online and offline.
    std::string message = line.substr(quote + 1, line.rfind("\", source:") - quote - 1);
    if (message.find("Uncaught") != std::string::npos ||
        message.find("blocked") != std::string::npos || message.find("Error") == 0)
      visit.Errors.insert(message);
  }
  return visit;
}

std::string DumpDom(const std::string& url) {
  return Open(url).Dom;
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
  // The link leads to the page under its site's own name of the server.
  const std::string online = project.Site.Url("/next.html");
  const std::string link =
      ".localhost:" + std::to_string(project.Port()) + "/" + online + "\">Second page</a>";
  EXPECT_NE(start.find(link), std::string::npos) << start;
  EXPECT_NE(DumpDom(project.Prefix + online).find("<p>The second page</p>"), std::string::npos);
  EXPECT_EQ(project.Stop(SIGTERM).ExitCode, 0);
}

// The Python documentation, crawled from a local copy and browsed offline: every page raises in
// its scripts no more than the same page did online (its theme's scripts keep settings in the
// browser's storage and cookies, and its search reads files of its own site), and the script
// that adds the sidebar's button ran.
TEST(Browser, RunsTheScriptsOfARealSiteAsTheSiteDid) {
  const std::string docs = "/usr/share/doc/python3.11/html";
  if (!test::ProgramExists("chromium")) GTEST_SKIP() << "chromium is not installed";
  if (!fs::exists(docs + "/search.html")) GTEST_SKIP() << docs << " is not installed";
  QTemporaryDir work;
  const std::string portFile = work.path().toStdString() + "/port";
  QProcess site;
  site.start(QStringLiteral("python3"),
             Args({std::string(TQ_SOURCE_DIR) + "/scripts/serve_static.py", docs, portFile}));
  ASSERT_TRUE(RunUntil([&] { return fs::exists(portFile); }, Millis(30000)));
  const std::string origin = "http://127.0.0.1:" + ReadFile(portFile) + "/";
  const std::string file = work.path().toStdString() + "/docs.web";
  const CliRun crawl = RunCli(
      {"crawl", origin + "search.html", "--level", "1", "-o", file, "--dispatch-interval", "0"});
  ASSERT_TRUE(crawl.ExitCode == 0 || crawl.ExitCode == 8) << crawl.Err;  // 8: some links failed
  ServedProject project(file);
  ASSERT_TRUE(project.Serve());
  for (const std::string page : {"search.html", "about.html", "index.html"}) {
    const Visit online = Open(origin + page);
    if (online.Dom.find("<html") == std::string::npos)
      GTEST_SKIP() << "chromium cannot start here: the real-browser check did not run";
    const Visit offline = Open(project.Prefix + origin + page);
    EXPECT_NE(online.Dom.find("id=\"sidebarbutton\""), std::string::npos) << page;
    EXPECT_NE(offline.Dom.find("id=\"sidebarbutton\""), std::string::npos) << page;
    for (const std::string& error : offline.Errors)
      EXPECT_TRUE(online.Errors.count(error)) << page << ": " << error;
  }
  EXPECT_EQ(project.Stop(SIGTERM).ExitCode, 0);
  site.kill();
  site.waitForFinished();
}

}  // namespace
}  // namespace tq
