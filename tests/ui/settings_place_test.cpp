// Where the built programs keep their settings when run from the build folder, by root and by an
// ordinary user: the desktop program started and stopped, the command line changing an option.
// Every file a run creates is listed; settings go to the user's configuration folder only.
// ctest: timeout=180 report-skips
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include <QProcess>

#include "foundation/main_loop.h"
#include "support/temp_env.h"

namespace tq::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// Every file and folder under root, as paths relative to it.
std::set<std::string> Listing(const fs::path& root) {
  std::set<std::string> found;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
    found.insert(fs::relative(it->path(), root).string());
  return found;
}

std::string Joined(const std::set<std::string>& paths) {
  std::string text;
  for (const auto& path : paths) text += "  " + path + "\n";
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A run of one program as uid (switched to with setpriv when it is not ours), with a home of
// its own and no XDG variables but the runtime folder, so the defaults apply.
class TUserRun {
 public:
  TUserRun(const fs::path& home, uid_t uid) : m_uid(uid) {
    m_env.insert(QStringLiteral("HOME"), QString::fromStdString(home.string()));
    m_env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                 QString::fromStdString((home / "runtime").string()));
  }

  void Start(const char* variable, const QStringList& arguments) {
    const QString program = QString::fromLocal8Bit(qgetenv(variable));
    m_process.setProcessEnvironment(m_env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    if (m_uid == ::geteuid()) {
      m_process.start(program, arguments);
    } else {
      const QString id = QString::number(m_uid);
      m_process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                                  QStringLiteral("--clear-groups"), QStringLiteral("--"), program} +
                          arguments);
    }
    ASSERT_TRUE(m_process.waitForStarted(30000)) << program.toStdString();
  }
  bool Ended() const { return m_process.state() == QProcess::NotRunning; }
  // Ends the run as a session's end would; the process is ours (setpriv execs the program).
  void Terminate() {
    if (!Ended()) ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    ASSERT_TRUE(RunUntil([this] { return Ended(); }, Millis(30000)));
  }
  int ExitCode() const { return m_process.exitCode(); }
  std::string Output() { return m_process.readAll().toStdString(); }

 private:
  uid_t m_uid;
  QProcessEnvironment m_env;
  QProcess m_process;
};

TEST(SettingsPlace, ARunFromTheBuildFolderWritesOnlyUnderTheUsersConfigFolder) {
  struct TCase {
    const char* who;
    uid_t uid;
  };
  const TCase cases[] = {{"this user", ::geteuid()}, {"nobody", kNobody}};
  const fs::path programFolder = fs::path(qgetenv("TQ_GUI").toStdString()).parent_path();
  const std::set<std::string> programBefore = Listing(programFolder);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.who);
    if (c.uid != ::geteuid() && ::geteuid() != 0) {
      GTEST_SKIP() << "running as another user needs root; the run as " << c.who << " is left out";
    }
    TTempDir dir;
    const fs::path home = dir.Path() / "home";
    fs::create_directories(home / "runtime");
    fs::permissions(home / "runtime", fs::perms::owner_all);
    fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::others_exec);
    for (const fs::path& folder : {home, home / "runtime"}) {
      ASSERT_EQ(::chown(folder.c_str(), c.uid, c.uid), 0);
    }

    TUserRun gui(home, c.uid);
    gui.Start("TQ_GUI", {});
    // At start the desktop program makes the user's Templates and writes its desktop entry
    // (last, on a thread of its own); then it is stopped.
    const fs::path entry = home / ".local/share/applications/org.tarnquill.Tarnquill.desktop";
    ASSERT_TRUE(RunUntil(
        [&] {
          return gui.Ended() ||
                 (fs::exists(entry) && fs::exists(home / ".config/tarnquill/Templates"));
        },
        Millis(60000)));
    ASSERT_FALSE(gui.Ended()) << gui.Output();
    gui.Terminate();

    TUserRun cli(home, c.uid);
    cli.Start("TQ_CLI", {QStringLiteral("options"), QStringLiteral("--set"),
                         QStringLiteral("FDirectories.FDiskSpaceLimit=77")});
    ASSERT_TRUE(RunUntil([&] { return cli.Ended(); }, Millis(60000)));
    EXPECT_EQ(cli.ExitCode(), 0) << cli.Output();

    std::set<std::string> settings, desktop, other;
    for (const std::string& path : Listing(home)) {
      if (StartsWith(path, "runtime")) continue;
      if (StartsWith(path, ".config/tarnquill")) {
        settings.insert(path);
      } else if (StartsWith(path, ".local/share/applications") ||
                 StartsWith(path, ".local/share/mime")) {
        desktop.insert(path);  // the desktop's own places for menu entries and file types
      } else if (path != ".config" && path != ".local" && path != ".local/share") {
        other.insert(path);
      }
    }
    EXPECT_TRUE(settings.count(".config/tarnquill/config.dat")) << Joined(settings);
    EXPECT_TRUE(settings.count(".config/tarnquill/Templates")) << Joined(settings);
    EXPECT_NE(test::ReadFile(home / ".config/tarnquill/config.dat").find("FDiskSpaceLimit=77"),
              std::string::npos);
    EXPECT_TRUE(other.empty()) << "created outside the configuration folder:\n" << Joined(other);
    for (const std::string& path : desktop) {
      EXPECT_EQ(fs::path(path).extension() == ".dat", false) << path;
    }
    EXPECT_EQ(Listing(programFolder), programBefore) << "the program's folder is left alone";
  }
}

}  // namespace
}  // namespace tq::test
