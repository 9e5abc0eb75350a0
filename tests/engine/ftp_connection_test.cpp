// FTP retrievals against Debian's pyftpdlib on loopback: files in both data connection modes,
// folders and missing files failing with the server's words and never listed, the login after a
// refused anonymous one, the size bounds, a SOCKS 5 proxy, and cancelling.
#include "engine/ftp_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "engine/transfer_fixture.h"
#include "support/loopback_peer.h"

namespace tq::test {
namespace {

class FtpTransferTest : public TransferFixture {
 protected:
  void SetUp() override {
    if (!FtpTestServer::Available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
  }

  TVornPagePtr StartFtp(const std::string& url, bool passive,
                        const std::function<void(TVornFTPConnection&)>& setup = nullptr) {
    TVornPagePtr page = RecordedPage(url);
    page->Ftp().Passive = passive;
    if (setup) setup(page->Ftp());
    page->Ftp().StartTransfer();
    return page;
  }

  PageRecord FetchFtp(const std::string& url, bool passive,
                      const std::function<void(TVornFTPConnection&)>& setup = nullptr) {
    m_last = StartFtp(url, passive, setup);
    EXPECT_TRUE(WaitFinished(m_last)) << url;
    return Record(m_last);
  }
};

// Whether a command starting with one of prefixes was received.
bool Sent(const FtpTestServer& server, std::initializer_list<std::string> prefixes) {
  const auto commands = server.Commands();
  return std::any_of(commands.begin(), commands.end(), [&](const std::string& c) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const std::string& p) { return c.rfind(p, 0) == 0; });
  });
}

TEST_F(FtpTransferTest, FilesArriveUnanalysedAndFoldersFailWithTheServersWords) {
  FtpTestServer server;
  ASSERT_TRUE(server.Running());
  std::string binary;
  for (int i = 0; i < 256 * 64; ++i) binary += static_cast<char>(i);
  server.Put("pub/readme.html", "<a href=\"next.html\">next</a>");
  server.Put("pub/data.bin", binary);
  server.Put("pub/my file.txt", "spaced");
  server.Put("top.txt", "at the login folder");
  struct Case {
    std::string path;
    bool passive;
    std::string content;
    std::string asked;  // the path the server was asked for
    bool fails = false;
  };
  const Case cases[] = {
      {"pub/readme.html", false, "<a href=\"next.html\">next</a>", "pub/readme.html"},
      {"pub/data.bin", true, binary, "pub/data.bin"},
      {"pub/my%20file.txt", true, "spaced", "pub/my file.txt"},
      {"pub/my file.txt", false, "spaced", "pub/my file.txt"},
      {"top.txt?x=1#f", true, "at the login folder", "top.txt"},
      {"pub/", true, "", "pub", true},
      {"", false, "", ".", true},
      {"pub/missing.zip", false, "", "pub/missing.zip", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const PageRecord r = FetchFtp(server.Url(c.path), c.passive);
    // A failure may come at the size already, before the retrieval.
    EXPECT_TRUE(Sent(server, {"RETR " + c.asked}) ||
                (c.fails && Sent(server, {"SIZE " + c.asked})));
    EXPECT_EQ(r.Errored, c.fails) << r.Error;
    if (c.fails) {
      EXPECT_EQ(r.Error.rfind("550 ", 0), 0u) << r.Error;
      EXPECT_EQ(r.Statuses.back(), std::make_pair(ecsError, "Error : " + r.Error));
      continue;
    }
    EXPECT_EQ(r.Content, c.content);
    EXPECT_EQ(m_last->Outcome, kOutcomeFetched);
    EXPECT_EQ(m_last->Link->ContentType, "Binary FTP");
    EXPECT_EQ(m_last->Link->Size, static_cast<int32_t>(c.content.size()));
    ASSERT_FALSE(r.Works.empty());
    EXPECT_EQ(r.Works.front().BytesTotal, static_cast<double>(c.content.size()))
        << "announced first";
  }
  EXPECT_FALSE(Sent(server, {"LIST", "NLST", "MLSD", "MLST", "STOR", "APPE", "DELE", "MKD"}));
  EXPECT_TRUE(Sent(server, {"EPSV", "PASV"}));
  EXPECT_TRUE(Sent(server, {"EPRT", "PORT"}));
}

TEST_F(FtpTransferTest, ARefusedAnonymousLoginLooksUpTheProjectsCredentials) {
  FtpTestServer server({"alice", "s3cret"});
  ASSERT_TRUE(server.Running());
  server.Put("private/a.txt", "for alice");
  std::atomic<int> lookups{0};
  m_manager.Credentials = [&](const std::string&, const std::vector<std::string>&,
                              std::string& user, std::string& password) {
    ++lookups;
    user = "alice";
    password = "s3cret";
    return true;
  };
  struct Case {
    std::string user;
    int retries;
    bool fetched;
    int lookups;
    int attempts;
  };
  const Case cases[] = {
      {"", 1, true, 1, 2},          // anonymous, then alice
      {"", 0, false, 1, 1},         // no attempt left for alice
      {"mallory", 2, false, 0, 3},  // a refused user is not replaced
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user + std::to_string(c.retries));
    lookups = 0;
    m_manager.RetriesOnFailed = c.retries;
    const PageRecord r = FetchFtp(server.Url("private/a.txt"), true, [&](TVornFTPConnection& f) {
      f.UserName = c.user;
      f.Password = "wrong";
    });
    EXPECT_EQ(r.Content, c.fetched ? "for alice" : "");
    EXPECT_EQ(r.Errored ? r.Error.substr(0, 4) : "", c.fetched ? "" : "530 ");
    EXPECT_EQ(lookups.load(), c.lookups);
    EXPECT_EQ(m_last->Ftp().Attempts(), c.attempts);
    const auto authorizing = std::make_pair(ecsAuthorizing, std::string("Authorizing..."));
    EXPECT_EQ(std::count(r.Statuses.begin(), r.Statuses.end(), authorizing), c.lookups);
  }
}

