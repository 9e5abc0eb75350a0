// Loading and saving the application options.
#include "options/options.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>

#include "foundation/mem_ini_file.h"

namespace tq {
namespace {

constexpr std::string_view kInternetConnection = "FInternetConnection";
constexpr std::string_view kInternetDialUp = "FInternetDialUP";
constexpr std::string_view kInternetDisconnect = "FInternetDisconnect";
constexpr std::string_view kAutoSaved = "FAutoSaved";
constexpr std::string_view kProxyFTP = "FProxyFTP";
constexpr std::string_view kProxyHTTP = "FProxyHTTP";
constexpr std::string_view kExtBrowsers = "FExtBrowsers";
constexpr std::string_view kExtEditors = "FExtEditors";
constexpr std::string_view kExtViewers = "FExtViewers";
constexpr std::string_view kTroubleShooter = "FVornTroubleShooter";
constexpr std::string_view kDirectories = "FDirectories";
constexpr std::string_view kIntegration = "FIntegration";
constexpr std::string_view kConfirmation = "FConfirmation";
constexpr std::string_view kHTMLCompiler = "FHTMLCompiler";

// The file holds passwords: its folder and the file itself are the user's alone. The atomic
// replacement keeps the mode of the file it replaces, so setting it here covers every write.
void PrepareSettingsFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty() && !fs::exists(folder, ec)) {
    fs::create_directories(folder, ec);
    fs::permissions(folder, fs::perms::owner_all, ec);
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
    return;
  }
  struct stat st {};
  if (errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      (st.st_mode & 077) != 0) {
    ::chmod(path.c_str(), st.st_mode & 0700);
  }
}

}  // namespace

TVornOptions::TVornOptions(std::string configFile) : m_configFile(std::move(configFile)) {}

void TVornOptions::LoadOptions() {
  std::unique_ptr<TVornMemIniFile> ini;
  bool readable = true;
  try {
    ini = std::make_unique<TVornMemIniFile>(m_configFile);
  } catch (const EIniFileException&) {
    ini = std::make_unique<TVornMemIniFile>("");
    readable = false;
  }
  struct stat st {};
  const bool exists = ::stat(m_configFile.c_str(), &st) == 0;
  const bool changed = LoadSections(*ini);
  // A file that is missing or that the load changed must be written by the next save; otherwise
  // the next save writes only when an option differs from what was read.
  if (exists && readable && !changed) {
    m_fileSnapshot = Snapshot();
  } else {
    m_fileSnapshot.reset();
  }
}

void TVornOptions::SaveOptions() {
  // The browser entries follow the switch at every save, also when the file itself is current.
  Integration.UpdateBrowserEntries();
  std::string snapshot = Snapshot();
  if (m_fileSnapshot && *m_fileSnapshot == snapshot) return;
  PrepareSettingsFile(m_configFile);
  std::unique_ptr<TVornMemIniFile> ini;
  try {
    // Over what the file holds, so sections of other parts of the program survive.
    ini = std::make_unique<TVornMemIniFile>(m_configFile);
  } catch (const EIniFileException&) {
    throw EIniFileException("Unable to write to " + m_configFile);
  }
  SaveToIni(*ini);
  ini->UpdateFile();
  m_fileSnapshot = std::move(snapshot);
}

void TVornOptions::LoadFromIni(const TVornCustomIniFile& ini) {
  LoadSections(ini);
}

bool TVornOptions::LoadSections(const TVornCustomIniFile& ini) {
  InternetConnection.LoadFromIni(ini, kInternetConnection);
  InternetDialUp.LoadFromIni(ini, kInternetDialUp);
  bool changed = InternetDisconnect.LoadFromIni(ini, kInternetDisconnect, kAutoSaved) > 0;
  ProxyFTP.LoadFromIni(ini, kProxyFTP);
  ProxyHTTP.LoadFromIni(ini, kProxyHTTP);
  ExtBrowsers.LoadFromIni(ini, kExtBrowsers);
  if (!ini.SectionExists(kExtBrowsers) && OnFindBrowsers) {
    for (const auto& found : OnFindBrowsers()) {
      TVornUtilityApp& app = ExtBrowsers.Add();
      app.Caption = found.Name;
      app.File = found.File;
      app.Enabled = true;
      changed = true;
    }
  }
  ExtEditors.LoadFromIni(ini, kExtEditors);
  ExtViewers.LoadFromIni(ini, kExtViewers);
  TroubleShooter.LoadFromIni(ini, kTroubleShooter);
  Directories.LoadFromIni(ini, kDirectories);
  Integration.LoadFromIni(ini, kIntegration);
  Confirmation.LoadFromIni(ini, kConfirmation);
  HTMLCompiler.LoadFromIni(ini, kHTMLCompiler);
  if (OnLoadMRU) OnLoadMRU(ini);
  return changed;
}

void TVornOptions::SaveToIni(TVornCustomIniFile& ini) const {
  InternetConnection.SaveToIni(ini, kInternetConnection);
  InternetDialUp.SaveToIni(ini, kInternetDialUp);
  InternetDisconnect.SaveToIni(ini, kInternetDisconnect, kAutoSaved);
  ProxyFTP.SaveToIni(ini, kProxyFTP);
  ProxyHTTP.SaveToIni(ini, kProxyHTTP);
  ExtBrowsers.SaveToIni(ini, kExtBrowsers);
  ExtEditors.SaveToIni(ini, kExtEditors);
  ExtViewers.SaveToIni(ini, kExtViewers);
  TroubleShooter.SaveToIni(ini, kTroubleShooter);
  Directories.SaveToIni(ini, kDirectories);
  Integration.SaveToIni(ini, kIntegration);
  Confirmation.SaveToIni(ini, kConfirmation);
  HTMLCompiler.SaveToIni(ini, kHTMLCompiler);
  if (OnSaveMRU) OnSaveMRU(ini);
}

std::string TVornOptions::Snapshot() const {
  TVornMemIniFile scratch("");
  SaveToIni(scratch);
  return scratch.GetText();
}

}  // namespace tq
