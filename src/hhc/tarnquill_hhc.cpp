// tarnquill-hhc PROJECT.hhp: compiles an HTML Help project into PROJECT.chm beside it, with the
// compiler of Debian's fp-utils package (chmcmd). That compiler takes the name of the book it
// writes from the project, so the name is added to the project's [OPTIONS] when missing. Pages are
// not scanned for further files: the book holds exactly the files the project lists, never a
// file a page happens to point at elsewhere on the disk.
//
// Exit codes: 0 the book was written, 1 it was not (and no book is left), 2 bad arguments, 127 no
// compiler installed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kCompiler = "chmcmd";

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "tarnquill-hhc: %s\n", message.c_str());
  return code;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

// The project with "Compiled file=<book>" as the only name of the book in its [OPTIONS] section.
std::string WithBookName(const std::string& project, const std::string& book) {
  const std::string entry = "Compiled file=" + book;
  std::vector<std::string> lines;
  bool inOptions = false, placed = false;
  std::istringstream in(project);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') inOptions = StartsWithNoCase(line, "[OPTIONS]");
    if (inOptions && StartsWithNoCase(line, "Compiled file")) continue;
    lines.push_back(line);
    if (inOptions && !placed && line[0] == '[') {
      lines.push_back(entry);
      placed = true;
    }
  }
  if (!placed) lines.insert(lines.begin(), {"[OPTIONS]", entry});
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

bool ReplaceFile(const fs::path& path, const std::string& text) {
  const fs::path temp = path.string() + ".~tq";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!(out << text) || !out.flush()) return false;
  }
  std::error_code error;
  fs::rename(temp, path, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: tarnquill-hhc PROJECT.hhp", 2);
  std::error_code error;
  const fs::path project = fs::absolute(argv[1], error);
  std::ifstream in(project, std::ios::binary);
  std::stringstream text;
  if (error || !in || !(text << in.rdbuf())) return Fail("cannot read " + std::string(argv[1]), 1);
  in.close();

  const fs::path book = fs::path(project.stem().string() + ".chm");
  if (!ReplaceFile(project, WithBookName(text.str(), book.string())))
    return Fail("cannot write " + project.string(), 1);

  // The compiler writes the book relative to its working folder and answers 0 even when it
  // fails, so it runs in the project's folder and only a fresh book counts. What it says goes to
  // a log beside the project, shown only when no book came out.
  const fs::path folder = project.parent_path();
  const fs::path log = project.stem().string() + ".log";
  fs::remove(folder / book, error);
  if (::chdir(folder.c_str()) != 0) return Fail("cannot enter " + folder.string(), 1);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  std::string program = kCompiler, noScan = "--no-html-scan", name = project.filename().string();
  char* args[] = {program.data(), noScan.data(), name.data(), nullptr};
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, kCompiler, &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return Fail("cannot run chmcmd (Debian package fp-utils)", 127);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return Fail("lost the compiler", 1);
  }
  const bool written = fs::is_regular_file(folder / book, error) &&
                       fs::file_size(folder / book, error) > 0 && !error;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !written) {
    // A compiler that failed part way may have left part of a book: nobody may take it for one.
    fs::remove(folder / book, error);
    std::ifstream said(log, std::ios::binary);
    std::fprintf(stderr, "%s", std::string(std::istreambuf_iterator<char>(said), {}).c_str());
    return Fail("the compiler wrote no " + book.string(), 1);
  }
  return 0;
}
