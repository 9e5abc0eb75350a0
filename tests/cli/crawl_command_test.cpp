// The crawl command end to end: the sample site served on loopback, the CLI as a real process.
#include "cli/cli_run.h"

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
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const std::string index = Url("/index.html");
  EXPECT_TRUE(run.Has("Ready\t" + index + "\t0\t" + index + "\t" +
                      std::to_string(fs::file_size(SampleSite() / "index.html"))))
      << run.Out;
  EXPECT_TRUE(run.Has("Emails\tshop@example.org\t1\t" + index)) << run.Out;
  EXPECT_NE(run.Out.find("Ready\t" + Url("/styles/site.css") + "\t1\t"), std::string::npos);
  EXPECT_NE(run.Out.find("Failed\t" + Url("/products/missing.html") + "\t2\t"),
            std::string::npos);
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

TEST(CrawlCommandInterrupt, CtrlCStopsCleanlyAndStillPrints) {
  StallingSite site;
  const std::string index = site.Server.Url("/index.html");
  const CliRun run =
      InterruptedRun(site, {"crawl", index, "--threads", "1", "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_TRUE(run.Has("Ready\t" + index + "\t0\t" + index + "\t" +
                      std::to_string(site.Page().size())));
  // The interrupted link went back to the end of the Queue, behind the four never started.
  const auto queued = Field(run, "Queue", 1);
  ASSERT_EQ(queued.size(), 5u) << run.Out;
  EXPECT_EQ(queued.back(), site.Server.Url("/slow0.html"));
}

}  // namespace
}  // namespace tq
