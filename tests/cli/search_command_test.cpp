// The search and find commands over a crawled project whose pages come in three charsets.
#include "cli/cli_run.h"
#include "support/encode_as.h"

namespace tq {
namespace {

class SearchCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = fs::temp_directory_path() / ("tq-search-" + std::to_string(::getpid()));
    fs::create_directories(s_dir);
    HttpTestServer server;
    auto serve = [&server](const std::string& target, const std::string& type,
                           const std::string& body) {
      const std::string answer =
          HttpTestServer::Answer("200 OK", "Content-Type: " + type + "\r\n", body);
      server.Route(target, [answer](const TestRequest&, TestConnection& c) { c.Send(answer); });
    };
    serve("/index.html", "text/html",
          "<html><head><meta charset=\"utf-8\"><title>Start – Übersicht</title></head><body>"
          "<p>Grüße aus Köln</p><p>offline\there</p><a href=\"ru.html\">ru</a>"
          "<a href=\"jp.html\">jp</a><a href=\"doc.PDF\">doc</a><img src=\"logo.gif\">");
    serve("/ru.html", "text/html",
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"><p>" +
              test::EncodeAs("Свежие новости дня", "windows-1251"));
    serve("/jp.html", "text/html; charset=Shift_JIS",
          "<title>" + test::EncodeAs("天気予報", "Shift_JIS") + "</title><p>" +
              test::EncodeAs("東京の天気は晴れ", "Shift_JIS"));
    serve("/logo.gif", "image/gif", "GIF89a Köln");
    s_site = server.Url("/");
    s_web = (s_dir / "site.web").string();
    const CliRun crawl = RunCli({"crawl", s_site + "index.html", "-o", s_web});
    ASSERT_EQ(crawl.ExitCode, 0) << crawl.Err;
  }
  static void TearDownTestSuite() { fs::remove_all(s_dir); }

  static inline fs::path s_dir;
  static inline std::string s_site, s_web;
};

TEST_F(SearchCommand, PrintsTitleFoundTextAndAddressPerPage) {
  const struct {
    std::string Keyword, Out;
  } cases[] = {
      {"KÖLN", "Start – Übersicht\tKöln\t" + s_site + "index.html\n"},
      {"НОВОСТИ", "no title\tновости дня\t" + s_site + "ru.html\n"},
      {"天気", "天気予報\t天気予報\t" + s_site + "jp.html\n"},
      {"offline", "Start – Übersicht\toffline\\x09here\t" + s_site + "index.html\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = RunCli({"search", s_web, c.Keyword});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Out, c.Out) << c.Keyword;
    EXPECT_EQ(run.Err, "1 pages found\n") << c.Keyword;
  }
  EXPECT_EQ(RunCli({"search", s_web, "zebra"}).Err, "0 pages found\n");
  EXPECT_EQ(RunCli({"search", (s_dir / "none.web").string(), "x"}).ExitCode, 1);
}

TEST_F(SearchCommand, FindPrintsMatchingLinksWithTheirList) {
  const CliRun any = RunCli({"find", s_web, "pdf"});
  EXPECT_EQ(any.ExitCode, 0) << any.Err;
  EXPECT_EQ(any.Out, s_site + "doc.PDF\tIgnored\t1\t" + s_site + "index.html\n");
  EXPECT_EQ(any.Err, "1 records found\n");
  const CliRun exact = RunCli({"find", s_web, "pdf", "--case-sensitive"});
  EXPECT_EQ(exact.Out, "");
  EXPECT_EQ(exact.Err, "0 records found\n");
}

}  // namespace
}  // namespace tq
