// Process start with posix_spawn: glibc reports a failed exec as the call's result, so a missing
// or non-executable program becomes an error instead of a child that exits with 127.
#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <thread>

#include "foundation/errors.h"

extern char** environ;

namespace tq {
namespace {

[[noreturn]] void Fail(int code) {
  throw EVornOSError("Failed to execute program.  Error Code " + std::to_string(code), code);
}

struct TFileActions {
  posix_spawn_file_actions_t actions;
  TFileActions() { posix_spawn_file_actions_init(&actions); }
  ~TFileActions() { posix_spawn_file_actions_destroy(&actions); }
};

// Starts the program in its own folder with one argument; returns its process id.
pid_t Spawn(const std::string& programPath, const std::string& argument) {
  namespace fs = std::filesystem;
  std::string program = programPath;
  std::string folder;
  if (program.find('/') != std::string::npos) {
    // The child changes into the program's folder before exec, so a relative path would be
    // looked up from the wrong place: make it absolute first.
    std::error_code ec;
    const fs::path absolute = fs::absolute(program, ec);
    if (ec) Fail(ec.value());
    program = absolute.string();
    folder = absolute.parent_path().string();
  }

  TFileActions fileActions;
  if (!folder.empty()) {
    const int rc = posix_spawn_file_actions_addchdir_np(&fileActions.actions, folder.c_str());
    if (rc != 0) Fail(rc);
  }
  std::string arg0 = program;
  std::string arg1 = argument;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  pid_t pid = 0;
  // Without a "/" the name is looked up on PATH, as a shell would.
  const int rc =
      folder.empty()
          ? posix_spawnp(&pid, program.c_str(), &fileActions.actions, nullptr, argv, environ)
          : posix_spawn(&pid, program.c_str(), &fileActions.actions, nullptr, argv, environ);
  if (rc != 0) Fail(rc);
  return pid;
}

}  // namespace

int32_t RunProgramAndWait(const std::string& programPath, const std::string& argument,
                          uint16_t /*showCommand*/) {
  const pid_t pid = Spawn(programPath, argument);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) Fail(errno);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

void StartProgram(const std::string& programPath, const std::string& argument) {
  const pid_t pid = Spawn(programPath, argument);
  // A SIGCHLD handler would take the exit codes RunProgramAndWait and QProcess wait for, so each
  // started program gets a small thread of its own that reaps it.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace tq
