// Windows-1252 case tables, built once at compile time.
#include "foundation/ansi.h"

#include <array>

namespace tq {
namespace {

struct TCaseTables {
  std::array<unsigned char, 256> upper{};
  std::array<unsigned char, 256> lower{};
};

constexpr TCaseTables MakeTables() {
  TCaseTables t;
  for (int c = 0; c < 256; ++c) {
    t.upper[c] = static_cast<unsigned char>(c);
    t.lower[c] = static_cast<unsigned char>(c);
  }
  auto pair = [&t](int up, int low) {
    t.upper[low] = static_cast<unsigned char>(up);
    t.lower[up] = static_cast<unsigned char>(low);
  };
  for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
  pair(0x8A, 0x9A);  // S caron
  pair(0x8C, 0x9C);  // OE ligature
  pair(0x8E, 0x9E);  // Z caron
  pair(0x9F, 0xFF);  // Y diaeresis
  // Latin-1 letters; 0xD7 and 0xF7 are the multiplication and division signs, and 0xDF
  // (sharp s) has no single-byte capital.
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) pair(c, c + 32);
  }
  return t;
}

constexpr TCaseTables kTables = MakeTables();

}  // namespace

unsigned char AnsiUpperChar(unsigned char c) {
  return kTables.upper[c];
}
unsigned char AnsiLowerChar(unsigned char c) {
  return kTables.lower[c];
}

std::string AnsiUpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(kTables.upper[static_cast<unsigned char>(c)]);
  return result;
}

std::string AnsiLowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(kTables.lower[static_cast<unsigned char>(c)]);
  return result;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (kTables.upper[static_cast<unsigned char>(a[i])] !=
        kTables.upper[static_cast<unsigned char>(b[i])])
      return false;
  }
  return true;
}

bool AnsiStartsText(std::string_view prefix, std::string_view text) {
  return text.size() >= prefix.size() && AnsiSameText(prefix, text.substr(0, prefix.size()));
}

}  // namespace tq