TEST_F(FtpTransferTest, ASizeOutsideTheBoundsIsRefusedBeforeAnyDataIsRead) {
  FtpTestServer server;
  ASSERT_TRUE(server.Running());
  const int size = 3 << 20;
  server.Put("big.iso", std::string(size, 'b'));
  std::atomic<double> checked{-1};
  // Refused outright, or allowed with a maximum the announced size is already past.
  const std::pair<bool, TVornSizeVerdict> cases[] = {{false, {false, -1, "too big"}},
                                                     {true, {true, 1000, "over 1000"}}};
  for (const auto& [passive, verdict] : cases) {
    SCOPED_TRACE(verdict.Reason);
    m_manager.OnSizeCheck = [&, verdict = verdict](const TVornLinkPtr&, double announced) {
      checked = announced;
      return verdict;
    };
    const PageRecord r = FetchFtp(server.Url("big.iso"), passive);
    EXPECT_FALSE(r.Errored) << r.Error;
    EXPECT_EQ(checked.load(), size);
    EXPECT_TRUE(r.Works.empty()) << "no data may be read";
    EXPECT_EQ(r.Content, MakeRefusalPage(size, server.Url("big.iso")));
    EXPECT_EQ(m_last->Outcome, kOutcomeRefused);
    EXPECT_EQ(m_last->Link->ContentType, "TEXT/HTML");
    EXPECT_EQ(m_last->Link->Size, static_cast<int32_t>(r.Content.size()));
    EXPECT_EQ(m_last->Link->Reason, verdict.Reason);
  }
}

TEST_F(FtpTransferTest, PassiveThroughMicrosocksAndCancelledMidTransfer) {
  FtpTestServer::Options slow;
  slow.Rate = 64 * 1024;
  FtpTestServer server(slow);
  ASSERT_TRUE(server.Running());
  server.Put("slow.bin", std::string(8 << 20, 's'));
  server.Put("proxy.txt", "through socks5");
  if (ProgramExists("microsocks")) {
    const int port = RefusedPort();
    ChildProcess proxy({"microsocks", "-i", "127.0.0.1", "-p", std::to_string(port)});
    ASSERT_TRUE(proxy.Running() && WaitForListening(port));
    const PageRecord r = FetchFtp(server.Url("proxy.txt"), true, [&](TVornFTPConnection& f) {
      f.Socks = {svSocks5, "127.0.0.1", port, "bob", "secret"};  // never offered to the proxy
    });
    EXPECT_EQ(r.Content, "through socks5") << r.Error;
  }
  TVornPagePtr page = StartFtp(server.Url("slow.bin"), true);
  ASSERT_TRUE(RunUntil([&] { return !Record(page).Works.empty(); }, Millis(20000)));
  page->CancelPage();
  ASSERT_TRUE(WaitFinished(page));
  EXPECT_FALSE(Record(page).Errored);
  EXPECT_EQ(page->Outcome, kOutcomeCancelled);
  EXPECT_EQ(page->Ftp().Attempts(), 1);
}

}  // namespace
}  // namespace tq::test
