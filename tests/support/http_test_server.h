// A small HTTP/1.1 server on 127.0.0.1 for transfer tests, on raw sockets so that a route can
// misbehave on purpose (close early, stall, write until the client goes away). One thread per
// connection; a route gets the parsed request and writes whatever it likes.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tq::test {

struct TestRequest {
  std::string Method, Target;
  std::map<std::string, std::string> Headers;  // names lower-cased
  int Connection = 0;                          // which connection it came on, counted from 1
  std::string Header(const std::string& lowerName) const {
    auto it = Headers.find(lowerName);
    return it == Headers.end() ? std::string() : it->second;
  }
};

class TestConnection {
 public:
  TestConnection(int fd, const std::atomic<bool>& stopping) : m_fd(fd), m_stopping(stopping) {}
  // False once the peer has gone.
  bool Send(const std::string& bytes);
  // Waits until the peer closes the connection or the server stops.
  void WaitForPeerClose();
  int Fd() const { return m_fd; }

 private:
  int m_fd;
  const std::atomic<bool>& m_stopping;
};

using TestRoute = std::function<void(const TestRequest&, TestConnection&)>;

class HttpTestServer {
 public:
  HttpTestServer();
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  // Register before the first request.
  void Route(const std::string& target, TestRoute route);
  // Before the first request: a connection reads the next request after a route has answered,
  // until the peer closes it (or a route shuts its socket down).
  void KeepConnectionsOpen() { m_keepOpen = true; }
  int Port() const { return m_port; }
  std::string Url(const std::string& target) const;
  std::vector<TestRequest> Requests() const;
  void ClearRequests();

  // "HTTP/1.1 <status>" with the given headers and body, Content-Length added, and
  // "Connection: close" unless keepOpen.
  static std::string Answer(const std::string& status, const std::string& headers,
                            const std::string& body, bool keepOpen = false);

 private:
  void AcceptLoop();
  void Serve(int fd, int connection);
  bool ServeOne(int fd, int connection, bool first);

  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  bool m_keepOpen = false;
  int m_accepted = 0;
  std::map<std::string, TestRoute> m_routes;
  mutable std::mutex m_mutex;
  std::vector<TestRequest> m_requests;
  std::vector<std::thread> m_threads;
  std::vector<int> m_fds;
  std::thread m_acceptor;
};

// A route answering 200 with body as a document of that type.
TestRoute Page(const std::string& body, const std::string& type = "text/html");

// A loopback port on which nothing listens.
int RefusedPort();

}  // namespace tq::test
