// The "-lh1-" coder. The adaptive tree follows the classic LZHUF layout (nodes kept sorted by
// frequency in one array, children stored as pairs, frequencies halved when the root reaches
// 0x8000), because every LHA reader rebuilds the very same tree and any deviation in tie-breaking
// or rebuilding changes the codes.
#include "formats/lha_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tq {
namespace {

constexpr int kWindow = 4096;
constexpr int kMaxDistance = kWindow - 1;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 60;
constexpr int kNumSymbols = 256 + kMaxMatch - kMinMatch + 1;  // 314
constexpr int kNumNodes = kNumSymbols * 2 - 1;                // 627
constexpr int kRoot = kNumNodes - 1;
constexpr unsigned kMaxFreq = 0x8000;

// Bit lengths of the codes for the upper 6 bits of a match position; the codes themselves are
// canonical (consecutive values, shifted left when the length grows).
struct TPositionCodes {
  std::array<uint8_t, 64> length{};
  std::array<uint8_t, 64> code{};
  std::array<uint8_t, 256> decode{};  // next 8 bits -> upper 6 bits of the position
};

constexpr TPositionCodes MakePositionCodes() {
  constexpr int kCountByLength[] = {1, 3, 8, 12, 24, 16};  // lengths 3..8
  TPositionCodes t{};
  int symbol = 0;
  unsigned code = 0;
  for (int len = 3; len <= 8; ++len) {
    for (int i = 0; i < kCountByLength[len - 3]; ++i, ++symbol, ++code) {
      t.length[symbol] = static_cast<uint8_t>(len);
      t.code[symbol] = static_cast<uint8_t>(code);
      const unsigned first = code << (8 - len);
      for (unsigned j = 0; j < (1u << (8 - len)); ++j)
        t.decode[first + j] = static_cast<uint8_t>(symbol);
    }
    code <<= 1;
  }
  return t;
}

constexpr TPositionCodes kPositionCodes = MakePositionCodes();

// Nodes 0..kRoot sorted by ascending frequency; m_son[n] is the first of n's two children (the
// second is m_son[n] + 1), or kNumNodes + symbol for a leaf. The path bit of a node is its parity.
class TAdaptiveTree {
 public:
  TAdaptiveTree() {
    for (int i = 0; i < kNumSymbols; ++i) {
      m_freq[i] = 1;
      m_son[i] = i + kNumNodes;
      m_parent[i + kNumNodes] = i;
    }
    for (int i = 0, j = kNumSymbols; j <= kRoot; i += 2, ++j) {
      m_freq[j] = m_freq[i] + m_freq[i + 1];
      m_son[j] = i;
      m_parent[i] = m_parent[i + 1] = j;
    }
    m_freq[kNumNodes] = 0xFFFF;  // sentinel that stops the search for a node to swap with
    m_parent[kRoot] = 0;
  }

  int Son(int node) const { return m_son[node]; }

  // Path bits from the root down to the leaf of symbol, root bit highest; returns the count.
  int Code(int symbol, uint64_t& code) const {
    code = 0;
    int length = 0;
    for (int node = m_parent[symbol + kNumNodes]; node != kRoot; node = m_parent[node]) {
      code |= static_cast<uint64_t>(node & 1) << length;
      ++length;
    }
    return length;
  }

  void Update(int symbol) {
    if (m_freq[kRoot] == kMaxFreq) Rebuild();
    int c = m_parent[symbol + kNumNodes];
    do {
      const unsigned k = ++m_freq[c];
      int l = c + 1;
      if (k > m_freq[l]) {
        // Swap c with the last node of its old frequency so the array stays sorted.
        while (k > m_freq[++l]) {
        }
        --l;
        m_freq[c] = m_freq[l];
        m_freq[l] = k;
        const int i = m_son[c];
        m_parent[i] = l;
        if (i < kNumNodes) m_parent[i + 1] = l;
        const int j = m_son[l];
        m_son[l] = i;
        m_parent[j] = c;
        if (j < kNumNodes) m_parent[j + 1] = c;
        m_son[c] = j;
        c = l;
      }
      c = m_parent[c];
    } while (c != 0);
  }

