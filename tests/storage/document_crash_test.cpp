// A project file survives its saver being killed at any moment: a child process saves new
// generations of a project over the same file in a loop and is killed with SIGKILL at random
// points; each time the file must load whole, as one complete generation.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "archive_test_util.h"
#include "storage/document.h"
#include "support/fault_file_system.h"

extern char** environ;

namespace tq {
namespace {

using test::TScratchFolder;
namespace fs = std::filesystem;

constexpr int kPages = 16;
constexpr int kChildFd = 100;     // the child announces steps here
constexpr int kChildAckFd = 101;  // and waits here for the go-ahead
constexpr const char* kFileVariable = "TQ_CRASH_SAVE_FILE";
constexpr const char* kFdVariable = "TQ_CRASH_SAVE_FD";

std::string PageUrl(int i) {
  return "http://h.org/" + std::to_string(i);
}

std::string PageContent(int generation, int i) {
  // Partly incompressible, so that writing the project file takes several blocks.
  const auto seed = static_cast<uint32_t>(generation * kPages + i);
  return "generation " + std::to_string(generation) + " page " + std::to_string(i) + " " +
         test::Html(2000, seed) + test::Noise(24000, seed);
}

// In the child, each step of writing the project file (each call into the file system for it)
// is announced and waits for the parent's go-ahead, so the parent can kill the child exactly
// between any two of them.
bool AnnounceStep() {
  char byte = 1;
  return ::write(kChildFd, &byte, 1) == 1 && ::read(kChildAckFd, &byte, 1) == 1;
}

// Saves generation after generation over one file, announcing every step of writing it; runs
// only in the child that the test below starts.
TEST(DocumentCrashTest, DISABLED_SaverChild) {
  const char* file = std::getenv(kFileVariable);
  if (file == nullptr || std::getenv(kFdVariable) == nullptr) GTEST_SKIP();
  const std::string folder = fs::path(file).parent_path().string();
  test::TFaultFileSystem steps;
  steps.Allow = [file = std::string(file)](std::string_view, const std::string& path) {
    return !path.starts_with(file) || AnnounceStep();
  };
  TVornDocument doc(folder + "/cache", folder, steps);
  doc.SetDocName(file);
  int generation = 0;
  doc.OnSaveSettings = [&](TVornCustomIniFile& settings, bool) {
    settings.WriteInteger("Crash", "Generation", generation);
  };
  for (generation = 1; generation < 100000; ++generation) {
    for (int i = 0; i < kPages; ++i) {
      doc.SetDocumentStatus(PageUrl(i), kStatusReady);
      doc.SetDocumentValue(PageUrl(i), "GENERATION", std::to_string(generation));
      doc.SetDocumentContent(PageUrl(i), PageContent(generation, i));
    }
    ASSERT_TRUE(doc.Save(false));
  }
}

pid_t StartSaver(const std::string& file, int steps, int acks) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  env.push_back(std::string(kFileVariable) + "=" + file);
  env.push_back(std::string(kFdVariable) + "=" + std::to_string(kChildFd));
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=DocumentCrashTest.DISABLED_SaverChild";
  std::string disabled = "--gtest_also_run_disabled_tests";
  char* argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(steps, kChildFd);
    ::dup2(acks, kChildAckFd);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execve(self.c_str(), argv, envp.data());
    ::_exit(127);
  }
  return pid;
}

// The generation the project file holds, or -1 when it is not one complete generation.
int LoadedGeneration(const TScratchFolder& dir, const std::string& file) {
  TVornDocument doc(dir / "check", dir.Path().string());
  int generation = -1;
  doc.OnLoadSettings = [&](TVornCustomIniFile& settings, bool) {
    generation = settings.ReadInteger("Crash", "Generation", -1);
  };
  if (!doc.Load(file)) return -1;
  for (int i = 0; i < kPages; ++i) {
    if (doc.GetDocumentValue(PageUrl(i), "GENERATION") != std::to_string(generation)) return -1;
    if (doc.GetDocumentContent(PageUrl(i)) != PageContent(generation, i)) return -1;
  }
  return generation;
}

TEST(DocumentCrashTest, KilledSaverLeavesOldOrNewFile) {
  TScratchFolder dir;
  const std::string file = dir / "crash.web";
  std::mt19937 random(20261209);
  int lastGeneration = 0;
  int killedMidway = 0;
  int checked = 0;
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    int steps[2], acks[2];
    ASSERT_EQ(::pipe2(steps, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(acks, O_CLOEXEC), 0);
    const pid_t child = StartSaver(file, steps[1], acks[0]);
    ASSERT_GT(child, 0);
    ::close(steps[1]);
    ::close(acks[0]);
    // Writing one project file takes about ten steps. Every other round the child is killed
    // while it waits at a random one of the first saves' steps; the others let it go on and
    // kill it a little later, most likely while it packs.
    const int stepCount = static_cast<int>(random() % 30);
    const bool atStep = round % 2 == 0;
    char byte = 1;
    for (int i = 0; i <= stepCount; ++i) {
      ASSERT_EQ(::read(steps[0], &byte, 1), 1);
      if (i < stepCount || !atStep) {
        ASSERT_EQ(::write(acks[1], &byte, 1), 1);
      }
    }
    if (!atStep) ::usleep(static_cast<useconds_t>(random() % 20000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(steps[0]);
    ::close(acks[1]);
    if (WIFSIGNALED(status)) ++killedMidway;
    if (!fs::exists(file)) continue;  // killed before the first save completed
    ++checked;
    const int generation = LoadedGeneration(dir, file);
    ASSERT_GE(generation, 1) << "the project file is not one complete save";
    lastGeneration = generation;
  }
  EXPECT_GE(lastGeneration, 1);
  EXPECT_GE(killedMidway, 20);
  EXPECT_GE(checked, 16);
}

}  // namespace
}  // namespace tq
