// The update command end to end: a loopback site whose pages change between two runs, answering
// conditional requests the way a static file server does.
#include <map>

#include "cli/cli_run.h"
#include "support/temp_env.h"

namespace tq {
namespace {

// Pages by address, each with a version; a page's ETag is its version, and a request carrying
// it gets a 304. A page set to "" answers 404.
class ChangingSite {
 public:
  explicit ChangingSite(bool withValidators = true) : m_validators(withValidators) {
    Set("/index.html",
        "<a href=\"a.html\">a</a><a href=\"b.html\">b</a><a href=\"gone.html\">g</a>");
    Set("/a.html", "<p>a</p><a href=\"deep.html\">deep</a>");
    Set("/b.html", "<p>b one</p>");
    Set("/gone.html", "<p>going</p>");
    Set("/deep.html", "<p>deep</p>");
    Set("/new.html", "<p>new</p>");
    for (const auto& [target, unused] : m_pages) {
      Server.Route(target, [this, target](const TestRequest& r, TestConnection& c) {
        std::lock_guard<std::mutex> guard(m_mutex);
        const auto& [body, version] = m_pages[target];
        if (!r.Header("if-none-match").empty() || !r.Header("if-modified-since").empty())
          ++m_conditional;
        if (body.empty()) {
          c.Send(HttpTestServer::Answer("404 Not Found", "", "missing"));
          return;
        }
        const std::string etag = "\"v" + std::to_string(version) + "\"";
        if (m_validators && r.Header("if-none-match") == etag) {
          c.Send(HttpTestServer::Answer("304 Not Modified", "ETag: " + etag + "\r\n", ""));
          return;
        }
        const std::string validators =
            m_validators ? "ETag: " + etag + "\r\nLast-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n"
                         : "";
        c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n" + validators, body));
      });
    }
  }
  void Set(const std::string& target, const std::string& body) {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto& page = m_pages[target];
    page.first = body;
    ++page.second;
  }
  int Conditional() const { return m_conditional; }

  HttpTestServer Server;

 private:
  bool m_validators;
  std::mutex m_mutex;
  std::map<std::string, std::pair<std::string, int>> m_pages;
  std::atomic<int> m_conditional{0};
};

class UpdateCommand : public ::testing::Test {
 protected:
  // A first crawl to level 1 (deep.html refused by the level), saved.
  void CrawlFirst(ChangingSite& site) {
    const CliRun run = RunCli({"crawl", site.Server.Url("/index.html"), "--level", "1", "-o",
                               Project(), "--dispatch-interval", "0"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    site.Server.ClearRequests();
  }
  // The site's second version: b changed and links the new page, gone removed.
  static void Change(ChangingSite& site) {
    site.Set("/b.html", "<p>b two</p><a href=\"new.html\">new</a>");
    site.Set("/gone.html", "");
  }
  std::string Project() const { return (m_dir.Path() / "site.web").string(); }
  std::string Show(const ChangingSite& site, const std::string& target) const {
    return RunCli({"show", Project(), site.Server.Url(target)}).Out;
  }
  static void ExpectEachOnce(const CliRun& run) {
    std::map<std::string, int> seen;
    for (const auto& url : Field(run, "Ready", 1)) EXPECT_EQ(++seen[url], 1) << url << run.Out;
  }
  test::TTempDir m_dir;
};

TEST_F(UpdateCommand, KeepsUnchangedStoresChangedFetchesNewAndKeepsGone) {
  ChangingSite site;
  ASSERT_NO_FATAL_FAILURE(CrawlFirst(site));
  Change(site);

  const CliRun run = RunCli({"update", Project(), "--level", "2", "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Err.find("Updated: 2 unchanged, 1 changed, 2 new, 1 gone"), std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find("Gone: " + site.Server.Url("/gone.html")), std::string::npos);
  EXPECT_EQ(site.Conditional(), 4) << "every stored page asked about by its validators";

  // What the saved project holds afterwards.
  const CliRun list = RunCli({"list", Project()});
  ExpectEachOnce(list);
  EXPECT_EQ(Field(list, "Ready", 1).size(), 6u) << list.Out;
  EXPECT_TRUE(Field(list, "Failed", 1).empty()) << list.Out;
  for (const auto& line : list.Lines()) {
    if (line.find("/gone.html\t") == std::string::npos) continue;
    EXPECT_NE(line.find("\tGone from the server; the stored copy is kept (since "), line.npos);
  }
  const std::pair<const char*, const char*> stored[] = {
      {"/a.html", "<p>a</p>"},  // the 304 kept the stored bytes
      {"/b.html", "<p>b two</p>"},   {"/gone.html", "<p>going</p>"},
      {"/deep.html", "<p>deep</p>"},  // the raised level fetched it
      {"/new.html", "<p>new</p>"},
  };
  for (const auto& [target, body] : stored)
    EXPECT_NE(Show(site, target).find(body), std::string::npos) << target;

  // Nothing changed since: all unchanged, the gone page still gone, no row twice.
  site.Server.ClearRequests();
  const CliRun again = RunCli({"update", Project(), "--dispatch-interval", "0"});
  EXPECT_NE(again.Err.find("Updated: 5 unchanged, 0 changed, 0 new, 1 gone"), std::string::npos)
      << again.Err;
  ExpectEachOnce(again);
}

TEST_F(UpdateCommand, ModificationCheckChoosesWhatIsFetchedAgain) {
  ChangingSite site;
  ASSERT_NO_FATAL_FAILURE(CrawlFirst(site));
  Change(site);

  // Only pages not stored yet: the one the old level refused.
  CliRun run = RunCli({"update", Project(), "--level", "2", "--modification-check", "not-existing",
                       "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  ASSERT_EQ(site.Server.Requests().size(), 1u);
  EXPECT_EQ(site.Server.Requests()[0].Target, "/deep.html");
  EXPECT_NE(run.Err.find("Updated: 0 unchanged, 0 changed, 1 new, 0 gone"), std::string::npos)
      << run.Err;

  // Everything whole, unconditionally.
  site.Server.ClearRequests();
  run = RunCli({"update", Project(), "--modification-check", "all", "--dispatch-interval", "0"});
  EXPECT_EQ(site.Conditional(), 0);
  EXPECT_NE(run.Err.find("Updated: 0 unchanged, 4 changed, 1 new, 1 gone"), std::string::npos)
      << run.Err;
  ExpectEachOnce(run);

  // Download on the finished project fetches its starting page again in place.
  run = RunCli({"resume", Project(), "--dispatch-interval", "0"});
  ExpectEachOnce(run);
}

TEST_F(UpdateCommand, ProjectWithoutValidatorsUpdatesByFullFetches) {
  ChangingSite site(false);
  ASSERT_NO_FATAL_FAILURE(CrawlFirst(site));
  const CliRun run = RunCli({"update", Project(), "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(site.Conditional(), 0);
  EXPECT_EQ(site.Server.Requests().size(), 4u);
  EXPECT_NE(run.Err.find("Updated: 0 unchanged, 4 changed, 0 new, 0 gone"), std::string::npos)
      << run.Err;
  ExpectEachOnce(run);
}

}  // namespace
}  // namespace tq
