// The registry of this platform: keys named by a root and a backslash-separated path, holding
// named string and integer values, kept in an INI file in the user's configuration folder. Each
// key is one section named by its root and path ("HKEY_CURRENT_USER\Software\..."); a key's
// unnamed value is stored under the name "@". Paths and value names compare without letter
// case, as the settings store compares names.
//
// A TKeyStore reads the file when made and writes it whole (atomically) on Save; changes not
// saved are dropped. Not thread-safe: one user at a time, and two stores of the same file race
// only in which whole content is kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/mem_ini_file.h"

namespace tq {

enum TKeyRoot : uint8_t { hkClassesRoot, hkCurrentUser, hkLocalMachine };

class TKeyStore {
 public:
  // "registry.ini" in "tarnquill" under the user's configuration folder; empty when the user's
  // home is unknown.
  static std::string DefaultFile();

  // Reads file (a missing file is an empty store). Raises EIniFileException when the file exists
  // but cannot be read.
  explicit TKeyStore(std::string file = DefaultFile());

  bool KeyExists(TKeyRoot root, std::string_view path) const;
  // name "" is the key's unnamed value. Missing values give the default.
  std::string ReadString(TKeyRoot root, std::string_view path, std::string_view name,
                         std::string_view defaultValue = {}) const;
  int ReadInteger(TKeyRoot root, std::string_view path, std::string_view name,
                  int defaultValue = 0) const;
  // Creates the key when it is missing.
  void WriteString(TKeyRoot root, std::string_view path, std::string_view name,
                   std::string_view value);
  void WriteInteger(TKeyRoot root, std::string_view path, std::string_view name, int value);
  // Deletes the key with every key below it; nothing happens when it is missing.
  void DeleteKey(TKeyRoot root, std::string_view path);

  // Writes the store into its file, creating the folder (mode 0700). Raises EIniFileException
  // ("Unable to write to <file>") on failure.
  void Save();

 private:
  TVornMemIniFile m_ini;
};

}  // namespace tq
