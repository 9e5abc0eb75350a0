// Well-known folders from the XDG user directories, the folder picker, tree deletion.
#include "platform/shell_folders.h"

#include <QStandardPaths>
#include <QString>
#include <filesystem>
#include <system_error>
#include <vector>

#include "foundation/main_loop.h"
#include "platform/dialog_service.h"

namespace tq {
namespace {

std::string Location(QStandardPaths::StandardLocation location) {
  return QStandardPaths::writableLocation(location).toStdString();
}

namespace fs = std::filesystem;

void DeleteTree(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::path> files;
  std::vector<fs::path> folders;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    // symlink_status: a link to a folder is a file here, so the walk never leaves the tree.
    const fs::file_status status = it->symlink_status(ec);
    if (ec) {
      ec.clear();
      continue;
    }
    (fs::is_directory(status) ? folders : files).push_back(it->path());
  }
  for (const auto& file : files) fs::remove(file, ec);
  for (const auto& sub : folders) DeleteTree(sub);
  fs::remove(folder, ec);
}

}  // namespace

std::string GetSpecialFolder(TSpecialFolder kind) {
  switch (kind) {
    case sfStartMenu:
    case sfPrograms:
      return Location(QStandardPaths::ApplicationsLocation);
    case sfDesktopDirectory:
    case sfDesktop:
      return Location(QStandardPaths::DesktopLocation);
    case sfPersonal:
      return Location(QStandardPaths::DocumentsLocation);
    case sfAppData:
      return Location(QStandardPaths::GenericConfigLocation);
    case sfTemplates:
      return Location(QStandardPaths::TemplatesLocation);
    case sfInternetCache:
      return Location(QStandardPaths::GenericCacheLocation);
    case sfDrives:
    case sfFavorites:
      break;
  }
  return {};
}

std::string BrowseForFolder(const std::string& title, int flags) {
  std::string folder;
  CallInInterface([&] { folder = DialogService().BrowseForFolder(title, flags); });
  return folder;
}

bool DeleteFolderTree(const std::string& folder) {
  if (folder.empty()) return true;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(folder, ec);
  if (ec) return true;
  if (fs::is_directory(status))
    DeleteTree(folder);
  else if (fs::is_symlink(status))
    fs::remove(folder, ec);  // the link itself, not what it points to
  return true;
}

}  // namespace tq
