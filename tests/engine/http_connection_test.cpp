// HTTP transfers against the loopback server: answers and their outcomes, retries, sizes,
// redirects, credentials, cookies, time-outs and cancelling.
#include "engine/http_connection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "engine/passwords.h"
#include "engine/transfer_fixture.h"
#include "formats/stored_document.h"
#include "foundation/format.h"
#include "support/fake_dialog_service.h"

namespace tq::test {
namespace {

class HttpTransferTest : public TransferFixture {};

TEST_F(HttpTransferTest, AnswersEndInTheirOutcomeWithContentTypeAndSize) {
  m_server.Route("/page.html", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html; charset=utf-8\r\n",
                                  "<html>hi</html>"));
  });
  m_server.Route("/file.bin", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: application/octet-stream\r\n",
                                  std::string(5000, 'x')));
  });
  m_server.Route("/nolength", [](const TestRequest&, TestConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\nunsized");
  });
  // Many receive blocks: progress is reported for a few of them, the last one always.
  const std::string big(3 << 20, 'b');
  m_server.Route("/big.bin", [&](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: application/octet-stream\r\n", big));
  });
  struct Case {
    std::string target;
    uint8_t outcome;
    std::string contentType;
    std::string content;
  };
  const Case cases[] = {
      {"/page.html", kOutcomeFetched, "text/html; charset=utf-8", "<html>hi</html>"},
      {"/file.bin", kOutcomeFetched, "application/octet-stream", std::string(5000, 'x')},
      {"/nolength", kOutcomeFetched, "text/plain", "unsized"},
      {"/big.bin", kOutcomeFetched, "application/octet-stream", big},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    PageRecord r = Fetch(m_server.Url(c.target));
    EXPECT_FALSE(r.Errored) << r.Error;
    EXPECT_EQ(r.Content, c.content);
    EXPECT_EQ(m_last->Outcome, c.outcome);
    EXPECT_EQ(m_last->Link->ContentType, c.contentType);
    EXPECT_EQ(m_last->Link->Size, static_cast<int32_t>(c.content.size()));
    ASSERT_FALSE(r.Works.empty());
    EXPECT_EQ(r.Works.back().BytesDone, static_cast<double>(c.content.size()));
    EXPECT_EQ(r.Works.back().DoneText, FormatFileSize(static_cast<double>(c.content.size())));
    for (size_t i = 1; i < r.Works.size(); ++i) {
      EXPECT_LT(r.Works[i - 1].BytesDone, r.Works[i].BytesDone);
    }
    // Each progress step has its status, all of them before the transfer's end (a reused
    // connection reports no connecting).
    std::vector<std::string> texts;
    for (const auto& [status, text] : r.Statuses) {
      if (status == ecsConnecting || status == ecsConnected) continue;
      if (status != ecsTransferring || texts.back() != "Transferring") {
        texts.push_back(status == ecsTransferring ? "Transferring" : text);
      }
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Resolving hostname 127.0.0.1.", "Transferring",
                                               "Done.", "Disconnecting.", "Disconnected."}));
    size_t transferring = 0;
    for (const auto& status : r.Statuses) transferring += status.first == ecsTransferring;
    EXPECT_EQ(transferring, r.Works.size());
  }
  const auto requests = m_server.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].Header("accept"), "text/html, */*");
}

// Only what may pass on a second try is asked again: a definitive answer ends the link at once.
TEST_F(HttpTransferTest, FailuresThatMayPassAreRetriedAndAllEndWithTheirErrorText) {
  std::atomic<int> hits{0};
  const auto status = [&](const std::string& line, const std::string& headers = "") {
    return [&hits, line, headers](const TestRequest&, TestConnection& c) {
      ++hits;
      c.Send(HttpTestServer::Answer(line, headers, "no"));
    };
  };
  m_server.Route("/missing", status("404 Not Found"));
  m_server.Route("/forbidden", status("403 Forbidden"));
  m_server.Route("/busy", status("503 Service Unavailable"));
  m_server.Route("/broken", status("500 Internal Server Error"));
  m_server.Route("/slow", status("408 Request Timeout"));
  m_server.Route("/gateway", status("504 Gateway Timeout"));
  m_server.Route("/later", status("429 Too Many Requests", "Retry-After: 3600\r\n"));
  m_server.Route("/short", [&](const TestRequest&, TestConnection& c) {
    ++hits;
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nonly ten..");
  });
  struct Case {
    std::string target;
    int asked;
    std::string error;
  };
  const Case cases[] = {
      {"/missing", 1, "HTTP/1.1 404 Not Found"},
      {"/forbidden", 1, "HTTP/1.1 403 Forbidden"},
      {"/busy", 3, "HTTP/1.1 503 Service Unavailable"},
      {"/broken", 3, "HTTP/1.1 500 Internal Server Error"},
      {"/slow", 3, "HTTP/1.1 408 Request Timeout"},
      {"/gateway", 3, "HTTP/1.1 504 Gateway Timeout"},
      // Told to come back in an hour: the page is not to be had during this crawl.
      {"/later", 1, "HTTP/1.1 429 Too Many Requests"},
      {"/short", 3, "Transfer failed"},
  };
  m_manager.RetriesOnFailed = 2;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    hits = 0;
    PageRecord r = Fetch(m_server.Url(c.target));
    EXPECT_TRUE(r.Errored);
    EXPECT_EQ(r.Error, c.error);
    EXPECT_EQ(hits, c.asked);
    EXPECT_EQ(m_last->Outcome, kOutcomeFailed);
    EXPECT_EQ(m_last->Http().Attempts(), c.asked);
  }
}