 private:
  void Rebuild() {
    int j = 0;
    for (int i = 0; i < kNumNodes; ++i) {
      if (m_son[i] >= kNumNodes) {
        m_freq[j] = (m_freq[i] + 1) / 2;
        m_son[j] = m_son[i];
        ++j;
      }
    }
    for (int i = 0, n = kNumSymbols; n < kNumNodes; i += 2, ++n) {
      const unsigned f = m_freq[i] + m_freq[i + 1];
      int k = n - 1;
      while (f < m_freq[k]) --k;
      ++k;
      std::copy_backward(m_freq.begin() + k, m_freq.begin() + n, m_freq.begin() + n + 1);
      std::copy_backward(m_son.begin() + k, m_son.begin() + n, m_son.begin() + n + 1);
      m_freq[k] = f;
      m_son[k] = i;
    }
    for (int i = 0; i < kNumNodes; ++i) {
      const int k = m_son[i];
      if (k >= kNumNodes) {
        m_parent[k] = i;
      } else {
        m_parent[k] = m_parent[k + 1] = i;
      }
    }
  }

  std::array<unsigned, kNumNodes + 1> m_freq{};
  std::array<int, kNumNodes + kNumSymbols> m_parent{};
  std::array<int, kNumNodes> m_son{};
};

// Bits are gathered most significant first; whole bytes go to the output set for each call.
class TBitWriter {
 public:
  void SetOutput(std::string* out) { m_out = out; }

  void Put(uint64_t code, int length) {
    while (length > 32) {  // cannot happen with a frequency-bounded tree; kept for safety
      length -= 32;
      Put32(static_cast<uint32_t>(code >> length), 32);
    }
    Put32(static_cast<uint32_t>(code), length);
  }

  void Flush() {
    if (m_count > 0) m_out->push_back(static_cast<char>((m_acc << (8 - m_count)) & 0xFF));
    m_count = 0;
  }

 private:
  void Put32(uint32_t code, int length) {
    if (length == 0) return;
    m_acc = (m_acc << length) | (code & ((uint64_t{1} << length) - 1));
    m_count += length;
    while (m_count >= 8) {
      m_count -= 8;
      m_out->push_back(static_cast<char>((m_acc >> m_count) & 0xFF));
    }
  }

  std::string* m_out = nullptr;
  uint64_t m_acc = 0;
  int m_count = 0;
};

class TBitReader {
 public:
  explicit TBitReader(std::string_view data)
      : m_data(reinterpret_cast<const uint8_t*>(data.data())), m_bits(uint64_t{data.size()} * 8) {}

  int ReadBit() {
    Need(1);
    const int bit = (m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1;
    ++m_pos;
    return bit;
  }

  // The next 8 bits, zero-padded past the end; only Skip decides whether they were really there.
  unsigned Peek8() const {
    const uint64_t byte = m_pos >> 3;
    const uint64_t size = m_bits / 8;
    unsigned word = 0;
    if (byte < size) word = static_cast<unsigned>(m_data[byte]) << 8;
    if (byte + 1 < size) word |= m_data[byte + 1];
    return (word >> (8 - (m_pos & 7))) & 0xFF;
  }

  void Skip(int count) {
    Need(count);
    m_pos += static_cast<uint64_t>(count);
  }

  unsigned Read(int count) {
    unsigned value = 0;
    for (int i = 0; i < count; ++i) value = (value << 1) | static_cast<unsigned>(ReadBit());
    return value;
  }

 private:
  void Need(int count) const {
    if (m_pos + static_cast<uint64_t>(count) > m_bits)
      throw ELhaError("compressed data ends early");
  }

  const uint8_t* m_data;
  uint64_t m_bits;
  uint64_t m_pos = 0;
};

// How many bytes a and b share from their start, at most limit: eight bytes a step.
int CommonLength(const char* a, const char* b, int limit) {
  int len = 0;
  while (len + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y) {
      const uint64_t diff = x ^ y;  // the first differing byte is the lowest one on little-endian
      return len + (std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                               : std::countl_zero(diff)) /
                       8;
    }
    len += 8;
  }
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

// Hash chains over the last kWindow positions; a chain entry older than the window ends the walk.
// The search takes the nearest of the longest matches among the first kMaxChain entries of the
// chain. Positions count from the start of the stream; the bytes live in a buffer that starts
// at Base() and ends at End(), the last byte received so far.
//
// The tables are kept small because every coded byte touches them at a random place: heads hold
// 32-bit positions counted from m_origin (moved on before they overflow), and each chain link is
// the 12-bit distance to the previous position of the same hash, 0 where there is none within
// the window.
class TMatchFinder {
 public:
  TMatchFinder() : m_head(kHashSize, -1) {}

  struct TMatch {
    int length = 0;
    int distance = 0;
  };

