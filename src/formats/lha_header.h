// Level-0 member headers of the LHA format: building them for writing and checking them when
// reading. Only the methods "-lh0-" (stored) and "-lh1-" are accepted. Pure functions, safe from
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "formats/lha_error.h"

namespace tq {

inline constexpr std::string_view kLhaStored = "-lh0-";
inline constexpr std::string_view kLhaLh1 = "-lh1-";
// The first byte counts the header without its first two bytes, so 255 - 22 name bytes fit.
inline constexpr size_t kLhaMaxNameLength = 255 - 22;

struct TLhaHeader {
  std::string method;  // kLhaStored or kLhaLh1
  uint32_t packedSize = 0;
  uint32_t originalSize = 0;
  uint32_t timeStamp = 0;  // MS-DOS date (high word) and time (low word)
  uint8_t attributes = 0;  // MS-DOS attributes, low 7 bits
  std::string name;
  uint16_t crc = 0;  // CRC-16 of the original data
};

// The header bytes with their checksum. Throws ELhaError for a name longer than
// kLhaMaxNameLength.
std::string EncodeLhaHeader(const TLhaHeader& header);

// Bytes a header occupies on disk, judged from its first byte (0 is the end marker: 1 byte).
inline size_t LhaHeaderLength(uint8_t first) {
  return first == 0 ? 1 : size_t{first} + 2;
}

// Checks and parses one header. bytes holds what the file had from the header's first byte on,
// at most LhaHeaderLength(bytes[0]) bytes (fewer when the file ended). Throws ELhaError for a
// truncated header, a header level other than 0, a bad checksum, a name that runs past the
// header or an unknown method.
TLhaHeader DecodeLhaHeader(std::string_view bytes);

// MS-DOS date and time (local time, two-second steps) of a time; 0 before 1980.
uint32_t ToDosDateTime(std::time_t time);

}  // namespace tq