// A server's Retry-After replaces the usual pause: it is waited for, however short the pause.
TEST_F(HttpTransferTest, RetryAfterIsWaitedForBeforeTheNextAttempt) {
  std::mutex mutex;
  std::vector<std::chrono::steady_clock::time_point> arrivals;
  m_server.Route("/crowded", [&](const TestRequest&, TestConnection& c) {
    std::lock_guard<std::mutex> guard(mutex);
    arrivals.push_back(std::chrono::steady_clock::now());
    c.Send(arrivals.size() == 1
               ? HttpTestServer::Answer("429 Too Many Requests", "Retry-After: 1\r\n", "")
               : HttpTestServer::Answer("200 OK", "", "room"));
  });
  m_manager.RetriesOnFailed = 1;
  m_manager.TestOnlyRetryPauseMs = 1;
  EXPECT_EQ(Fetch(m_server.Url("/crowded")).Content, "room");
  ASSERT_EQ(arrivals.size(), 2u);
  EXPECT_GE(arrivals[1] - arrivals[0], std::chrono::milliseconds(1000));
}

TEST_F(HttpTransferTest, RefusedPortMakesEveryAttemptThenReportsOneError) {
  m_manager.RetriesOnFailed = 2;
  PageRecord r = Fetch("http://127.0.0.1:" + std::to_string(RefusedPort()) + "/x.html");
  EXPECT_TRUE(r.Errored);
  EXPECT_EQ(m_last->Http().Attempts(), 3);
  std::vector<std::string> milestones;
  for (const auto& [status, text] : r.Statuses) {
    if (status == ecsRetry || status == ecsError) milestones.push_back(text);
  }
  ASSERT_EQ(milestones.size(), 3u);
  EXPECT_EQ(milestones[0], "Retrying ..");
  EXPECT_EQ(milestones[1], "Retrying ..");
  EXPECT_EQ(milestones[2], "Error : " + r.Error);
  EXPECT_FALSE(r.Error.empty());
}

TEST_F(HttpTransferTest, RedirectBecomesTheRedirectedPageWithoutFollowingOrRetrying) {
  std::atomic<int> hits{0};
  m_server.Route("/old.html", [&](const TestRequest&, TestConnection& c) {
    ++hits;
    c.Send(HttpTestServer::Answer("301 Moved Permanently", "Location: /new.html\r\n", "moved"));
  });
  m_manager.RetriesOnFailed = 3;
  PageRecord r = Fetch(m_server.Url("/old.html"));
  EXPECT_FALSE(r.Errored);
  EXPECT_EQ(hits, 1);
  EXPECT_EQ(r.Redirects, std::vector<std::string>{"/new.html"});
  EXPECT_EQ(m_last->Outcome, kOutcomeRedirected);
  EXPECT_EQ(r.Content, MakeRedirectPage(m_server.Url("/new.html")));
  EXPECT_EQ(r.Content.substr(0, r.Content.find("<html>")),
            "<TARNQUILL DOCUMENT LINKS>\r\n<" + m_server.Url("/new.html") +
                ">\r\n<TARNQUILL DOCUMENT CONTENT>\r\n");
  EXPECT_NE(r.Content.find("<A href=\"\xA4\xA4"
                           "0\xA4\xA4\">Click here</A>"),
            std::string::npos);
  EXPECT_EQ(m_last->Link->ContentType, "TEXT/HTML");
  EXPECT_EQ(m_last->Link->Size, static_cast<int32_t>(r.Content.size()));
  for (const auto& request : m_server.Requests()) EXPECT_NE(request.Target, "/new.html");
}

