// Whole crawls against a loopback site: what ends in which list, what the project document is
// told, how many workers run at once, stopping, and the starting address.
#include "engine/download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "engine/http_connection.h"
#include "formats/stored_document.h"
#include "foundation/errors.h"
#include "foundation/mem_ini_file.h"
#include "support/http_test_server.h"

namespace tq::test {
namespace {

using TEntries = std::map<std::string, std::map<std::string, std::string>>;

// The document as a map of entries, the way the content index keeps them.
class RecordingDocument : public IDownloadDocument {
 public:
  bool Loading = false;
  TLoadLinkHook LoadLink;
  TSettingsHook SaveSettings;

  bool IsLoadingFile() const override { return Loading; }
  void RemoveDocument(std::string_view url) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries.erase(std::string(url));
  }
  void SetDocumentStatus(std::string_view url, int status) override {
    SetDocumentValue(url, "STATUS", std::to_string(status));
  }
  void SetDocumentValue(std::string_view url, std::string_view key,
                        std::string_view value) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries[std::string(url)][std::string(key)] = value;
  }
  void SetDocumentContent(std::string_view url, std::string_view content) override {
    if (FailContent) throw EVornError("disk full");
    SetDocumentValue(url, "CONTENT", content);
  }
  bool FailContent = false;
  void SetDownloadHooks(TLoadLinkHook onLoadLink, TSettingsHook,
                        TSettingsHook onSaveSettings) override {
    LoadLink = std::move(onLoadLink);
    SaveSettings = std::move(onSaveSettings);
  }
  TEntries Entries() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_entries;
  }

 private:
  std::mutex m_mutex;
  TEntries m_entries;
};

std::vector<std::string> Urls(TVornBaseLinks& list) {
  std::vector<std::string> urls;
  for (int i = 0; i < list.Count(); ++i) {
    const TVornLinkPtr link = list.Get(i);
    urls.push_back(link->LinkKind() == lkMail ? link->GetMailAddress() : link->GetUrl());
  }
  return urls;
}

// The Ready list in the order pages ended, with the pages from `from` on (which end in parallel)
// sorted.
std::vector<std::string> ReadyEndingTogether(TVornBaseLinks& list, size_t from, size_t count) {
  std::vector<std::string> urls = Urls(list);
  if (urls.size() >= from + count) std::sort(urls.begin() + from, urls.begin() + from + count);
  return urls;
}

TVornLinkPtr MakeLink(const std::string& page, const std::string& text) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage(page);
  link->SetText(text);
  return link;
}

TestRoute Html(const std::string& body) {
  return [body](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", body));
  };
}

class DownloadTest : public ::testing::Test {
 protected:
  DownloadTest() {
    ApplyNewProjectSettings(m_dl.Settings());
    m_dl.System().RetriesOnFailed = 0;
    m_dl.SetVornOptions(&m_options);
    m_dl.SetVornDocument(&m_doc);
    m_options.InternetDisconnect.OnDisconnect = [this](bool after) { m_ends.push_back(after); };
    m_options.InternetDisconnect.OnExitProgram = [this](bool after) { m_ends.push_back(!after); };
    m_dl.OnStateChange() = [this](void*, TVornState state) { m_states.push_back(state); };
    m_dl.OnStartThread() = [this](const TVornPagePtr&) { m_most = std::max(m_most, ++m_live); };
    m_dl.OnJobReady() = [this](const TVornPagePtr&, const std::string&, const TVornLinkPtr&) {
      --m_live;
    };
    m_dl.OnError() = [this](const TVornPagePtr&, int32_t, const std::string&, const TVornLinkPtr&) {
      --m_live;
    };
  }

  // Runs a crawl from start to its return to edsReady.
  void Crawl(const std::string& start) {
    m_dl.General().BaseUrl = start;
    m_dl.StartDownload();
    ASSERT_EQ(m_dl.State(), edsDownload);
    ASSERT_TRUE(RunUntil([&] { return m_dl.State() == edsReady; }, Millis(20000)));
  }
  int RequestsFor(const std::string& target) {
    const auto requests = m_server.Requests();
    return static_cast<int>(
        std::count_if(requests.begin(), requests.end(),
                      [&](const TestRequest& r) { return r.Target == target; }));
  }

  HttpTestServer m_server;
  TVornOptions m_options;
  RecordingDocument m_doc;
  std::vector<bool> m_ends;  // Disconnect(true) appends true, ExitProgram(true) false
  std::vector<TVornState> m_states;
  int m_live = 0, m_most = 0;
  TVornDownload m_dl;  // after everything its hooks reach: destroyed first
};

