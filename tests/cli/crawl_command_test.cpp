// The crawl command end to end: the sample site served on loopback, the CLI as a real process.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QProcess>
#include <QStringList>

#include "foundation/main_loop.h"
#include "support/http_test_server.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::HttpTestServer;
using test::TestConnection;
using test::TestRequest;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string TypeOf(const fs::path& path) {
  const std::string ext = path.extension().string();
  if (ext == ".html") return "text/html";
  if (ext == ".css") return "text/css";
  if (ext == ".png") return "image/png";
  if (ext == ".gif") return "image/gif";
  return "application/octet-stream";
}

// Serves every file of the folder at its path, and a folder's index.html at "folder/".
void ServeFolder(HttpTestServer& server, const fs::path& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string target = "/" + fs::relative(entry.path(), root).generic_string();
    const std::string answer = HttpTestServer::Answer(
        "200 OK", "Content-Type: " + TypeOf(entry.path()) + "\r\n", ReadFile(entry.path()));
    auto route = [answer](const TestRequest&, TestConnection& c) { c.Send(answer); };
    server.Route(target, route);
    if (entry.path().filename() == "index.html") {
      server.Route(target.substr(0, target.size() - std::string("index.html").size()), route);
    }
  }
}

struct CliRun {
  int ExitCode = -1;
  std::string Out, Err;
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  bool Has(const std::string& line) const {
    for (const auto& l : Lines()) {
      if (l == line) return true;
    }
    return false;
  }
};

QStringList Args(const std::vector<std::string>& args) {
  QStringList list;
  for (const auto& a : args) list << QString::fromStdString(a);
  return list;
}

CliRun Finish(QProcess& process) {
  EXPECT_TRUE(process.waitForFinished(120000));
  CliRun run;
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Out = process.readAllStandardOutput().toStdString();
  run.Err = process.readAllStandardError().toStdString();
  return run;
}

CliRun RunCli(const std::vector<std::string>& args) {
  QProcess process;
  process.start(QString::fromUtf8(std::getenv("TQ_CLI")), Args(args));
  return Finish(process);
}

class CrawlCommand : public ::testing::Test {
 protected:
  void SetUp() override { ServeFolder(m_server, fs::path(TQ_SOURCE_DIR) / "samples" / "site"); }
  std::string Url(const std::string& target) const { return m_server.Url(target); }
  HttpTestServer m_server;
};

TEST_F(CrawlCommand, PrintsEveryListOfTheSampleSite) {
  const CliRun run = RunCli({"crawl", Url("/index.html"), "--dispatch-interval", "0"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const std::string index = Url("/index.html");
  EXPECT_TRUE(run.Has("Ready\t" + index + "\t0\t" + index + "\t" +
                      std::to_string(fs::file_size(fs::path(TQ_SOURCE_DIR) /
                                                   "samples/site/index.html"))))
      << run.Out;
  EXPECT_TRUE(run.Has("Emails\tshop@example.org\t1\t" + index)) << run.Out;
  EXPECT_NE(run.Out.find("Ready\t" + Url("/styles/site.css") + "\t1\t"), std::string::npos);
  EXPECT_NE(run.Out.find("Ready\t" + Url("/images/background.png") + "\t2\t"), std::string::npos)
      << "an image named by the style sheet";
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
  EXPECT_TRUE(run.Has("Emails\tcat@example.org\t1\t" + Url("/about/team.html")));
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
  HttpTestServer server;
  std::string page = "<html><body>";
  for (int i = 0; i < 5; ++i) page += "<a href=\"/slow" + std::to_string(i) + ".html\">x</a>";
  page += "</body></html>";
  server.Route("/index.html", [&](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", page));
  });
  for (int i = 0; i < 5; ++i) {
    server.Route("/slow" + std::to_string(i) + ".html", [](const TestRequest&, TestConnection& c) {
      c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100\r\n\r\n<html>");
      c.WaitForPeerClose();
    });
  }
  QProcess process;
  process.start(QString::fromUtf8(std::getenv("TQ_CLI")),
                Args({"crawl", server.Url("/index.html"), "--threads", "1",
                      "--dispatch-interval", "0"}));
  ASSERT_TRUE(process.waitForStarted());
  const auto stalled = [&] {
    for (const auto& r : server.Requests()) {
      if (r.Target == "/slow0.html") return true;
    }
    return false;
  };
  ASSERT_TRUE(RunUntil(stalled, Millis(60000)));
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  const CliRun run = Finish(process);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_TRUE(run.Has("Ready\t" + server.Url("/index.html") + "\t0\t" +
                      server.Url("/index.html") + "\t" + std::to_string(page.size())));
  // The interrupted link went back to the end of the Queue, behind the four never started.
  std::vector<std::string> queued;
  for (const auto& line : run.Lines()) {
    if (line.rfind("Queue\t", 0) == 0) queued.push_back(line.substr(6, line.find('\t', 6) - 6));
  }
  ASSERT_EQ(queued.size(), 5u) << run.Out;
  EXPECT_EQ(queued.back(), server.Url("/slow0.html"));
}

}  // namespace
}  // namespace tq
