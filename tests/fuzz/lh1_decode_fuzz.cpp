// Fuzz target: the bytes after the first three as an "-lh1-" stream whose original size is the
// first three bytes (so at most 16 MB), decoded whole and in pieces, which must agree; and the
// whole input through the coder and back, which must give the input again, also when the coder gets
// it in pieces (of sizes the input picks).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/lha_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (size >= 3) {
    const uint64_t originalSize = data[0] | (data[1] << 8) | (data[2] << 16);
    std::string whole = "<refused>", streamed = "<refused>";
    try {
      whole = tq::Lh1Decode(input.substr(3), originalSize);
      if (whole.size() != originalSize) std::abort();
    } catch (const tq::ELhaError&) {
    }
    try {
      size_t at = 3;
      const size_t step = 1 + data[0] % 13;
      tq::TLh1Decoder decoder(originalSize, [&](char* buffer, size_t max) {
        const size_t n = std::min({max, step, size - at});
        std::copy(data + at, data + at + n, buffer);
        at += n;
        return n;
      });
      std::string out, piece(1 + data[1] % 5000, '\0');
      while (const size_t n = decoder.Read(piece.data(), piece.size())) out.append(piece, 0, n);
      streamed = out;
    } catch (const tq::ELhaError&) {
    }
    if (whole != streamed) std::abort();
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
