// Table-driven CRC-16 of the LHA format.
#include "formats/crc16.h"

#include <array>

namespace tq {
namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    table[i] = static_cast<uint16_t>(crc);
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16Update(uint16_t crc, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i)
    crc = static_cast<uint16_t>(kTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

}  // namespace tq
