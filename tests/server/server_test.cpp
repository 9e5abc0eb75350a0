// The offline server over real sockets: stored pages and documents, link translation, referrer
// resolution, who may ask, activation, and requests served while the crawl changes the lists.
// ctest: timeout=120
#include "server/server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "engine/download.h"
#include "formats/stored_document.h"
#include "server/http_client.h"
#include "server/offline_page.h"
#include "server/site_origin.h"
#include "storage/document.h"
#include "support/ready_document.h"

namespace tq {
namespace {

using test::Fetch;
using test::Get;
using test::HttpClient;
using test::HttpReply;

const std::string kPage = "http://www.example.com/a.html";
const std::string kImage = "http://www.example.com/b.png";
const std::string kUnfollowed = "http://www.example.com/gone.html";
// Image bytes that hold line breaks, a NUL and a link placeholder, none of which may change.
const std::string kImageBytes = "\x89PNG\r\n" + LinkPlaceholder(0) + std::string("\0\r\nend", 6);

class OfflineServerTest : public ::testing::Test {
 protected:
  OfflineServerTest() {
    m_download.SetVornDocument(&m_document);
    m_download.SetVornOptions(&m_options);
    m_server.SetVornDownload(&m_download);
    // A page linking a fetched image, a page that was not fetched and a mail address, with text
    // outside ASCII in the stored code page.
    TStoredDocumentWriter page;
    page.AddLink(kImage);
    page.AddLink(kUnfollowed);
    page.AddMailLink("x@example.com");
    Store(kPage, "text/html; charset=utf-8",
          page.Build(kPage, "<img src=\"" + LinkPlaceholder(0) + "\"><a href=\"" +
                                LinkPlaceholder(1) + "\">caf\xE9 \x80</a>\r<a href=\"" +
                                LinkPlaceholder(2) + "\">"));
    Store(kImage, "image/png", kImageBytes);
  }
  ~OfflineServerTest() override {
    m_server.SetActive(false);
    TestOnlySetAdapterProbe(nullptr);
  }

  // Stores a fetched document the way the crawl does: the link joins Ready, then its content.
  void Store(const std::string& url, const std::string& type, const std::string& content) {
    test::AddReadyDocument(m_download, m_document, url, type, content);
  }
  void Activate() {
    m_server.SetActive(true);
    ASSERT_TRUE(m_server.Active());
    m_host = "127.0.0.1:" + std::to_string(m_server.Port());
  }
  HttpReply Request(const std::string& target, const std::string& fields = {}) {
    return Fetch(m_server.Port(), Get(target, m_host, fields));
  }
  // The host a site's pages are served under, and the prefix of its offline addresses.
  std::string SiteHost(const std::string& address) {
    return SiteLabel(address) + ".localhost:" + std::to_string(m_server.Port());
  }
  std::string SitePrefix(const std::string& address) { return "http://" + SiteHost(address) + "/"; }
  HttpReply RequestPage(const std::string& address, const std::string& fields = {}) {
    return Fetch(m_server.Port(), Get("/" + address, SiteHost(address), fields));
  }
  std::string Referer(const std::string& address) {
    return "Referer: " + m_server.ServerPrefix() + address + "\r\n";
  }

