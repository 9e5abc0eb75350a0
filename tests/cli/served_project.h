// A two-page site with text outside ASCII, crawled into a project file by the CLI, and
// tarnquill-cli serve running on that file as a real process.
#pragma once

#include <signal.h>
#include <unistd.h>

#include "cli/cli_run.h"

namespace tq {

// "Grüße aus Köln – 5 € Ж" in UTF-8: the Cyrillic letter has no place in the stored code page.
inline const std::string kGreeting =
    "Gr\xC3\xBC\xC3\x9F"
    "e aus K\xC3\xB6ln \xE2\x80\x93 5 \xE2\x82\xAC \xD0\x96";

class ServedProject {
 public:
  ServedProject() : m_dir(fs::temp_directory_path() / ("tq-serve-" + std::to_string(::getpid()))) {
    fs::create_directories(m_dir);
    Route("/index.html",
          "<html><head><meta charset=\"utf-8\"><title>Start</title></head><body><h1>" + kGreeting +
              "</h1><a href=\"next.html\">Second page</a></body></html>");
    Route("/next.html", "<html><body><p>The second page</p></body></html>");
    File = (m_dir / "site.web").string();
    const CliRun crawl =
        RunCli({"crawl", Site.Url("/index.html"), "-o", File, "--dispatch-interval", "0"});
    EXPECT_EQ(crawl.ExitCode, 0) << crawl.Err;
  }
  // Serves a project file made elsewhere.
  explicit ServedProject(std::string file) : File(std::move(file)) {}
  ~ServedProject() {
    if (m_serve.state() != QProcess::NotRunning) Stop(SIGKILL);
    fs::remove_all(m_dir);
  }

  // Starts serving; true once the two address lines have come.
  bool Serve(const std::vector<std::string>& args = {}) {
    std::vector<std::string> all = {"serve", File};
    all.insert(all.end(), args.begin(), args.end());
    m_serve.start(QString::fromUtf8(std::getenv("TQ_CLI")), Args(all));
    std::string out;
    while (std::count(out.begin(), out.end(), '\n') < 2 && m_serve.waitForReadyRead(30000))
      out += m_serve.readAllStandardOutput().toStdString();
    std::istringstream lines(out);
    std::getline(lines, Prefix);
    std::getline(lines, StartAddress);
    return !StartAddress.empty();
  }
  CliRun Stop(int signal) {
    ::kill(static_cast<pid_t>(m_serve.processId()), signal);
    return Finish(m_serve);
  }
  int Port() const { return std::stoi(Prefix.substr(Prefix.rfind(':') + 1)); }

  HttpTestServer Site;
  std::string File;
  std::string Prefix, StartAddress;

 private:
  void Route(const std::string& target, const std::string& page) {
    Site.Route(target, [page](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html; charset=utf-8\r\n", page));
    });
  }

  fs::path m_dir;
  QProcess m_serve;
};

}  // namespace tq
