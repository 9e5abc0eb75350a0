// The program's folder and the writable place for its own data.
#include "platform/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/shell_folders.h"

namespace tq {
namespace {

bool MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// The folder exists (or was made) and files can be created in it.
bool UsableFolder(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 && !MakeFolder(path)) return false;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string& FolderOverride() {
  static std::string folder;
  return folder;
}

bool WritableFolder(const std::string& path) {
  return !path.empty() && ::access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

void TestOnlySetProgramFolder(const std::string& folder) {
  FolderOverride() = folder;
}

std::string ProgramFile() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ProgramFolder() {
  if (!FolderOverride().empty()) return FolderOverride();
  const std::string path = ProgramFile();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string ProgramDataFolder(const std::string& sub) {
  const std::string program = ProgramFolder();
  if (WritableFolder(program) && UsableFolder(program + "/" + sub)) {
    return program + "/" + sub + "/";
  }
  const std::string config = GetSpecialFolder(sfAppData);
  if (config.empty()) return {};
  MakeFolder(config);
  const std::string own = config + "/tarnquill";
  MakeFolder(own);
  if (UsableFolder(own + "/" + sub)) return own + "/" + sub + "/";
  return {};
}

std::string ProgramSettingsFile(const std::string& name) {
  if (const char* chosen = std::getenv("TARNQUILL_CONFIG"); chosen != nullptr && *chosen != 0) {
    return chosen;
  }
  const std::string program = ProgramFolder();
  if (WritableFolder(program)) return (program == "/" ? "" : program) + "/" + name;
  const std::string config = GetSpecialFolder(sfAppData);
  if (config.empty()) return {};
  return config + "/tarnquill/" + name;
}

}  // namespace tq
