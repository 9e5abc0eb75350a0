// Damaged project files from the command line: a document whose stored copy fails its CRC or is
// missing is named by show, export, serve and resume and never passes for empty; a file cut after
// a member is refused like any damaged archive.
// ctest: timeout=240
#include <random>

#include "cli/served_project.h"
#include "server/http_client.h"
#include "storage/archive.h"

namespace tq {
namespace {

class DamagedProject : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tq-damaged-" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
    m_site.Route("/index.html", [](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n",
                                    "<a href=blob.gif>b</a><a href=next.html>n</a>"));
    });
    m_site.Route("/next.html", [](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", "<p>next</p>"));
    });
    m_site.Route("/blob.gif", [this](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: image/gif\r\n", m_blob));
    });
    m_good = In("good.web");
    const CliRun crawl =
        RunCli({"crawl", m_site.Url("/index.html"), "-o", m_good, "--dispatch-interval", "0"});
    ASSERT_EQ(crawl.ExitCode, 0) << crawl.Err;
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string In(const std::string& name) const { return (m_dir / name).string(); }
  std::string Variant(const std::string& name, const std::string& bytes) const {
    std::ofstream(In(name), std::ios::binary) << bytes;
    return In(name);
  }
  // The member that holds the blob, from the index.
  std::string BlobMember() const {
    const std::string index = TVornArchive(m_good).ExtractToStream("index.dat");
    const size_t section = index.find("[" + m_site.Url("/blob.gif") + "]");
    const size_t key = index.find("Content=", section);
    return index.substr(key + 8, index.find('\r', key) - key - 8);
  }

  fs::path m_dir;
  HttpTestServer m_site;
  std::string m_blob = [] {
    std::string bytes(20000, '\0');  // incompressible: stored as it came
    std::mt19937 random(7);
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
  }();
  std::string m_good;
};

TEST_F(DamagedProject, UnreadableDocumentsAreNamedByEveryCommandAndNeverSavedAsEmpty) {
  const std::string blob = m_site.Url("/blob.gif");
  std::string crc = ReadFile(m_good);
  const size_t at = crc.find(m_blob.substr(0, 64));
  ASSERT_NE(at, std::string::npos);
  crc[at + 5000] ^= 0x20;
  const std::string missing = Variant("missing.web", ReadFile(m_good));
  TVornArchive(missing).Delete({BlobMember()});

  for (const std::string& file : {Variant("crc.web", crc), missing}) {
    SCOPED_TRACE(file);
    const CliRun show = RunCli({"show", file, blob});
    EXPECT_EQ(show.ExitCode, 1);
    EXPECT_TRUE(show.Out.empty());
    EXPECT_NE(show.Err.find(blob), std::string::npos) << show.Err;

    const std::string out = In("out-" + fs::path(file).stem().string());
    const CliRun exported = RunCli({"export", file, "--folder", out});
    EXPECT_EQ(exported.ExitCode, 1);
    EXPECT_NE(exported.Err.find(blob), std::string::npos) << exported.Err;
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      if (!entry.is_regular_file()) continue;
      ++files;
      EXPECT_NE(entry.path().filename(), "blob.gif");
      EXPECT_GT(entry.file_size(), 0u) << entry.path();
    }
    EXPECT_EQ(files, 2);  // the two readable pages

    ServedProject served(file);
    ASSERT_TRUE(served.Serve());
    const test::HttpReply reply = test::Fetch(
        served.Port(), test::Get("/" + blob, "localhost:" + std::to_string(served.Port())));
    EXPECT_EQ(reply.Status, 500);
    EXPECT_NE(reply.Body.find(blob), std::string::npos) << reply.Body;
    served.Stop(SIGTERM);

    // Resumed and saved: the document is marked and named, not saved on as if it were whole.
    const CliRun resumed = RunCli({"resume", file, "--dispatch-interval", "0"});
    EXPECT_EQ(resumed.ExitCode, 1);
    EXPECT_NE(resumed.Err.find("damaged:\n" + blob), std::string::npos) << resumed.Err;
    const std::string index = TVornArchive(file).ExtractToStream("index.dat");
    const size_t section = index.find("[" + blob + "]");
    ASSERT_NE(section, std::string::npos);
    EXPECT_LT(index.find("DAMAGED=", section), index.find("\r\n[", section)) << index;
  }

  // Cut after its last member: every command refuses it and nothing is written over it.
  const std::string good = ReadFile(m_good);
  const std::string cut = Variant("cut.web", good.substr(0, good.size() - 1));
  for (const std::vector<std::string>& command : {std::vector<std::string>{"show", cut, blob},
                                                  {"list", cut},
                                                  {"export", cut, "--folder", In("out-cut")},
                                                  {"serve", cut},
                                                  {"resume", cut, "--dispatch-interval", "0"}}) {
    const CliRun refused = RunCli(command);
    EXPECT_EQ(refused.ExitCode, 1) << command[0];
    EXPECT_NE(refused.Err.find("is not a project file"), std::string::npos) << refused.Err;
  }
  EXPECT_TRUE(ReadFile(cut) == good.substr(0, good.size() - 1));
}

}  // namespace
}  // namespace tq