// The network library reads an address up to a NUL, so "/movie.avi\0.html" would fetch
// "/movie.avi" under the other name. A link's address carries the byte percent-encoded; an
// address that still holds one (no scheme, so no canonical form) is refused before any request.
TEST_F(HttpTransferTest, NoAddressWithAControlByteReachesTheServer) {
  m_server.Route("/movie.avi", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: video/x-msvideo\r\n", "avi"));
  });
  const std::string nul("\0", 1);
  PageRecord r = Fetch(m_server.Url("/movie.avi" + nul + ".html"));
  ASSERT_EQ(m_server.Requests().size(), 1u);
  EXPECT_EQ(m_server.Requests()[0].Target, "/movie.avi%00.html");
  EXPECT_NE(r.Content, "avi");

  m_server.ClearRequests();
  const std::string schemeless = m_server.Url("/movie.avi" + nul + "\x01.html").substr(7);
  r = Fetch(schemeless);
  EXPECT_TRUE(r.Errored);
  EXPECT_EQ(r.Error, kControlByteError);
  EXPECT_EQ(m_last->Http().Attempts(), 0);
  EXPECT_TRUE(m_server.Requests().empty());
}

TEST_F(HttpTransferTest, SizeRefusalStopsBeforeTheBodyAndStoresTheRefusalPage) {
  std::atomic<bool> writeFailed{false};
  std::atomic<size_t> written{0};
  constexpr size_t kAnnounced = 64u << 20;
  m_server.Route("/large", [&](const TestRequest&, TestConnection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: " +
                std::to_string(kAnnounced) + "\r\n\r\n")) {
      return;
    }
    const std::string chunk(65536, 'v');
    while (written < kAnnounced) {
      if (!c.Send(chunk)) {
        writeFailed = true;
        return;
      }
      written += chunk.size();
    }
  });
  std::vector<double> checked;
  m_manager.OnSizeCheck = [&](const TVornLinkPtr&, double size) {
    checked.push_back(size);
    return TVornSizeVerdict{false, -1, "too large"};
  };
  PageRecord r = Fetch(m_server.Url("/large"));
  EXPECT_FALSE(r.Errored) << r.Error;
  EXPECT_EQ(checked, std::vector<double>{double(kAnnounced)});
  EXPECT_TRUE(r.Works.empty());  // not one body byte was taken in
  EXPECT_EQ(r.Content, MakeRefusalPage(kAnnounced, m_server.Url("/large")));
  EXPECT_EQ(r.Content.substr(r.Content.size() - 7), "</HTML>");
  EXPECT_EQ(m_last->Outcome, kOutcomeRefused);
  EXPECT_EQ(m_last->Link->ContentType, "TEXT/HTML");
  EXPECT_EQ(m_last->Link->Size, static_cast<int32_t>(r.Content.size()));
  // The server found the connection closed long before it could write the announced body.
  ASSERT_TRUE(RunUntil([&] { return writeFailed.load(); }));
  EXPECT_LT(written.load(), kAnnounced / 4);
}

TEST_F(HttpTransferTest, NoAnnouncedSizeIsCheckedAsZero) {
  m_server.Route("/nolength", [](const TestRequest&, TestConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\nunsized");
  });
  std::vector<double> checked;
  m_manager.OnSizeCheck = [&](const TVornLinkPtr&, double size) {
    checked.push_back(size);
    return TVornSizeVerdict{size >= 10, -1, "below the minimum"};
  };
  PageRecord r = Fetch(m_server.Url("/nolength"));
  EXPECT_EQ(checked, std::vector<double>{0});
  EXPECT_EQ(m_last->Outcome, kOutcomeRefused);
  EXPECT_NE(r.Content.find(FormatFileSize(0)), std::string::npos);
  for (const auto& w : r.Works) EXPECT_EQ(w.EstimatedText, "Unknown");
}

