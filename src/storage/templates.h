// Project templates: saved crawl settings without project name and starting address, one
// "*.etpl" settings file each in one template folder. TVornTemplates lists that folder and hands
// out a settings store per template; the project document writes into and reads from them.
//
// Threads: not thread-safe; the interface thread owns the templates and is their only user.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ini_file.h"

namespace tq {

inline constexpr std::string_view kTemplateExtension = ".etpl";

// Whether name can be a template's file name: a plain file name inside the template folder.
bool IsTemplateName(std::string_view name);

class TVornTemplate {
 public:
  TVornTemplate(std::string name, const std::string& fileName);

  // The file name with its extension ("MySite.etpl").
  const std::string& Name() const { return m_name; }
  // The store on the template's file; the file is made by the first write.
  TVornIniFile& Settings() { return m_settings; }

 private:
  std::string m_name;
  TVornIniFile m_settings;
};

class TVornTemplates {
 public:
  // The folder with a trailing "/", or empty before one is set.
  const std::string& TemplateFolder() const { return m_folder; }
  // Drops every entry (no file is deleted) and lists the folder's "*.etpl" files, by name.
  void SetTemplateFolder(std::string folder);

  // Appends an entry for TemplateFolder() + name; a listed name gets a second entry. Raises
  // EVornError for a name that is not a plain file name.
  TVornTemplate& Add(const std::string& name);
  int Count() const { return static_cast<int>(m_items.size()); }
  TVornTemplate& Items(int index) { return *m_items.at(static_cast<size_t>(index)); }
  // The first entry named exactly name (letter case counts), or -1.
  int IndexOf(std::string_view name) const;
  // Removes entry index, and its file when deleteFile is set; an index out of range is ignored.
  void Delete(int index, bool deleteFile);
  void Clear(bool deleteFile);

 private:
  std::string m_folder;
  std::vector<std::unique_ptr<TVornTemplate>> m_items;
};

}  // namespace tq