  TVornDocument m_document{std::filesystem::temp_directory_path().string()};
  TVornOptions m_options;
  TVornDownload m_download;
  TVornServer m_server;
  std::string m_host;
};

TEST_F(OfflineServerTest, ServesStoredDocumentsAndNamesMissingOnes) {
  Activate();
  const HttpReply page = RequestPage(kPage);
  EXPECT_EQ(page.Field("content-type"), "text/html; charset=windows-1258");
  EXPECT_NE(
      page.Body.find("<img src=\"" + SitePrefix(kImage) + kImage + "\"><a href=\"" + kUnfollowed +
                     "\">caf\xE9 \x80</a>\r\n<a href=\"mailto:x@example.com\">\r\n"),
      std::string::npos)
      << page.Body;

  const HttpReply image = Request("/" + kImage);
  EXPECT_EQ(image.Field("content-type"), "image/png");
  EXPECT_EQ(image.Body, kImageBytes);
  m_document.SetDocumentContent(kImage, "changed");  // what the server keeps must follow
  EXPECT_EQ(Request("/" + kImage).Body, "changed");
  m_document.SetDocumentContent(kImage, kImageBytes);

  // Not fetched: the page names the address, escaped, and links only to web addresses.
  EXPECT_EQ(Request("/" + kUnfollowed).Body, NotAvailableOfflinePage(kUnfollowed));
  const std::string missing = Request("/http://h/\"><script>x</script>").Body;
  EXPECT_EQ(missing.find("<script>"), std::string::npos);
  // Named in the spelling a browser sends, which holds no markup character at all.
  EXPECT_NE(missing.find("<STRONG>http://h/%22%3E%3Cscript%3Ex%3C/script%3E</STRONG>  \r\n"),
            std::string::npos);
  EXPECT_NE(Request("/javascript:alert(1)").Body.find("<A href=\"\">Click here</A>"),
            std::string::npos);

  // An address holding "http/" is not cut there.
  Store("http://www.example.com/docs/http/x.txt", "text/plain", "x");
  EXPECT_EQ(Request("/http://www.example.com/docs/http/x.txt").Body, "x");
}

// A project stored before addresses had one spelling: its index, lists and link headers hold
// raw spellings, and a browser asks for the encoded ones.
TEST_F(OfflineServerTest, ServesDocumentsStoredUnderOldSpellings) {
  const std::string oldPage = "http://WWW.Example.com/my page{1}.html";
  const std::string oldImage = "http://www.example.com:80/it's.png";
  TStoredDocumentWriter page;
  page.AddLink(oldImage);
  test::AddReadyUnderOldSpelling(m_download, m_document, oldPage, "text/html",
                                 page.Build(oldPage, "<img src=\"" + LinkPlaceholder(0) + "\">"));
  test::AddReadyUnderOldSpelling(m_download, m_document, oldImage, "image/png", "PNG");
  Activate();
  const std::string image = "http://www.example.com/it%27s.png";
  EXPECT_NE(RequestPage("http://www.example.com/my%20page%7B1%7D.html")
                .Body.find("<img src=\"" + SitePrefix(image) + image + "\">"),
            std::string::npos);
  EXPECT_EQ(Request("/" + image).Body, "PNG");
  EXPECT_EQ(Request("/" + oldImage).Body, "PNG");
}

TEST_F(OfflineServerTest, RoutesLinksAsTheTranslationSettingsSay) {
  Activate();
  const std::string prefix = SitePrefix(kPage);
  const struct {
    bool Enabled;
    TLinkTranslation Followed, UnFollowed;
    bool ImageRouted, UnfollowedRouted;
  } cases[] = {
      {true, EltOffline, eltOnline, true, false},
      {true, EltOffline, EltOffline, true, true},
      {true, eltOnline, eltNone, false, false},
      {false, EltOffline, EltOffline, false, false},
  };
  for (const auto& c : cases) {
    m_download.LinksTranslation().Enabled = c.Enabled;
    m_download.LinksTranslation().Followed = c.Followed;
    m_download.LinksTranslation().UnFollowed = c.UnFollowed;
    const std::string body = RequestPage(kPage).Body;
    EXPECT_NE(body.find("src=\"" + (c.ImageRouted ? prefix : "") + kImage), std::string::npos);
    EXPECT_NE(body.find("href=\"" + (c.UnfollowedRouted ? prefix : "") + kUnfollowed),
              std::string::npos);
  }
}

// A base element leads what the copy did not rewrite (scripts, style sheets) through the server,
// whether its own address was fetched or not.
TEST_F(OfflineServerTest, BaseElementsStayOffline) {
  TStoredDocumentWriter page;
  page.AddLink("http://h/elsewhere/");
  Store("http://h/based.html", "text/html",
        page.Build("http://h/based.html", "<BASE target=_top HREF=" + LinkPlaceholder(0) + ">"));
  Activate();
  EXPECT_NE(Request("/http://h/based.html")
                .Body.find("<BASE target=_top HREF=\"" + m_server.ServerPrefix() +
                           "http://h/elsewhere/\">"),
            std::string::npos);
}

TEST_F(OfflineServerTest, ResolvesUnroutedLinksAgainstTheReferringPage) {
  Store("http://h/start/page1.html", "text/plain", "page1");
  Store("http://h/", "text/plain", "root");
  Store("ftp://h/f.zip", "Binary FTP", "zip");
  Activate();
  const struct {
    std::string Target, Referer, Body;
  } cases[] = {
      {"/start/page1.html", Referer("http://h/start/index.html"), "page1"},
      {"/", Referer("http://h/start/index.html"), "root"},
      {"/http://h/start/page1.html", Referer("http://other/"), "page1"},
      {"/ftp://h/f.zip", Referer("http://h/start/index.html"), "zip"},
      {"/start/page1.html", "Referer: http://elsewhere/http://h/\r\n",
       NotAvailableOfflinePage("start/page1.html")},
  };
  for (const auto& c : cases) EXPECT_EQ(Request(c.Target, c.Referer).Body, c.Body) << c.Target;
}

TEST_F(OfflineServerTest, AnswersOnlyThisMachineUnlessOtherMachinesAreAllowed) {
  Activate();
  const int port = m_server.Port();
  const std::string p = std::to_string(port);
  const struct {
    std::string From, Host;
    bool Denied;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1:" + p, false},
      {"127.0.0.1", "LocalHost:" + p, false},
      {"127.0.0.1", "[::1]:" + p, false},
      {"127.0.0.1", "127.0.0.1", port != 80},
      {"127.0.0.2", "127.0.0.1:" + p, true},
      {"127.0.0.1", "attacker.example:" + p, true},
      {"127.0.0.1", "127.0.0.1:" + std::to_string(port + 1), true},
  };
  for (bool allowed : {false, true}) {
    m_options.InternetConnection.AllowLocalConnectionOnly = !allowed;  // read at every request
    for (const auto& c : cases) {
      const HttpReply reply = Fetch(port, Get("/" + kImage, c.Host), c.From);
      EXPECT_EQ(reply.Body, c.Denied && !allowed ? kAccessDeniedPage : kImageBytes)
          << c.From << " " << c.Host << " allowed " << allowed;
    }
  }
  // Loopback alone is listened on unless other machines are allowed at activation.
  EXPECT_FALSE(HttpClient(port, "127.0.0.2", "127.0.0.2").Connected());
  m_server.SetActive(false);
  m_server.SetActive(true);
  EXPECT_EQ(Fetch(m_server.Port(), Get("/" + kImage, "127.0.0.2"), "127.0.0.2", "127.0.0.2").Body,
            kImageBytes);
}

TEST_F(OfflineServerTest, ActivationTakesFreePortsAndReportsWhatFails) {
  std::vector<TVornServerError> errors;
  Activate();
  TVornServer second;
  second.SetVornDownload(&m_download);
  second.SetActive(true);
  ASSERT_TRUE(second.Active());
  EXPECT_NE(second.Port(), m_server.Port());
  EXPECT_FALSE(IsBrowserBlockedPort(second.Port()));
  EXPECT_EQ(
      Fetch(second.Port(), Get("/" + kImage, "localhost:" + std::to_string(second.Port()))).Body,
      kImageBytes);

  TVornServer taken, unplugged;
  taken.OnError =
      unplugged.OnError = [&](TVornServer&, TVornServerError e) { errors.push_back(e); };
  taken.SetPortRange(second.Port(), second.Port());
  taken.SetActive(true);
  EXPECT_FALSE(taken.Active());
  // Browsers refuse 6665-6669 and 6679, so the range's first usable port is 6670.
  EXPECT_GE(taken.FindFreePort(6665, 6690), 6670);
  EXPECT_NE(taken.Port(), 6679);

  TestOnlySetAdapterProbe([] { return false; });
  unplugged.SetActive(true);
  EXPECT_FALSE(unplugged.Active());
  EXPECT_EQ(errors, (std::vector<TVornServerError>{eseNoPortAvailable, eseNoAdapter}));

  second.SetActive(false);
  EXPECT_FALSE(HttpClient(second.Port()).Connected());
  m_server.SetVornDownload(nullptr);
  EXPECT_EQ(Request("/" + kImage).Field("content-length"), "0");
}

// Requests on several threads while the interface thread adds pages, flips the local-only
// option and swaps the controller: nothing may race (the thread checker build runs this).
TEST_F(OfflineServerTest, ServesWhileTheCrawlChangesTheProject) {
  Activate();
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < 3; ++t) {
    clients.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const std::string url = "http://www.example.com/p" + std::to_string((i + t) % 20) + ".txt";
        if (Request("/" + url, Referer(kPage)).Status == 200) ++answered;
      }
    });
  }
  clients.emplace_back([&] {  // a page reads the link translation settings
    for (int i = 0; i < 100; ++i) {
      if (RequestPage(kPage).Status == 200) ++answered;
    }
  });
  for (int i = 0; i < 20; ++i) {
    Store("http://www.example.com/p" + std::to_string(i) + ".txt", "text/plain", "p");
    m_options.InternetConnection.AllowLocalConnectionOnly = i % 2 == 0;
    TVornLinkTranslation& translation = m_download.LinksTranslation();
    translation.Enabled = i % 3 != 0;
    translation.Followed = i % 2 == 0 ? EltOffline : eltOnline;
    translation.UnFollowed = i % 4 == 0 ? EltOffline : eltNone;
    m_server.SetVornDownload(i % 5 == 0 ? nullptr : &m_download);
  }
  m_server.SetVornDownload(&m_download);
  for (auto& c : clients) c.join();
  EXPECT_EQ(answered, 700);
}

