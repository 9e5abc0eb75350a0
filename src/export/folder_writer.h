// TVornFolderWriter: writes files below one folder and never outside it. Each folder of a path is
// opened relative to its parent and never through a symbolic link, so a link planted inside the
// destination cannot redirect a write; each file is written under a temporary name beside it and
// renamed over the old entry (a symbolic link standing there is replaced, not followed), so a
// file is either its old or its complete new self.
//
// Threads: one thread at a time per writer.
#pragma once

#include <string>
#include <string_view>

namespace tq {

class TVornFolderWriter {
 public:
  // Opens root, creating it and its missing parents first (root itself is the user's choice and
  // may be reached through links). IsOpen tells whether that worked.
  explicit TVornFolderWriter(const std::string& root);
  ~TVornFolderWriter();
  TVornFolderWriter(const TVornFolderWriter&) = delete;
  TVornFolderWriter& operator=(const TVornFolderWriter&) = delete;

  bool IsOpen() const { return m_root >= 0; }

  // Writes data as root/relativePath, creating the missing folders, and replaces what stood
  // there. False (errno set) when it could not; an empty, ".", ".." or absolute component is
  // refused with EINVAL.
  bool Write(std::string_view relativePath, std::string_view data);

  // Makes everything written so far durable with one sync of the file system, instead of one
  // per file.
  bool Sync();

 private:
  // The open folder of folderPath ("" is the root), made when missing; -1 with errno set.
  int Folder(std::string_view folderPath);

  int m_root = -1;
  std::string m_folderPath;  // the folder m_folder has open
  int m_folder = -1;
  unsigned m_serial = 0;  // temporary names
};

}  // namespace tq
