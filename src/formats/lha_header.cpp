// Level-0 LHA header layout: size, checksum, method, packed and original size, MS-DOS time,
// attributes, level, name length, name, CRC-16; integers little-endian.
#include "formats/lha_header.h"

namespace tq {
namespace {

constexpr size_t kFixedPart = 22;  // bytes before the name, counted from offset 0
constexpr size_t kLevelOffset = 20;

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t GetLe(std::string_view in, size_t offset, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(in[offset + i]);
  return value;
}

uint8_t Checksum(std::string_view bytes) {
  unsigned sum = 0;
  for (size_t i = 2; i < bytes.size(); ++i) sum += static_cast<uint8_t>(bytes[i]);
  return static_cast<uint8_t>(sum & 0xFF);
}

}  // namespace

std::string EncodeLhaHeader(const TLhaHeader& header) {
  if (header.name.size() > kLhaMaxNameLength) {
    throw ELhaError("member name too long: " + header.name);
  }
  std::string out;
  out.reserve(kFixedPart + header.name.size() + 2);
  out.push_back(static_cast<char>(kFixedPart + header.name.size()));
  out.push_back(0);  // checksum, filled in below
  out.append(header.method, 0, 5);
  out.resize(7, ' ');
  PutLe(out, header.packedSize, 4);
  PutLe(out, header.originalSize, 4);
  PutLe(out, header.timeStamp, 4);
  out.push_back(static_cast<char>(header.attributes & 0x7F));
  out.push_back(0);  // header level
  out.push_back(static_cast<char>(header.name.size()));
  out += header.name;
  PutLe(out, header.crc, 2);
  out[1] = static_cast<char>(Checksum(out));
  return out;
}

TLhaHeader DecodeLhaHeader(std::string_view bytes) {
  if (bytes.empty()) throw ELhaError("member header missing");
  const size_t length = LhaHeaderLength(static_cast<uint8_t>(bytes[0]));
  // The level byte sits at the same place in every header level, so judge it first: a level 1
  // or 2 header is intact but not ours, and its first byte means something else.
  if (bytes.size() > kLevelOffset && bytes[kLevelOffset] != 0) {
    throw ELhaError("unsupported header level " +
                    std::to_string(static_cast<uint8_t>(bytes[kLevelOffset])));
  }
  if (bytes.size() < length) throw ELhaError("member header truncated");
  bytes = bytes.substr(0, length);
  if (length < kFixedPart + 2) throw ELhaError("member header too short");
  if (static_cast<uint8_t>(bytes[1]) != Checksum(bytes))
    throw ELhaError("member header checksum mismatch");
  const size_t nameLength = static_cast<uint8_t>(bytes[21]);
  // Bytes after the CRC (an extension area some writers add) are allowed and ignored.
  if (kFixedPart + nameLength + 2 > length) throw ELhaError("member name runs past its header");

  TLhaHeader header;
  header.method = std::string(bytes.substr(2, 5));
  if (header.method != kLhaStored && header.method != kLhaLh1) {
    throw ELhaError("unknown compression method " + header.method);
  }
  header.packedSize = GetLe(bytes, 7, 4);
  header.originalSize = GetLe(bytes, 11, 4);
  header.timeStamp = GetLe(bytes, 15, 4);
  header.attributes = static_cast<uint8_t>(bytes[19]);
  header.name = std::string(bytes.substr(kFixedPart, nameLength));
  header.crc = static_cast<uint16_t>(GetLe(bytes, kFixedPart + nameLength, 2));
  return header;
}

uint32_t ToDosDateTime(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr || local.tm_year < 80) return 0;
  const uint32_t date = static_cast<uint32_t>(((local.tm_year - 80) << 9) |
                                              ((local.tm_mon + 1) << 5) | local.tm_mday);
  const uint32_t clock =
      static_cast<uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return (date << 16) | clock;
}

}  // namespace tq
