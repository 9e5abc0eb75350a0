// Byte-wise case handling of 8-bit texts (addresses, settings, stored headers) with the
// Windows-1252 table, so results never depend on the C locale. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

namespace tq {

// The Windows-1252 upper / lower case of one byte; bytes without a case partner stay as they are.
unsigned char AnsiUpperChar(unsigned char c);
unsigned char AnsiLowerChar(unsigned char c);

std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

// Equal after upper-casing both.
bool AnsiSameText(std::string_view a, std::string_view b);

// text begins with prefix, ignoring case.
bool AnsiStartsText(std::string_view prefix, std::string_view text);

}  // namespace tq
