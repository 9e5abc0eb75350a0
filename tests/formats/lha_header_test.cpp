// Level-0 headers: what is written, and a table of damaged headers that must each be refused.
#include "formats/lha_header.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tq {
namespace {

TLhaHeader Sample() {
  TLhaHeader h;
  h.method = std::string(kLhaLh1);
  h.packedSize = 0x01020304;
  h.originalSize = 0x0A0B0C0D;
  h.timeStamp = 0x5A8C6000;
  h.attributes = 0x20;
  h.name = "INDEX.DAT";
  h.crc = 0xBEEF;
  return h;
}

TEST(LhaHeader, WritesTheLevel0LayoutAndReadsItBack) {
  const std::string bytes = EncodeLhaHeader(Sample());
  ASSERT_EQ(bytes.size(), 24u + 9);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 22 + 9);
  EXPECT_EQ(bytes.substr(2, 5), "-lh1-");
  EXPECT_EQ(bytes.substr(7, 4), std::string("\x04\x03\x02\x01", 4));
  EXPECT_EQ(bytes[20], 0);
  EXPECT_EQ(bytes.substr(22, 9), "INDEX.DAT");
  EXPECT_EQ(bytes.substr(31, 2), "\xEF\xBE");
  unsigned sum = 0;
  for (size_t i = 2; i < bytes.size(); ++i) sum += static_cast<uint8_t>(bytes[i]);
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]), sum & 0xFF);

  const TLhaHeader back = DecodeLhaHeader(bytes);
  EXPECT_EQ(back.method, "-lh1-");
  EXPECT_EQ(back.packedSize, 0x01020304u);
  EXPECT_EQ(back.originalSize, 0x0A0B0C0Du);
  EXPECT_EQ(back.timeStamp, 0x5A8C6000u);
  EXPECT_EQ(back.attributes, 0x20);
  EXPECT_EQ(back.name, "INDEX.DAT");
  EXPECT_EQ(back.crc, 0xBEEF);
  EXPECT_EQ(LhaHeaderLength(static_cast<uint8_t>(bytes[0])), bytes.size());
}

TEST(LhaHeader, AcceptsAnExtensionAreaAfterTheCrc) {
  std::string bytes = EncodeLhaHeader(Sample()) + "XY";
  bytes[0] = static_cast<char>(bytes[0] + 2);
  bytes[1] = static_cast<char>(bytes[1] + 'X' + 'Y');
  EXPECT_EQ(DecodeLhaHeader(bytes).name, "INDEX.DAT");
}

void Resum(std::string& b) {
  unsigned sum = 0;
  for (size_t i = 2; i < b.size(); ++i) sum += static_cast<uint8_t>(b[i]);
  b[1] = static_cast<char>(sum);
}

struct TDamage {
  const char* name;
  std::function<void(std::string&)> damage;
};

class LhaHeaderDamage : public ::testing::TestWithParam<TDamage> {};

TEST_P(LhaHeaderDamage, IsRefused) {
  std::string bytes = EncodeLhaHeader(Sample());
  GetParam().damage(bytes);
  EXPECT_THROW(DecodeLhaHeader(bytes), ELhaError);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LhaHeaderDamage,
    ::testing::Values(
        TDamage{"Empty", [](std::string& b) { b.clear(); }},
        TDamage{"Truncated", [](std::string& b) { b.resize(b.size() - 1); }},
        TDamage{"TruncatedBeforeLevel", [](std::string& b) { b.resize(12); }},
        TDamage{"Checksum", [](std::string& b) { b[1] = static_cast<char>(b[1] ^ 1); }},
        TDamage{"FlippedSizeByte", [](std::string& b) { b[8] = static_cast<char>(b[8] ^ 0x40); }},
        TDamage{"UnknownMethod",
                [](std::string& b) {
                  b[5] = '9';
                  Resum(b);
                }},
        TDamage{"DirectoryMethod",
                [](std::string& b) {
                  b[5] = 'd';
                  Resum(b);
                }},
        TDamage{"Level1",
                [](std::string& b) {
                  b[20] = 1;
                  Resum(b);
                }},
        TDamage{"Level2", [](std::string& b) { b[20] = 2; }},
        TDamage{"TooShort",
                [](std::string& b) {
                  b[0] = 10;
                  b.resize(12);
                }},
        TDamage{"NamePastHeader",
                [](std::string& b) {
                  b[21] = 40;
                  Resum(b);
                }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LhaHeader, RefusesNamesThatDoNotFit) {
  TLhaHeader h = Sample();
  h.name.assign(kLhaMaxNameLength, 'N');
  EXPECT_EQ(DecodeLhaHeader(EncodeLhaHeader(h)).name, h.name);
  h.name.push_back('N');
  EXPECT_THROW(EncodeLhaHeader(h), ELhaError);
}

TEST(LhaHeader, DosTimeOfAKnownMoment) {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 15;
  t.tm_hour = 13;
  t.tm_min = 45;
  t.tm_sec = 31;
  t.tm_isdst = -1;
  const uint32_t dos = ToDosDateTime(std::mktime(&t));
  EXPECT_EQ(dos >> 16, ((2024u - 1980) << 9) | (3 << 5) | 15);
  EXPECT_EQ(dos & 0xFFFF, (13u << 11) | (45 << 5) | 15);
  EXPECT_EQ(ToDosDateTime(0), 0u);
}

}  // namespace
}  // namespace tq
