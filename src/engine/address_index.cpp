// Open-addressing address index with per-key chains of positions.
#include "engine/address_index.h"

#include <cstdint>
#include <functional>

namespace tq {

uint64_t TAddressIndex::Hash(std::string_view key) {
  return std::hash<std::string_view>()(key);
}

void TAddressIndex::PushBack() {
  m_nodes.push_back({});
}

void TAddressIndex::PopFront() {
  FlushIfWaiting();
  m_nodes.pop_front();
  ++m_firstSeq;
}

void TAddressIndex::Erase(int64_t seq) {
  FlushIfWaiting();
  m_nodes.erase(static_cast<size_t>(seq - m_firstSeq));
  // Every node id of a later position drops by one position; the chains keep their order.
  const int64_t limit = seq * 4 + 3;
  auto shift = [limit](int64_t& id) {
    if (id > limit) id -= 4;
  };
  for (size_t i = 0; i < m_nodes.size(); ++i) {
    for (auto& node : m_nodes[i]) {
      shift(node.prev);
      shift(node.next);
    }
  }
  for (auto& slot : m_slots) {
    for (int family = 0; family < kFamilies; ++family) {
      int64_t head = Head(slot, family);
      shift(head);
      SetHead(slot, family, head);
    }
  }
}

size_t TAddressIndex::FindSlot(std::string_view key, uint64_t hash) const {
  if (m_slots.empty()) return SIZE_MAX;
  const size_t mask = m_slots.size() - 1;
  const uint32_t tag = Tag(hash);
  for (size_t i = tag & mask;; i = (i + 1) & mask) {
    const TSlot& slot = m_slots[i];
    if (slot.Free()) return SIZE_MAX;
    if (slot.tag == tag && KeyOfSlot(slot) == key) return i;
  }
}

size_t TAddressIndex::FindSlotOfHead(uint64_t hash, int64_t id) const {
  const size_t mask = m_slots.size() - 1;
  const int family = Family(id);
  const uint32_t tag = Tag(hash);
  for (size_t i = tag & mask;; i = (i + 1) & mask) {
    const TSlot& slot = m_slots[i];
    if (slot.Free()) return SIZE_MAX;  // cannot happen while the index is consistent
    if (slot.tag == tag && Head(slot, family) == id) return i;
  }
}

void TAddressIndex::Grow() {
  std::vector<TSlot> old;
  old.swap(m_slots);
  m_slots.assign(old.empty() ? 16 : old.size() * 2, TSlot{});
  const size_t mask = m_slots.size() - 1;
  for (const TSlot& slot : old) {
    if (slot.Free()) continue;
    size_t i = slot.tag & mask;
    while (!m_slots[i].Free()) i = (i + 1) & mask;
    m_slots[i] = slot;
  }
}

// Backward-shift deletion keeps every probe sequence unbroken without tombstones.
void TAddressIndex::FreeSlot(size_t hole) {
  const size_t mask = m_slots.size() - 1;
  for (size_t j = (hole + 1) & mask; !m_slots[j].Free(); j = (j + 1) & mask) {
    const size_t home = m_slots[j].tag & mask;
    // Move j into the hole unless its home lies cyclically in (hole, j].
    const bool stays = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
    if (!stays) {
      m_slots[hole] = m_slots[j];
      hole = j;
    }
  }
  m_slots[hole] = TSlot{};
  --m_used;
}

void TAddressIndex::InsertLater(int64_t seq, unsigned channels,
                                const std::array<std::string_view, kChannels>& keys,
                                const std::array<uint64_t, kChannels>& hashes) {
  m_waiting.push_back({seq, channels, keys, hashes});
  if (m_waiting.size() >= kBatch) Flush();
}

void TAddressIndex::Flush() {
  if (!m_slots.empty()) {
    // Start every slot load at once, so the batch waits for memory about once instead of once
    // per key. A growth on the way only wastes the hint.
    const size_t mask = m_slots.size() - 1;
    for (const TWaiting& w : m_waiting) {
      for (int channel = 0; channel < kChannels; ++channel) {
        if (w.channels & (1u << channel)) __builtin_prefetch(&m_slots[w.hashes[channel] & mask]);
      }
    }
  }
  for (size_t i = 0; i < m_waiting.size(); ++i) {
    const TWaiting& w = m_waiting[i];
    for (int channel = 0; channel < kChannels; ++channel) {
      if (w.channels & (1u << channel)) Place(w.seq, channel, w.keys[channel], w.hashes[channel]);
    }
  }
  m_waiting.clear();
}

void TAddressIndex::Insert(int64_t seq, int channel, std::string_view key, uint64_t hash) {
  FlushIfWaiting();
  Place(seq, channel, key, hash);
}

void TAddressIndex::Place(int64_t seq, int channel, std::string_view key, uint64_t hash) {
  const int64_t id = seq * 4 + channel;
  const int family = channel >> 1;
  if (Node(id).prev != kAbsent) Unlink(seq, channel, Hash(KeyOfNode(id)));
  TNode& node = Node(id);
  size_t found = FindSlot(key, hash);
  if (found == SIZE_MAX) {
    if ((m_used + 1) * 2 > m_slots.size()) Grow();
    const size_t mask = m_slots.size() - 1;
    found = Tag(hash) & mask;
    while (!m_slots[found].Free()) found = (found + 1) & mask;
    m_slots[found].tag = Tag(hash);
    ++m_used;
  }
  TSlot& slot = m_slots[found];
  const int64_t first = Head(slot, family);
  if (first < 0) {
    SetHead(slot, family, id);
    node.prev = id;  // its own tail
    node.next = -1;
    return;
  }
  TNode& head = Node(first);
  const int64_t tail = head.prev;
  if (id > tail) {  // the usual case: a new link at the back of the list
    Node(tail).next = id;
    node.prev = tail;
    node.next = -1;
    head.prev = id;
  } else if (id < first) {
    node.prev = tail;
    node.next = first;
    head.prev = id;
    SetHead(slot, family, id);
  } else {  // a re-indexed link inside the chain
    int64_t after = first;
    while (Node(after).next < id) after = Node(after).next;
    const int64_t before = Node(after).next;
    node.prev = after;
    node.next = before;
    Node(after).next = id;
    Node(before).prev = id;
  }
}

void TAddressIndex::Remove(int64_t seq, int channel, uint64_t hash) {
  FlushIfWaiting();
  Unlink(seq, channel, hash);
}

void TAddressIndex::Unlink(int64_t seq, int channel, uint64_t hash) {
  const int64_t id = seq * 4 + channel;
  TNode& node = Node(id);
  if (node.prev == kAbsent) return;
  const int family = channel >> 1;
  // Only the head's prev (the tail) does not point back at it.
  const bool isHead = node.prev == id || Node(node.prev).next != id;
  if (isHead) {
    const size_t i = FindSlotOfHead(hash, id);
    if (node.next >= 0) Node(node.next).prev = node.prev;
    if (i != SIZE_MAX) {
      SetHead(m_slots[i], family, node.next);
      if (m_slots[i].Free()) FreeSlot(i);
    }
  } else {
    Node(node.prev).next = node.next;
    if (node.next >= 0) {
      Node(node.next).prev = node.prev;
    } else {  // the tail: the head must learn the new tail
      const size_t i = FindSlot(KeyOfNode(id), hash);
      if (i != SIZE_MAX) Node(Head(m_slots[i], family)).prev = node.prev;
    }
  }
  node.prev = kAbsent;
  node.next = -1;
}

// Every waiting position is newer than every position in the table, so the table answers first.
int64_t TAddressIndex::First(std::string_view key, int family, int role) const {
  const uint64_t hash = Hash(key);
  const size_t i = FindSlot(key, hash);
  if (i != SIZE_MAX) {
    for (int64_t id = Head(m_slots[i], family); id >= 0; id = Node(id).next) {
      if (role < 0 || (id & 1) == role) return id >> 2;
    }
  }
  return m_waiting.empty() ? -1 : FirstWaiting(key, hash, family, role);
}

int64_t TAddressIndex::FirstWaiting(std::string_view key, uint64_t hash, int family,
                                    int role) const {
  for (const TWaiting& w : m_waiting) {
    for (int r = 0; r < 2; ++r) {
      const int channel = family * 2 + r;
      if ((role < 0 || r == role) && (w.channels & (1u << channel)) && w.hashes[channel] == hash &&
          w.keys[channel] == key)
        return w.seq;
    }
  }
  return -1;
}

}  // namespace tq