TEST_F(HttpTransferTest, CredentialsAgentAndCookiesGoWithTheRequests) {
  m_server.Route("/secret", [](const TestRequest& q, TestConnection& c) {
    if (q.Header("authorization") == "Basic dXNlcjpwYXNz") {  // user:pass
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/plain\r\n", "welcome"));
    } else {
      c.Send(HttpTestServer::Answer("401 Unauthorized", "WWW-Authenticate: Basic realm=\"r\"\r\n",
                                    "no"));
    }
  });
  std::vector<std::string> asked;
  m_manager.Credentials = [&](const std::string& address, const std::vector<std::string>&,
                              std::string& user, std::string& pw) {
    asked.push_back(address);
    user = "user";
    pw = "pass";
    return true;
  };
  // Without credentials the 401 fails the attempt; the retry carries what the lookup found.
  m_manager.RetriesOnFailed = 1;
  PageRecord r = Fetch(m_server.Url("/secret"),
                       [](TVornHTTPConnection& h) { h.UserAgent = "Tarnquill test agent"; });
  EXPECT_EQ(r.Content, "welcome");
  EXPECT_EQ(asked, std::vector<std::string>{m_server.Url("/secret")});
  auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Header("authorization"), "");
  EXPECT_EQ(requests[1].Header("user-agent"), "Tarnquill test agent");

  // Known credentials go with the first request; no retries needed.
  m_manager.RetriesOnFailed = 0;
  r = Fetch(m_server.Url("/secret"), [](TVornHTTPConnection& h) {
    h.UserName = "user";
    h.Password = "pass";
  });
  EXPECT_EQ(r.Content, "welcome");

  // A cookie set by one answer goes with the transfer's next request.
  m_server.Route("/cookie", [](const TestRequest& q, TestConnection& c) {
    if (q.Header("cookie").find("sid=42") != std::string::npos) {
      c.Send(HttpTestServer::Answer("200 OK", "", "known"));
    } else {
      c.Send(HttpTestServer::Answer("500 Who Are You", "Set-Cookie: sid=42; Path=/\r\n", ""));
    }
  });
  m_manager.RetriesOnFailed = 1;
  r = Fetch(m_server.Url("/cookie"));
  EXPECT_EQ(r.Content, "known");
}

// Transfers to one server go over the connection an earlier transfer left open, and carry
// nothing else of it: its cookies stay behind. A kept connection the server has closed
// meanwhile costs a new connection, not a failure.
TEST_F(HttpTransferTest, LaterTransfersReuseTheConnectionButNotTheCookies) {
  m_server.KeepConnectionsOpen();
  m_server.Route("/login", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Set-Cookie: sid=42; Path=/\r\n", "in", true));
  });
  m_server.Route("/whoami", [](const TestRequest& q, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "", "cookie=" + q.Header("cookie"), true));
  });
  m_server.Route("/bye", [](const TestRequest&, TestConnection& c) {
    // Announces nothing, then closes: the client still holds the connection as open.
    c.Send(HttpTestServer::Answer("200 OK", "", "bye", true));
    ::shutdown(c.Fd(), SHUT_RDWR);
  });
  EXPECT_EQ(Fetch(m_server.Url("/login")).Content, "in");
  EXPECT_EQ(Fetch(m_server.Url("/whoami")).Content, "cookie=");
  EXPECT_EQ(Fetch(m_server.Url("/bye")).Content, "bye");
  const PageRecord after = Fetch(m_server.Url("/whoami"));
  EXPECT_FALSE(after.Errored) << after.Error;
  EXPECT_EQ(after.Content, "cookie=");
  const auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[1].Connection, requests[0].Connection);
  EXPECT_EQ(requests[2].Connection, requests[0].Connection);
  EXPECT_NE(requests[3].Connection, requests[0].Connection);
}

TEST_F(HttpTransferTest, StalledBodyFailsWithReadTimeout) {
  m_server.Route("/stall", [](const TestRequest&, TestConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nbegin");
    c.WaitForPeerClose();
  });
  m_manager.ConnectionTimeout = 1;
  PageRecord r = Fetch(m_server.Url("/stall"));
  EXPECT_TRUE(r.Errored);
  EXPECT_EQ(r.Error, "Read Timeout");
}

TEST_F(HttpTransferTest, CancelAllEndsFiveStalledTransfersAsCancelled) {
  m_server.Route("/stall", [](const TestRequest&, TestConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nbegin");
    c.WaitForPeerClose();
  });
  m_manager.RetriesOnFailed = 5;
  std::vector<TVornPagePtr> pages;
  for (int i = 0; i < 5; ++i) pages.push_back(Start(m_server.Url("/stall")));
  EXPECT_EQ(m_manager.PageCount(), 5);
  ASSERT_TRUE(RunUntil([&] {
    for (const auto& p : pages) {
      if (Record(p).Works.empty()) return false;
    }
    return true;
  }));
  // From a stop thread, as the controller does it, while this thread runs the end handlers.
  std::atomic<bool> done{false};
  std::thread stopper([&] {
    m_manager.CancelAll();
    done = true;
  });
  EXPECT_TRUE(RunUntil([&] { return done.load(); }));
  stopper.join();
  EXPECT_EQ(m_manager.PageCount(), 0);
  for (const auto& p : pages) {
    EXPECT_EQ(p->Outcome, kOutcomeCancelled);
    EXPECT_EQ(p->Http().Attempts(), 1);
    EXPECT_FALSE(Record(p).Errored);
  }
}