  void Append(std::string_view input) { m_buffer.append(input); }
  int64_t End() const { return m_base + static_cast<int64_t>(m_buffer.size()); }
  char At(int64_t pos) const { return m_buffer[static_cast<size_t>(pos - m_base)]; }

  // Drops what lies more than a window before pos; done in large steps, as it moves memory.
  void Forget(int64_t pos) {
    const int64_t keep = pos - kWindow;
    if (keep - m_base < int64_t{kForgetStep}) return;
    m_buffer.erase(0, static_cast<size_t>(keep - m_base));
    m_base = keep;
  }

  TMatch Find(int64_t pos) const {
    const int64_t size = End();
    if (pos + kMinMatch > size) return TMatch{};
    const int32_t head = m_head[Hash(pos)];
    if (head < 0) return TMatch{};
    TSearch search(Data(pos), static_cast<int>(std::min<int64_t>(kMaxMatch, size - pos)));
    // Even and odd entries of the chain are followed as two independent chains (two steps a
    // link), so the walk does not wait for one load per entry; they are still looked at in
    // chain order, and the walk ends at the first entry missing or outside the window.
    int64_t even = m_origin + head;
    if (pos - even > kMaxDistance) return TMatch{};
    int64_t odd = Follow(m_prev, even);
    static_assert(kMaxChain % 2 == 0);
    for (int chain = kMaxChain; chain > 0; chain -= 2) {
      if (pos - even > kMaxDistance) break;
      search.Consider(Data(even), static_cast<int>(pos - even));
      if (search.Done() || pos - odd > kMaxDistance) break;
      search.Consider(Data(odd), static_cast<int>(pos - odd));
      if (search.Done()) break;
      even = Follow(m_prev2, even);
      odd = Follow(m_prev2, odd);
    }
    return search.best;
  }

  void Insert(int64_t pos) {
    if (pos + kMinMatch > End()) return;
    if (pos - m_origin >= kRebaseAfter) Rebase(pos - kWindow);
    int32_t& head = m_head[Hash(pos)];
    const uint16_t link = Link(head, pos);
    const unsigned next = link == 0 ? 0 : m_prev[(pos - link) & (kWindow - 1)];
    const unsigned skip = link + next;
    m_prev[pos & (kWindow - 1)] = link;
    m_prev2[pos & (kWindow - 1)] =
        static_cast<uint16_t>(next != 0 && skip <= kMaxDistance ? skip : 0);
    head = static_cast<int32_t>(pos - m_origin);
  }

 private:
  static constexpr int kHashBits = 15;
  static constexpr size_t kHashSize = size_t{1} << kHashBits;
  static constexpr int kMaxChain = 96;
  static constexpr int kForgetStep = 1 << 16;
  // Far below the 32-bit limit, so that ordinary streams of a few megabytes move it too.
  static constexpr int64_t kRebaseAfter = int64_t{1} << 20;
  static constexpr int64_t kGone = INT64_MIN / 2;

  // The best match so far for the bytes at cur. Only a candidate that agrees with cur on its
  // first byte and on the two bytes ending at best.length (the first three while there is no
  // match) can beat it, so most candidates are passed over after one compare.
  struct TSearch {
    TSearch(const char* bytes, int longest)
        : cur(bytes), maxLength(longest), want(Load16(bytes + probe)) {}

    void Consider(const char* old, int distance) {
      if (Load16(old + probe) != want || old[0] != cur[0]) return;
      const int len = CommonLength(old, cur, maxLength);
      if (len > best.length && len >= kMinMatch) {
        best = {len, distance};
        if (len < maxLength) {
          probe = len - 1;
          want = Load16(cur + probe);
        }
      }
    }
    bool Done() const { return best.length == maxLength; }

    const char* cur;
    int maxLength;
    int probe = kMinMatch - 2;
    uint16_t want;
    TMatch best;
  };

  const char* Data(int64_t pos) const { return m_buffer.data() + (pos - m_base); }

  // The entry a link away from pos, or one that lies outside every window when there is none.
  static int64_t Follow(const std::array<uint16_t, kWindow>& links, int64_t pos) {
    const int step = links[pos & (kWindow - 1)];
    return step == 0 ? kGone : pos - step;
  }

  uint16_t Link(int32_t head, int64_t pos) const {
    if (head < 0) return 0;
    const int64_t distance = pos - (m_origin + head);
    return static_cast<uint16_t>(distance <= kMaxDistance ? distance : 0);
  }

  static uint16_t Load16(const char* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }

