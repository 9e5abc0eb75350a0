// The loopback HTTP test server.
#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <stdexcept>

namespace tq::test {

bool TestConnection::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void TestConnection::WaitForPeerClose() {
  char buffer[256];
  while (!m_stopping) {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 50) > 0) {
      if (::recv(m_fd, buffer, sizeof buffer, 0) <= 0) return;
    }
  }
}

HttpTestServer::HttpTestServer() {
  m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(m_listen, 64) != 0) {
    throw std::runtime_error("test server cannot listen");
  }
  socklen_t len = sizeof addr;
  ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
  m_port = ntohs(addr.sin_port);
  m_acceptor = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  m_stopping = true;
  ::shutdown(m_listen, SHUT_RDWR);
  m_acceptor.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (int fd : m_fds) ::shutdown(fd, SHUT_RDWR);
    threads.swap(m_threads);
  }
  for (auto& t : threads) t.join();
  ::close(m_listen);
}

void HttpTestServer::Route(const std::string& target, TestRoute route) {
  m_routes[target] = std::move(route);
}

std::string HttpTestServer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + target;
}

std::vector<TestRequest> HttpTestServer::Requests() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_requests;
}

void HttpTestServer::ClearRequests() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_requests.clear();
}

TestRoute Page(const std::string& body, const std::string& type) {
  return [body, type](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: " + type + "\r\n", body));
  };
}

std::string HttpTestServer::Answer(const std::string& status, const std::string& headers,
                                   const std::string& body, bool keepOpen) {
  return "HTTP/1.1 " + status + "\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) +
         (keepOpen ? "" : "\r\nConnection: close") + "\r\n\r\n" + body;
}

void HttpTestServer::AcceptLoop() {
  while (!m_stopping) {
    const int fd = ::accept(m_listen, nullptr, nullptr);
    if (fd < 0) {
      if (m_stopping) return;
      continue;
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    m_fds.push_back(fd);
    m_threads.emplace_back([this, fd, connection = ++m_accepted] { Serve(fd, connection); });
  }
}

void HttpTestServer::Serve(int fd, int connection) {
  bool first = true;
  while (ServeOne(fd, connection, first) && m_keepOpen && !m_stopping) first = false;
  ::shutdown(fd, SHUT_WR);
  TestConnection(fd, m_stopping).WaitForPeerClose();
  std::lock_guard<std::mutex> guard(m_mutex);
  for (auto& f : m_fds) {
    if (f == fd) f = -1;
  }
  ::close(fd);
}

// One request and its answer; false when no further request came on a kept connection. The
// first request of a connection is answered even when incomplete.
bool HttpTestServer::ServeOne(int fd, int connection, bool first) {
  std::string head;
  char buffer[1024];
  while (head.find("\r\n\r\n") == std::string::npos && !m_stopping) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  if (!first && head.find("\r\n\r\n") == std::string::npos) return false;
  TestRequest request;
  request.Connection = connection;
  size_t pos = head.find("\r\n");
  if (pos != std::string::npos) {
    const std::string line = head.substr(0, pos);
    const size_t a = line.find(' '), b = line.rfind(' ');
    request.Method = line.substr(0, a);
    if (a != std::string::npos && b > a) request.Target = line.substr(a + 1, b - a - 1);
    size_t start = pos + 2;
    while ((pos = head.find("\r\n", start)) != std::string::npos && pos > start) {
      const std::string header = head.substr(start, pos - start);
      const size_t colon = header.find(':');
      if (colon != std::string::npos) {
        std::string name = header.substr(0, colon);
        for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = header.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.Headers[name] = value;
      }
      start = pos + 2;
    }
  }
  TestRoute route;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_requests.push_back(request);
    auto it = m_routes.find(request.Target);
    if (it != m_routes.end()) route = it->second;
  }
  TestConnection answer(fd, m_stopping);
  if (route) {
    route(request, answer);
  } else {
    answer.Send(Answer("404 Not Found", "", "no such page"));
  }
  return true;
}

int RefusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);  // bound but never listened on: connections to it are refused
  return ntohs(addr.sin_port);
}

}  // namespace tq::test
