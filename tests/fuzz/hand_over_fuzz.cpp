// Hand-overs from arbitrary bytes, as a local process could send them: every prefix decodes as
// incomplete, malformed or complete, a complete one within the limits, and what it carried
// encodes back to exactly those bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/hand_over.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (size_t cut = 0; cut <= input.size(); cut += 1 + cut / 4) {
    const auto state = tq::DecodeHandOver(input.substr(0, cut), lines);
    if (state == tq::THandOverDecode::hdComplete) {
      FUZZ_CHECK(lines.size() <= tq::kMaxHandOverLines);
      FUZZ_CHECK(tq::EncodeHandOver(lines) == input.substr(0, cut));
    } else {
      FUZZ_CHECK(lines.empty());
    }
  }
  return 0;
}
