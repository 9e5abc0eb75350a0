// The "-lh1-" coder of the LHA format: LZSS over a 4 KB window, match lengths 3..60, the
// literal/length symbols coded with an adaptive Huffman tree and the match positions with a fixed
// code for their upper 6 bits. The encoder takes its input in pieces, so a member of any size is
// coded in bounded memory; decoding takes whole members, or pieces through TLh1Decoder. Functions
// are safe from any thread; an encoder object belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "formats/lha_error.h"

namespace tq {

// Largest ratio of original to compressed size that "-lh1-" data can reach: one bit for a
// 60-byte length symbol plus nine for its position. A header announcing more is damaged.
inline constexpr uint64_t kLh1MaxExpansion = 48;

// Codes a stream given in pieces; the bytes it writes are the same whatever the pieces are.
class TLh1Encoder {
 public:
  TLh1Encoder();
  ~TLh1Encoder();
  TLh1Encoder(const TLh1Encoder&) = delete;
  TLh1Encoder& operator=(const TLh1Encoder&) = delete;

  // Takes the next piece of input and appends to out the compressed bytes that are complete (the
  // coder looks a little ahead, so the end of the piece waits for the next one or Finish).
  void Write(std::string_view input, std::string& out);
  // Codes what is left and appends the last, partly filled byte; the encoder is then spent.
  void Finish(std::string& out);

 private:
  struct TState;
  std::unique_ptr<TState> m_state;
};

// Compresses input into out (replacing its content). Returns false, with out unspecified, as soon
// as the compressed stream would reach limit bytes: the caller then stores the data instead.
bool Lh1Encode(std::string_view input, std::string& out, uint64_t limit);

// Decodes a member in pieces, pulling its compressed bytes as it needs them, so a member of any
// size is decoded in bounded memory; gives exactly what Lh1Decode would.
class TLh1Decoder {
 public:
  // Fills buffer with up to size next compressed bytes; 0 once there are none.
  using TInput = std::function<size_t(char* buffer, size_t size)>;

  TLh1Decoder(uint64_t originalSize, TInput input);
  ~TLh1Decoder();
  TLh1Decoder(const TLh1Decoder&) = delete;
  TLh1Decoder& operator=(const TLh1Decoder&) = delete;

  // Decodes the next bytes into buffer, at most size; 0 once originalSize bytes have come.
  // Throws ELhaError when the compressed data ends early.
  size_t Read(char* buffer, size_t size);

 private:
  struct TState;
  std::unique_ptr<TState> m_state;
};

// Decompresses exactly originalSize bytes. Throws ELhaError when the data ends before that many
// bytes are produced; bytes after the last needed bit are ignored. The output never grows beyond
// originalSize, and never beyond what the input can code for (kLh1MaxExpansion).
std::string Lh1Decode(std::string_view packed, uint64_t originalSize);

}  // namespace tq
