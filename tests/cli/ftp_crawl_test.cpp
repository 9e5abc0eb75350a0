// Crawling from an ftp: starting address on the command line: the FTP proxy and passive mode
// options, the login for the starting server, and a file stored as fetched without its links
// followed.
#include <algorithm>

#include "cli/cli_run.h"
#include "support/loopback_peer.h"
#include "support/temp_env.h"

namespace tq {
namespace {

using test::FtpTestServer;

TEST(FtpCrawlCommand, TheFileComesThroughTheFtpProxyAndIsNotAnalysed) {
  if (!FtpTestServer::Available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
  if (!test::ProgramExists("microsocks")) GTEST_SKIP() << "microsocks is not installed";
  FtpTestServer server;
  ASSERT_TRUE(server.Running());
  const std::string page = "<html><a href=\"other.html\">other</a></html>";
  server.Put("pub/index.html", page);
  server.Put("pub/other.html", "<html></html>");
  const int port = test::RefusedPort();
  test::ChildProcess proxy({"microsocks", "-i", "127.0.0.1", "-p", std::to_string(port)});
  ASSERT_TRUE(proxy.Running());
  ASSERT_TRUE(test::WaitForListening(port));
  const std::string url = server.Url("pub/index.html");
  test::TTempDir dir;

  // A proxy that is not there fails the start, so the option reached the transfer.
  const CliRun refused =
      RunCli({"crawl", url, "--ftp-socks5", "127.0.0.1:" + std::to_string(test::RefusedPort()),
              "--dispatch-interval", "0"});
  ASSERT_EQ(refused.ExitCode, 4) << refused.Err;
  EXPECT_EQ(refused.Lines().size(), 1u) << refused.Out;
  EXPECT_EQ(refused.Out.rfind("Failed\t" + url + "\t0\t", 0), 0u) << refused.Out;

  const std::string web = dir / "ftp.web";
  const CliRun run =
      RunCli({"crawl", url, "-o", web, "--ftp-socks5", "127.0.0.1:" + std::to_string(port),
              "--ftp-passive", "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Lines(), std::vector<std::string>{"Ready\t" + url + "\t0\t" + url + "\t" +
                                                  std::to_string(page.size())});
  EXPECT_EQ(RunCli({"show", web, url}).Out, page);
  const auto commands = server.Commands();
  EXPECT_TRUE(std::none_of(commands.begin(), commands.end(), [](const std::string& c) {
    return c.rfind("PORT", 0) == 0 || c.rfind("EPRT", 0) == 0;
  })) << "passive mode opens no data port here";

  // --user is the starting server's login for an ftp: address too, at the first attempt.
  FtpTestServer privateServer({"alice", "s3cret"});
  ASSERT_TRUE(privateServer.Running());
  privateServer.Put("a.txt", "for alice");
  const std::string privateUrl = privateServer.Url("a.txt");
  const CliRun login =
      RunCli({"crawl", privateUrl, "--user", "alice", "--retries", "0", "--dispatch-interval", "0"},
             {"TARNQUILL_PASSWORD=s3cret"});
  ASSERT_EQ(login.ExitCode, 0) << login.Err;
  EXPECT_EQ(login.Lines(),
            std::vector<std::string>{"Ready\t" + privateUrl + "\t0\t" + privateUrl + "\t9"});
  EXPECT_EQ(privateServer.Commands().front(), "USER alice");
}

TEST(FtpCrawlCommand, AMalformedFtpProxyIsABadArgument) {
  const CliRun run = RunCli({"crawl", "ftp://127.0.0.1:1/", "--ftp-socks4", "no-port"});
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_FALSE(run.Err.empty());
}

}  // namespace
}  // namespace tq
