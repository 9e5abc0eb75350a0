// TRecentProjects: the main window's list of recently closed project files, newest first, at
// most ten, kept in the settings file's "Recent" section. Interface thread only.
#pragma once

#include <string>
#include <vector>

#include "foundation/ini_file.h"

namespace tq {

class TRecentProjects {
 public:
  static constexpr size_t kMaxCount = 10;

  const std::vector<std::string>& Items() const { return m_items; }
  // Puts a path at the top, dropping the oldest of ten; a path already listed keeps its place.
  void Add(const std::string& path);
  void Remove(const std::string& path);
  // "Count" entries under "File0", "File1", ...; empty entries are skipped.
  void Load(const TVornCustomIniFile& ini);
  // Rewrites the section whole.
  void Save(TVornCustomIniFile& ini) const;

 private:
  std::vector<std::string> m_items;
};

}  // namespace tq
