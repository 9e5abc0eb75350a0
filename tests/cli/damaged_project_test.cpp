// Damaged project files from the command line: a page whose stored copy fails its CRC or is
// missing is named by show, export, serve and resume and never passes for empty; a file cut after
// a member is refused like any damaged archive.
// ctest: timeout=240
#include "cli/served_project.h"
#include "server/http_client.h"
#include "storage/archive.h"

namespace tq {
namespace {

TEST(DamagedProject, UnreadableDocumentsAreNamedByEveryCommandAndNeverSavedAsEmpty) {
  ServedProject good;
  const std::string page = good.Site.Url("/next.html"), bytes = ReadFile(good.File);
  const std::string index = TVornArchive(good.File).ExtractToStream("index.dat");
  const size_t key = index.find("Content=", index.find("[" + page + "]")) + 8;
  const std::string member =
      TVornArchive::MemberName(index.substr(key, index.find('\r', key) - key));
  const auto variant = [&](const std::string& name, const std::string& content) {
    std::ofstream(good.File + name, std::ios::binary) << content;
    return good.File + name;
  };
  std::string crc = bytes;
  crc[crc.find(member) + member.size() + 4] ^= 0x20;  // inside the member's data
  const std::string missing = variant(".missing", bytes);
  TVornArchive(missing).Delete({member});

  for (const std::string& file : {variant(".crc", crc), missing}) {
    SCOPED_TRACE(file);
    const CliRun show = RunCli({"show", file, page});
    EXPECT_EQ(show.ExitCode, 1);
    EXPECT_NE(show.Err.find(page), std::string::npos) << show.Err;

    const CliRun exported = RunCli({"export", file, "--folder", file + ".out"});
    EXPECT_EQ(exported.ExitCode, 1);
    EXPECT_NE(exported.Err.find(page), std::string::npos) << exported.Err;
    for (const auto& entry : fs::recursive_directory_iterator(file + ".out")) {
      EXPECT_NE(entry.path().filename(), "next.html");
      if (entry.is_regular_file()) {
        EXPECT_GT(entry.file_size(), 0u) << entry.path();
      }
    }

    ServedProject served(file);
    ASSERT_TRUE(served.Serve());
    const test::HttpReply reply = test::Fetch(
        served.Port(), test::Get("/" + page, "localhost:" + std::to_string(served.Port())));
    EXPECT_EQ(reply.Status, 500);
    EXPECT_NE(reply.Body.find(page), std::string::npos) << reply.Body;
    served.Stop(SIGTERM);

    // Resumed and saved: the page is marked and named, not saved on as if it were whole.
    const CliRun resumed = RunCli({"resume", file, "--dispatch-interval", "0"});
    EXPECT_EQ(resumed.ExitCode, 1);
    EXPECT_NE(resumed.Err.find("damaged:\n" + page), std::string::npos) << resumed.Err;
    const std::string saved = TVornArchive(file).ExtractToStream("index.dat");
    const size_t section = saved.find("[" + page + "]");
    EXPECT_LT(saved.find("DAMAGED=", section), saved.find("\r\n[", section)) << saved;
  }

  // Cut after its last member: refused like any damaged file, and never saved over.
  const std::string cut = variant(".cut", bytes.substr(0, bytes.size() - 1));
  for (const char* command : {"list", "resume"}) {
    const CliRun refused = RunCli({command, cut});
    EXPECT_EQ(refused.ExitCode, 1) << command;
    EXPECT_NE(refused.Err.find("is not a project file"), std::string::npos) << refused.Err;
  }
  EXPECT_TRUE(ReadFile(cut) == bytes.substr(0, bytes.size() - 1));
}

}  // namespace
}  // namespace tq
