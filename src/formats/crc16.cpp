// Table-driven CRC-16 of the LHA format.
#include "formats/crc16.h"

#include <array>

namespace tq {
namespace {

// kTables[k][b]: the CRC of byte b followed by k zero bytes, so that eight bytes are taken in
// one step (slicing by eight) instead of one table step per byte.
constexpr std::array<std::array<uint16_t, 256>, 8> MakeTables() {
  std::array<std::array<uint16_t, 256>, 8> tables{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    tables[0][i] = static_cast<uint16_t>(crc);
  }
  for (int k = 1; k < 8; ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      const uint16_t prev = tables[k - 1][i];
      tables[k][i] = static_cast<uint16_t>((prev >> 8) ^ tables[0][prev & 0xFF]);
    }
  }
  return tables;
}

constexpr auto kTables = MakeTables();

}  // namespace

uint16_t Crc16Update(uint16_t crc, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const unsigned b0 = (bytes[i] ^ crc) & 0xFF;
    const unsigned b1 = (bytes[i + 1] ^ (crc >> 8)) & 0xFF;
    crc = static_cast<uint16_t>(kTables[7][b0] ^ kTables[6][b1] ^ kTables[5][bytes[i + 2]] ^
                                kTables[4][bytes[i + 3]] ^ kTables[3][bytes[i + 4]] ^
                                kTables[2][bytes[i + 5]] ^ kTables[1][bytes[i + 6]] ^
                                kTables[0][bytes[i + 7]]);
  }
  for (; i < size; ++i)
    crc = static_cast<uint16_t>(kTables[0][(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

}  // namespace tq
