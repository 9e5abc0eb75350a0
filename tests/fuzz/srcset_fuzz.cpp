// Fuzzes the srcset splitter on its own. Every candidate is a non-empty run of the value, in
// source order and apart from the others, holding no blank, neither starting nor ending with a
// comma.
#include <cstdint>
#include <string_view>

#include "formats/srcset.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  const auto candidates = ParseSrcset(value);
  size_t previousEnd = 0;
  for (const TSrcsetCandidate& c : candidates) {
    FUZZ_CHECK(c.Begin >= previousEnd && c.Begin < c.End && c.End <= size);
    const std::string_view address = value.substr(c.Begin, c.End - c.Begin);
    FUZZ_CHECK(address.find_first_of(" \t\n\r\f") == std::string_view::npos);
    FUZZ_CHECK(address.front() != ',' && address.back() != ',');
    previousEnd = c.End;
  }
  // The same value again gives the same candidates.
  FUZZ_CHECK(ParseSrcset(value).size() == candidates.size());
  return 0;
}