TEST_F(DownloadTest, CrawlSortsLinksIntoListsStoresThemAndRestartsFromTheStartingPage) {
  m_server.Route("/index.html", Html("<a href=a.html>a</a><img src=b.gif>"
                                     "<a href=\"mailto:me@example.test\">m</a>"
                                     "<a href=missing.html>x</a>"
                                     "<a href=\"http://elsewhere.test/c.html\">c</a>"));
  m_server.Route("/a.html", Html("<a href=index.html>back</a>"));
  m_server.Route("/b.gif", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: image/gif\r\n", "GIF89a"));
  });
  const std::string index = m_server.Url("/index.html"), a = m_server.Url("/a.html"),
                    gif = m_server.Url("/b.gif"), missing = m_server.Url("/missing.html");
  const std::string elsewhere = "http://elsewhere.test/c.html";
  m_options.InternetConnection.AgentIdentify = EaitCustom;
  m_options.InternetConnection.CustomAgentIdentify = "My Agent/1.0 (x)";
  Crawl(index);
  EXPECT_EQ(m_server.Requests().front().Header("user-agent"), "My Agent/1.0 (x)");

  // a.html and b.gif are fetched side by side, so either may end first.
  EXPECT_EQ(ReadyEndingTogether(m_dl.ReadyLinks(), 1, 2),
            (std::vector<std::string>{index, a, gif}));
  EXPECT_EQ(Urls(m_dl.FailedLinks()), std::vector<std::string>{missing});
  EXPECT_EQ(m_dl.FailedLinks().Get(0)->ErrorText, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Urls(m_dl.EmailLinks()), std::vector<std::string>{"me@example.test"});
  EXPECT_EQ(Urls(m_dl.IgnoredLinks()), std::vector<std::string>{elsewhere});
  EXPECT_EQ(m_dl.IgnoredLinks().Get(0)->Reason, kReasonBaseServer);
  EXPECT_EQ(m_dl.QueueLinks().Count() + m_dl.WorkingLinks().Count(), 0);
  EXPECT_EQ(m_ends, (std::vector<bool>{true, false}));

  // The document holds one entry per listed link, under its list's STATUS; queue entries were
  // removed as their links left the Queue.
  const TEntries entries = m_doc.Entries();
  const std::map<std::string, std::string> statuses = {
      {index, "0"},    {a, "0"}, {gif, "0"}, {missing, "2"}, {"me@example.test", "4"},
      {elsewhere, "3"}};
  ASSERT_EQ(entries.size(), statuses.size());
  for (const auto& [key, status] : statuses) EXPECT_EQ(entries.at(key).at("STATUS"), status) << key;
  EXPECT_EQ(entries.at(index).at("CONTENT").rfind("<TARNQUILL DOCUMENT LINKS>", 0), 0u);
  EXPECT_EQ(entries.at(gif).at("CONTENT"), "GIF89a");
  EXPECT_EQ(entries.at(gif).at("ContentType"), "image/gif");
  EXPECT_EQ(entries.at(a).at("LEVEL"), "1");
  EXPECT_EQ(entries.at(a).at("PAGE"), index);
  EXPECT_EQ(entries.at(missing).at("ERROR"), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(entries.at(elsewhere).at("REASON"), kReasonBaseServer);

  // A second start queues the starting page directly and fetches it again, in place of its
  // stored copy (listed once); what it links to is known by now.
  m_ends.clear();
  Crawl(index);
  EXPECT_EQ(ReadyEndingTogether(m_dl.ReadyLinks(), 0, 2),
            (std::vector<std::string>{a, gif, index}));
  EXPECT_EQ(RequestsFor("/index.html"), 2);
  EXPECT_EQ(RequestsFor("/a.html"), 1);
  EXPECT_EQ(m_ends, (std::vector<bool>{true, false}));
}

class DownloadThreadsTest : public DownloadTest, public ::testing::WithParamInterface<int> {};

// Every live page shows in the events between its start and its result, analysis included;
// the first pages' answers wait until all allowed workers are busy, so the limit is reached.
TEST_P(DownloadThreadsTest, NeverMorePagesAliveThanThreadsCount) {
  const int threads = std::max(GetParam(), 1);  // a count of 0 still runs one worker
  struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    int waiting = 0;
    bool open = false;
  };
  auto gate = std::make_shared<Gate>();
  std::string index;
  for (int i = 0; i < 12; ++i) {
    const std::string target = "/p" + std::to_string(i) + ".html";
    index += "<a href=" + target.substr(1) + ">p</a>";
    m_server.Route(target, [gate, threads](const TestRequest&, TestConnection& c) {
      {
        std::unique_lock<std::mutex> lock(gate->mutex);
        ++gate->waiting;
        gate->cv.notify_all();
        gate->cv.wait_for(lock, std::chrono::seconds(10),
                          [&] { return gate->open || gate->waiting >= threads; });
        gate->open = true;
      }
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", "<p>page</p>"));
    });
  }
  m_server.Route("/index.html", Html(index));
  m_dl.System().ThreadsCount = static_cast<uint8_t>(GetParam());
  m_dl.SetDispatchInterval(0);
  Crawl(m_server.Url("/index.html"));
  EXPECT_EQ(m_dl.ReadyLinks().Count(), 13);
  EXPECT_EQ(m_most, threads);
}

INSTANTIATE_TEST_SUITE_P(Threads, DownloadThreadsTest, ::testing::Values(0, 1, 5));

