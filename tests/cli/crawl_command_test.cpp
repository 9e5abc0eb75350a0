// The crawl command end to end: the sample site served on loopback, the CLI as a real process.
#include <unistd.h>

#include "cli/cli_run.h"
#include "engine/crawl_settings.h"
#include "foundation/ini_file.h"
#include "support/loopback_peer.h"
#include "support/temp_env.h"

namespace tq {
namespace {

class CrawlCommand : public ::testing::Test {
 protected:
  void SetUp() override { ServeFolder(m_server, SampleSite()); }
  std::string Url(const std::string& target) const { return m_server.Url(target); }
  HttpTestServer m_server;
};

TEST_F(CrawlCommand, PrintsEveryListOfTheSampleSite) {
  const CliRun run = RunCli({"crawl", Url("/index.html"), "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 8) << "a missing page is linked: " << run.Err;
  const std::string index = Url("/index.html");
  EXPECT_TRUE(run.Has("Ready\t" + index + "\t0\t" + index + "\t" +
                      std::to_string(fs::file_size(SampleSite() / "index.html"))))
      << run.Out;
  EXPECT_TRUE(run.Has("Emails\tshop@example.org\t1\t" + index)) << run.Out;
  EXPECT_NE(run.Out.find("Ready\t" + Url("/styles/site.css") + "\t1\t"), std::string::npos);
  EXPECT_NE(run.Out.find("Failed\t" + Url("/products/missing.html") + "\t2\t"), std::string::npos);
  EXPECT_NE(run.Out.find("Ignored\t" + Url("/deep/level6.html") + "\t6\t"), std::string::npos)
      << "deeper than the level limit";
  EXPECT_EQ(run.Out.find("Queue\t"), std::string::npos) << "a finished crawl queues nothing";

  // Lists come in a fixed order, whole.
  std::string order;
  for (const auto& line : run.Lines()) {
    const char first = line.empty() ? '?' : line[0];
    if (order.empty() || order.back() != first) order += first;
  }
  EXPECT_EQ(order, "RFIE");
}

TEST_F(CrawlCommand, ListOptionPrintsOneList) {
  const CliRun run =
      RunCli({"crawl", Url("/about/index.html"), "--list", "emails", "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  ASSERT_FALSE(run.Lines().empty());
  for (const auto& line : run.Lines()) EXPECT_EQ(line.rfind("Emails\t", 0), 0u) << line;
  EXPECT_TRUE(run.Has("Emails\tcat@example.org\t2\t" + Url("/about/team.html")));
}

TEST(CrawlCommandArguments, BadArgumentsGiveAMessageAndExitCode2) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"crawl"},
      {"crawl", "http://127.0.0.1:1/", "--threads", "0"},
      {"crawl", "http://127.0.0.1:1/", "--agent", "12"},
      {"crawl", "http://127.0.0.1:1/", "--list", "working"},
      {"crawl", "http://127.0.0.1:1/", "--socks5", "no-port"},
      {"crawl", "http://127.0.0.1:1/", "--socks4", "h:1", "--socks5", "h:2"},
      {"crawl", "http://127.0.0.1:1/", "--no-such-option"},
  };
  for (const auto& args : bad) {
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.ExitCode, 2) << ::testing::PrintToString(args);
    EXPECT_FALSE(run.Err.empty()) << ::testing::PrintToString(args);
    EXPECT_TRUE(run.Out.empty()) << ::testing::PrintToString(args);
  }
}

// Scripts tell from the status whether the copy is whole, partial or empty; with standard error
// redirected nothing draws a progress line there.
TEST(CrawlCommandStatus, TellsWhetherEverythingSomeOrNothingWasFetched) {
  HttpTestServer server;
  const std::string page = "<a href=\"/a.html\">a</a>";
  server.Route("/whole.html", [&](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", page));
  });
  server.Route("/a.html", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", "<p>a</p>"));
  });
  server.Route("/partial.html", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n",
                                  "<a href=\"/gone.html\">g</a>"));
  });
  test::TTempDir dir;
  const std::pair<std::string, int> cases[] = {
      {server.Url("/whole.html"), 0},
      {server.Url("/partial.html"), 8},
      {server.Url("/gone.html"), 4},
      {"http://127.0.0.1:1/", 4},  // a closed port
  };
  for (const auto& [url, status] : cases) {
    const std::string project = dir / "p.web";
    const CliRun run =
        RunCli({"crawl", url, "-o", project, "--retries", "0", "--dispatch-interval", "0"});
    EXPECT_EQ(run.ExitCode, status) << url << "\n" << run.Err;
    EXPECT_EQ(run.Err.find_first_of("\r\x1b"), std::string::npos) << url;
    // A resume says the same of the saved project.
    EXPECT_EQ(RunCli({"resume", project}).ExitCode, status) << url;
  }
}

