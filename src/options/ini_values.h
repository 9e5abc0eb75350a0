// How the application settings file reads what the settings store leaves to its users: Booleans
// true only at exactly 1, byte- and word-sized values cut to their low bits, and list counts that
// a damaged file cannot blow up. Pure functions over a store; the store's thread rules apply.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/ini_file.h"

namespace tq {

// Read with the integer reader and true only when the value is exactly 1; a missing or
// unreadable value gives the default.
bool ReadFlag(const TVornCustomIniFile& ini, std::string_view section, std::string_view key,
              bool defaultValue);

// The low 8 / 16 bits of the integer read.
uint8_t ReadByte(const TVornCustomIniFile& ini, std::string_view section, std::string_view key,
                 int defaultValue);
uint16_t ReadWord(const TVornCustomIniFile& ini, std::string_view section, std::string_view key,
                  int defaultValue);

// The entry count of a list section stored under key (default 0). A negative count reads as 0,
// and a count above the number of keys in the section as that number: every entry we write has
// at least one key of its own, so only a damaged file is cut, and a damaged count can never make
// a load run for billions of empty entries.
int ReadListCount(const TVornCustomIniFile& ini, std::string_view section, std::string_view key);

// Erases the section when it holds anything, so a list is written anew whole.
void EraseListSection(TVornCustomIniFile& ini, std::string_view section);

}  // namespace tq
