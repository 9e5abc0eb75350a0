// A raw HTTP client for the server tests: it sends exactly the bytes a test gives, from a chosen
// loopback address, and reads answers off the socket with a bound on every wait.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "foundation/ansi.h"

namespace tq::test {

struct HttpReply {
  int Status = 0;    // 0: no complete answer
  std::string Head;  // status line and fields, field names lower-cased
  std::string Body;
  std::string Field(const std::string& name) const {  // name lower-cased
    const size_t at = Head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return {};
    const size_t start = at + name.size() + 4;
    return Head.substr(start, Head.find("\r\n", start) - start);
  }
};

class HttpClient {
 public:
  // Connects to to:port from the address from; Connected() tells whether that worked.
  explicit HttpClient(int port, const std::string& from = "127.0.0.1",
                      const std::string& to = "127.0.0.1")
      : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in local{AF_INET, 0, {}, {}}, remote{AF_INET, htons(port), {}, {}};
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    ::inet_pton(AF_INET, to.c_str(), &remote.sin_addr);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
      ::close(m_fd);
      m_fd = -1;
    }
  }
  ~HttpClient() { ::close(m_fd); }
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  bool Connected() const { return m_fd >= 0; }
  bool Send(std::string_view bytes) {
    return m_fd >= 0 &&
           ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  void ShutdownWrite() { ::shutdown(m_fd, SHUT_WR); }

  // Reads one answer by its Content-Length (none for an answer to HEAD).
  HttpReply Read(bool headOnly = false) {
    HttpReply reply;
    size_t end;
    while ((end = m_in.find("\r\n\r\n")) == std::string::npos) {
      if (Fill() <= 0) return reply;
    }
    reply.Head = m_in.substr(0, end + 2);
    for (size_t at = reply.Head.find("\r\n"); at + 2 < reply.Head.size();) {
      const size_t next = reply.Head.find("\r\n", at + 2);
      const size_t colon = std::min(reply.Head.find(':', at), next);
      for (size_t i = at + 2; i < colon; ++i) reply.Head[i] = AnsiLowerChar(reply.Head[i]);
      at = next;
    }
    m_in.erase(0, end + 4);
    const size_t length = headOnly ? 0 : std::stoul("0" + reply.Field("content-length"));
    while (m_in.size() < length) {
      if (Fill() <= 0) return reply;
    }
    reply.Body = m_in.substr(0, length);
    m_in.erase(0, length);
    if (reply.Head.rfind("HTTP/1.1 ", 0) == 0) reply.Status = std::stoi(reply.Head.substr(9, 3));
    return reply;
  }

  // Reads one answer's body as it arrives, handing each piece to take without keeping it; returns
  // how many body bytes came before the connection ended or the Content-Length was reached.
  template <typename Take>
  uint64_t ReadBodyInPieces(Take take) {
    size_t end;
    while ((end = m_in.find("\r\n\r\n")) == std::string::npos) {
      if (Fill() <= 0) return 0;
    }
    const std::string head = AnsiLowerCase(m_in.substr(0, end + 2));
    const size_t at = head.find("\r\ncontent-length: ");
    const uint64_t length = at == std::string::npos ? 0 : std::stoull(head.substr(at + 18));
    m_in.erase(0, end + 4);
    uint64_t got = 0;
    for (;;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(m_in.size(), length - got));
      take(std::string_view(m_in).substr(0, n));
      got += n;
      m_in.clear();
      if (got == length || Fill() <= 0) return got;
    }
  }

  // True when the server closes the connection within the wait (unread bytes are dropped).
  bool ClosedByServer(int waitMs = 5000) {
    int got;
    while ((got = Fill(waitMs)) > 0) m_in.clear();
    return got == 0;
  }

 private:
  // Bytes received: > 0; the connection ended: 0; nothing within the wait: -1.
  int Fill(int waitMs = 10000) {
    pollfd p{m_fd, POLLIN, 0};
    if (m_fd < 0) return 0;
    if (::poll(&p, 1, waitMs) <= 0) return -1;
    char buffer[65536];
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n > 0) m_in.append(buffer, static_cast<size_t>(n));
    return n > 0 ? 1 : 0;
  }

  int m_fd;
  std::string m_in;
};

// One request on a connection of its own.
inline HttpReply Fetch(int port, const std::string& request, const std::string& from = "127.0.0.1",
                       const std::string& to = "127.0.0.1") {
  HttpClient client(port, from, to);
  if (!client.Send(request)) return {};
  return client.Read(request.rfind("HEAD ", 0) == 0);
}

inline std::string Get(std::string_view target, std::string_view host,
                       std::string_view moreFields = {}) {
  return "GET " + std::string(target) + " HTTP/1.1\r\nHost: " + std::string(host) + "\r\n" +
         std::string(moreFields) + "\r\n";
}

}  // namespace tq::test
