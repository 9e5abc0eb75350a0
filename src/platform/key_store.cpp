// The INI-backed registry.
#include "platform/key_store.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "foundation/ansi.h"
#include "platform/shell_folders.h"

namespace tq {
namespace {

std::string_view RootName(TKeyRoot root) {
  switch (root) {
    case hkClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case hkCurrentUser:
      return "HKEY_CURRENT_USER";
    case hkLocalMachine:
      break;
  }
  return "HKEY_LOCAL_MACHINE";
}

// The section of a key: its root and its path without the separators at either end, so
// "\Software\X\" and "Software\X" name the same key.
std::string SectionOf(TKeyRoot root, std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  std::string section(RootName(root));
  if (!path.empty()) section.append("\\").append(path);
  return section;
}

std::string_view ValueName(std::string_view name) {
  return name.empty() ? "@" : name;
}

}  // namespace

std::string TKeyStore::DefaultFile() {
  const std::string config = GetSpecialFolder(sfAppData);
  return config.empty() ? std::string() : config + "/tarnquill/registry.ini";
}

TKeyStore::TKeyStore(std::string file) : m_ini(std::move(file)) {}

bool TKeyStore::KeyExists(TKeyRoot root, std::string_view path) const {
  return m_ini.SectionExists(SectionOf(root, path));
}

std::string TKeyStore::ReadString(TKeyRoot root, std::string_view path, std::string_view name,
                                  std::string_view defaultValue) const {
  return m_ini.ReadString(SectionOf(root, path), ValueName(name), defaultValue);
}

int TKeyStore::ReadInteger(TKeyRoot root, std::string_view path, std::string_view name,
                           int defaultValue) const {
  return m_ini.ReadInteger(SectionOf(root, path), ValueName(name), defaultValue);
}

void TKeyStore::WriteString(TKeyRoot root, std::string_view path, std::string_view name,
                            std::string_view value) {
  m_ini.WriteString(SectionOf(root, path), ValueName(name), value);
}

void TKeyStore::WriteInteger(TKeyRoot root, std::string_view path, std::string_view name,
                             int value) {
  m_ini.WriteInteger(SectionOf(root, path), ValueName(name), value);
}

void TKeyStore::DeleteKey(TKeyRoot root, std::string_view path) {
  const std::string key = SectionOf(root, path);
  const std::string below = key + "\\";
  std::vector<std::string> sections;
  m_ini.ReadSections(sections);
  for (const auto& section : sections) {
    if (AnsiSameText(section, key) || AnsiStartsText(below, section)) m_ini.EraseSection(section);
  }
}

void TKeyStore::Save() {
  const std::filesystem::path folder = std::filesystem::path(m_ini.FileName()).parent_path();
  std::error_code ec;
  if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
    std::filesystem::create_directories(folder, ec);
    ::chmod(folder.c_str(), 0700);
  }
  m_ini.UpdateFile();
}

}  // namespace tq
