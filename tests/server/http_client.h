// A raw HTTP client for the server tests: it sends exactly the bytes a test gives, from a chosen
// loopback address, and reads answers off the socket with a bound on every wait.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <string>
#include <string_view>

#include "foundation/ansi.h"

namespace tq::test {

struct HttpReply {
  int Status = 0;                             // 0: no complete answer
  std::map<std::string, std::string> Fields;  // names lower-cased
  std::string Body;
  std::string Field(const std::string& name) const {
    auto it = Fields.find(name);
    return it == Fields.end() ? std::string() : it->second;
  }
};

class HttpClient {
 public:
  // Connects to to:port from the address from (any port); Connected() tells whether it worked.
  explicit HttpClient(int port, const std::string& from = "127.0.0.1",
                      const std::string& to = "127.0.0.1") {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, to.c_str(), &remote.sin_addr);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
      ::close(m_fd);
      m_fd = -1;
    }
  }
  ~HttpClient() {
    if (m_fd >= 0) ::close(m_fd);
  }
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  bool Connected() const { return m_fd >= 0; }

  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }
  void ShutdownWrite() { ::shutdown(m_fd, SHUT_WR); }

  // Reads one answer (by its Content-Length; answers to HEAD when headOnly).
  HttpReply Read(bool headOnly = false) {
    HttpReply reply;
    size_t end;
    while ((end = m_in.find("\r\n\r\n")) == std::string::npos) {
      if (!Fill()) return reply;
    }
    const std::string head = m_in.substr(0, end);
    m_in.erase(0, end + 4);
    size_t lineEnd = head.find("\r\n");
    const std::string status = head.substr(0, lineEnd);
    if (status.size() < 12 || status.rfind("HTTP/1.1 ", 0) != 0) return reply;
    while (lineEnd != std::string::npos) {
      const size_t start = lineEnd + 2;
      lineEnd = head.find("\r\n", start);
      const std::string line = head.substr(start, lineEnd - start);
      const size_t colon = line.find(':');
      if (colon != std::string::npos)
        reply.Fields[AnsiLowerCase(line.substr(0, colon))] = line.substr(colon + 2);
    }
    const size_t length = headOnly ? 0 : std::stoul(reply.Field("content-length"));
    while (m_in.size() < length) {
      if (!Fill()) return reply;
    }
    reply.Body = m_in.substr(0, length);
    m_in.erase(0, length);
    reply.Status = std::stoi(status.substr(9, 3));
    return reply;
  }

  // True when the server closes the connection within the wait (unread answer bytes are
  // dropped); false when it is still open then.
  bool ClosedByServer(int waitMs = 5000) {
    for (;;) {
      pollfd p{m_fd, POLLIN, 0};
      if (m_fd < 0) return true;
      if (::poll(&p, 1, waitMs) <= 0) return false;
      char buffer[65536];
      if (::recv(m_fd, buffer, sizeof buffer, 0) <= 0) return true;
    }
  }

 private:
  bool Fill(int waitMs = 10000) {
    pollfd p{m_fd, POLLIN, 0};
    if (m_fd < 0 || ::poll(&p, 1, waitMs) <= 0) return false;
    char buffer[65536];
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    m_in.append(buffer, static_cast<size_t>(n));
    return true;
  }

  int m_fd = -1;
  std::string m_in;
};

// One request on a connection of its own.
inline HttpReply Fetch(int port, const std::string& request, const std::string& from = "127.0.0.1",
                       const std::string& to = "127.0.0.1") {
  HttpClient client(port, from, to);
  if (!client.Connected() || !client.Send(request)) return {};
  return client.Read(request.rfind("HEAD ", 0) == 0);
}

inline std::string Get(std::string_view target, std::string_view host,
                       std::string_view moreFields = {}) {
  return "GET " + std::string(target) + " HTTP/1.1\r\nHost: " + std::string(host) + "\r\n" +
         std::string(moreFields) + "\r\n";
}

}  // namespace tq::test
