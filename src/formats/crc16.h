// CRC-16 of the LHA format (polynomial 0xA001 reflected, initial value 0), computed in pieces.
// Pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tq {

// Continues a CRC over more bytes: Crc16Update(Crc16Update(0, a), b) == Crc16Update(0, a + b).
uint16_t Crc16Update(uint16_t crc, const void* data, size_t size);

inline uint16_t Crc16(std::string_view bytes) {
  return Crc16Update(0, bytes.data(), bytes.size());
}

}  // namespace tq