// A browser on this machine reaches each site's pages under that site's own host name only, so
// one site's scripts cannot read another's pages; what runs no script is served under any name,
// and a client that does not say it navigates gets pages under the server's own names with their
// scripts kept out of every origin.
TEST_F(OfflineServerTest, GivesEachSiteAnOriginOfItsOwn) {
  const std::string other = "http://other.example:8080/p.html";
  TStoredDocumentWriter page;
  page.AddLink(kPage);
  Store(other, "text/html", page.Build(other, "<a href=\"" + LinkPlaceholder(0) + "\">"));
  Activate();
  EXPECT_NE(SiteLabel(kPage), SiteLabel(other));
  EXPECT_NE(SiteLabel(kPage), SiteLabel("https://www.example.com/a.html"));
  const std::string navigate = "Sec-Fetch-Dest: document\r\n";
  const std::string sandbox = "sandbox allow-scripts allow-forms allow-popups allow-modals";
  const struct {
    std::string Host, Address, Fields;
    int Status;
    std::string Policy, LinkPrefix;
  } cases[] = {
      {m_host, kPage, navigate, 302, "", ""},
      {"localhost:" + std::to_string(m_server.Port()), other, navigate, 302, "", ""},
      {SiteHost(other), kPage, "", 302, "", ""},
      {SiteHost(other), other, navigate, 200, "", SitePrefix(kPage)},
      {m_host, other, "", 200, sandbox, m_server.ServerPrefix()},
      {m_host, kImage, navigate, 200, "", ""},
      {SiteHost(other), kImage, "", 200, "", ""},
  };
  for (const auto& c : cases) {
    const HttpReply reply = Fetch(m_server.Port(), Get("/" + c.Address, c.Host, c.Fields));
    SCOPED_TRACE(c.Host + " " + c.Address + " " + c.Fields);
    EXPECT_EQ(reply.Status, c.Status);
    EXPECT_EQ(reply.Field("content-security-policy"), c.Policy);
    if (c.Status == 302) {
      EXPECT_EQ(reply.Field("location"), SitePrefix(c.Address) + c.Address);
    }
    if (!c.LinkPrefix.empty()) {
      EXPECT_NE(reply.Body.find("href=\"" + c.LinkPrefix + kPage + "\""), std::string::npos);
    }
  }
}

