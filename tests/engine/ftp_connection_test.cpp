// FTP retrievals against Debian's pyftpdlib on loopback: files in both data connection modes,
// folders and missing files failing with the server's words and never listed, the login after a
// refused anonymous one, the size bounds, a SOCKS 5 proxy, and cancelling.
#include "engine/ftp_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "engine/download.h"
#include "engine/transfer_fixture.h"
#include "support/fake_dialog_service.h"
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
    TVornPagePtr page = StartFtp(url, passive, setup);
    EXPECT_TRUE(WaitFinished(page)) << url;
    m_last = page;
    return Record(page);
  }
};

bool HasStatus(const PageRecord& r, TVornConnectionStatus status, const std::string& text) {
  return std::find(r.Statuses.begin(), r.Statuses.end(), std::make_pair(status, text)) !=
         r.Statuses.end();
}

bool Received(const std::vector<std::string>& commands, const std::string& command) {
  return std::find(commands.begin(), commands.end(), command) != commands.end();
}

// Anything but a retrieval that would read or change the server's folders.
bool ListedOrChanged(const std::vector<std::string>& commands) {
  static const char* const kForbidden[] = {"LIST", "NLST", "MLSD", "MLST", "STOR", "STOU",
                                           "APPE", "DELE", "MKD",  "RMD",  "RNFR", "SITE"};
  return std::any_of(commands.begin(), commands.end(), [](const std::string& c) {
    return std::any_of(std::begin(kForbidden), std::end(kForbidden),
                       [&](const char* f) { return c.rfind(f, 0) == 0; });
  });
}

