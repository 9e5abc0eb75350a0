// The folder and ZIP destinations: every exported file under its export path, in a folder tree
// or as the members of one ZIP file.
#pragma once

#include <string>

#include "export/storage_base.h"
#include "foundation/file_system.h"

namespace tq {

class TVornStorageFolder : public TVornStorageBase {
 public:
  // The destination folder; the files go below it, replacing files of the same name.
  std::string Folder;

  void Save(IVornDeployHost& host) override;
};

class TVornStorageZip : public TVornStorageBase {
 public:
  // The ZIP file, replaced by the new archive once it is complete.
  std::string FileName;
  // What the archive is written through; null: the operating system's.
  TFileSystem* FileSystem = nullptr;

  // A cancelled export still closes the archive with the files written so far. With no file to
  // export the archive is empty; when files were there but none could be added (every one
  // failed, or the export was cancelled before the first) the old file stays as it was.
  void Save(IVornDeployHost& host) override;
};

}  // namespace tq