TEST_F(DownloadTest, StopPutsLinksInProgressBackBehindTheQueueButNotTheStartingLink) {
  const TestRoute stall = [](const TestRequest&, TestConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000\r\n\r\n<p>");
    c.WaitForPeerClose();
  };
  for (const char* target : {"/start.html", "/s1.html", "/s2.html"}) m_server.Route(target, stall);
  const std::string start = m_server.Url("/start.html");
  for (const char* target : {"/start.html", "/s1.html", "/s2.html", "/q1.html", "/q2.html"})
    m_dl.QueueLinks().Add(MakeLink(start, m_server.Url(target)));
  m_dl.System().ThreadsCount = 3;
  m_dl.SetDispatchInterval(0);
  m_dl.General().BaseUrl = start;
  m_dl.StartDownload();  // a queue is resumed as it is
  m_dl.StartDownload();  // busy: nothing changes
  EXPECT_EQ(m_dl.QueueLinks().Count(), 5);
  ASSERT_TRUE(RunUntil([&] { return m_server.Requests().size() == 3; }));

  m_dl.StopDownload();
  EXPECT_EQ(m_dl.ThreadManager().PageCount(), 0);
  EXPECT_EQ(m_dl.WorkingLinks().Count(), 0);
  std::vector<std::string> queue = Urls(m_dl.QueueLinks());
  ASSERT_EQ(queue.size(), 4u);
  EXPECT_EQ(queue[0], m_server.Url("/q1.html"));
  EXPECT_EQ(queue[1], m_server.Url("/q2.html"));
  std::sort(queue.begin() + 2, queue.end());  // in the order their cancellations completed
  EXPECT_EQ(queue[2], m_server.Url("/s1.html"));
  EXPECT_EQ(queue[3], m_server.Url("/s2.html"));
  ASSERT_TRUE(RunUntil([&] { return m_states.size() == 3; }));
  EXPECT_EQ(m_states, (std::vector<TVornState>{edsDownload, edsCancel, edsReady}));
  EXPECT_TRUE(m_ends.empty());  // links are left: the downloads are not complete
}

TEST_F(DownloadTest, RedirectOfTheStartingPageMovesTheStartingAddress) {
  m_server.Route("/a/old.html", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("301 Moved", "Location: /b/new.html\r\n", ""));
  });
  m_server.Route("/b/new.html", Html("<a href=c.html>c</a>"));
  m_server.Route("/b/c.html", Html("<p>c</p>"));
  Crawl(m_server.Url("/a/old.html"));
  EXPECT_EQ(m_dl.General().BaseUrl, m_server.Url("/b/new.html"));
  // /b/c.html is below the new starting directory, not the old one. The redirect's target is
  // queued while the redirect page is still being finished, so either may reach Ready first.
  std::vector<std::string> ready = Urls(m_dl.ReadyLinks());
  std::sort(ready.begin(), ready.end());
  EXPECT_EQ(ready, (std::vector<std::string>{m_server.Url("/a/old.html"), m_server.Url("/b/c.html"),
                                             m_server.Url("/b/new.html")}));
  EXPECT_EQ(m_dl.IgnoredLinks().Count(), 0);
}

TEST_F(DownloadTest, UnusableStartsFailAndStillCompleteTheDownloads) {
  struct Case {
    std::string start;
    bool wizardAsked;
    std::string error;  // empty: any
    TSocksVersion proxy = svNoSocks;
  };
  const int refused = RefusedPort();
  const Case cases[] = {
      {"http://", false, ""},
      {"", true, ""},
      {m_server.Url("/gone.html"), false, "HTTP/1.1 404 Not Found"},
      {"http://127.0.0.1:" + std::to_string(refused) + "/", false, ""},
      {"ftp://127.0.0.1:" + std::to_string(refused) + "/file.zip", false, ""},
      {m_server.Url("/proxied.html"), false, "", svSocks5},  // a proxy that is not there
  };
  bool asked = false;
  m_dl.OnWizard = [&](TVornDownload&, TVornWizardReason, bool&) { asked = true; };
  m_options.ProxyHTTP.Address = "127.0.0.1";
  m_options.ProxyHTTP.Port = refused;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.start);
    asked = false;
    m_ends.clear();
    m_options.ProxyHTTP.Version = c.proxy;
    Crawl(c.start);
    EXPECT_EQ(asked, c.wizardAsked);
    ASSERT_EQ(m_dl.FailedLinks().Count(), static_cast<int>(i) + 1);
    if (!c.error.empty()) {
      EXPECT_EQ(m_dl.FailedLinks().Get(static_cast<int>(i))->ErrorText, c.error);
    }
    EXPECT_EQ(m_ends, (std::vector<bool>{true, false}));
  }
  EXPECT_EQ(RequestsFor("/proxied.html"), 0);
  // A wizard that cancels keeps the project as it was.
  m_dl.OnWizard = [](TVornDownload&, TVornWizardReason, bool& canceled) { canceled = true; };
  m_dl.General().BaseUrl = "";
  m_dl.StartDownload();
  EXPECT_EQ(m_dl.State(), edsReady);
  EXPECT_EQ(m_dl.QueueLinks().Count(), 0);
}

class StyleLinksCrawlTest : public DownloadTest, public ::testing::WithParamInterface<bool> {};

