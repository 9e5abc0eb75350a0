// Project files from the command line: crawl into one, list it, read its documents back (also of
// addresses that differ only in letter case), resume an interrupted crawl, carry settings over in
// a template, and leave files that are no project alone.
#include <sys/stat.h>

#include <QProcess>

#include "cli/cli_run.h"

namespace tq {
namespace {

class ProjectFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tq-cli-" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string In(const std::string& name) const { return (m_dir / name).string(); }
  fs::path m_dir;
};

int RunLha(const std::string& command, const std::string& file) {
  QProcess lha;
  lha.start(QStringLiteral("lha"), {QString::fromStdString(command), QString::fromStdString(file)});
  if (!lha.waitForFinished(60000) || lha.exitStatus() != QProcess::NormalExit) return -1;
  return lha.exitCode();
}

TEST_F(ProjectFile, SavedCrawlListsTheSameAndShowsEveryDocumentWithOnlineLinks) {
  HttpTestServer server;
  ServeFolder(server, SampleSite());
  const std::string web = In("sample.web");
  const CliRun crawl =
      RunCli({"crawl", server.Url("/index.html"), "-o", web, "--dispatch-interval", "0"});
  ASSERT_EQ(crawl.ExitCode, 8) << "the sample site links a missing page: " << crawl.Err;
  const CliRun list = RunCli({"list", web});
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  EXPECT_EQ(list.Out, crawl.Out);
  EXPECT_EQ(RunCli({"list", web, "--list", "failed"}).Out, [&] {
    std::string failed;
    for (const auto& line : crawl.Lines()) {
      if (line.rfind("Failed\t", 0) == 0) failed += line + "\n";
    }
    return failed;
  }());

  const std::string prefix = server.Url("/");
  for (const std::string& url : Field(crawl, "Ready", 1)) {
    const CliRun show = RunCli({"show", web, url});
    ASSERT_EQ(show.ExitCode, 0) << url << show.Err;
    const fs::path original = SampleSite() / url.substr(prefix.size());
    if (url.ends_with(".html")) {
      EXPECT_EQ(show.Out.find("\xA4\xA4"), std::string::npos) << "placeholder left in " << url;
      EXPECT_NE(show.Out.find("href=\"" + prefix), std::string::npos) << url;
    } else if (fs::is_regular_file(original)) {
      EXPECT_EQ(show.Out, ReadFile(original)) << url << " comes back byte for byte";
    }
  }
  EXPECT_NE(RunCli({"show", web, server.Url("/index.html")})
                .Out.find("href=\"" + server.Url("/products/index.html") + "\""),
            std::string::npos);
  EXPECT_EQ(RunCli({"show", web, server.Url("/nowhere.html")}).ExitCode, 1);

  // Debian's own archiver reads the project file and finds every member's CRC right.
  EXPECT_EQ(RunLha("l", web), 0);
  EXPECT_EQ(RunLha("t", web), 0);
}

// Files that are no project (text, an empty file, formats that begin with a 0 byte as the
// archive's end marker does) are refused by every command and never saved over.
TEST_F(ProjectFile, FilesThatAreNoProjectStayAsTheyWere) {
  const std::pair<const char*, std::string> files[] = {
      {"junk.web", "not an archive"},
      {"empty.web", ""},
      {"video.mp4", std::string("\0\0\0\x18"
                                "ftypmp42",
                                12) +
                        std::string(10000, 'v')},
  };
  for (const auto& [name, bytes] : files) {
    const std::string file = In(name);
    std::ofstream(file, std::ios::binary) << bytes;
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"list", file}, {"resume", file, "--dispatch-interval", "0"}}) {
      const CliRun refused = RunCli(command);
      EXPECT_EQ(refused.ExitCode, 1) << name << " " << command[0];
      EXPECT_NE(refused.Err.find("is not a project file"), std::string::npos) << refused.Err;
      EXPECT_TRUE(ReadFile(file) == bytes) << name << " " << command[0];
    }
  }
  // Nor is what is no file: a FIFO nobody writes to would block the open for ever, /dev/zero
  // fill the disk.
  const std::string fifo = In("fifo.web");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& file : {fifo, std::string("/dev/zero")}) {
    const CliRun refused = RunCli({"list", file});
    EXPECT_EQ(refused.ExitCode, 1) << file;
    EXPECT_NE(refused.Err.find("is not a project file"), std::string::npos) << refused.Err;
  }
}

