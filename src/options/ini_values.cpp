// Typed reads of the application settings.
#include "options/ini_values.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tq {

bool ReadFlag(const TVornCustomIniFile& ini, std::string_view section, std::string_view key,
              bool defaultValue) {
  return ini.ReadInteger(section, key, defaultValue ? 1 : 0) == 1;
}

uint8_t ReadByte(const TVornCustomIniFile& ini, std::string_view section, std::string_view key,
                 int defaultValue) {
  return static_cast<uint8_t>(static_cast<unsigned>(ini.ReadInteger(section, key, defaultValue)));
}

uint16_t ReadWord(const TVornCustomIniFile& ini, std::string_view section, std::string_view key,
                  int defaultValue) {
  return static_cast<uint16_t>(static_cast<unsigned>(ini.ReadInteger(section, key, defaultValue)));
}

int ReadListCount(const TVornCustomIniFile& ini, std::string_view section, std::string_view key) {
  const int count = ini.ReadInteger(section, key, 0);
  if (count <= 0) return 0;
  std::vector<std::string> names;
  ini.ReadSection(section, names);
  return std::min(count, static_cast<int>(names.size()));
}

void EraseListSection(TVornCustomIniFile& ini, std::string_view section) {
  if (ini.SectionExists(section)) ini.EraseSection(section);
}

}  // namespace tq
