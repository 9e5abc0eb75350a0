// HTTP transfers through SOCKS 4, 4A and 5 proxies and over TLS with a test authority.
#include <gtest/gtest.h>

#include "engine/transfer_fixture.h"
#include "support/loopback_peer.h"

namespace tq::test {
namespace {

class ProxyTlsTest : public TransferFixture {};

TEST_F(ProxyTlsTest, Socks4And4ACarryTheUserNameAsUserIdCutTo255) {
  SocksResponder responder;
  struct Case {
    TSocksVersion version;
    std::string host;  // 4A leaves the name to the proxy
    std::string user;
    std::string expectedUser;
    std::string expectedHost;
  };
  const Case cases[] = {
      {svSocks4, "127.0.0.1", "alice", "alice", ""},
      {svSocks4A, "tarnquill.test", std::string(300, 'u'), std::string(255, 'u'), "tarnquill.test"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    PageRecord r = Fetch("http://" + c.host + ":8080/x.txt", [&](TVornHTTPConnection& h) {
      h.Socks.Version = c.version;
      h.Socks.Host = "127.0.0.1";
      h.Socks.Port = responder.Port();
      h.Socks.UserName = c.user;
      h.Socks.Password = "never sent";
    });
    EXPECT_FALSE(r.Errored) << r.Error;
    EXPECT_EQ(r.Content, "via socks4");
    ASSERT_FALSE(responder.UserIds().empty());
    EXPECT_EQ(responder.UserIds().back(), c.expectedUser);
    EXPECT_EQ(responder.HostNames().back(), c.expectedHost);
  }
}

TEST_F(ProxyTlsTest, Socks5IsOfferedOnlyNoAuthenticationAndGetsTheHostName) {
  SocksResponder responder;
  PageRecord r = Fetch("http://tarnquill.test/x.txt", [&](TVornHTTPConnection& h) {
    h.Socks.Version = svSocks5;
    h.Socks.Host = "127.0.0.1";
    h.Socks.Port = responder.Port();
    h.Socks.UserName = "bob";
    h.Socks.Password = "secret";
  });
  EXPECT_FALSE(r.Errored) << r.Error;
  EXPECT_EQ(r.Content, "via socks5");
  EXPECT_EQ(responder.Socks5Methods(), std::vector<std::string>{std::string(1, '\0')});
  EXPECT_EQ(responder.HostNames(), std::vector<std::string>{"tarnquill.test"});
}

// Also at the IPv6 loopback address, written with or without brackets.
TEST_F(ProxyTlsTest, Socks5ThroughMicrosocksReachesTheServer) {
  if (!ProgramExists("microsocks")) GTEST_SKIP() << "microsocks is not installed";
  m_server.Route("/page.txt", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/plain\r\n", "through socks5"));
  });
  for (const char* host : {"127.0.0.1", "::1", "[::1]"}) {
    SCOPED_TRACE(host);
    const bool ipv6 = host[0] != '1';
    const int port = RefusedPort();
    ChildProcess proxy({"microsocks", "-i", ipv6 ? "::1" : host, "-p", std::to_string(port)});
    ASSERT_TRUE(proxy.Running());
    ASSERT_TRUE(WaitForListening(port, ipv6));
    PageRecord r = Fetch(m_server.Url("/page.txt"), [&](TVornHTTPConnection& h) {
      h.Socks.Version = svSocks5;
      h.Socks.Host = host;
      h.Socks.Port = port;
      h.Socks.UserName = "bob";  // would make a username/password offer if passed on
      h.Socks.Password = "secret";
    });
    EXPECT_FALSE(r.Errored) << r.Error;
    EXPECT_EQ(r.Content, "through socks5");
  }
}

TEST_F(ProxyTlsTest, HttpsVerifiesCertificatesUnlessToldNotTo) {
  if (!ProgramExists("openssl")) GTEST_SKIP() << "openssl is not installed";
  TestCertificates certs;
  ASSERT_TRUE(certs.Made);
  const int port = RefusedPort();
  // A server that offers HTTP/2 still gets HTTP/1.1, whose status lines keep their reason phrase
  // (this one answers in HTTP/1 only, so a transfer that took HTTP/2 would fail).
  ChildProcess server({"openssl", "s_server", "-quiet", "-accept", std::to_string(port), "-cert",
                       certs.CertFile, "-key", certs.KeyFile, "-alpn", "h2,http/1.1", "-www"});
  ASSERT_TRUE(server.Running());
  ASSERT_TRUE(WaitForListening(port));
  const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
  struct Case {
    const char* name;
    bool verify;
    bool withCa;
    bool fails;
  };
  const Case cases[] = {
      {"trusted authority", true, true, false},
      {"unknown authority", true, false, true},
      {"verification off", false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PageRecord r = Fetch(url, [&](TVornHTTPConnection& h) {
      h.VerifyCertificates = c.verify;
      if (c.withCa) h.CaFile = certs.CaFile;
    });
    EXPECT_EQ(r.Errored, c.fails) << r.Error;
    if (!c.fails) {
      EXPECT_NE(r.Content.find("s_server"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tq::test
