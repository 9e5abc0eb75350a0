// The listener against clients that misbehave: malformed and oversized requests, bodies,
// pipelining, half-closed and idle connections, a handler that throws.
// ctest: timeout=120
#include "server/http_listener.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "server/http_client.h"

namespace tq {
namespace {

using test::Fetch;
using test::Get;
using test::HttpClient;
using test::HttpReply;

// Echoes what the handler is given, so a test sees exactly what a request turned into.
THttpResponse Echo(const THttpRequest& r) {
  if (r.RequestLine.find("/throw") != std::string::npos) throw std::runtime_error("handler");
  return {"text/plain",
          r.Method + "|" + r.RequestLine + "|" + r.Host + "|" + r.Referer + "|" + r.PeerAddress};
}

class HttpListenerTest : public ::testing::Test {
 protected:
  void Start(THttpListenerLimits limits = {}) {
    m_listener = std::make_unique<THttpListener>(Echo, limits);
    ASSERT_TRUE(m_listener->Start("127.0.0.1", 0));
    m_port = m_listener->Port();
  }
  HttpReply Good() { return Fetch(m_port, Get("/ok", "a")); }

  std::unique_ptr<THttpListener> m_listener;
  int m_port = 0;
};

TEST_F(HttpListenerTest, RefusesMalformedRequestsAndKeepsServing) {
  Start();
  std::string manyFields = "GET /x HTTP/1.1\r\nHost: a\r\n";
  for (int i = 0; i < 10000; ++i) manyFields += "X-" + std::to_string(i) + ": v\r\n";
  const struct {
    std::string Request;
    int Status;
  } cases[] = {
      {"GET /x HTTP/1.1\r\n\r\n", 400},  // no Host
      {"GET /x HTTP/2.0\r\nHost: a\r\n\r\n", 505},
      {"GARBAGE\r\n\r\n", 400},
      {"GET /x HTTP/1.1\r\nHost: a\r\nno colon\r\n\r\n", 400},
      {"GET /x HTTP/1.1\r\nHost: a\r\n folded\r\n\r\n", 400},
      {"GET /x HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
      {"GET /a\rb HTTP/1.1\r\nHost: a\r\n\r\n", 400},
      {"GET /x HTTP/1.1\r\nHost: a\r\nContent-Length: 1x\r\n\r\n", 400},
      {"GET /x HTTP/1.1\r\nHost: a\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
      {"GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\nHost: a\r\n\r\n", 414},
      {manyFields + "\r\n", 431},
      {"GET /throw HTTP/1.1\r\nHost: a\r\n\r\n", 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Request.substr(0, 60));
    HttpClient client(m_port);
    ASSERT_TRUE(client.Send(c.Request));
    EXPECT_EQ(client.Read().Status, c.Status);
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_EQ(Good().Status, 200);
  }
}

TEST_F(HttpListenerTest, AnswersInOrderOnKeptConnections) {
  Start();
  HttpClient client(m_port);
  // Pipelined, with a body to drop in between and an empty line before one request.
  ASSERT_TRUE(client.Send(Get("/one", "a") +
                          "POST /two HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\nhello\r\n" +
                          Get("/three", "a", "Referer: http://r/\r\n")));
  EXPECT_EQ(client.Read().Body, "GET|GET /one HTTP/1.1|a||127.0.0.1");
  EXPECT_EQ(client.Read().Body, "POST|POST /two HTTP/1.1|a||127.0.0.1");
  const HttpReply third = client.Read();
  EXPECT_EQ(third.Body, "GET|GET /three HTTP/1.1|a|http://r/|127.0.0.1");
  EXPECT_EQ(third.Field("connection"), "keep-alive");

  ASSERT_TRUE(
      client.Send("HEAD /h HTTP/1.1\r\nHost: a\r\n\r\nDELETE /d HTTP/1.1\r\nHost: a\r\n\r\n"));
  EXPECT_EQ(client.Read(true).Status, 200);  // no body, or the next answer would not parse
  const HttpReply other = client.Read();
  EXPECT_EQ(other.Status, 405);
  EXPECT_EQ(other.Field("allow"), "GET, HEAD, POST");
  EXPECT_EQ(Fetch(m_port, Get("/after", "a")).Status, 200);

  // A client that closes its side after the request still gets the answer.
  HttpClient halfClosed(m_port);
  ASSERT_TRUE(halfClosed.Send(Get("/half", "a")));
  halfClosed.ShutdownWrite();
  EXPECT_EQ(halfClosed.Read().Status, 200);
  EXPECT_TRUE(halfClosed.ClosedByServer());

  HttpClient oldClient(m_port);
  ASSERT_TRUE(oldClient.Send("GET /old HTTP/1.0\r\n\r\n"));
  EXPECT_EQ(oldClient.Read().Field("connection"), "close");
  EXPECT_TRUE(oldClient.ClosedByServer());
}

TEST_F(HttpListenerTest, IdleAndSlowClientsNeitherBlockNorStay) {
  THttpListenerLimits limits;
  limits.MaxConnections = 16;
  limits.IdleSeconds = 1;
  limits.RequestSeconds = 1;
  Start(limits);
  std::vector<std::unique_ptr<HttpClient>> idle;
  for (int i = 0; i < 40; ++i) idle.push_back(std::make_unique<HttpClient>(m_port));
  HttpClient slow(m_port);
  slow.Send("GET /slow HTTP/1.1\r\nHost");  // never finished
  HttpClient body(m_port);
  body.Send("POST /b HTTP/1.1\r\nHost: a\r\nContent-Length: 100\r\n\r\nxx");  // never finished
  EXPECT_EQ(body.Read().Status, 200);
  // Over the connection limit the oldest idle connections make room for new requests.
  EXPECT_EQ(Good().Status, 200);
  EXPECT_TRUE(idle.front()->ClosedByServer());
  EXPECT_TRUE(slow.ClosedByServer());
  EXPECT_TRUE(body.ClosedByServer());
  EXPECT_TRUE(idle.back()->ClosedByServer());
}

}  // namespace
}  // namespace tq
