// The e-book destination: the exported files and an HTML Help project ("temp.hhp") are written to
// a temporary working folder, an external compiler turns the project into "temp.chm" beside it,
// and that file is copied to the chosen .chm file. The working folder is deleted afterwards,
// however the export ends.
#pragma once

#include <string>
#include <string_view>

#include "export/storage_base.h"

namespace tq {

inline constexpr std::string_view kHelpProjectName = "temp.hhp";
inline constexpr std::string_view kHelpBookName = "temp.chm";

class TVornStorageEbook : public TVornStorageBase {
 public:
  std::string FileName;      // the .chm file to make
  std::string CompilerPath;  // the compiler program; empty: none is configured
  bool FullSearch = false;   // the compiler also builds a full-text search index
  std::string Title;         // the project name
  // Where the working folder is made; empty: the user's cache folder.
  std::string CacheFolder;

  void Save(IVornDeployHost& host) override;
};

}  // namespace tq