  unsigned Hash(int64_t pos) const {
    const auto* p = reinterpret_cast<const uint8_t*>(Data(pos));
    const uint32_t v = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  // Heads older than origin can no longer start a match, so they become empty.
  void Rebase(int64_t origin) {
    for (int32_t& head : m_head) {
      const int64_t pos = m_origin + head;
      head = head < 0 || pos < origin ? -1 : static_cast<int32_t>(pos - origin);
    }
    m_origin = origin;
  }

  std::string m_buffer;
  int64_t m_base = 0;
  int64_t m_origin = 0;
  std::vector<int32_t> m_head;
  std::array<uint16_t, kWindow> m_prev{};   // to the previous entry of the chain
  std::array<uint16_t, kWindow> m_prev2{};  // to the entry before that
};

}  // namespace

struct TLh1Encoder::TState {
  TAdaptiveTree tree;
  TBitWriter bits;
  TMatchFinder finder;
  int64_t pos = 0;               // the next byte to code
  TMatchFinder::TMatch pending;  // match already found at pos by the lazy look-ahead
  bool havePending = false;

  void EmitSymbol(int symbol) {
    uint64_t code = 0;
    const int length = tree.Code(symbol, code);
    bits.Put(code, length);
    tree.Update(symbol);
  }

  // Codes every byte whose matches cannot reach past what has arrived: the lazy look-ahead
  // searches one byte on, and a match inserts positions whose hashes read three bytes further.
  // At the end (last) every byte is coded. So the codes never depend on where input was cut.
  void Code(bool last) {
    constexpr int64_t kLookAhead = 1 + kMaxMatch + kMinMatch;
    const int64_t size = finder.End();
    while (last ? pos < size : pos + kLookAhead <= size) {
      TMatchFinder::TMatch match = havePending ? pending : finder.Find(pos);
      havePending = false;
      finder.Insert(pos);
      // One step of lazy matching: a longer match starting at the next byte is worth a literal.
      if (match.length >= kMinMatch && match.length < 32 && pos + 1 < size) {
        pending = finder.Find(pos + 1);
        if (pending.length > match.length) {
          EmitSymbol(static_cast<uint8_t>(finder.At(pos)));
          havePending = true;
          ++pos;
          continue;
        }
      }
      if (match.length >= kMinMatch) {
        EmitSymbol(256 + match.length - kMinMatch);
        const unsigned p = static_cast<unsigned>(match.distance - 1);
        bits.Put(kPositionCodes.code[p >> 6], kPositionCodes.length[p >> 6]);
        bits.Put(p & 63, 6);
        for (int k = 1; k < match.length; ++k) finder.Insert(pos + k);
        pos += match.length;
      } else {
        EmitSymbol(static_cast<uint8_t>(finder.At(pos)));
        ++pos;
      }
    }
    finder.Forget(pos);
  }
};

TLh1Encoder::TLh1Encoder() : m_state(std::make_unique<TState>()) {}

TLh1Encoder::~TLh1Encoder() = default;

void TLh1Encoder::Write(std::string_view input, std::string& out) {
  m_state->finder.Append(input);
  m_state->bits.SetOutput(&out);
  m_state->Code(false);
}

void TLh1Encoder::Finish(std::string& out) {
  m_state->bits.SetOutput(&out);
  m_state->Code(true);
  m_state->bits.Flush();
}

bool Lh1Encode(std::string_view input, std::string& out, uint64_t limit) {
  out.clear();
  TLh1Encoder encoder;
  // Pieces small enough that an incompressible input is given up soon after the limit.
  constexpr size_t kPiece = 16 * 1024;
  for (size_t at = 0; at < input.size(); at += kPiece) {
    encoder.Write(input.substr(at, kPiece), out);
    if (out.size() >= limit) return false;
  }
  encoder.Finish(out);
  return out.size() < limit;
}

std::string Lh1Decode(std::string_view packed, uint64_t originalSize) {
  std::string out;
  // Reserve for an ordinary ratio only: a header may claim far more than the data will give, and
  // what the data really gives grows the string as it comes.
  out.reserve(
      static_cast<size_t>(std::min<uint64_t>(originalSize, uint64_t{packed.size()} * 8 + 4096)));
  TAdaptiveTree tree;
  TBitReader bits(packed);
  while (out.size() < originalSize) {
    int node = tree.Son(kRoot);
    while (node < kNumNodes) node = tree.Son(node + bits.ReadBit());
    const int symbol = node - kNumNodes;
    tree.Update(symbol);
    if (symbol < 256) {
      out.push_back(static_cast<char>(symbol));
      continue;
    }
    const int length = symbol - 256 + kMinMatch;
    const unsigned upper = kPositionCodes.decode[bits.Peek8()];
    bits.Skip(kPositionCodes.length[upper]);
    const size_t distance = ((upper << 6) | bits.Read(6)) + 1;
    for (int i = 0; i < length && out.size() < originalSize; ++i) {
      // Before the first byte the window holds blanks, as other LHA coders assume.
      out.push_back(out.size() >= distance ? out[out.size() - distance] : ' ');
    }
  }
  return out;
}

namespace {

// The bits of a stream of compressed bytes pulled in pieces, read as TBitReader reads them. The
// next bits wait in a word, highest first, so that a bit costs a shift rather than a look at
// the buffer.
class TPulledBits {
 public:
  explicit TPulledBits(TLh1Decoder::TInput input) : m_input(std::move(input)) {}