// A project saved before style sheet and srcset links were followed has no key for it and
// crawls as it did; a new project fetches what they name and keeps the style sheet unchanged.
TEST_P(StyleLinksCrawlTest, FollowsStyleSheetAndSrcsetLinksOnlyWhenTheProjectSaysSo) {
  const bool newProject = GetParam();
  const std::string css = "body{background:url(../img/bg.png)}";
  m_server.Route("/index.html", Html("<link rel=stylesheet href=css/site.css>"
                                     "<img src=a.png srcset=\"b.png 2x\">"
                                     "<p style=\"background:url(c.png)\">"));
  m_server.Route("/css/site.css", [css](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/css\r\n", css));
  });
  const TestRoute png = [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: image/png\r\n", "PNG"));
  };
  for (const char* image : {"/a.png", "/b.png", "/c.png", "/img/bg.png"})
    m_server.Route(image, png);
  TVornMemIniFile ini("");
  m_dl.Settings().SaveToIni(ini, false);
  if (!newProject) ini.DeleteKey("FTagsRecognition", "FStyleLinks");
  m_dl.Settings().LoadFromIni(ini, false);
  Crawl(m_server.Url("/index.html"));

  std::vector<std::string> fetched;
  for (const TestRequest& request : m_server.Requests()) fetched.push_back(request.Target);
  std::sort(fetched.begin(), fetched.end());
  const std::vector<std::string> expected =
      newProject ? std::vector<std::string>{"/a.png",        "/b.png",      "/c.png",
                                            "/css/site.css", "/img/bg.png", "/index.html"}
                 : std::vector<std::string>{"/a.png", "/css/site.css", "/index.html"};
  EXPECT_EQ(fetched, expected);
  EXPECT_EQ(m_doc.Entries().at(m_server.Url("/css/site.css")).at("CONTENT"), css);
  EXPECT_EQ(m_dl.IgnoredLinks().Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Project, StyleLinksCrawlTest, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "New" : "WithoutTheKey"; });

class RequisitesCrawlTest : public DownloadTest, public ::testing::WithParamInterface<bool> {};

// A page at the level limit keeps what it shows, outside the starting folder too: its image, an
// object, an embedded file of a type no filter lists, and a style sheet whose imports go three
// levels deeper to a background image; the object's address is a link of the stored page. With
// requisites off they are refused by level as before.
TEST_P(RequisitesCrawlTest, APageAtTheLevelLimitKeepsWhatItNeedsToDisplay) {
  m_dl.General().LevelLimit = 1;
  m_dl.General().PageRequisites = GetParam();
  std::map<std::string, std::string> files = {
      {"/doc/index.html", "<a href=page.html>p</a>"},
      {"/doc/page.html",
       "<link rel=stylesheet href=../css/a.css><img src=pic.png><a href=next.html>n</a>"
       "<object data=fig.svg type=image/svg+xml></object><embed src=clip.xyz type=image/x-c>"},
      {"/css/a.css", "@import 'b.css';"},
      {"/css/b.css", "@import url(c.css);"},
      {"/css/c.css", "@import 'sub/d.css';"},
      {"/css/sub/d.css", "body{background:url(../../img/bg.png)}"}};
  for (const char* image : {"/img/bg.png", "/doc/pic.png", "/doc/fig.svg", "/doc/clip.xyz"})
    files[image];
  std::set<std::string> fetched, refused, expectFetched, expectRefused = {"/doc/next.html"};
  for (const auto& [path, body] : files) {
    const char* type = path.ends_with(".html") ? "text/html" : "text/css";
    m_server.Route(path, [type, body](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", std::string("Content-Type: ") + type + "\r\n", body));
    });
    expectFetched.insert(path);
  }
  if (!GetParam()) {
    expectFetched = {"/doc/index.html", "/doc/page.html"};
    expectRefused.insert({"/css/a.css", "/doc/pic.png", "/doc/fig.svg", "/doc/clip.xyz"});
  }
  Crawl(m_server.Url("/doc/index.html"));
  const std::string host = m_server.Url("");
  for (const TestRequest& request : m_server.Requests()) fetched.insert(request.Target);
  for (int i = 0; i < m_dl.IgnoredLinks().Count(); ++i) {
    EXPECT_EQ(m_dl.IgnoredLinks().Get(i)->Reason, kReasonLevel);
    refused.insert(m_dl.IgnoredLinks().Get(i)->GetUrl().substr(host.size()));
  }
  EXPECT_EQ(fetched, expectFetched);
  EXPECT_EQ(refused, expectRefused);
  const std::string shown =
      RenderStoredDocument("text/html", m_doc.Entries().at(host + "/doc/page.html").at("CONTENT"));
  EXPECT_NE(shown.find("<object data=\"" + host + "/doc/fig.svg\""), std::string::npos) << shown;
}

INSTANTIATE_TEST_SUITE_P(Setting, RequisitesCrawlTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "On" : "Off"; });