// What a server sends reaches the terminal only as visible escapes: a status line that would set
// the window title and clear the screen, an address that would change the colour.
TEST(CrawlCommandHostile, ServerTextIsPrintedAsVisibleEscapes) {
  HttpTestServer server;
  server.Route("/index.html", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n",
                                  "<a href=\"red\x1b[31m.html\">r</a><a href=gone.html>g</a>"));
  });
  server.Route("/gone.html", [](const TestRequest&, TestConnection& c) {
    c.Send(
        "HTTP/1.1 404 \x1b]0;owned\x07\x1b[2J\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  });
  const CliRun run =
      RunCli({"crawl", server.Url("/index.html"), "--dispatch-interval", "0", "--retries", "0"});
  ASSERT_EQ(run.ExitCode, 8) << run.Err;
  for (const char c : run.Out) EXPECT_TRUE(c >= 0x20 || c < 0 || c == '\t' || c == '\n') << +c;
  EXPECT_NE(run.Out.find("\tHTTP/1.1 404 \\x1B]0;owned\\x07\\x1B[2J\n"), std::string::npos);
  EXPECT_NE(run.Out.find(server.Url("/red\\x1B[31m.html")), std::string::npos) << run.Out;
}

// --user is the login of the starting address's server: sent there with the first request,
// never to another server the rules admit, never to a proxy as its user id.
TEST(CrawlCommandLogin, TheLoginGoesToTheStartingServerAlone) {
  HttpTestServer start, other;
  start.Route("/index.html", [&](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n",
                                  "<a href=\"" + other.Url("/page.html") + "\">o</a>"));
  });
  const fs::path etpl = fs::temp_directory_path() / ("tq-" + std::to_string(::getpid()) + ".etpl");
  {
    // A template that lets the crawl onto other servers.
    TVornCrawlSettings settings;
    ApplyNewProjectSettings(settings);
    settings.FilterTextFiles.FileLocation = fflAySite;
    settings.DirectoryRules.DirectoryRules = edrAll;
    TVornIniFile ini(etpl.string());
    settings.SaveToIni(ini, true);
  }
  const std::vector<std::string> crawl = {
      "crawl", start.Url("/index.html"), "--template", etpl.string(), "--retries", "0", "--user",
      "alice"};
  test::SocksResponder proxy;
  const std::string socks = "127.0.0.1:" + std::to_string(proxy.Port());
  using TArgs = std::vector<std::string>;
  const std::pair<TArgs, TArgs> ways[] = {
      {{"--password", "secret"}, {}},
      {{}, {"TARNQUILL_PASSWORD=secret"}},
      {{"--password", "secret", "--socks4", socks}, {}},
  };
  for (const auto& [more, environment] : ways) {
    TArgs args = crawl;
    args.insert(args.end(), more.begin(), more.end());
    const int status = RunCli(args, environment).ExitCode;
    ASSERT_TRUE(status == 0 || status == 8) << status;  // the crawl ran to its end
  }
  const auto requests = start.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& r : requests) EXPECT_EQ(r.Header("authorization"), "Basic YWxpY2U6c2VjcmV0");
  ASSERT_EQ(other.Requests().size(), 2u) << "the rules admit the other server";
  for (const auto& r : other.Requests()) EXPECT_EQ(r.Header("authorization"), "");
  EXPECT_EQ(proxy.UserIds(), std::vector<std::string>{""});
  fs::remove(etpl);
}

TEST(CrawlCommandInterrupt, CtrlCStopsCleanlyAndStillPrints) {
  StallingSite site;
  const std::string index = site.Server.Url("/index.html");
  const CliRun run =
      InterruptedRun(site, {"crawl", index, "--threads", "1", "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 130) << run.Err;
  EXPECT_TRUE(
      run.Has("Ready\t" + index + "\t0\t" + index + "\t" + std::to_string(site.Page().size())));
  // The interrupted link went back to the end of the Queue, behind the four never started.
  const auto queued = Field(run, "Queue", 1);
  ASSERT_EQ(queued.size(), 5u) << run.Out;
  EXPECT_EQ(queued.back(), site.Server.Url("/slow0.html"));
}

}  // namespace
}  // namespace tq
