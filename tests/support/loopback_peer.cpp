// Loopback peers for the transfer tests.
#include "support/loopback_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "foundation/main_loop.h"
#include "support/http_test_server.h"
#include "support/source_paths.h"

extern char** environ;

namespace tq::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  if (argv.empty()) return;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) m_pid = pid;
  posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGTERM);
  int status = 0;
  ::waitpid(m_pid, &status, 0);
}

bool ProgramExists(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool WaitForListening(int port, bool ipv6) {
  return RunUntil(
      [port, ipv6] {
        const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
        bool ok = false;
        if (ipv6) {
          sockaddr_in6 addr{};
          addr.sin6_family = AF_INET6;
          addr.sin6_port = htons(static_cast<uint16_t>(port));
          addr.sin6_addr = in6addr_loopback;
          ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        } else {
          sockaddr_in addr{};
          addr.sin_family = AF_INET;
          addr.sin_port = htons(static_cast<uint16_t>(port));
          addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
          ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        }
        ::close(fd);
        return ok;
      },
      Millis(10000));
}

SocksResponder::SocksResponder() {
  m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::listen(m_listen, 8);
  socklen_t len = sizeof addr;
  ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
  m_port = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

SocksResponder::~SocksResponder() {
  m_stopping = true;
  ::shutdown(m_listen, SHUT_RDWR);
  m_thread.join();
  ::close(m_listen);
}

std::vector<std::string> SocksResponder::UserIds() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_userIds;
}

std::vector<std::string> SocksResponder::Socks5Methods() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_methods;
}

std::vector<std::string> SocksResponder::HostNames() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_hostNames;
}

namespace {

// Reads bytes up to and without a zero byte.
bool ReadZeroTerminated(int fd, std::string& out) {
  char c;
  while (::recv(fd, &c, 1, 0) == 1) {
    if (c == 0) return true;
    out += c;
  }
  return false;
}

}  // namespace

bool SocksResponder::Socks4Handshake(int fd) {
  unsigned char head[7];
  std::string user, host;
  if (::recv(fd, head, 7, MSG_WAITALL) != 7 || head[0] != 1 || !ReadZeroTerminated(fd, user)) {
    return false;
  }
  // 0.0.0.x with x non-zero: a 4A request, the host name follows the user id.
  const bool is4a = head[3] == 0 && head[4] == 0 && head[5] == 0 && head[6] != 0;
  if (is4a && !ReadZeroTerminated(fd, host)) return false;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_userIds.push_back(user);
    m_hostNames.push_back(host);
  }
  const unsigned char granted[8] = {0, 0x5A, 0, 0, 0, 0, 0, 0};
  return ::send(fd, granted, 8, MSG_NOSIGNAL) == 8;
}

bool SocksResponder::Socks5Handshake(int fd) {
  unsigned char count = 0;
  if (::recv(fd, &count, 1, 0) != 1) return false;
  std::string methods(count, '\0');
  if (count > 0 && ::recv(fd, methods.data(), count, MSG_WAITALL) != count) return false;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_methods.push_back(methods);
  }
  if (methods.find('\0') == std::string::npos) {
    const unsigned char none[2] = {5, 0xFF};
    ::send(fd, none, 2, MSG_NOSIGNAL);
    return false;
  }
  const unsigned char chosen[2] = {5, 0};
  ::send(fd, chosen, 2, MSG_NOSIGNAL);
  unsigned char head[4];  // VER CMD RSV ATYP
  if (::recv(fd, head, 4, MSG_WAITALL) != 4) return false;
  std::string address;
  size_t length = head[3] == 1 ? 4 : head[3] == 4 ? 16 : 0;
  if (head[3] == 3) {
    unsigned char n = 0;
    if (::recv(fd, &n, 1, 0) != 1) return false;
    length = n;
  }
  address.resize(length + 2);  // and the port
  if (::recv(fd, address.data(), address.size(), MSG_WAITALL) !=
      static_cast<ssize_t>(address.size())) {
    return false;
  }
  if (head[3] == 3) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_hostNames.push_back(address.substr(0, length));
  }
  const unsigned char granted[10] = {5, 0, 0, 1, 127, 0, 0, 1, 0, 0};
  return ::send(fd, granted, 10, MSG_NOSIGNAL) == 10;
}