TEST_F(DownloadTest, AFailingDocumentWriteDoesNotKeepTheWorkerSlot) {
  m_server.Route("/p.html", Html("<p>p</p>"));
  m_doc.FailContent = true;
  m_dl.System().ThreadsCount = 1;
  Crawl(m_server.Url("/p.html"));
  Crawl(m_server.Url("/p.html"));  // needs the one worker slot back
  EXPECT_EQ(m_server.Requests().size(), 2u);
  EXPECT_EQ(m_dl.ReadyLinks().Count(), 1);
  EXPECT_EQ(m_dl.ThreadManager().PageCount(), 0);
}

// A hostile server's answers, each the start of a crawl: where they end and that they lead to no
// other request. A file over its filter's size bound, announced or reached while it arrives (an
// endless body too), is listed in Ignored with the size reason, or nowhere with that list off,
// and the document keeps the refusal page in its place.
TEST_F(DownloadTest, HostileAnswersEndInTheirListsAndLeadNowhereElse) {
  std::atomic<int> hungUp{0};
  const auto raw = [this](const std::string& target, const std::string& bytes) {
    m_server.Route(target, [bytes](const TestRequest&, TestConnection& c) { c.Send(bytes); });
  };
  const std::string body(40960, 'b'), empty = "Content-Length: 0\r\n\r\n";
  raw("/announced.bin", "HTTP/1.1 200 OK\r\nContent-Length: 40960\r\n\r\n" + body);
  raw("/unannounced.bin", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body);
  m_server.Route("/endless.bin", [&](const TestRequest&, TestConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    while (c.Send("1000\r\n" + std::string(4096, 'z') + "\r\n")) {
    }
    ++hungUp;  // what it wrote before it noticed sat in the sockets' buffers, not in the crawl
  });
  raw("/crlf.html",
      "HTTP/1.1 302 Found\r\nLocation: /n\x1b[31m.html\r<http://evil.test/>\r\n" + empty);
  raw("/escapes.html", "HTTP/1.1 404 \x1b]0;owned\x07\x1b[2J\r\n" + empty);
  raw("/to-file.html", "HTTP/1.1 301 Moved\r\nLocation: file:///etc/passwd\r\n" + empty);
  raw("/to-ftp.html", "HTTP/1.1 301 Moved\r\nLocation: ftp://127.0.0.1:1/x.html\r\n" + empty);
  raw("/to-script.html", "HTTP/1.1 301 Moved\r\nLocation: javascript:x()\r\n" + empty);
  TVornFileFilters& archives = m_dl.FilterArchiveFiles();
  archives.Download = true;
  archives.FileExtensions.Add().Value = "bin";
  archives.FileSizeUsage = ffsSelected;
  archives.FileMaxSize = {20, true};
  m_dl.SetDispatchInterval(0);
  const std::pair<const char*, TVornLinkList> rows[] = {
      {"/announced.bin", ellIgnored}, {"/unannounced.bin", ellIgnored},
      {"/endless.bin", ellIgnored},   {"/crlf.html", ellReady},
      {"/escapes.html", ellFailed},   {"/to-file.html", ellReady},
      {"/to-ftp.html", ellReady},     {"/to-script.html", ellReady},
  };
  for (const bool listed : {false, true}) {
    m_dl.System().SetBuildIgnored(listed);
    for (const auto& [target, list] : rows) {
      SCOPED_TRACE(std::string(target) + (listed ? "" : ", Ignored list off"));
      const std::string url = m_server.Url(target);
      m_server.ClearRequests();
      Crawl(url);
      EXPECT_EQ(m_dl.Links(list).FindUrl(kFindExact, url) >= 0, list != ellIgnored || listed);
      EXPECT_EQ(m_server.Requests().size(), 1u);
      if (list != ellIgnored) continue;
      EXPECT_EQ(m_dl.ReadyLinks().FindUrl(kFindExact, url), -1);
      EXPECT_EQ(m_doc.Entries().at(url).at("STATUS"), "0");
      EXPECT_EQ(m_doc.Entries().at(url).at("CONTENT").rfind("<HTML><TITLE>Page Ignored", 0), 0u);
    }
    EXPECT_EQ(m_dl.IgnoredLinks().Count(), listed ? 4 : 0);  // with the odd redirect target
  }
  EXPECT_EQ(hungUp, 2);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m_dl.IgnoredLinks().Get(i)->Reason, kReasonSize);
  const std::string announced = m_server.Url("/announced.bin");
  EXPECT_EQ(m_doc.Entries().at(announced).at("CONTENT"), MakeRefusalPage(40960, announced));
  // The redirect target lost its line break and holds no raw control byte: the stored header
  // holds one link line.
  EXPECT_EQ(ParseStoredDocument(m_doc.Entries().at(m_server.Url("/crlf.html")).at("CONTENT")).Links,
            std::vector<std::string>{m_server.Url("/n%1B[31m.html%3Chttp://evil.test/%3E")});
  EXPECT_EQ(m_dl.FailedLinks().Get(0)->ErrorText, "HTTP/1.1 404 \x1b]0;owned\x07\x1b[2J");
  EXPECT_GE(m_dl.FailedLinks().FindUrl(kFindExact, "ftp://127.0.0.1:1/x.html"), 0);
}

