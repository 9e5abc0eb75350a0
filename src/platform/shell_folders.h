// Shell chores: well-known folders, the folder picker and deleting a folder tree.
// GetSpecialFolder and DeleteFolderTree may be called from any thread; BrowseForFolder from any
// thread too (it hands the question to the interface thread and waits).
#pragma once

#include <cstdint>
#include <string>

namespace tq {

// The well-known folders the program asks for; the ordinals are fixed.
enum TSpecialFolder : uint8_t {
  sfStartMenu = 0,         // the user's application menu entries
  sfPrograms = 1,          // the same folder: there is no separate programs menu here
  sfDrives = 2,            // no file-system folder: always empty
  sfDesktopDirectory = 3,  // XDG desktop
  sfPersonal = 4,          // XDG documents: default place of projects and exported lists
  sfAppData = 5,           // XDG config home
  sfFavorites = 6,         // no equivalent: always empty
  sfTemplates = 7,         // XDG templates
  sfDesktop = 8,           // XDG desktop
  sfInternetCache = 9,     // XDG cache home: parent of temporary working folders
};

// The folder's path without a trailing slash, or empty when the kind has no folder here or the
// user's home cannot be determined. The folder need not exist yet.
std::string GetSpecialFolder(TSpecialFolder kind);

// The folder picker of the dialog service; empty when the user cancels.
std::string BrowseForFolder(const std::string& title, int flags);

// Deletes folder with everything in it. Symbolic links are removed, never followed, so nothing
// outside the folder is touched. What cannot be deleted is left behind; the result is always
// true.
bool DeleteFolderTree(const std::string& folder);

}  // namespace tq