// With other machines allowed, a page asked for under one of this machine's addresses links back
// to that address, not to the asking machine's own loopback.
TEST_F(OfflineServerTest, LinksLeadOtherMachinesBackToTheAddressTheyAsked) {
  m_options.InternetConnection.AllowLocalConnectionOnly = false;
  Activate();
  const std::string port = std::to_string(m_server.Port());
  const struct {
    std::string Host, Prefix;
  } cases[] = {
      {"127.0.0.2:" + port, "http://127.0.0.2:" + port + "/"},
      {"attacker.example:" + port, m_server.ServerPrefix()},
      {"127.0.0.2:" + std::to_string(m_server.Port() + 1), m_server.ServerPrefix()},
  };
  for (const auto& c : cases) {
    const HttpReply reply =
        Fetch(m_server.Port(), Get("/" + kPage, c.Host), "127.0.0.2", "127.0.0.2");
    EXPECT_NE(reply.Body.find("<img src=\"" + c.Prefix + kImage + "\">"), std::string::npos)
        << c.Host << reply.Body;
  }
}

// Documents go out typed as their answers typed them: a page the analyser refused byte for byte
// in its own charset, a file fetched by FTP by its name.
TEST_F(OfflineServerTest, ServesDocumentsAsTheirAnswersTypedThem) {
  static constexpr char kRaw[] =
      "<html><title>Gr\xC3\xBC\xC3\x9F"
      "e</title>\r<p>a\0b\n</html>";
  const std::string raw(kRaw, sizeof kRaw - 1);
  const struct {
    std::string Address, Stored, Type, Served;
  } cases[] = {
      {"http://www.example.com/raw.html", "text/html; charset=utf-8", "text/html; charset=utf-8",
       raw},
      {"ftp://h/f.ZIP", "Binary FTP", "application/zip", "zip"},
      {"ftp://h/v1.2/readme", "Binary FTP", "application/octet-stream", "text"},
      {"ftp://h/index.htm", "Binary FTP", "text/html", raw},
  };
  for (const auto& c : cases) Store(c.Address, c.Stored, c.Served);
  Activate();
  for (const auto& c : cases) {
    const HttpReply reply = RequestPage(c.Address);
    EXPECT_EQ(reply.Field("content-type"), c.Type) << c.Address;
    EXPECT_EQ(reply.Body, c.Served) << c.Address;
  }
}