void SocksResponder::Serve() {
  while (!m_stopping) {
    const int fd = ::accept(m_listen, nullptr, nullptr);
    if (fd < 0) continue;
    const char* via = nullptr;
    unsigned char version = 0;
    if (::recv(fd, &version, 1, 0) == 1 && version == 4) {
      via = Socks4Handshake(fd) ? "via socks4" : nullptr;
    } else if (version == 5) {
      via = Socks5Handshake(fd) ? "via socks5" : nullptr;
    }
    if (via != nullptr) {
      std::string request;
      char buffer[512];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      const std::string answer =
          "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n"
          "Connection: close\r\n\r\n" +
          std::string(via);
      ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
    }
    ::shutdown(fd, SHUT_WR);
    char sink[64];
    while (::recv(fd, sink, sizeof sink, 0) > 0) {
    }
    ::close(fd);
  }
}

TestCertificates::TestCertificates() {
  char pattern[] = "/tmp/tq-tls-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return;
  Dir = pattern;
  CaFile = Dir + "/ca.pem";
  CertFile = Dir + "/server.pem";
  KeyFile = Dir + "/server.key";
  const std::string d = Dir;
  const std::string script =
      "cd " + d +
      " && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
      " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Tarnquill Test CA' >/dev/null 2>&1"
      " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
      " -keyout server.key -out server.csr -subj '/CN=127.0.0.1' >/dev/null 2>&1"
      " && printf 'subjectAltName=IP:127.0.0.1\\n' > ext.cnf"
      " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
      " -out server.pem -days 2 -extfile ext.cnf >/dev/null 2>&1";
  Made = std::system(script.c_str()) == 0;
}

TestCertificates::~TestCertificates() {
  if (!Dir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
  }
}

namespace {
// Debian's own interpreter: the one first on the path may not see Debian's Python packages.
constexpr const char* kPython = "/usr/bin/python3";
}  // namespace

bool FtpTestServer::Available() {
  return std::system((std::string(kPython) + " -c 'import pyftpdlib' >/dev/null 2>&1").c_str()) ==
         0;
}

FtpTestServer::FtpTestServer(const Options& options) {
  char pattern[] = "/tmp/tq-ftp-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return;
  m_dir = pattern;
  std::filesystem::create_directories(m_dir + "/root");
  m_port = RefusedPort();
  std::vector<std::string> argv = {
      kPython,  std::string(TQ_SOURCE_DIR) + "/tests/support/ftp_server.py",
      "--port", std::to_string(m_port),
      "--root", m_dir + "/root",
      "--log",  m_dir + "/commands.log"};
  if (!options.User.empty()) {
    argv.insert(argv.end(), {"--user", options.User, "--password", options.Password});
  }
  if (options.Rate > 0) argv.insert(argv.end(), {"--rate", std::to_string(options.Rate)});
  m_process = std::make_unique<ChildProcess>(argv);
  m_listening = m_process->Running() && WaitForListening(m_port);
}

FtpTestServer::~FtpTestServer() {
  m_process.reset();
  if (!m_dir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }
}

void FtpTestServer::Put(const std::string& path, const std::string& content) const {
  const std::filesystem::path file = m_dir + "/root/" + path;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

std::string FtpTestServer::Url(const std::string& path) const {
  return "ftp://127.0.0.1:" + std::to_string(m_port) + "/" + path;
}

std::vector<std::string> FtpTestServer::Commands() const {
  std::vector<std::string> commands;
  std::ifstream log(m_dir + "/commands.log");
  for (std::string line; std::getline(log, line);) commands.push_back(line);
  return commands;
}

}  // namespace tq::test
