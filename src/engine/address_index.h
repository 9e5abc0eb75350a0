// The address index of a link list: maps a key to the positions of the links that carry it, in
// ascending order, so "the first link with this key" is one probe. Positions are the list's
// sequence numbers. Each position has four channels: two families of keys (the address as it
// stands, and without its query) times two roles (absolute address, mail address); each channel
// is indexed under at most one key. One slot serves both families of a key, so an address
// without a query costs one probe for both. Keys are not stored: the index asks the list for the
// key of a channel when it must tell two equal hashes apart.
//
// Open addressing over hashes; the positions sharing a key are chained through per-position
// records, so adding at the back and removing the first position are O(1); only erasing a
// position in the middle renumbers everything behind it (O(n)). Positions added at the back may
// wait in a short batch before they enter the table: once the table outgrows the caches, every
// insert waits for one slot to come from memory, and a batch fetches its slots all at once.
// Look-ups search the batch too. Not thread-safe: the list's lock guards it; const members only
// read.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/ring_buffer.h"

namespace tq {

class TAddressIndex {
 public:
  static constexpr int kChannels = 4;  // family * 2 + role
  static constexpr int kFamilies = 2;

  // The key under which (seq, channel) was inserted.
  using TKeyOf = std::string_view (*)(const void* context, int64_t seq, int channel);

  TAddressIndex(TKeyOf keyOf, const void* context) : m_keyOf(keyOf), m_context(context) {}

  static uint64_t Hash(std::string_view key);

  void PushBack();          // room for the next sequence number
  void PopFront();          // the front number is gone
  void Erase(int64_t seq);  // a number in the middle is gone; later ones move down by one
  // Call after the list holds the key; hash is Hash(key).
  void Insert(int64_t seq, int channel, std::string_view key, uint64_t hash);
  // Inserts the channels set in the mask (bit c for channel c) of the newest sequence number,
  // perhaps later; hashes[c] is Hash(keys[c]). The key bytes must stay in place until the
  // position is removed.
  void InsertLater(int64_t seq, unsigned channels,
                   const std::array<std::string_view, kChannels>& keys,
                   const std::array<uint64_t, kChannels>& hashes);
  // No-op when not inserted; call while the list still holds the key; hash is Hash(key).
  void Remove(int64_t seq, int channel, uint64_t hash);
  // Starts loading the slots of these hashes into the cache.
  void Prefetch(const std::array<uint64_t, kChannels>& hashes) const {
    if (m_slots.empty()) return;
    for (uint64_t hash : hashes) __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
  }
  // The lowest sequence number whose key in family equals key, in any role (role < 0) or in
  // that role; -1 when none.
  int64_t First(std::string_view key, int family, int role = -1) const;

  // Numbers the next position seq instead of 0; only while nothing was ever pushed.
  void TestOnlyStartAt(int64_t seq) { m_firstSeq = seq; }

 private:
  // Node ids are seq * 4 + channel. Records are kept small: at 100 000 links the tables no longer
  // fit the caches, and every byte saved is fewer misses per look-up.
  static constexpr int64_t kAbsent = -2;
  struct TNode {
    int64_t prev = kAbsent;  // previous node of the chain; the head's prev is the chain's tail
    int64_t next = -1;       // -1 at the tail
  };
  // A slot fills a quarter of a cache line: the table is the one structure a look-up reaches at
  // random, and the smaller it is, the more of it stays cached. A head is kept as the low 32 bits
  // of its node id, which name it while the list holds fewer than 2^30 positions.
  struct TSlot {
    uint32_t tag = 0;      // the low 32 bits of the key's hash: home position and first filter
    uint32_t present = 0;  // bit f: head[f] starts a chain; 0: free
    std::array<uint32_t, kFamilies> head{};
    bool Free() const { return present == 0; }
  };
  static_assert(sizeof(TSlot) == 16);

  static uint32_t Tag(uint64_t hash) { return static_cast<uint32_t>(hash); }
  // The node id whose low 32 bits are low: live ids lie in [m_firstSeq * 4, that + 2^32).
  int64_t Widen(uint32_t low) const {
    const int64_t base = m_firstSeq * 4;
    return base + static_cast<int64_t>(static_cast<uint32_t>(low - static_cast<uint32_t>(base)));
  }
  int64_t Head(const TSlot& slot, int family) const {
    return (slot.present >> family) & 1 ? Widen(slot.head[family]) : -1;
  }
  static void SetHead(TSlot& slot, int family, int64_t id) {
    if (id < 0) {
      slot.present &= ~(1u << family);
    } else {
      slot.present |= 1u << family;
      slot.head[family] = static_cast<uint32_t>(id);
    }
  }

  static int Family(int64_t id) { return static_cast<int>(id & 3) >> 1; }
  TNode& Node(int64_t id) { return m_nodes[static_cast<size_t>((id >> 2) - m_firstSeq)][id & 3]; }
  const TNode& Node(int64_t id) const {
    return m_nodes[static_cast<size_t>((id >> 2) - m_firstSeq)][id & 3];
  }
  std::string_view KeyOfNode(int64_t id) const {
    return m_keyOf(m_context, id >> 2, static_cast<int>(id & 3));
  }
  std::string_view KeyOfSlot(const TSlot& slot) const {
    return KeyOfNode(Head(slot, slot.present & 1 ? 0 : 1));
  }
  struct TWaiting {
    int64_t seq;
    unsigned channels;
    std::array<std::string_view, kChannels> keys;
    std::array<uint64_t, kChannels> hashes;
  };
  static constexpr size_t kBatch = 8;

  void Flush();  // moves the waiting positions into the table
  // Insert and Remove without emptying the batch first.
  void Place(int64_t seq, int channel, std::string_view key, uint64_t hash);
  void Unlink(int64_t seq, int channel, uint64_t hash);
  void FlushIfWaiting() {
    if (!m_waiting.empty()) Flush();
  }
  int64_t FirstWaiting(std::string_view key, uint64_t hash, int family, int role) const;
  size_t FindSlot(std::string_view key, uint64_t hash) const;  // SIZE_MAX when absent
  size_t FindSlotOfHead(uint64_t hash, int64_t id) const;      // slot whose chain starts at id
  void FreeSlot(size_t slot);
  void Grow();

  TKeyOf m_keyOf;
  const void* m_context;
  TRingBuffer<std::array<TNode, kChannels>> m_nodes;  // per sequence number, from m_firstSeq on
  int64_t m_firstSeq = 0;
  std::vector<TSlot> m_slots;  // capacity a power of two, at most half used
  size_t m_used = 0;
  std::vector<TWaiting> m_waiting;  // the newest positions, in order, not yet in the table
};

}  // namespace tq