// Range fields of one range are answered with those bytes, from small documents held whole and
// from large ones sent in pieces alike; what cannot be answered gets the whole document.
TEST_F(OfflineServerTest, AnswersTheRangeAsked) {
  std::string large(3 * kMaxUnsentBodyBytes + 5, '\0');
  uint32_t seed = 1;
  for (char& c : large) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 24);
  Store("http://www.example.com/v.webm", "video/webm", large);
  Activate();
  for (const std::string& content : {kImageBytes, large}) {
    const std::string address = content == large ? "http://www.example.com/v.webm" : kImage;
    const std::string size = std::to_string(content.size());
    const struct {
      std::string Range;
      int Status;
      size_t First, Count;
      std::string ContentRange;
    } cases[] = {
        {"", 200, 0, content.size(), ""},
        {"bytes=0-3", 206, 0, 4, "bytes 0-3/" + size},
        {"bytes=-5", 206, content.size() - 5, 5,
         "bytes " + std::to_string(content.size() - 5) + "-" + std::to_string(content.size() - 1) +
             "/" + size},
        {"bytes=2-", 206, 2, content.size() - 2,
         "bytes 2-" + std::to_string(content.size() - 1) + "/" + size},
        {"bytes=1-99999999", 206, 1, content.size() - 1,
         "bytes 1-" + std::to_string(content.size() - 1) + "/" + size},
        {"bytes=3-2", 200, 0, content.size(), ""},
        {"bytes=0-1,4-5", 200, 0, content.size(), ""},
        {"bytes=" + size + "-", 416, 0, 0, "bytes */" + size},
    };
    for (const auto& c : cases) {
      const HttpReply reply =
          Request("/" + address, c.Range.empty() ? "" : "Range: " + c.Range + "\r\n");
      EXPECT_EQ(reply.Status, c.Status) << address << " " << c.Range;
      EXPECT_EQ(reply.Field("content-range"), c.ContentRange) << c.Range;
      EXPECT_EQ(reply.Field("accept-ranges"), "bytes");
      EXPECT_TRUE(reply.Body == content.substr(c.First, c.Count)) << address << " " << c.Range;
    }
  }
}

}  // namespace
}  // namespace tq
