// The template folder and its entries.
#include "storage/templates.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "foundation/ansi.h"
#include "foundation/errors.h"

namespace tq {

bool IsTemplateName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

TVornTemplate::TVornTemplate(std::string name, const std::string& fileName)
    : m_name(std::move(name)), m_settings(fileName) {}

void TVornTemplates::SetTemplateFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  m_folder = std::move(folder);
  m_items.clear();
  if (m_folder.empty()) return;
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(m_folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (name.size() <= kTemplateExtension.size()) continue;
      if (!AnsiSameText(name.substr(name.size() - kTemplateExtension.size()), kTemplateExtension)) {
        continue;
      }
      struct stat st;
      const std::string path = m_folder + std::string(name);
      if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.emplace_back(name);
    }
    ::closedir(dir);
  }
  // The folder listing has no useful order here; by name is what a user expects to see.
  std::sort(names.begin(), names.end());
  for (auto& name : names) {
    const std::string path = m_folder + name;
    m_items.push_back(std::make_unique<TVornTemplate>(std::move(name), path));
  }
}

TVornTemplate& TVornTemplates::Add(const std::string& name) {
  if (!IsTemplateName(name)) throw EVornError("Invalid template name \"" + name + "\"");
  m_items.push_back(std::make_unique<TVornTemplate>(name, m_folder + name));
  return *m_items.back();
}

int TVornTemplates::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i]->Name() == name) return static_cast<int>(i);
  }
  return -1;
}

void TVornTemplates::Delete(int index, bool deleteFile) {
  if (index < 0 || static_cast<size_t>(index) >= m_items.size()) return;
  const auto it = m_items.begin() + index;
  const std::string path = (*it)->Settings().FileName();
  m_items.erase(it);
  if (deleteFile) ::unlink(path.c_str());
}

void TVornTemplates::Clear(bool deleteFile) {
  while (!m_items.empty()) Delete(Count() - 1, deleteFile);
}

}  // namespace tq
