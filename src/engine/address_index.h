// The address index of a link list: maps an address to the positions of the links that carry it,
// in ascending order, so "the first link with this address" is one probe. Positions are the
// list's sequence numbers; every position has two roles (its absolute address and its mail
// address), each indexed under at most one key. Keys are not stored: the index asks the list
// for the key of a position when it must tell two equal hashes apart.
//
// Open addressing over hashes; the links sharing a key are chained through per-position records,
// so adding at the back and removing the first position are O(1); only erasing a position in the
// middle renumbers everything behind it (O(n)). Not thread-safe: the list's lock guards it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

namespace tq {

class TAddressIndex {
 public:
  // The key under which (seq, role) was inserted.
  using TKeyOf = std::string_view (*)(const void* context, int64_t seq, int role);

  TAddressIndex(TKeyOf keyOf, const void* context) : m_keyOf(keyOf), m_context(context) {}

  void PushBack();                                           // room for the next sequence number
  void PopFront();                                           // the front number is gone
  void Erase(int64_t seq);                                   // a number in the middle is gone
  void Insert(int64_t seq, int role, std::string_view key);  // call after the list holds the key
  void Remove(int64_t seq, int role);                        // no-op when not inserted
  // The lowest sequence number whose key equals key, in any role (role < 0) or in that role;
  // -1 when none.
  int64_t First(std::string_view key, int role = -1) const;
  void Clear();

 private:
  // Node ids are seq * 2 + role. Records are kept small: at 100 000 links the tables no longer
  // fit the caches, and every byte saved is fewer misses per look-up.
  static constexpr int64_t kAbsent = -2;
  struct TNode {
    int64_t prev = kAbsent;  // previous node of the chain; the head's prev is the chain's tail
    int64_t next = -1;       // -1 at the tail
  };
  struct TSlot {
    uint64_t hash = 0;
    int64_t head = -1;  // -1: free
  };

  static uint64_t Hash(std::string_view key);
  TNode& Node(int64_t id) { return m_nodes[static_cast<size_t>((id >> 1) - m_firstSeq)][id & 1]; }
  const TNode& Node(int64_t id) const {
    return m_nodes[static_cast<size_t>((id >> 1) - m_firstSeq)][id & 1];
  }
  std::string_view KeyOfNode(int64_t id) const { return m_keyOf(m_context, id >> 1, int(id & 1)); }
  size_t FindSlot(std::string_view key, uint64_t hash) const;  // SIZE_MAX when absent
  size_t FindSlotOfHead(uint64_t hash, int64_t id) const;      // slot whose head is id
  void FreeSlot(size_t slot);
  void Grow();

  TKeyOf m_keyOf;
  const void* m_context;
  std::deque<std::array<TNode, 2>> m_nodes;  // per sequence number, from m_firstSeq on
  int64_t m_firstSeq = 0;
  std::vector<TSlot> m_slots;  // capacity a power of two, at most half used
  size_t m_used = 0;
};

}  // namespace tq
