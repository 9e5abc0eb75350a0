// The main window's list of recently closed projects, kept in section "Recent" of the settings
// file ("Count", then "File0", "File1", ...). The newest entry comes first; the list holds at most
// kMaxCount paths. Interface thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/ini_file.h"

namespace tq {

class TRecentProjects {
 public:
  static constexpr size_t kMaxCount = 10;
  static constexpr std::string_view kSection = "Recent";

  const std::vector<std::string>& Items() const { return m_items; }

  // Puts path at the top, dropping the oldest entry when the list is full; a path already in the
  // list keeps its place.
  void Add(const std::string& path);
  void Remove(const std::string& path);

  // Reads "Count" entries, skipping empty ones (and any beyond kMaxCount).
  void LoadFromIni(const TVornCustomIniFile& ini);
  // Writes the section anew whole.
  void SaveToIni(TVornCustomIniFile& ini) const;

 private:
  std::vector<std::string> m_items;
};

}  // namespace tq
