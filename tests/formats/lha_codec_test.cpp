// The "-lh1-" coder and the CRC-16: round trips over shapes that stress the window, the match
// lengths and the tree rebuild, the exact codes other LHA readers expect, and a decoder that
// refuses short or hostile streams.
// ctest: timeout=60
#include "formats/lha_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "formats/crc16.h"

namespace tq {
namespace {

std::string RandomBytes(size_t size, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  std::string out(size, '\0');
  for (auto& c : out) c = static_cast<char>(rng() % alphabet);
  return out;
}

std::string Words(size_t size, uint32_t seed) {
  static const char* kWords[] = {"<a href=\"", "index", ".html",         "\">",  "</a>",
                                 " the ",      "page",  "<div class=\"", "nav",  "\n",
                                 "</div>",     "link",  "site ",         "&amp;"};
  std::mt19937 rng(seed);
  std::string out;
  while (out.size() < size) out += kWords[rng() % std::size(kWords)];
  out.resize(size);
  return out;
}

TEST(Crc16, MatchesTheCheckValueAndContinuesAcrossPieces) {
  EXPECT_EQ(Crc16("123456789"), 0xBB3D);
  EXPECT_EQ(Crc16(""), 0);
  const std::string data = RandomBytes(1000, 1);
  EXPECT_EQ(Crc16Update(Crc16Update(0, data.data(), 333), data.data() + 333, 667), Crc16(data));
  // Against the definition, bit by bit, for every length around the eight-byte steps.
  for (size_t length = 0; length <= 40; ++length) {
    uint16_t expected = 0x1234;
    for (size_t i = 0; i < length; ++i) {
      expected ^= static_cast<unsigned char>(data[i]);
      for (int bit = 0; bit < 8; ++bit)
        expected = (expected & 1) ? (expected >> 1) ^ 0xA001 : expected >> 1;
    }
    EXPECT_EQ(Crc16Update(0x1234, data.data(), length), expected) << length;
  }
}

struct TRoundTrip {
  const char* name;
  std::string data;
};

class Lh1RoundTrip : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(Lh1RoundTrip, DecodesToTheInput) {
  const std::string& data = GetParam().data;
  std::string packed;
  ASSERT_TRUE(Lh1Encode(data, packed, UINT64_MAX));
  EXPECT_EQ(Lh1Decode(packed, data.size()), data);
}

std::string AllBytesTwice() {
  std::string s;
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
  return s;
}

// A block repeated at the farthest distance the window allows, and just beyond it.
std::string WindowEdges() {
  const std::string block = RandomBytes(4095, 7);
  return block + block + RandomBytes(4096, 8) + RandomBytes(4096, 8) + "tail";
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Lh1RoundTrip,
    ::testing::Values(TRoundTrip{"Empty", ""}, TRoundTrip{"OneByte", "x"},
                      TRoundTrip{"ShortRun", "aaaa"}, TRoundTrip{"AllBytes", AllBytesTwice()},
                      TRoundTrip{"LongRun", std::string(100000, 'z')},
                      TRoundTrip{"MaxLengthMatches", std::string(60 * 7 + 3, 'q') + "r"},
                      TRoundTrip{"WindowEdges", WindowEdges()},
                      // Enough symbols to rebuild the adaptive tree many times over.
                      TRoundTrip{"Markup", Words(2'000'000, 3)},
                      TRoundTrip{"SmallAlphabet", RandomBytes(300'000, 4, 3)},
                      TRoundTrip{"Random", RandomBytes(200'000, 5)}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Lh1Encode, CompressesTextAndGivesUpAtTheLimit) {
  const std::string text = Words(100'000, 9);
  std::string packed;
  ASSERT_TRUE(Lh1Encode(text, packed, text.size()));
  EXPECT_LT(packed.size(), text.size() / 3);

  const std::string noise = RandomBytes(100'000, 10);
  EXPECT_FALSE(Lh1Encode(noise, packed, noise.size()));
  EXPECT_FALSE(Lh1Encode("", packed, 0));  // nothing is smaller than an empty input
}

// Round trips cannot tell a tree rebuild that differs from the standard one: coder and decoder
// would share the mistake, while every other LHA reader decodes garbage. These bytes were checked
// by an independent reader; the input makes well over 0x8000 symbols, so the tree is rebuilt.
TEST(Lh1Encode, WritesTheStandardCodesAcrossTreeRebuilds) {
  const std::string data = Words(40'000, 21) + RandomBytes(40'000, 22, 64);
  std::string packed;
  ASSERT_TRUE(Lh1Encode(data, packed, UINT64_MAX));
  EXPECT_EQ(packed.size(), 39877u);
  EXPECT_EQ(Crc16(packed), 57797u);
}

// Pages shaped like a crawled site: navigation links, paragraphs of sentences with UTF-8 words.
std::string SitePages(size_t size, uint32_t seed) {
  static const char* kWords[] = {"the",    "mirror", "archive", "Straße", "café",   "Москва",
                                 "日本語", "link",   "page",    "queue",  "thread", "€uro"};
  std::mt19937 rng(seed);
  std::string out = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Page</title>\n";
  while (out.size() < size) {
    out += "<nav><a href=\"/section-" + std::to_string(rng() % 40) + "/topic-" +
           std::to_string(rng() % 300) + "/part-" + std::to_string(rng() % 9) +
           ".html\">next</a></nav>\n<p>";
    for (int w = 6 + static_cast<int>(rng() % 13); w > 0; --w) {
      out += kWords[rng() % std::size(kWords)];
      out += w > 1 ? " " : ".</p>\n";
    }
  }
  out.resize(size);
  return out;
}

uint64_t Fnv1a(std::string_view data) {
  uint64_t h = 14695981039346656037u;
  for (const char c : data) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211u;
  return h;
}

// Stored project files hold these exact streams, so a faster coder must write the same bytes: the
// sizes and digests were taken from the coder before any speed work. Each input is also fed in
// uneven pieces, which must not change a byte either.
TEST(Lh1Encode, WritesTheRecordedBytesForEveryShape) {
  struct TCase {
    const char* name;
    std::string data;
    size_t size;
    uint64_t digest;
  };
  const std::string block = RandomBytes(4095, 31);
  const TCase cases[] = {
      {"Empty", "", 0u, 0xcbf29ce484222325u},
      {"OneByte", "x", 1u, 0xaf63b94c8601b113u},
      {"ShortRun", "aaaa", 4u, 0x1320862919c48bc5u},
      {"AllBytes", AllBytesTwice(), 290u, 0x615344a0ab41aa65u},
      {"LongRun", std::string(100'000, 'z'), 2125u, 0x0fb9e16a0948de64u},
      {"RepeatsBeyondTheWindow", block + block + block + RandomBytes(5000, 32) + block, 13685u,
       0x200f0167f9da7da3u},
      {"SmallPage", SitePages(6'500, 33), 1142u, 0xab97c36a7f49b6abu},
      {"Site", SitePages(400'000, 34), 49941u, 0xb44229bdbf2a3ec5u},
      {"Markup", Words(2'000'000, 35), 349454u, 0x4e2a2d79dafd9b9du},
      {"SmallAlphabet", RandomBytes(300'000, 36, 3), 73535u, 0x76d6b3abc664bf04u},
      {"Binary", RandomBytes(200'000, 37), 200233u, 0x9d268804768716ffu},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string packed;
    ASSERT_TRUE(Lh1Encode(c.data, packed, UINT64_MAX));
    EXPECT_EQ(packed.size(), c.size);
    EXPECT_EQ(Fnv1a(packed), c.digest);
    EXPECT_EQ(Lh1Decode(packed, c.data.size()), c.data);

    std::string pieces;
    TLh1Encoder encoder;
    for (size_t at = 0, step = 1; at < c.data.size(); at += step, step = step * 3 % 9001 + 1)
      encoder.Write(std::string_view(c.data).substr(at, step), pieces);
    encoder.Finish(pieces);
    EXPECT_EQ(pieces, packed);
  }
}

TEST(Lh1Decode, EveryTruncationIsRefused) {
  const std::string data = Words(5000, 11);
  std::string packed;
  ASSERT_TRUE(Lh1Encode(data, packed, UINT64_MAX));
  for (size_t cut = 0; cut < packed.size(); cut += 1 + cut / 8) {
    EXPECT_THROW(Lh1Decode(std::string_view(packed).substr(0, cut), data.size()), ELhaError)
        << "cut at " << cut;
  }
}

TEST(Lh1Decode, StopsAtTheAnnouncedSize) {
  const std::string data = std::string(1000, 'a') + Words(1000, 12);
  std::string packed;
  ASSERT_TRUE(Lh1Encode(data, packed, UINT64_MAX));
  // Cuts inside a match as well as between symbols.
  for (size_t size : {size_t{0}, size_t{1}, size_t{30}, size_t{999}, size_t{1500}}) {
    EXPECT_EQ(Lh1Decode(packed, size), data.substr(0, size));
  }
}

TEST(Lh1Decode, HostileStreamsEndInAnErrorOrABoundedResult) {
  for (uint32_t seed = 0; seed < 200; ++seed) {
    const std::string junk = RandomBytes(1 + seed % 64, seed);
    try {
      const std::string out = Lh1Decode(junk, 0xFFFFFFFFu);
      ADD_FAILURE() << "junk decoded to " << out.size() << " bytes";
    } catch (const ELhaError&) {
    }
  }
  // A match that reaches back before the first byte reads blanks instead of memory.
  const std::string packed = [] {
    std::string p;
    Lh1Encode("abcabcabc", p, UINT64_MAX);
    return p;
  }();
  EXPECT_EQ(Lh1Decode(packed, 9), "abcabcabc");
}

}  // namespace
}  // namespace tq