// Paths are case-sensitive: /A.html and /a.html are two pages, stored and shown apart, and two
// mail boxes that differ in case are two Emails entries.
TEST_F(ProjectFile, AddressesThatDifferInCaseAreStoredApart) {
  HttpTestServer server;
  const auto page = [&](const std::string& target, const std::string& body) {
    server.Route(target, [body](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", body));
    });
  };
  page("/index.html",
       "<a href=\"/A.html\">A</a><a href=\"/a.html\">a</a>"
       "<a href=\"mailto:Info@h.org\">I</a><a href=\"mailto:info@h.org\">i</a>");
  page("/A.html", "<p>UPPER PAGE</p>");
  page("/a.html", "<p>lower page</p>");
  const std::string web = In("case.web");
  const CliRun crawl =
      RunCli({"crawl", server.Url("/index.html"), "-o", web, "--dispatch-interval", "0"});
  ASSERT_EQ(crawl.ExitCode, 0) << crawl.Err;
  const CliRun list = RunCli({"list", web});
  EXPECT_EQ(list.Out, crawl.Out);
  EXPECT_EQ(Field(list, "Ready", 1).size(), 3u) << list.Out;
  EXPECT_EQ(Field(list, "Emails", 1), (std::vector<std::string>{"Info@h.org", "info@h.org"}))
      << list.Out;
  EXPECT_NE(RunCli({"show", web, server.Url("/A.html")}).Out.find("UPPER PAGE"), std::string::npos);
  EXPECT_NE(RunCli({"show", web, server.Url("/a.html")}).Out.find("lower page"), std::string::npos);
}

TEST_F(ProjectFile, ResumeAfterCtrlCFinishesTheCrawl) {
  StallingSite site;
  const std::string web = In("stalled.web");
  const CliRun stopped = InterruptedRun(site, {"crawl", site.Server.Url("/index.html"), "-o", web,
                                               "--threads", "1", "--dispatch-interval", "0"});
  ASSERT_EQ(stopped.ExitCode, 130) << "saved, then ended as by Ctrl-C: " << stopped.Err;
  ASSERT_EQ(Field(RunCli({"list", web}), "Queue", 1).size(), 5u)
      << "the stopped crawl kept its Queue";

  site.Release();
  const CliRun resumed = RunCli({"resume", web, "--dispatch-interval", "0"});
  ASSERT_EQ(resumed.ExitCode, 0) << resumed.Err;
  EXPECT_TRUE(Field(resumed, "Queue", 1).empty());
  EXPECT_EQ(Field(resumed, "Ready", 1).size(), 1u + StallingSite::kPages) << resumed.Out;
  EXPECT_EQ(RunCli({"list", web}).Out, resumed.Out) << "the resumed crawl was saved";
}

// A service manager's TERM stops a crawl as Ctrl-C does: what was fetched is saved, and the exit
// status says the signal ended it.
TEST_F(ProjectFile, TermSavesTheCrawlBeforeTheProgramEnds) {
  StallingSite site;
  const std::string web = In("stalled.web");
  const CliRun termed = InterruptedRun(site,
                                       {"crawl", site.Server.Url("/index.html"), "-o", web,
                                        "--threads", "1", "--dispatch-interval", "0"},
                                       SIGTERM);
  EXPECT_EQ(termed.ExitCode, 128 + SIGTERM) << termed.Err;
  EXPECT_EQ(RunCli({"list", web}).Out, termed.Out) << "saved with its Queue";
}

TEST_F(ProjectFile, TemplateCarriesSettingsIntoANewCrawl) {
  HttpTestServer server;
  ServeFolder(server, SampleSite());
  const std::string shallow = In("shallow.web");
  ASSERT_EQ(RunCli({"crawl", server.Url("/deep/level1.html"), "--level", "1", "-o", shallow,
                    "--dispatch-interval", "0"})
                .ExitCode,
            0);
  const std::string etpl = In("Shallow.etpl");
  const CliRun saved = RunCli({"template", shallow, etpl});
  ASSERT_EQ(saved.ExitCode, 0) << saved.Err;
  ASSERT_TRUE(fs::exists(etpl));

  const CliRun crawl =
      RunCli({"crawl", server.Url("/index.html"), "--template", etpl, "--dispatch-interval", "0"});
  // No link fails: "about/" keeps its slash, as a browser resolves it, and is found.
  ASSERT_EQ(crawl.ExitCode, 0) << crawl.Err;
  EXPECT_TRUE(crawl.Has("Ready\t" + server.Url("/deep/level1.html") + "\t1\t" +
                        server.Url("/index.html") + "\t" +
                        std::to_string(fs::file_size(SampleSite() / "deep/level1.html"))));
  EXPECT_NE(crawl.Out.find("Ignored\t" + server.Url("/deep/level2.html") + "\t2\t"),
            std::string::npos)
      << "the template's level limit of 1 holds, not the new project's 5";
}

}  // namespace
}  // namespace tq
