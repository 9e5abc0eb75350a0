// External loopback peers for transfer tests (a SOCKS 5 proxy, a TLS server), started by PID on
// a free port and stopped by that PID, plus a SOCKS 4/4A responder that answers HTTP itself.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tq::test {

// A program started in the background; killed and reaped on destruction.
class ChildProcess {
 public:
  // Empty argv or a missing program leaves Running() false.
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool Running() const { return m_pid > 0; }

 private:
  pid_t m_pid = -1;
};

bool ProgramExists(const std::string& name);
// Waits (bounded) until something accepts connections on the loopback port (::1 with ipv6).
bool WaitForListening(int port, bool ipv6 = false);

// Accepts SOCKS 4, 4A and 5 requests on a loopback port, records the user id and host name they
// carry (and the methods a SOCKS 5 greeting offers), grants them and answers the HTTP request
// that follows with "via socks4" or "via socks5".
class SocksResponder {
 public:
  SocksResponder();
  ~SocksResponder();
  int Port() const { return m_port; }
  std::vector<std::string> UserIds() const;
  std::vector<std::string> HostNames() const;      // empty for plain SOCKS 4
  std::vector<std::string> Socks5Methods() const;  // one byte per method, per greeting

 private:
  void Serve();
  bool Socks4Handshake(int fd);  // after the version byte
  bool Socks5Handshake(int fd);
  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  mutable std::mutex m_mutex;
  std::vector<std::string> m_userIds, m_hostNames, m_methods;
  std::thread m_thread;
};

// A throw-away certificate authority and a server certificate for 127.0.0.1 it signed.
struct TestCertificates {
  std::string Dir, CaFile, CertFile, KeyFile;
  bool Made = false;
  TestCertificates();
  ~TestCertificates();
};

// Debian's pyftpdlib serving a folder of its own on a free loopback port, to anonymous users or
// to one user only, and recording every command it receives.
class FtpTestServer {
 public:
  struct Options {
    std::string User, Password;  // empty user: anonymous
    int Rate = 0;                // bytes a second on data connections; 0: as fast as it goes
  };
  static bool Available();  // the interpreter with pyftpdlib is installed

  FtpTestServer() : FtpTestServer(Options{}) {}
  explicit FtpTestServer(const Options& options);
  ~FtpTestServer();
  FtpTestServer(const FtpTestServer&) = delete;
  FtpTestServer& operator=(const FtpTestServer&) = delete;

  bool Running() const { return m_process && m_process->Running() && m_listening; }
  // Writes a file below the served folder, making its folders.
  void Put(const std::string& path, const std::string& content) const;
  std::string Url(const std::string& path) const;  // ftp://127.0.0.1:PORT/path
  std::vector<std::string> Commands() const;       // as received, passwords masked

 private:
  std::string m_dir;
  int m_port = 0;
  bool m_listening = false;
  std::unique_ptr<ChildProcess> m_process;
};

}  // namespace tq::test