  int ReadBit() {
    if (m_count == 0) Need(1);
    const int bit = static_cast<int>(m_word >> 63);
    m_word <<= 1;
    --m_count;
    return bit;
  }

  // The next 8 bits, zero-padded past the end; only Skip decides whether they were really there.
  unsigned Peek8() {
    if (m_count < 8) Refill();
    return static_cast<unsigned>(m_word >> 56);
  }

  void Skip(int count) {
    if (m_count < count) Need(count);
    m_word <<= count;
    m_count -= count;
  }

  // count is 1..8.
  unsigned Read(int count) {
    if (m_count < count) Need(count);
    const auto value = static_cast<unsigned>(m_word >> (64 - count));
    m_word <<= count;
    m_count -= count;
    return value;
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;

  // Tops the word up to at least 57 bits, as far as the input has them; the bits below the last
  // one stay 0.
  void Refill() {
    while (m_count <= 56) {
      if (m_byte == m_buffer.size() && !Pull()) return;
      m_word |= uint64_t{static_cast<uint8_t>(m_buffer[m_byte++])} << (56 - m_count);
      m_count += 8;
    }
  }

  bool Pull() {
    if (m_ended) return false;
    m_buffer.resize(kPiece);
    const size_t got = m_input(m_buffer.data(), kPiece);
    m_buffer.resize(got);
    m_byte = 0;
    m_ended = got == 0;
    return got > 0;
  }

  void Need(int count) {
    Refill();
    if (m_count < count) throw ELhaError("compressed data ends early");
  }

  TLh1Decoder::TInput m_input;
  std::string m_buffer;
  size_t m_byte = 0;    // the next byte not yet in the word
  uint64_t m_word = 0;  // the next bits, the first one highest
  int m_count = 0;      // how many bits of m_word are the stream's
  bool m_ended = false;
};

}  // namespace

struct TLh1Decoder::TState {
  TState(uint64_t size, TInput input) : originalSize(size), bits(std::move(input)) {
    window.fill(' ');  // before the first byte the window holds blanks
  }

  uint64_t originalSize;
  uint64_t produced = 0;
  TAdaptiveTree tree;
  TPulledBits bits;
  std::array<char, kWindow> window{};
  int matchLeft = 0;  // bytes of the current match still to copy
  size_t distance = 0;
};

TLh1Decoder::TLh1Decoder(uint64_t originalSize, TInput input)
    : m_state(std::make_unique<TState>(originalSize, std::move(input))) {}

TLh1Decoder::~TLh1Decoder() = default;

size_t TLh1Decoder::Read(char* buffer, size_t size) {
  TState& s = *m_state;
  size_t done = 0;
  while (done < size && s.produced < s.originalSize) {
    char c;
    if (s.matchLeft > 0) {
      // A distance of the whole window reads the slot about to be written: the byte kWindow back.
      c = s.window[(s.produced - s.distance) % kWindow];
      --s.matchLeft;
    } else {
      int node = s.tree.Son(kRoot);
      while (node < kNumNodes) node = s.tree.Son(node + s.bits.ReadBit());
      const int symbol = node - kNumNodes;
      s.tree.Update(symbol);
      if (symbol >= 256) {
        const unsigned upper = kPositionCodes.decode[s.bits.Peek8()];
        s.bits.Skip(kPositionCodes.length[upper]);
        s.distance = ((upper << 6) | s.bits.Read(6)) + 1;
        s.matchLeft = symbol - 256 + kMinMatch;
        continue;
      }
      c = static_cast<char>(symbol);
    }
    s.window[s.produced % kWindow] = c;
    buffer[done++] = c;
    ++s.produced;
  }
  return done;
}

}  // namespace tq
