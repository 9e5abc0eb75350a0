// The e-book destination: the exported files and an HTML Help project ("temp.hhp") are written to
// a temporary working folder, an external compiler turns the project into "temp.chm" beside it,
// and that file is copied to the chosen .chm file. A compile counts only when the compiler exits
// with 0 and leaves a book that is not empty; otherwise the chosen file is not touched. The copy
// replaces the chosen file only once it is complete. The working folder is deleted afterwards,
// however the export ends. The project lists only the files that could be written.
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
