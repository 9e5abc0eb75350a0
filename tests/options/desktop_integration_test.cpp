// The desktop integration: which copied addresses start a project, what a hand-over asks for,
// the .web file type as the desktop's own tools see it, the browser entries and the
// troubleshooter's memory.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <optional>

#include "foundation/mem_ini_file.h"
#include "options/file_type.h"
#include "options/integration.h"
#include "options/option_groups.h"
#include "platform/clipboard.h"
#include "platform/program_folder.h"
#include "support/fake_dialog_service.h"
#include "support/temp_env.h"

namespace tq {
namespace {

class TTestClipboard : public IClipboard {
 public:
  std::optional<std::string> text;
  bool HasText() const override { return text.has_value(); }
  std::string Text() const override { return text.value_or(""); }
};

TEST(ClipboardWatch, RaisesOnceForEachNewAddressTheFilterLetsThrough) {
  auto clipboard = std::make_shared<TTestClipboard>();
  SetClipboard(clipboard);
  TVornIntegration integration;
  integration.ClipboardFilter = "zip;arj;rar;mp3;mpeg;mpg";
  integration.WhenAddStartDownload = true;
  std::vector<std::string> raised;
  integration.OnClipboardLink = [&](const std::string& link, bool selTemplate, bool start) {
    EXPECT_FALSE(selTemplate);
    EXPECT_TRUE(start);
    raised.push_back(link);
  };
  struct Step {
    bool monitor;
    int usage;
    std::optional<std::string> copied;
    bool raises;
  };
  const Step steps[] = {
      {true, ecbfDoNotAccept, "Get it at http://example.com/files/setup.zip today", false},
      {true, ecbfDoNotAccept, "http://example.com/index.html", true},
      {true, ecbfDoNotAccept, "http://example.com/index.html", false},  // seen already
      {true, ecbfDoNotAccept, "http://example.com/Index.html", true},
      {true, ecbfDoNotAccept, "http://example.com/dir/", true},       // no file name, no extension
      {true, ecbfDoNotAccept, "http://example.com/track.mp", false},  // "mp" is inside "mp3"
      {true, ecbfDoNotAccept, "http://example.com/A.ZIP", true},      // letter case counts
      {true, ecbfDoNotAccept, "ftp://example.com/pub/src.tar.gz", true},
      {true, ecbfDoNotAccept, "no address here", false},
      {true, ecbfDoNotAccept, std::nullopt, false},
      {false, ecbfDoNotAccept, "http://example.com/watch-off.html", false},
      {true, ecbfDoNotAccept, "http://example.com/watch-off.html", true},  // not seen while off
      {true, ecbfAcceptOnly, "http://example.com/other/", false},
      {true, ecbfAcceptOnly, "see HTTPS://example.com/x.rar", true},
      {true, 2, "http://example.com/b.zip", false},  // an ordinal no setting has
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.copied.value_or("(no text)"));
    integration.MonitorClipboard = step.monitor;
    integration.ClipboardUsage = static_cast<TVornClipBoardFilter>(step.usage);
    clipboard->text = step.copied;
    raised.clear();
    integration.PollClipboard();
    EXPECT_EQ(raised,
              step.raises ? std::vector<std::string>{*step.copied} : std::vector<std::string>{});
  }
  SetClipboard(nullptr);
}

TEST(HandOver, OpenFileLinesOpenTheRestVerbatimAndAnythingElseIsAnAddress) {
  TVornIntegration integration;
  integration.WhenAddSelTemplate = true;
  std::vector<std::string> opened;
  std::vector<std::vector<std::string>> links;
  integration.OnOpenFile = [&](const std::string& file) { opened.push_back(file); };
  integration.OnIELinks = [&](const std::vector<std::string>& lines, bool selTemplate, bool start) {
    EXPECT_TRUE(selTemplate);
    EXPECT_FALSE(start);
    links.push_back(lines);
  };
  integration.ExecuteMacro({"OpenFile= /home/u/My \"Sites\"/a.web "});
  integration.ExecuteMacro({"http://example.com/", "Example"});
  integration.ExecuteMacro({"openfile=/x.web"});
  integration.ExecuteMacro({});
  EXPECT_EQ(opened, std::vector<std::string>{" /home/u/My \"Sites\"/a.web "});
  const std::vector<std::vector<std::string>> expected = {
      {"http://example.com/", "Example"}, {"openfile=/x.web"}, {}};
  EXPECT_EQ(links, expected);

  integration.OnOpenFile = [](const std::string&) { throw std::runtime_error("cannot open"); };
  EXPECT_NO_THROW(integration.ExecuteMacro({"OpenFile=/broken.web"}));
}

std::string Output(const std::string& program, const QStringList& arguments) {
  QProcess process;
  process.start(QString::fromStdString(program), arguments);
  EXPECT_TRUE(process.waitForFinished(60000)) << program;
  return process.readAllStandardOutput().trimmed().toStdString();
}

// The desktop's own tools: xdg-mime (through shared-mime-info) names the type of a .web file
// and the program that opens it; GLib reads the program back out of the entry's Exec line.
TEST(FileType, TheDesktopKnowsProjectFilesAfterRegisteringAndForgetsThemAfter) {
  test::TTempDir dir;
  test::TEnvOverride env;
  env.IsolateHome(dir.Path());
  env.Unset("XDG_CURRENT_DESKTOP");
  env.Unset("XDG_DATA_DIRS");
  // GLib reads an entry only when its program is there to run.
  const std::string program = dir / "my $apps \"new\"/tarnquill";
  std::filesystem::create_directories(std::filesystem::path(program).parent_path());
  test::WriteFile(program, "#!/bin/sh\n");
  std::filesystem::permissions(program, std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  const std::string project = dir / "site.web";
  test::WriteFile(project, "\x1f\x0b-lh0-not quite a project");
  TFileType type = ProjectFileType(program);

  type.RegisterType();
  EXPECT_EQ(Output("xdg-mime", {QStringLiteral("query"), QStringLiteral("filetype"),
                                QString::fromStdString(project)}),
            "application/x-tarnquill-project");
  EXPECT_EQ(Output("xdg-mime", {QStringLiteral("query"), QStringLiteral("default"),
                                QStringLiteral("application/x-tarnquill-project")}),
            "org.tarnquill.Tarnquill.desktop");
  const std::string entry = dir / "data/applications/org.tarnquill.Tarnquill.desktop";
  EXPECT_EQ(Output("/usr/bin/python3",
                   {QStringLiteral("-c"),
                    QStringLiteral("import sys; from gi.repository import Gio, GLib; "
                                   "info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1]); "
                                   "print(GLib.shell_parse_argv(info.get_commandline())[1][0])"),
                    QString::fromStdString(entry)}),
            program);

  type.UnregisterType();
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_NE(Output("xdg-mime", {QStringLiteral("query"), QStringLiteral("filetype"),
                                QString::fromStdString(project)}),
            "application/x-tarnquill-project");
}

// An installed program came with its entry: its start removes the user's entry of the same id (a
// build-folder run's, which would hide the installed one) and writes none of its own.
TEST(FileType, AnInstalledProgramLeavesTheDesktopToTheEntryItCameWith) {
  namespace fs = std::filesystem;
  test::TTempDir dir;
  test::TEnvOverride env;
  env.IsolateHome(dir.Path());
  env.Set("XDG_RUNTIME_DIR", dir.Path().string());
  const fs::path prefix = dir.Path() / "usr";
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share/applications");
  const std::string name = std::string(kDesktopId) + ".desktop";
  test::WriteFile(prefix / "share/applications" / name, "[Desktop Entry]\n");
  const std::string program = (prefix / "bin/tarnquill").string();
  ProjectFileType(program).RegisterType();
  const fs::path entry = dir.Path() / "data/applications" / name;
  ASSERT_TRUE(fs::exists(entry));
  TestOnlySetProgramFolder((prefix / "bin").string());
  {
    TVornIntegration integration;
    integration.StartDesktop("installed-test", program);
  }  // waits for the registration
  TestOnlySetProgramFolder("");
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_TRUE(fs::is_empty(dir.Path() / "data/mime/packages"));
}

TEST(BrowserEntries, FollowTheSwitchAndLeaveOtherKeysAlone) {
  test::TTempDir dir;
  const std::string file = dir / "registry.ini";
  const std::string sibling = std::string(kBrowserMenuKey) + " (old)";
  TVornIntegration integration;
  integration.IntegrateIE = true;
  {
    TKeyStore keys(file);
    keys.WriteString(hkCurrentUser, sibling, "", "kept");
    integration.UpdateBrowserEntries(keys, "/opt/tq", "/opt/tq/tarnquill");
    keys.Save();
  }
  {
    TKeyStore keys(file);
    EXPECT_EQ(keys.ReadString(hkCurrentUser, kBrowserMenuKey, ""), "/opt/tq/addurl.htm");
    EXPECT_EQ(keys.ReadString(hkCurrentUser, kBrowserMenuKey, "Service"), "/opt/tq/");
    EXPECT_EQ(keys.ReadInteger(hkCurrentUser, kBrowserMenuKey, "contexts"), 243);
    EXPECT_EQ(keys.ReadString(hkLocalMachine, kBrowserButtonKey, "Exec"), "/opt/tq/tarnquill");
    EXPECT_EQ(keys.ReadString(hkLocalMachine, kBrowserButtonKey, "Icon"), "/opt/tq/icon.ico");
    integration.IntegrateIE = false;
    integration.UpdateBrowserEntries(keys, "/opt/tq", "/opt/tq/tarnquill");
    keys.Save();
  }
  TKeyStore keys(file);
  EXPECT_FALSE(keys.KeyExists(hkCurrentUser, kBrowserMenuKey));
  EXPECT_FALSE(keys.KeyExists(hkLocalMachine, kBrowserButtonKey));
  EXPECT_EQ(keys.ReadString(hkCurrentUser, sibling, ""), "kept");
}

TEST(TroubleShooter, ShowsATopicUntilTheUserAsksNotToSeeItAgain) {
  auto dialogs = std::make_shared<test::TFakeDialogService>();
  SetDialogService(dialogs);
  TVornMemIniFile ini("");
  ini.WriteString("FVornTroubleShooter", "nocard", "0");
  TVornTroubleShooter shooter;
  shooter.LoadFromIni(ini, "FVornTroubleShooter");
  EXPECT_TRUE(shooter.ShowTopic("nocard"));
  EXPECT_TRUE(dialogs->Questions().empty()) << "a topic set to 0 is never shown";

  dialogs->troubleAnswers = {{mrCancel, false}, {mrOk, true}};
  EXPECT_FALSE(shooter.ShowTopic("proxy"));  // closed by the user: not OK
  EXPECT_TRUE(shooter.ShowTopic("proxy"));
  EXPECT_TRUE(shooter.ShowTopic("proxy")) << "not asked a third time";
  EXPECT_EQ(dialogs->Questions().size(), 2u);
  shooter.SaveToIni(ini, "FVornTroubleShooter");
  EXPECT_EQ(ini.ReadString("FVornTroubleShooter", "proxy", ""), "0");
  SetDialogService(nullptr);
}

}  // namespace
}  // namespace tq
