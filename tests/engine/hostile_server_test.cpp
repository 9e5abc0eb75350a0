// Crawls of servers that misbehave on purpose: bodies without end or length, status lines and
// redirect targets holding line breaks and control bytes, redirects out of the web.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "engine/crawl_fixture.h"
#include "formats/stored_document.h"

namespace tq::test {
namespace {

// Chunks of 4 KiB until the client goes away; sent counts the body bytes written.
TestRoute EndlessChunkedBody(std::shared_ptr<std::atomic<size_t>> sent,
                             std::shared_ptr<std::atomic<bool>> gone) {
  return [sent, gone](const TestRequest&, TestConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
           "Transfer-Encoding: chunked\r\n\r\n");
    const std::string chunk = "1000\r\n" + std::string(4096, 'z') + "\r\n";
    while (c.Send(chunk)) *sent += 4096;
    *gone = true;
  };
}

TestRoute Raw(const std::string& bytes) {
  return [bytes](const TestRequest&, TestConnection& c) { c.Send(bytes); };
}

class HostileServerTest : public ::testing::Test {
 protected:
  struct Crawl {
    TVornOptions options;
    RecordingDocument doc;
    TVornDownload dl;
  };

  // A new project crawling from target, with .bin files fetched up to 20 KiB; runs to its end.
  std::unique_ptr<Crawl> Run(const std::string& target) {
    auto c = std::make_unique<Crawl>();
    ApplyNewProjectSettings(c->dl.Settings());
    c->dl.System().RetriesOnFailed = 0;
    TVornFileFilters& archives = c->dl.FilterArchiveFiles();
    archives.Download = true;
    archives.FileExtensions.Add().Value = "bin";
    archives.FileSizeUsage = ffsSelected;
    archives.FileMaxSize = {20, true};
    c->dl.SetVornOptions(&c->options);
    c->dl.SetVornDocument(&c->doc);
    c->dl.General().BaseUrl = m_site.Url(target);
    c->dl.StartDownload();
    EXPECT_TRUE(RunUntil([&] { return c->dl.State() == edsReady; }, Millis(20000))) << target;
    return c;
  }

  HttpTestServer m_site;
};

TEST_F(HostileServerTest, MisbehavingAnswersEndInTheirListsAndNothingElseIsFetched) {
  auto sent = std::make_shared<std::atomic<size_t>>(0);
  auto gone = std::make_shared<std::atomic<bool>>(false);
  m_site.Route("/endless.bin", EndlessChunkedBody(sent, gone));
  m_site.Route("/unsized.bin", Raw("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" +
                                   std::string(64 << 10, 'u')));
  m_site.Route("/crlf.html", Raw("HTTP/1.1 302 Found\r\nLocation: /next\x1b[31m.html\r"
                                 "<http://evil.test/>\r\nContent-Length: 0\r\n\r\n"));
  m_site.Route("/escapes.html", Raw("HTTP/1.1 404 \x1b]0;owned\x07\x1b[2J\r\n"
                                    "Content-Length: 0\r\nConnection: close\r\n\r\n"));
  for (const char* scheme : {"file", "ftp", "javascript"}) {
    const std::string location = std::string(scheme) == "file"  ? "file:///etc/passwd"
                                 : std::string(scheme) == "ftp" ? "ftp://127.0.0.1:1/x.html"
                                                                : "javascript:alert(1)";
    m_site.Route(std::string("/to-") + scheme + ".html",
                 Raw("HTTP/1.1 301 Moved\r\nLocation: " + location +
                     "\r\nContent-Length: 0\r\n\r\n"));
  }
  const auto fetchedOnly = [this](const std::string& target) {
    for (const auto& r : m_site.Requests()) EXPECT_EQ(r.Target, target) << "nothing else fetched";
  };

  struct Row {
    const char* target;
    std::function<void(Crawl&, const std::string& url)> check;
  };
  const Row rows[] = {
      {"/endless.bin",
       [&](Crawl& c, const std::string& url) {
         EXPECT_EQ(Urls(c.dl.IgnoredLinks()), std::vector<std::string>{url});
         EXPECT_EQ(c.dl.IgnoredLinks().Get(0)->Reason, kReasonSize);
         EXPECT_EQ(c.doc.Entries().at(url).at("CONTENT").rfind("<HTML><TITLE>Page Ignored", 0),
                   0u);
         // The client hung up once past the bound (what the server got rid of before it noticed
         // went into the sockets' buffers, not into the crawl's memory).
         ASSERT_TRUE(RunUntil([&] { return gone->load(); }));
         EXPECT_LT(sent->load(), size_t{32} << 20);
       }},
      {"/unsized.bin",
       [&](Crawl& c, const std::string& url) {
         EXPECT_EQ(Urls(c.dl.IgnoredLinks()), std::vector<std::string>{url});
         EXPECT_EQ(c.dl.IgnoredLinks().Get(0)->Reason, kReasonSize);
       }},
      {"/crlf.html",
       [&](Crawl& c, const std::string& url) {
         // The target lost its line break: one link in the stored header, one line per address;
         // the new link is refused by the rules (its file type), like such an href would be.
         const std::string target = m_site.Url("/next\x1b[31m.html<http://evil.test/>");
         const TStoredDocument stored = ParseStoredDocument(c.doc.Entries().at(url).at("CONTENT"));
         EXPECT_EQ(stored.Links, std::vector<std::string>{
                                     m_site.Url("/next\x1b[31m.html%3Chttp://evil.test/%3E")});
         EXPECT_EQ(Urls(c.dl.ReadyLinks()), std::vector<std::string>{url});
         EXPECT_EQ(Urls(c.dl.IgnoredLinks()), std::vector<std::string>{target});
         fetchedOnly("/crlf.html");
       }},
      {"/escapes.html",
       [&](Crawl& c, const std::string& url) {
         EXPECT_EQ(Urls(c.dl.FailedLinks()), std::vector<std::string>{url});
         EXPECT_EQ(c.dl.FailedLinks().Get(0)->ErrorText, "HTTP/1.1 404 \x1b]0;owned\x07\x1b[2J");
       }},
      {"/to-file.html",
       [&](Crawl& c, const std::string& url) {
         EXPECT_EQ(Urls(c.dl.ReadyLinks()), std::vector<std::string>{url});
         EXPECT_EQ(c.dl.IgnoredLinks().Count() + c.dl.FailedLinks().Count(), 0);
         fetchedOnly("/to-file.html");
       }},
      {"/to-ftp.html",
       [&](Crawl& c, const std::string& url) {
         // The starting page moved there, so the rules admit it; no server answers on port 1.
         EXPECT_EQ(Urls(c.dl.ReadyLinks()), std::vector<std::string>{url});
         EXPECT_EQ(Urls(c.dl.FailedLinks()), std::vector<std::string>{"ftp://127.0.0.1:1/x.html"});
         fetchedOnly("/to-ftp.html");
       }},
      {"/to-javascript.html",
       [&](Crawl& c, const std::string& url) {
         EXPECT_EQ(Urls(c.dl.ReadyLinks()), std::vector<std::string>{url});
         EXPECT_EQ(c.dl.IgnoredLinks().Count() + c.dl.FailedLinks().Count(), 0);
         fetchedOnly("/to-javascript.html");
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.target);
    m_site.ClearRequests();
    std::unique_ptr<Crawl> c = Run(row.target);
    row.check(*c, m_site.Url(row.target));
    EXPECT_EQ(c->dl.PendingLinks().Count() + c->dl.QueueLinks().Count(), 0);
  }
}

}  // namespace
}  // namespace tq::test
