// File-name masks from arbitrary text: compiling either succeeds or raises the mask error, and a
// mask of "*", "?" and plain characters matches exactly what a plain recursive matcher matches.
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/ansi.h"
#include "fuzz_check.h"
#include "options/mask.h"

namespace {

bool Reference(std::string_view mask, std::string_view name) {
  if (mask.empty()) return name.empty();
  if (mask[0] == '*') {
    for (size_t skip = 0; skip <= name.size(); ++skip) {
      if (Reference(mask.substr(1), name.substr(skip))) return true;
    }
    return false;
  }
  if (name.empty()) return false;
  const bool one = mask[0] == '?' || tq::AnsiUpperChar(static_cast<unsigned char>(mask[0])) ==
                                         tq::AnsiUpperChar(static_cast<unsigned char>(name[0]));
  return one && Reference(mask.substr(1), name.substr(1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\n');
  const std::string mask = input.substr(0, cut);
  const std::string name = cut == std::string::npos ? std::string() : input.substr(cut + 1);
  try {
    const tq::TMultiMask masks(mask);
    (void)masks.Matches(name);
  } catch (const tq::EMaskException&) {
  }
  std::string plain;
  for (char c : mask) {
    if (c != '[' && c != ';') plain.push_back(c);
  }
  if (plain.size() > 12 || name.size() > 24) return 0;
  try {
    FUZZ_CHECK(tq::TMask(plain).Matches(name) == Reference(plain, name));
  } catch (const tq::EMaskException&) {
    // more than 30 characters after a "*" cannot happen in 12
    FUZZ_CHECK(false);
  }
  return 0;
}