// Ctrl-C right after a page has ended, before the links found on it were admitted: the page is
// Ready and will never be analysed again, so they must reach the Queue before the crawl ends.
TEST_F(DownloadTest, LinksFoundBeforeAStopAreAdmittedBeforeTheCrawlEnds) {
  m_server.Route("/index.html", Html("<a href=a.html>a</a><a href=b.html>b</a>"));
  // No tick comes between the page's end and the stop: the next one is far away, and the only
  // worker slot was filled within the interval, so the page's end brings none either.
  m_dl.System().ThreadsCount = 1;
  m_dl.OnStartThread() = [&](const TVornPagePtr&) { m_dl.SetDispatchInterval(60000); };
  m_dl.OnJobReady() = [&](const TVornPagePtr&, const std::string&, const TVornLinkPtr&) {
    EXPECT_EQ(m_dl.PendingLinks().Count(), 2);
    m_dl.StopDownload();
    m_dl.SetDispatchInterval(10);
  };
  m_dl.General().BaseUrl = m_server.Url("/index.html");
  m_dl.StartDownload();
  ASSERT_TRUE(RunUntil([&] { return m_dl.State() == edsReady; }));
  EXPECT_EQ(Urls(m_dl.QueueLinks()),
            (std::vector<std::string>{m_server.Url("/a.html"), m_server.Url("/b.html")}));
  EXPECT_EQ(m_doc.Entries().at(m_server.Url("/a.html")).at("STATUS"), "1");
}

// The Queue's tree sees each link leave at dispatch, on the dispatching thread: the tick it left
// in, and its address, in order.
class DispatchRecorder : public ITreeUpdater {
 public:
  explicit DispatchRecorder(TVornDownload& dl) : m_dl(dl) { dl.SetQueueTreeUpdater(this); }
  ~DispatchRecorder() override { m_dl.SetQueueTreeUpdater(nullptr); }
  void AddLink(const TVornLinkPtr&, int) override {}
  void RemoveLink(const TVornLinkPtr& link) override {
    Ticks.push_back(m_dl.TestOnlyTicks());
    Urls.push_back(link->GetUrl());
  }
  std::vector<int64_t> Ticks;
  std::vector<std::string> Urls;

 private:
  TVornDownload& m_dl;
};

// Paced dispatch: every tick fills every free worker slot, and a link whose page found links
// goes out on the tick after its predecessor ended, the admission running beside it.
TEST_F(DownloadTest, EachTickFillsTheFreeWorkerSlotsAndNoMore) {
  struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    int waiting = 0;
    int wanted = 0;
  };
  auto gate = std::make_shared<Gate>();
  for (int i = 0; i < 7; ++i) {
    m_server.Route("/g" + std::to_string(i) + ".html",
                   [gate](const TestRequest&, TestConnection& c) {
                     std::unique_lock<std::mutex> lock(gate->mutex);
                     ++gate->waiting;
                     gate->cv.notify_all();
                     gate->cv.wait_for(lock, std::chrono::seconds(10),
                                       [&] { return gate->waiting >= gate->wanted; });
                     lock.unlock();
                     c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n",
                                                   "<a href=g0.html>again</a>"));
                   });
  }
  for (const int threads : {1, 3, 5}) {
    SCOPED_TRACE(threads);
    gate->waiting = 0;
    gate->wanted = threads;  // the first pages answer once all slots are busy
    m_most = 0;
    for (TVornBaseLinks* list : {&m_dl.ReadyLinks(), &m_dl.QueueLinks()}) list->Clear();
    const std::string start = m_server.Url("/g0.html");
    for (int i = 0; i < 7; ++i)
      m_dl.QueueLinks().Add(MakeLink(start, m_server.Url("/g" + std::to_string(i) + ".html")));
    m_dl.System().ThreadsCount = static_cast<uint8_t>(threads);
    m_dl.SetDispatchInterval(150);
    DispatchRecorder dispatched(m_dl);
    Crawl(start);
    EXPECT_EQ(m_dl.ReadyLinks().Count(), 7);
    EXPECT_EQ(m_most, threads);
    ASSERT_EQ(dispatched.Ticks.size(), 7u);
    // The first tick fills every slot at once.
    for (int i = 0; i < threads; ++i) EXPECT_EQ(dispatched.Ticks[i], dispatched.Ticks[0]);
    if (threads == 1) {
      // One interval between a page's end and the next dispatch, not one for the admission of
      // the page's links and another for the dispatch. A loaded machine may miss a tick now and
      // then; most dispatches follow their predecessor by one tick.
      int nextTick = 0;
      for (size_t i = 1; i < dispatched.Ticks.size(); ++i) {
        EXPECT_GE(dispatched.Ticks[i] - dispatched.Ticks[i - 1], 1);
        nextTick += dispatched.Ticks[i] - dispatched.Ticks[i - 1] == 1;
      }
      EXPECT_GE(nextTick, 4);
    }
  }
}

