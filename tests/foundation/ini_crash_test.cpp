// A process killed in the middle of a burst of direct-form writes leaves the settings file with
// the content of a complete write: never a mix of the old and the new.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "foundation/atomic_file.h"
#include "foundation/ini_file.h"
#include "foundation/mem_ini_file.h"
#include "support/fault_file_system.h"

namespace tq {
namespace {

constexpr int kWrites = 12;
int g_toParent = -1;
int g_fromParent = -1;

// Write number j (from 1) replaces one of five large values, so every write rewrites a file of
// a few hundred kilobytes in several steps.
void ApplyWrite(TVornCustomIniFile& ini, int j) {
  ini.WriteString("Burst", "k" + std::to_string(j % 5),
                  std::string(60000, static_cast<char>('a' + j % 26)));
}

// In the child: report each step of a file write and wait until the parent lets it go on (or
// kills it there).
void ReportStepAndWait() {
  char c = 'P';
  if (::write(g_toParent, &c, 1) != 1 || ::read(g_fromParent, &c, 1) != 1) ::_exit(3);
}

void RunWriter(const std::string& file) {
  test::TFaultFileSystem steps;
  steps.Allow = [](std::string_view, const std::string&) {
    ReportStepAndWait();
    return true;
  };
  TVornIniFile ini(file, steps);
  for (int j = 1; j <= kWrites; ++j) {
    const char c = 'W';
    if (::write(g_toParent, &c, 1) != 1) ::_exit(2);
    ApplyWrite(ini, j);
  }
  ::_exit(0);
}

TEST(IniCrash, AKilledWriterLeavesTheOldOrTheNewFile) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tq-crash-XXXXXX").string();
  const std::string folder = ::mkdtemp(pattern.data());
  const std::string file = folder + "/settings.dat";

  // The file after each number of completed writes, computed in memory: both forms write the
  // same bytes for the same edits.
  std::vector<std::string> states{""};
  {
    TVornMemIniFile model("unused.ini");
    for (int j = 1; j <= kWrites; ++j) {
      ApplyWrite(model, j);
      states.push_back(model.GetText());
    }
  }

  int killsInsideAWrite = 0;
  for (int killAtStep = 1; killAtStep <= 60; killAtStep += 1) {
    std::filesystem::remove(file);
    int up[2];
    int down[2];
    ASSERT_EQ(::pipe(up), 0);
    ASSERT_EQ(::pipe(down), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      g_toParent = up[1];
      g_fromParent = down[0];
      RunWriter(file);
    }
    ::close(up[1]);
    ::close(down[0]);
    int writesBegun = 0;
    int steps = 0;
    char c = 0;
    while (::read(up[0], &c, 1) == 1) {
      if (c == 'W') {
        ++writesBegun;
        continue;
      }
      if (++steps == killAtStep) break;
      if (::write(down[1], "g", 1) != 1) break;
    }
    const bool stoppedInside = steps == killAtStep;
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(up[0]);
    ::close(down[1]);
    if (!stoppedInside) break;  // the burst ended before this step
    ++killsInsideAWrite;

    std::string onDisk;
    ReadWholeFile(file, onDisk);
    const auto& before = states[static_cast<size_t>(writesBegun - 1)];
    const auto& after = states[static_cast<size_t>(writesBegun)];
    EXPECT_TRUE(onDisk == before || onDisk == after)
        << "killed at step " << killAtStep << " of write " << writesBegun << ": " << onDisk.size()
        << " bytes, expected " << before.size() << " or " << after.size();
  }
  EXPECT_GE(killsInsideAWrite, 40);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tq
