// The search and find commands over a crawled project whose pages come in three charsets.
#include "cli/cli_run.h"
#include "support/encode_as.h"

namespace tq {
namespace {

TEST(SearchCommand, SearchesPagesAndFindsLinksOfACrawledProject) {
  const fs::path dir = fs::temp_directory_path() / ("tq-search-" + std::to_string(::getpid()));
  fs::create_directories(dir);
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
  serve("/logo.gif", "image/gif", "GIF89a Köln");  // not a page: never searched
  const std::string site = server.Url("/");
  const std::string web = (dir / "site.web").string();
  const CliRun crawl = RunCli({"crawl", site + "index.html", "-o", web});
  ASSERT_EQ(crawl.ExitCode, 0) << crawl.Err;

  const struct {
    std::string Keyword, Out;
  } searches[] = {
      {"KÖLN", "Start – Übersicht\tKöln\t" + site + "index.html\n"},
      {"НОВОСТИ", "no title\tновости дня\t" + site + "ru.html\n"},
      {"天気", "天気予報\t天気予報\t" + site + "jp.html\n"},
      {"offline here", "Start – Übersicht\toffline here\t" + site + "index.html\n"},  // the tab
  };
  for (const auto& s : searches) {
    const CliRun run = RunCli({"search", web, s.Keyword});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Out, s.Out) << s.Keyword;
    EXPECT_EQ(run.Err, "1 pages found\n") << s.Keyword;
  }

  const CliRun any = RunCli({"find", web, "pdf"});
  EXPECT_EQ(any.ExitCode, 0) << any.Err;
  EXPECT_EQ(any.Out, site + "doc.PDF\tIgnored\t1\t" + site + "index.html\n");
  EXPECT_EQ(any.Err, "1 records found\n");
  const CliRun exact = RunCli({"find", web, "pdf", "--case-sensitive"});
  EXPECT_EQ(exact.Out, "");
  EXPECT_EQ(exact.Err, "0 records found\n");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tq
