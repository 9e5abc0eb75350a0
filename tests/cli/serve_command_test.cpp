// tarnquill-cli serve as a real process: the two address lines, pages answered until TERM or
// Ctrl-C, a clean exit that leaves the project file as it was, and a port it cannot have.
// ctest: timeout=120
#include "cli/served_project.h"
#include "server/http_client.h"

namespace tq {
namespace {

TEST(ServeCommand, ServesUntilASignalAndLeavesTheFileAlone) {
  ServedProject project;
  const std::string bytes = ReadFile(project.File);
  const auto written = fs::last_write_time(project.File);
  std::vector<std::string> args;
  for (int signal : {SIGTERM, SIGINT}) {
    ASSERT_TRUE(project.Serve(args));
    EXPECT_EQ(project.StartAddress, project.Prefix + project.Site.Url("/index.html"));
    const std::string page =
        test::Fetch(project.Port(),
                    test::Get(project.StartAddress.substr(project.Prefix.size() - 1),
                              "localhost:" + std::to_string(project.Port())))
            .Body;
    EXPECT_NE(page.find("href=\"" + project.Prefix + project.Site.Url("/next.html") + "\""),
              std::string::npos)
        << page;
    const CliRun run = project.Stop(signal);
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    args = {"--port", std::to_string(project.Port())};  // the same port again, asked for
  }
  EXPECT_EQ(ReadFile(project.File), bytes);
  EXPECT_EQ(fs::last_write_time(project.File), written);

  const CliRun taken =
      RunCli({"serve", project.File, "--port", std::to_string(project.Site.Port())});
  EXPECT_EQ(taken.ExitCode, 1);
  EXPECT_NE(taken.Err.find("cannot serve on port " + std::to_string(project.Site.Port())),
            std::string::npos);
}

}  // namespace
}  // namespace tq
