// Fuzz target: the bytes after the first three as an "-lh1-" stream whose original size is the
// first three bytes (so at most 16 MB); and the whole input through the coder and back, which
// must give the input again, also when the coder gets it in pieces (of sizes the input picks).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/lha_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (size >= 3) {
    const uint64_t originalSize = data[0] | (data[1] << 8) | (data[2] << 16);
    try {
      const std::string out = tq::Lh1Decode(input.substr(3), originalSize);
      if (out.size() != originalSize) std::abort();
    } catch (const tq::ELhaError&) {
    }
  }
  std::string packed;
  if (tq::Lh1Encode(input, packed, UINT64_MAX) && tq::Lh1Decode(packed, size) != input)
    std::abort();
  std::string pieces;
  tq::TLh1Encoder encoder;
  for (size_t at = 0; at < size;) {
    const size_t step = 1 + data[at] % 97;
    encoder.Write(input.substr(at, step), pieces);
    at += step;
  }
  encoder.Finish(pieces);
  if (pieces != packed) std::abort();
  return 0;
}