TEST_F(FtpTransferTest, FilesArriveUnanalysedAndFoldersFailWithTheServersWords) {
  FtpTestServer server;
  ASSERT_TRUE(server.Running());
  std::string binary;
  for (int i = 0; i < 256 * 64; ++i) binary += static_cast<char>(i);
  const std::string html = "<a href=\"next.html\">next</a>";
  server.Put("pub/readme.html", html);
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
      {"pub/readme.html", false, html, "pub/readme.html"},
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
    EXPECT_TRUE(Received(server.Commands(), "RETR " + c.asked) ||
                (c.fails && Received(server.Commands(), "SIZE " + c.asked)));
    if (c.fails) {
      ASSERT_TRUE(r.Errored);
      EXPECT_EQ(r.Error.rfind("550 ", 0), 0u) << r.Error;
      EXPECT_EQ(r.Statuses.back(), std::make_pair(ecsError, "Error : " + r.Error));
      EXPECT_EQ(m_last->Outcome, kOutcomeFailed);
      continue;
    }
    EXPECT_FALSE(r.Errored) << r.Error;
    EXPECT_EQ(r.Content, c.content);
    EXPECT_EQ(m_last->Outcome, kOutcomeFetched);
    EXPECT_EQ(m_last->Link->ContentType, "Binary FTP");
    EXPECT_EQ(m_last->Link->Size, static_cast<int32_t>(c.content.size()));
    EXPECT_FALSE(m_last->Analyser().Busy());
    ASSERT_FALSE(r.Works.empty());
    // The size was announced before the data came.
    EXPECT_EQ(r.Works.front().BytesTotal, static_cast<double>(c.content.size()));
    const std::string root = server.Url("");
    EXPECT_TRUE(
        HasStatus(r, ecsTransferring, "Transferring from " + root.substr(6, root.size() - 7)));
    EXPECT_TRUE(HasStatus(r, ecsTransferComplete, "Done."));
  }
  const auto commands = server.Commands();
  EXPECT_FALSE(ListedOrChanged(commands)) << ::testing::PrintToString(commands);
  EXPECT_TRUE(Received(commands, "TYPE I"));
  const auto sent = [&](const char* prefix) {
    return std::any_of(commands.begin(), commands.end(),
                       [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
  };
  EXPECT_TRUE(sent("EPSV") || sent("PASV"));
  EXPECT_TRUE(sent("EPRT") || sent("PORT"));
}

TEST_F(FtpTransferTest, ARefusedAnonymousLoginLooksUpTheProjectsCredentials) {
  FtpTestServer server({"alice", "s3cret"});
  ASSERT_TRUE(server.Running());
  server.Put("private/a.txt", "for alice");
  std::atomic<int> lookups{0};
  m_manager.Credentials = [&](const std::string&, std::string& user, std::string& password) {
    ++lookups;
    user = "alice";
    password = "s3cret";
    return true;
  };
  struct Case {
    const char* name;
    std::string user;
    int retries;
    bool fetched;
    int lookups;
    int attempts;
  };
  const Case cases[] = {
      {"anonymous, then alice", "", 1, true, 1, 2},
      {"anonymous without a retry", "", 0, false, 1, 1},
      {"a refused user is not replaced", "mallory", 2, false, 0, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    lookups = 0;
    m_manager.RetriesOnFailed = c.retries;
    const PageRecord r = FetchFtp(server.Url("private/a.txt"), true, [&](TVornFTPConnection& f) {
      f.UserName = c.user;
      f.Password = "wrong";
    });
    EXPECT_EQ(!r.Errored, c.fetched) << r.Error;
    EXPECT_EQ(lookups.load(), c.lookups);
    EXPECT_EQ(m_last->Ftp().Attempts(), c.attempts);
    EXPECT_EQ(HasStatus(r, ecsAuthorizing, "Authorizing..."), c.lookups > 0);
    if (c.fetched) {
      EXPECT_EQ(r.Content, "for alice");
    } else {
      EXPECT_EQ(r.Error.rfind("530 ", 0), 0u) << r.Error;
    }
  }
  EXPECT_TRUE(Received(server.Commands(), "USER anonymous"));
  EXPECT_TRUE(Received(server.Commands(), "USER alice"));
}

TEST_F(FtpTransferTest, ASizeOutsideTheBoundsIsRefusedBeforeAnyDataIsRead) {
  FtpTestServer server;
  ASSERT_TRUE(server.Running());
  const int size = 3 << 20;
  server.Put("big.iso", std::string(size, 'b'));
  std::atomic<double> checked{-1};
  m_manager.OnSizeCheck = [&](const TVornLinkPtr&, double announced) {
    checked = announced;
    return announced > 1000 ? std::string("too big") : std::string();
  };
  for (const bool passive : {false, true}) {
    SCOPED_TRACE(passive);
    checked = -1;
    const std::string url = server.Url("big.iso");
    const PageRecord r = FetchFtp(url, passive);
    EXPECT_FALSE(r.Errored) << r.Error;
    EXPECT_EQ(checked.load(), size);
    EXPECT_TRUE(r.Works.empty()) << "no data may be read";
    EXPECT_EQ(r.Content, MakeRefusalPage(size, url));
    EXPECT_EQ(m_last->Outcome, kOutcomeRefused);
    EXPECT_EQ(m_last->Link->ContentType, "TEXT/HTML");
    EXPECT_EQ(m_last->Link->Size, static_cast<int32_t>(r.Content.size()));
    EXPECT_EQ(m_last->Ftp().Attempts(), 1);
  }
}

TEST_F(FtpTransferTest, PassiveRetrievalThroughMicrosocks) {
  if (!ProgramExists("microsocks")) GTEST_SKIP() << "microsocks is not installed";
  FtpTestServer server;
  ASSERT_TRUE(server.Running());
  server.Put("via/proxy.txt", "through socks5");
  const int port = RefusedPort();
  ChildProcess proxy({"microsocks", "-i", "127.0.0.1", "-p", std::to_string(port)});
  ASSERT_TRUE(proxy.Running());
  ASSERT_TRUE(WaitForListening(port));
  const PageRecord r = FetchFtp(server.Url("via/proxy.txt"), true, [&](TVornFTPConnection& f) {
    f.Socks.Version = svSocks5;
    f.Socks.Host = "127.0.0.1";
    f.Socks.Port = port;
    f.Socks.UserName = "bob";  // would make microsocks ask for a password if offered
    f.Socks.Password = "secret";
  });
  EXPECT_FALSE(r.Errored) << r.Error;
  EXPECT_EQ(r.Content, "through socks5");
}

TEST_F(FtpTransferTest, CancellingMidTransferEndsItAsCancelled) {
  FtpTestServer::Options slow;
  slow.Rate = 64 * 1024;
  FtpTestServer server(slow);
  ASSERT_TRUE(server.Running());
  const int size = 8 << 20;
  server.Put("slow.bin", std::string(size, 's'));
  TVornPagePtr page = StartFtp(server.Url("slow.bin"), true);
  ASSERT_TRUE(RunUntil([&] { return !Record(page).Works.empty(); }, Millis(20000)));
  page->CancelPage();
  ASSERT_TRUE(WaitFinished(page));
  const PageRecord r = Record(page);
  EXPECT_FALSE(r.Errored);
  EXPECT_EQ(page->Outcome, kOutcomeCancelled);
  EXPECT_LT(r.Content.size(), static_cast<size_t>(size));
  EXPECT_EQ(page->Ftp().Attempts(), 1);
}

TEST(FtpCrawl, ARefusedAnonymousLoginPromptsAndTheFileIsStoredUnanalysed) {
  if (!FtpTestServer::Available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
  FtpTestServer server({"alice", "s3cret"});
  ASSERT_TRUE(server.Running());
  const std::string page = "<a href=\"next.html\">next</a>";
  server.Put("pub/page.html", page);
  server.Put("pub/next.html", page);
  auto dialogs = std::make_shared<TFakeDialogService>();
  dialogs->loginAnswers.push_back({true, "alice", "s3cret"});
  SetDialogService(dialogs);
  {
    TVornDownload dl;
    dl.SetDispatchInterval(0);
    dl.ThreadManager().TestOnlyRetryPauseMs = 5;
    dl.System().RetriesOnFailed = 1;
    dl.Passwords().NewPassAction = eaPrompt;
    const std::string url = server.Url("pub/page.html");
    dl.General().BaseUrl = url;
    std::string stored;
    dl.OnJobReady() = [&](const TVornPagePtr&, const std::string& content, const TVornLinkPtr&) {
      stored = content;
    };
    dl.StartDownload();
    // The document's event may come after the crawl is over.
    ASSERT_TRUE(RunUntil([&] { return dl.State() == edsReady && !stored.empty(); }, Millis(20000)));
    ASSERT_EQ(dl.ReadyLinks().Count(), 1);
    EXPECT_EQ(dl.ReadyLinks().Get(0)->GetUrl(), url);
    EXPECT_EQ(dl.ReadyLinks().Get(0)->ContentType, "Binary FTP");
    EXPECT_EQ(stored, page);
    // Not analysed: the link on it was never found.
    EXPECT_EQ(dl.QueueLinks().Count() + dl.IgnoredLinks().Count() + dl.FailedLinks().Count(), 0);
    const auto asked = dialogs->Questions();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, "login");
    EXPECT_EQ(asked[0].text, server.Url("").substr(0, server.Url("").size() - 1));
  }
  SetDialogService(nullptr);
}

}  // namespace
}  // namespace tq::test