// An error inside one of the library's callbacks must not unwind through the library: it fails
// the attempt with its text, like any other, and the library client stays fit for the next one.
// The login prompt's error comes the way the controller's lookup meets it: rethrown from the
// interface thread.
TEST_F(HttpTransferTest, ErrorsInsideTheLibraryCallbacksFailTheAttemptWithTheirText) {
  m_server.Route("/page", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "", "page"));
  });
  m_server.Route("/moved", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("301 Moved", "Location: /page\r\n", ""));
  });
  m_server.Route("/secret", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("401 Unauthorized", "", ""));
  });
  auto dialogs = std::make_shared<TFakeDialogService>();
  dialogs->whileLoginOpen = [] { throw std::runtime_error("prompt failed"); };
  SetDialogService(dialogs);
  TVornPasswords passwords;
  const auto redirect = m_manager.OnPageRedirect;
  const auto work = m_manager.OnPageWork;
  const auto thrower = [](const char* text) {
    return [text](auto&&...) -> TVornSizeVerdict { throw std::runtime_error(text); };
  };
  const std::tuple<const char*, const char*, std::function<void()>> cases[] = {
      {"/moved", "redirect failed", [&] { m_manager.OnPageRedirect = thrower("redirect failed"); }},
      {"/page", "work failed", [&] { m_manager.OnPageWork = thrower("work failed"); }},
      {"/page", "size check failed", [&] { m_manager.OnSizeCheck = thrower("size check failed"); }},
      {"/secret", "prompt failed",
       [&] {
         m_manager.Credentials = [&](const std::string& address, const std::vector<std::string>&,
                                     std::string&, std::string&) {
           return !passwords.LookupCredentials(address, true).User.empty();
         };
       }},
  };
  m_manager.RetriesOnFailed = 1;
  for (const auto& [target, error, arm] : cases) {
    SCOPED_TRACE(error);
    arm();
    const PageRecord r = Fetch(m_server.Url(target));
    EXPECT_TRUE(r.Errored);
    EXPECT_EQ(r.Error, error);
    EXPECT_EQ(m_last->Http().Attempts(), 2);
    m_manager.OnPageRedirect = redirect;
    m_manager.OnPageWork = work;
    m_manager.OnSizeCheck = nullptr;
    m_manager.Credentials = nullptr;
    EXPECT_EQ(Fetch(m_server.Url("/page")).Content, "page");
  }
  SetDialogService(nullptr);
}

TEST(HttpPagesTest, AddressesFromTheWebCannotInjectMarkup) {
  const std::string plain = "http://h/a.html?x=1&y=2";
  EXPECT_EQ(EscapeAddressForHtml(plain), plain);
  EXPECT_NE(MakeRefusalPage(10, plain).find("<a href=\"" + plain + "\">here</a>"),
            std::string::npos);
  const std::string hostile = "http://h/\"><script>x</script>";
  const std::string redirected = MakeRedirectPage(hostile);
  for (const std::string& html :
       {MakeRefusalPage(10, hostile), redirected.substr(redirected.find("<html>"))}) {
    EXPECT_EQ(html.find("<script>"), std::string::npos);
  }
  EXPECT_NE(MakeRedirectPage(hostile).find(
                "<STRONG>http://h/&quot;&gt;&lt;script&gt;x&lt;/script&gt;</STRONG>"),
            std::string::npos);
}

// The stored redirect refreshes to link 0's mapping, never to the page itself or a local file;
// the address's own 0xA4 bytes stay text, so link 0 is mapped twice at most.
TEST(HttpPagesTest, RedirectPageGoesOnToItsTarget) {
  for (const std::string target : {"http://h/new.html", "http://h/old.html", "file:///etc/passwd",
                                   "http://h/\xA4\xA4"
                                   "0\xA4\xA4"}) {
    const std::string page =
        RenderStoredDocument("TEXT/HTML", MakeRedirectPage(target, "http://h/old.html"),
                             [](int, const std::string&) { return std::string("[0]"); });
    const bool refresh = page.find("content=\"0; url=[0]\">") != std::string::npos;
    EXPECT_EQ(refresh, target != "http://h/old.html" && !target.starts_with("file:")) << target;
    size_t n = 0;
    for (size_t at = page.find("[0]"); at != std::string::npos; at = page.find("[0]", at + 1)) ++n;
    EXPECT_EQ(n, refresh ? 2u : 1u) << target;
  }
}

}  // namespace
}  // namespace tq::test
