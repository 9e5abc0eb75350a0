// The recent projects list.
#include "options/recent_projects.h"

#include <algorithm>

#include "options/ini_values.h"

namespace tq {

void TRecentProjects::Add(const std::string& path) {
  if (std::find(m_items.begin(), m_items.end(), path) != m_items.end()) return;
  if (m_items.size() >= kMaxCount) m_items.resize(kMaxCount - 1);
  m_items.insert(m_items.begin(), path);
}

void TRecentProjects::Remove(const std::string& path) {
  std::erase(m_items, path);
}

void TRecentProjects::LoadFromIni(const TVornCustomIniFile& ini) {
  m_items.clear();
  const int count = ReadListCount(ini, kSection, "Count");
  for (int i = 0; i < count && m_items.size() < kMaxCount; ++i) {
    std::string path = ini.ReadString(kSection, "File" + std::to_string(i), "");
    if (!path.empty()) m_items.push_back(std::move(path));
  }
}

void TRecentProjects::SaveToIni(TVornCustomIniFile& ini) const {
  EraseListSection(ini, kSection);
  ini.WriteInteger(kSection, "Count", static_cast<int>(m_items.size()));
  for (size_t i = 0; i < m_items.size(); ++i) {
    ini.WriteString(kSection, "File" + std::to_string(i), m_items[i]);
  }
}

}  // namespace tq