// Links found while others are fetched leave the Queue in the order they were admitted, and a
// stop in the middle of the crawl, with an admission run under way, loses none of them.
TEST_F(DownloadTest, AdmissionBesideDispatchKeepsTheOrderAndAStopLosesNothing) {
  std::string index;
  std::vector<std::string> expected = {m_server.Url("/index.html")};
  for (int i = 0; i < 8; ++i) {
    const std::string p = "p" + std::to_string(i) + ".html", q = "q" + std::to_string(i) + ".html";
    index += "<a href=" + p + ">p</a>";
    m_server.Route("/" + p, Html("<a href=" + q + ">q</a><a href=index.html>up</a>"));
    m_server.Route("/" + q, Html("<a href=" + p + ">p</a>"));
    expected.push_back(m_server.Url("/" + p));
  }
  for (int i = 0; i < 8; ++i) expected.push_back(m_server.Url("/q" + std::to_string(i) + ".html"));
  m_server.Route("/index.html", Html(index));

  // One worker: the order links leave the Queue is the order they were admitted.
  m_dl.System().ThreadsCount = 1;
  m_dl.SetDispatchInterval(10);
  {
    DispatchRecorder dispatched(m_dl);
    Crawl(m_server.Url("/index.html"));
    EXPECT_EQ(dispatched.Urls, expected);
  }

  // Three workers, stopped after a few pages and resumed: every page ends in Ready once.
  m_server.ClearRequests();
  m_dl.ReadyLinks().Clear();
  m_dl.System().ThreadsCount = 3;
  bool stopped = false;
  m_dl.OnJobReady() = [&](const TVornPagePtr&, const std::string&, const TVornLinkPtr&) {
    if (stopped || m_dl.ReadyLinks().Count() < 4) return;
    stopped = true;
    m_dl.StopDownload();
  };
  Crawl(m_server.Url("/index.html"));
  ASSERT_TRUE(stopped);
  EXPECT_EQ(m_dl.PendingLinks().Count(), 0);
  EXPECT_EQ(m_dl.ThreadManager().PageCount(), 0);
  EXPECT_GT(m_dl.QueueLinks().Count(), 0);
  m_dl.StartDownload();
  ASSERT_TRUE(RunUntil([&] { return m_dl.State() == edsReady; }, Millis(20000)));
  std::vector<std::string> ready = Urls(m_dl.ReadyLinks());
  std::sort(ready.begin(), ready.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ready, expected);
  EXPECT_EQ(m_dl.FailedLinks().Count() + m_dl.QueueLinks().Count(), 0);
}

// With a rate limit no second of the server's sees more requests than the limit; the server
// counts them as they arrive.
TEST_F(DownloadTest, RateLimitHoldsInEverySecondOfTheServer) {
  using Clock = std::chrono::steady_clock;
  std::mutex mutex;
  std::vector<Clock::time_point> arrivals;
  std::string index;
  for (int i = 0; i < 6; ++i) index += "<a href=r" + std::to_string(i) + ".html>r</a>";
  bool busyOnce = true;  // r0 is busy at first: its retry counts like any request
  const auto counted = [&](const std::string& body) {
    return [&, body](const TestRequest& q, TestConnection& c) {
      bool busy = false;
      {
        std::lock_guard<std::mutex> guard(mutex);
        arrivals.push_back(Clock::now());
        busy = q.Target == "/r0.html" && std::exchange(busyOnce, false);
      }
      c.Send(busy ? HttpTestServer::Answer("503 Service Unavailable", "", "")
                  : HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", body));
    };
  };
  m_server.Route("/index.html", counted(index));
  for (int i = 0; i < 6; ++i) m_server.Route("/r" + std::to_string(i) + ".html", counted("<p>r"));
  m_dl.System().ThreadsCount = 5;
  m_dl.System().RetriesOnFailed = 1;
  m_dl.ThreadManager().TestOnlyRetryPauseMs = 1;
  m_dl.System().MaxRequestsPerSecond = 2;
  m_dl.SetDispatchInterval(0);
  Crawl(m_server.Url("/index.html"));
  EXPECT_EQ(m_dl.ReadyLinks().Count(), 7);
  std::lock_guard<std::mutex> guard(mutex);
  ASSERT_EQ(arrivals.size(), 8u);
  // The gate counts a second from each request's start; the server sees it a little later, by a
  // delay of its own for each connection, so its second is cut by an allowance for that delay.
  const auto window = std::chrono::milliseconds(1000 - 250);
  for (const Clock::time_point from : arrivals) {
    const auto inSecond = std::count_if(arrivals.begin(), arrivals.end(), [&](Clock::time_point t) {
      return t >= from && t < from + window;
    });
    EXPECT_LE(inSecond, 2);
  }
}

// robots.txt, when obeyed, refuses exactly the paths it names for this crawler, into Ignored with
// the reason; when not, it is never asked for.
TEST_F(DownloadTest, RobotsTxtRefusesTheNamedPathsOnlyWhenObeyed) {
  m_server.Route("/robots.txt", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/plain\r\n",
                                  "User-agent: *\nDisallow: /private/\nDisallow: /exact.html$\n"
                                  "\nUser-agent: SomeOtherBot\nDisallow: /\n"));
  });
  const std::vector<std::string> paths = {"/private/a.html", "/private/b/c.html",
                                          "/exact.html",     "/exact.html?page=2",
                                          "/privateer.html", "/public/d.html"};
  std::string index;
  for (const std::string& path : paths) {
    index += "<a href=" + path.substr(1) + ">x</a>";
    m_server.Route(path, Html("<p>x"));
  }
  m_server.Route("/index.html", Html(index));
  for (const bool obey : {false, true}) {
    SCOPED_TRACE(obey);
    for (TVornBaseLinks* list : {&m_dl.ReadyLinks(), &m_dl.IgnoredLinks()}) list->Clear();
    m_server.ClearRequests();
    m_dl.System().ObeyRobots = obey;
    Crawl(m_server.Url("/index.html"));
    EXPECT_EQ(RequestsFor("/robots.txt"), obey ? 1 : 0);
    std::vector<std::string> refused;
    for (int i = 0; i < m_dl.IgnoredLinks().Count(); ++i) {
      const TVornLinkPtr link = m_dl.IgnoredLinks().Get(i);
      EXPECT_EQ(link->Reason, "Refused by the server's robots.txt");
      refused.push_back(link->GetUrl());
    }
    std::sort(refused.begin(), refused.end());
    std::vector<std::string> named;
    for (const char* path : {"/exact.html", "/private/a.html", "/private/b/c.html"}) {
      named.push_back(m_server.Url(path));
      EXPECT_EQ(RequestsFor(path), obey ? 0 : 1);
    }
    EXPECT_EQ(refused, obey ? named : std::vector<std::string>{});
    EXPECT_EQ(m_dl.ReadyLinks().Count(), obey ? 4 : 7);
  }
}

