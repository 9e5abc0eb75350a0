// File-name masks from arbitrary text: compiling either succeeds or raises the mask error, and
// matching any name terminates.
#include <cstdint>
#include <string>

#include "options/mask.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\n');
  try {
    const tq::TMultiMask masks(input.substr(0, cut));
    (void)masks.Matches(cut == std::string::npos ? std::string() : input.substr(cut + 1));
  } catch (const tq::EMaskException&) {
  }
  return 0;
}
