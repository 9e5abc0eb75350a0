// Running tarnquill-cli as a real process in tests, and serving a folder of files on loopback.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QProcess>
#include <QStringList>

#include "foundation/main_loop.h"
#include "support/http_test_server.h"
#include "support/source_paths.h"

namespace tq {

namespace fs = std::filesystem;
using test::HttpTestServer;
using test::TestConnection;
using test::TestRequest;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::string TypeOf(const fs::path& path) {
  const std::string ext = path.extension().string();
  if (ext == ".html") return "text/html";
  if (ext == ".css") return "text/css";
  if (ext == ".png") return "image/png";
  if (ext == ".gif") return "image/gif";
  return "application/octet-stream";
}

// Serves every file of the folder at its path, and a folder's index.html at "folder/".
inline void ServeFolder(HttpTestServer& server, const fs::path& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string target = "/" + fs::relative(entry.path(), root).generic_string();
    const std::string answer = HttpTestServer::Answer(
        "200 OK", "Content-Type: " + TypeOf(entry.path()) + "\r\n", ReadFile(entry.path()));
    auto route = [answer](const TestRequest&, TestConnection& c) { c.Send(answer); };
    server.Route(target, route);
    if (entry.path().filename() == "index.html") {
      server.Route(target.substr(0, target.size() - std::string("index.html").size()), route);
    }
  }
}

struct CliRun {
  int ExitCode = -1;
  std::string Out, Err;
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  bool Has(const std::string& line) const {
    for (const auto& l : Lines()) {
      if (l == line) return true;
    }
    return false;
  }
};

inline QStringList Args(const std::vector<std::string>& args) {
  QStringList list;
  for (const auto& a : args) list << QString::fromStdString(a);
  return list;
}

inline CliRun Finish(QProcess& process) {
  EXPECT_TRUE(process.waitForFinished(120000));
  CliRun run;
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Out = process.readAllStandardOutput().toStdString();
  run.Err = process.readAllStandardError().toStdString();
  return run;
}

// extraEnvironment: NAME=VALUE entries added to the test's own environment.
inline CliRun RunCli(const std::vector<std::string>& args,
                     const std::vector<std::string>& extraEnvironment = {}) {
  QProcess process;
  QStringList environment = QProcess::systemEnvironment();
  for (const auto& entry : extraEnvironment) environment << QString::fromStdString(entry);
  process.setEnvironment(environment);
  process.start(QString::fromUtf8(std::getenv("TQ_CLI")), Args(args));
  return Finish(process);
}

// A page linking five pages that stall (an announced body that never comes) until Release.
class StallingSite {
 public:
  static constexpr int kPages = 5;
  StallingSite() {
    m_page = "<html><body>";
    for (int i = 0; i < kPages; ++i)
      m_page += "<a href=\"/slow" + std::to_string(i) + ".html\">x</a>";
    m_page += "</body></html>";
    Server.Route("/index.html", [this](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", m_page));
    });
    for (int i = 0; i < kPages; ++i) {
      Server.Route("/slow" + std::to_string(i) + ".html", [this](const TestRequest&,
                                                                 TestConnection& c) {
        if (!m_stalling) {
          c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", "<html></html>"));
          return;
        }
        c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100\r\n\r\n<html>");
        c.WaitForPeerClose();
      });
    }
  }
  bool Requested(const std::string& target) const {
    for (const auto& r : Server.Requests()) {
      if (r.Target == target) return true;
    }
    return false;
  }
  void Release() { m_stalling = false; }
  const std::string& Page() const { return m_page; }

  HttpTestServer Server;

 private:
  std::string m_page;
  std::atomic<bool> m_stalling{true};
};

// Starts the CLI, waits until the site saw the first stalled request, then sends Ctrl-C (or
// another signal).
inline CliRun InterruptedRun(StallingSite& site, const std::vector<std::string>& args,
                             int signal = SIGINT) {
  QProcess process;
  process.start(QString::fromUtf8(std::getenv("TQ_CLI")), Args(args));
  EXPECT_TRUE(process.waitForStarted());
  EXPECT_TRUE(RunUntil([&] { return site.Requested("/slow0.html"); }, Millis(60000)));
  ::kill(static_cast<pid_t>(process.processId()), signal);
  return Finish(process);
}

inline std::vector<std::string> Field(const CliRun& run, const std::string& list, int field) {
  std::vector<std::string> values;
  for (const auto& line : run.Lines()) {
    if (line.rfind(list + "\t", 0) != 0) continue;
    std::istringstream in(line);
    std::string value;
    for (int i = 0; i <= field; ++i) std::getline(in, value, '\t');
    values.push_back(value);
  }
  return values;
}

inline fs::path SampleSite() {
  return fs::path(TQ_SOURCE_DIR) / "samples" / "site";
}

}  // namespace tq
