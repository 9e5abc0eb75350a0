// The folder and ZIP destinations: every exported file under its export path, in a folder tree
// or as the members of one ZIP file.
#pragma once

#include <string>

#include "export/storage_base.h"

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

  // A cancelled export still closes the archive with the files written so far.
  void Save(IVornDeployHost& host) override;
};

}  // namespace tq