TEST_F(DownloadTest, LoadedLinksJoinTheirListsWithoutWritesAndRemovalsUseTheStoredKey) {
  ASSERT_TRUE(m_doc.LoadLink);
  m_doc.Loading = true;
  for (int status = 0; status <= 7; ++status) {
    const std::string text =
        status == 4 ? "mailto:me@example.test" : "http://h/" + std::to_string(status);
    EXPECT_TRUE(m_doc.LoadLink(MakeLink("http://h/", text), status));
  }
  m_doc.Loading = false;
  EXPECT_TRUE(m_doc.Entries().empty());
  for (TVornBaseLinks* list : {&m_dl.ReadyLinks(), &m_dl.QueueLinks(), &m_dl.FailedLinks(),
                               &m_dl.IgnoredLinks(), &m_dl.EmailLinks(), &m_dl.DeletedLinks()})
    EXPECT_EQ(list->Count(), 1);
  EXPECT_EQ(m_dl.WorkingLinks().Count() + m_dl.PendingLinks().Count(), 0);

  m_doc.SetDocumentStatus("me@example.test", 4);
  m_doc.SetDocumentStatus("http://h/0", 0);
  m_dl.EmailLinks().Delete(0);
  m_dl.ReadyLinks().Delete(0);
  EXPECT_TRUE(m_doc.Entries().empty());

  TVornMemIniFile ini("");
  m_dl.General().SetProjectName("Site");
  m_doc.SaveSettings(ini, false);
  EXPECT_EQ(ini.ReadString("FGeneral", "FProjectName", ""), "Site");
}

// The user's list commands: a move or Delete takes the first list that holds the address, Cut
// takes it out of every list and remembers it even when none held it.
TEST_F(DownloadTest, ListCommandsMoveDeleteAndCutLinks) {
  const std::string a = "http://a.test/a.html", b = "http://a.test/b.html";
  const std::string c = "http://a.test/c.html";
  m_dl.ReadyLinks().Add(MakeLink(a, a));
  m_dl.QueueLinks().Add(MakeLink(a, a));
  m_dl.QueueLinks().Add(MakeLink(b, b));
  EXPECT_FALSE(m_dl.MoveLink(ellFailed, ellQueue, b));
  ASSERT_TRUE(m_dl.MoveLink(ellQueue, ellIgnored, b, kReasonIgnoredByUser));
  ASSERT_TRUE(m_dl.MoveLink(ellIgnored, ellQueue, b));
  EXPECT_EQ(m_dl.QueueLinks().Get(1)->Reason, kReasonIgnoredByUser) << "no reason keeps it";

  EXPECT_TRUE(m_dl.DeleteLink(a));
  EXPECT_EQ(Urls(m_dl.ReadyLinks()), std::vector<std::string>{});
  EXPECT_EQ(Urls(m_dl.QueueLinks()), (std::vector<std::string>{a, b}));
  EXPECT_FALSE(m_dl.DeleteLink(c));
  m_dl.CutLink(a);
  m_dl.CutLink(c);
  EXPECT_EQ(Urls(m_dl.QueueLinks()), std::vector<std::string>{b});
  EXPECT_EQ(Urls(m_dl.DeletedLinks()), (std::vector<std::string>{a, a, c}));

  m_dl.EmailLinks().Add(MakeLink(a, "mailto:x@a.test"));
  EXPECT_FALSE(m_dl.DeleteEmail("y@a.test"));
  EXPECT_TRUE(m_dl.DeleteEmail("x@a.test"));
  EXPECT_EQ(m_dl.EmailLinks().Count(), 0);
}

}  // namespace
}  // namespace tq::test
