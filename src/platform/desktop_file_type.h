// A file type and the program that opens it, as freedesktop desktops know them: a desktop entry
// for the program (opening a file runs it with the file's path) in the user's applications folder,
// and a shared-mime-info package naming the type and its file-name pattern in the user's MIME
// folder (both under XDG_DATA_HOME, ~/.local/share by default). Any thread; the calls wait for
// the desktop's cache tools, a fraction of a second each.
#pragma once

#include <string>

namespace tq {

struct TDesktopFileType {
  std::string DesktopId;  // "org.tarnquill.Tarnquill": the entry's file name without ".desktop"
  std::string ApplicationName;  // the entry's Name
  std::string Program;          // full path of the program that opens the files
  std::string MimeType;         // "application/x-tarnquill-project"
  std::string Description;      // the type's name as file managers show it
  std::string Extension;        // with its dot: ".web"
  std::string Icon;             // the entry's icon, a name or a full path; empty: none
};

// Writes the desktop entry and the MIME package (each replaced atomically), then refreshes the
// desktop's caches with update-mime-database and update-desktop-database where they are
// installed. Raises EVornOSError when a file cannot be written or a value cannot be written into
// a desktop entry or a MIME package (a control character, a malformed type name).
void InstallDesktopFileType(const TDesktopFileType& type);

// True when the MIME package InstallDesktopFileType writes for this id and extension exists.
bool DesktopFileTypeInstalled(const TDesktopFileType& type);

// Removes the desktop entry and the MIME package of this id and extension, and refreshes the
// caches; files that are missing are skipped.
void RemoveDesktopFileType(const TDesktopFileType& type);

// The Exec value that runs program with the opened file: the program quoted for the desktop
// entry format, then " %f". Raises EVornOSError for a path with a control character.
std::string DesktopExecValue(const std::string& program);

}  // namespace tq
