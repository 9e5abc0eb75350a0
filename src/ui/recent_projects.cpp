#include "ui/recent_projects.h"

#include <algorithm>

namespace tq {
namespace {
constexpr const char* kSection = "Recent";
constexpr int kMaxScanned = 1 << 16;
}  // namespace

void TRecentProjects::Add(const std::string& path) {
  if (std::find(m_items.begin(), m_items.end(), path) != m_items.end()) return;
  if (m_items.size() >= kMaxCount) m_items.resize(kMaxCount - 1);
  m_items.insert(m_items.begin(), path);
}

void TRecentProjects::Remove(const std::string& path) {
  std::erase(m_items, path);
}

void TRecentProjects::Load(const TVornCustomIniFile& ini) {
  m_items.clear();
  // A damaged count must not make a start-up read keys for minutes: the list holds ten at most.
  const int count = std::min(ini.ReadInteger(kSection, "Count", 0), kMaxScanned);
  for (int i = 0; i < count && m_items.size() < kMaxCount; ++i) {
    std::string path = ini.ReadString(kSection, "File" + std::to_string(i), "");
    if (!path.empty()) m_items.push_back(std::move(path));
  }
}

void TRecentProjects::Save(TVornCustomIniFile& ini) const {
  if (ini.SectionExists(kSection)) ini.EraseSection(kSection);
  ini.WriteInteger(kSection, "Count", static_cast<int>(m_items.size()));
  for (size_t i = 0; i < m_items.size(); ++i)
    ini.WriteString(kSection, "File" + std::to_string(i), m_items[i]);
}

}  // namespace tq
