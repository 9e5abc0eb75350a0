// tarnquill-cli options, and the crawl commands reading the saved options, with the settings file
// in a temporary folder.
#include <QProcessEnvironment>

#include "cli/cli_run.h"
#include "support/temp_env.h"

namespace tq {
namespace {

class OptionsCommand : public ::testing::Test {
 protected:
  OptionsCommand() {
    // A desktop without a default browser, answering at once.
    fs::create_directories(m_dir.Path() / "bin");
    test::WriteFile(m_dir.Path() / "bin" / "xdg-settings", "#!/bin/sh\nexit 1\n");
    fs::permissions(m_dir.Path() / "bin" / "xdg-settings", fs::perms::owner_all);
  }

  CliRun Run(const std::vector<std::string>& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNQUILL_CONFIG"), QString::fromStdString(m_file));
    env.insert(QStringLiteral("HOME"), QString::fromStdString(m_dir.Path().string()));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(m_dir / "xdg"));
    env.insert(QStringLiteral("PATH"),
               QString::fromStdString(m_dir / "bin") + QStringLiteral(":/usr/bin:/bin"));
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(std::getenv("TQ_CLI")), Args(args));
    return Finish(process);
  }

  test::TTempDir m_dir;
  std::string m_file = m_dir / "settings/config.dat";
};

TEST_F(OptionsCommand, PrintsEveryOptionAndSavesWhatIsSet) {
  CliRun run = Run({"options"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_TRUE(run.Has("FProxyHTTP.FPort=1080"));
  EXPECT_TRUE(run.Has("FInternetDialUP.FRetryBroken=99"));
  EXPECT_TRUE(run.Has("FConfirmation.FBaseUrlChanged=1"));
  EXPECT_FALSE(fs::exists(m_file)) << "printing writes nothing";

  run = Run({"options", "--set", "fproxyhttp.FAddress=proxy.example", "FProxyHTTP.FVersion=3",
             "FInternetDisconnect.FExitAtTime=23:30"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  run = Run({"options"});
  EXPECT_TRUE(run.Has("FProxyHTTP.FAddress=proxy.example"));
  EXPECT_TRUE(run.Has("FProxyHTTP.FVersion=3"));
  EXPECT_TRUE(run.Has("FInternetDisconnect.FExitAtTime=1899-12-30 23:30:00.000"));

  const std::string saved = ReadFile(m_file);
  const std::vector<std::vector<std::string>> refused = {
      {"options", "--set", "FInternetDialUP.FRetryBroken=300"},
      {"options", "--set", "NoSection.Key=1"},
      {"options", "--set", "no-dot=1"},
      {"options", "--set", "FProxyHTTP.FPort=81", "FProxyHTTP.FAddress= padded "},
  };
  for (const auto& args : refused) {
    run = Run(args);
    EXPECT_EQ(run.ExitCode, 2) << ::testing::PrintToString(args);
    EXPECT_FALSE(run.Err.empty());
  }
  EXPECT_EQ(ReadFile(m_file), saved) << "a refused change saves nothing";
}

TEST_F(OptionsCommand, SetKeepsTheProjectsAScheduledExitSaved) {
  fs::create_directories(fs::path(m_file).parent_path());
  test::WriteFile(m_file, "[FAutoSaved]\r\nCount=1\r\nFile0=/p/open.web\r\n");
  ASSERT_EQ(Run({"options", "--set", "FProxyFTP.FPasvMode=1"}).ExitCode, 0);
  const CliRun run = Run({"options"});
  EXPECT_TRUE(run.Has("FAutoSaved.File0=/p/open.web")) << run.Out;
  EXPECT_TRUE(run.Has("FProxyFTP.FPasvMode=1"));
}

TEST_F(OptionsCommand, CrawlsIdentifyAsTheSavedOptionsSayUnlessAFlagSaysOtherwise) {
  HttpTestServer server;
  server.Route("/", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", "<html></html>"));
  });
  ASSERT_EQ(Run({"options", "--set", "FInternetConnection.FAgentIdentify=11",
                 "FInternetConnection.FCustomAgentIdentify=Saved Agent/1.0"})
                .ExitCode,
            0);
  ASSERT_EQ(Run({"crawl", server.Url("/"), "--dispatch-interval", "0"}).ExitCode, 0);
  ASSERT_EQ(Run({"crawl", server.Url("/"), "--dispatch-interval", "0", "--agent", "10"}).ExitCode,
            0);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Header("user-agent"), "Saved Agent/1.0");
  EXPECT_EQ(requests[1].Header("user-agent"), "Anonymous");
}

}  // namespace
}  // namespace tq
