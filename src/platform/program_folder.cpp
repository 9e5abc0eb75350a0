// The program's folders: shipped files, settings and templates.
#include "platform/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/shell_folders.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSettingsName = "config.dat";

bool MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string& FolderOverride() {
  static std::string folder;
  return folder;
}

// The folder above the executable's: the installation prefix when it lives in "bin".
std::string ParentOfProgramFolder() {
  const std::string program = ProgramFolder();
  if (program.empty() || program == "/") return {};
  const size_t slash = program.rfind('/');
  return slash == 0 ? std::string("/") : program.substr(0, slash);
}

std::string Joined(const std::string& folder, const std::string& name) {
  return (folder == "/" ? "" : folder) + "/" + name;
}

void CopyShippedTemplates(const std::string& into) {
  const std::string shipped = ShippedDataFolder();
  if (shipped.empty()) return;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(shipped + "/Templates", ec)) {
    if (!entry.is_regular_file(ec) || entry.path().extension() != ".etpl") continue;
    fs::copy_file(entry.path(), fs::path(into) / entry.path().filename(),
                  fs::copy_options::skip_existing, ec);
  }
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

std::string ShippedDataFolder() {
  const std::string prefix = ParentOfProgramFolder();
  if (!prefix.empty()) {
    const std::string installed = Joined(prefix, "share/tarnquill");
    if (IsFolder(installed)) return installed;
  }
  const std::string program = ProgramFolder();
  if (program.empty()) return {};
  const std::string beside = Joined(program, "data");
  return IsFolder(beside) ? beside : std::string();
}

bool InstalledWithDesktopEntry() {
  const std::string prefix = ParentOfProgramFolder();
  return !prefix.empty() &&
         IsFile(Joined(prefix, std::string("share/applications/") + kDesktopId + ".desktop"));
}

std::string ProgramSettingsFolder() {
  const std::string program = ProgramFolder();
  if (!program.empty() && IsFile(Joined(program, kSettingsName))) return program;
  const std::string config = GetSpecialFolder(sfAppData);
  if (config.empty()) return {};
  return config + "/tarnquill";
}

std::string ProgramDataFolder(const std::string& sub) {
  const std::string own = ProgramSettingsFolder();
  if (own.empty()) return {};
  // The configuration folder itself may be missing in a fresh home.
  std::error_code ec;
  fs::create_directories(own, ec);
  const std::string folder = Joined(own, sub);
  if (!MakeFolder(folder) || !IsFolder(folder) || ::access(folder.c_str(), W_OK | X_OK) != 0) {
    return {};
  }
  return folder + "/";
}

std::string UserTemplatesFolder() {
  const std::string own = ProgramSettingsFolder();
  if (own.empty()) return {};
  const bool first = !IsFolder(Joined(own, "Templates"));
  const std::string folder = ProgramDataFolder("Templates");
  if (first && !folder.empty()) CopyShippedTemplates(folder);
  return folder;
}

std::string ProgramSettingsFile(const std::string& name) {
  if (const char* chosen = std::getenv("TARNQUILL_CONFIG"); chosen != nullptr && *chosen != 0) {
    return chosen;
  }
  const std::string own = ProgramSettingsFolder();
  return own.empty() ? std::string() : Joined(own, name);
}

}  // namespace tq
