// Open-addressing address index with per-key chains of positions.
#include "engine/address_index.h"

#include <cstdint>
#include <functional>

namespace tq {

uint64_t TAddressIndex::Hash(std::string_view key) {
  return std::hash<std::string_view>()(key);
}

void TAddressIndex::PushBack() {
  m_nodes.emplace_back();
}

void TAddressIndex::PopFront() {
  m_nodes.pop_front();
  ++m_firstSeq;
}

void TAddressIndex::Erase(int64_t seq) {
  m_nodes.erase(m_nodes.begin() + (seq - m_firstSeq));
  // Every node id of a later position drops by two (one position); the chains keep their order.
  const int64_t limit = seq * 2 + 1;
  auto shift = [limit](int64_t& id) {
    if (id > limit) id -= 2;
  };
  for (auto& nodes : m_nodes) {
    for (auto& node : nodes) {
      shift(node.prev);
      shift(node.next);
    }
  }
  for (auto& slot : m_slots) shift(slot.head);
}

void TAddressIndex::Clear() {
  m_nodes.clear();
  m_slots.clear();
  m_used = 0;
}

size_t TAddressIndex::FindSlot(std::string_view key, uint64_t hash) const {
  if (m_slots.empty()) return SIZE_MAX;
  const size_t mask = m_slots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const TSlot& slot = m_slots[i];
    if (slot.head < 0) return SIZE_MAX;
    if (slot.hash == hash && KeyOfNode(slot.head) == key) return i;
  }
}

size_t TAddressIndex::FindSlotOfHead(uint64_t hash, int64_t id) const {
  const size_t mask = m_slots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const TSlot& slot = m_slots[i];
    if (slot.head < 0) return SIZE_MAX;  // cannot happen while the index is consistent
    if (slot.hash == hash && slot.head == id) return i;
  }
}

void TAddressIndex::Grow() {
  decltype(m_slots) old;
  old.swap(m_slots);
  m_slots.assign(old.empty() ? 16 : old.size() * 2, TSlot{});
  const size_t mask = m_slots.size() - 1;
  for (const TSlot& slot : old) {
    if (slot.head < 0) continue;
    size_t i = slot.hash & mask;
    while (m_slots[i].head >= 0) i = (i + 1) & mask;
    m_slots[i] = slot;
  }
}

// Backward-shift deletion keeps every probe sequence unbroken without tombstones.
void TAddressIndex::FreeSlot(size_t hole) {
  const size_t mask = m_slots.size() - 1;
  for (size_t j = (hole + 1) & mask; m_slots[j].head >= 0; j = (j + 1) & mask) {
    const size_t home = m_slots[j].hash & mask;
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

void TAddressIndex::Insert(int64_t seq, int role, std::string_view key) {
  const int64_t id = seq * 2 + role;
  if (Node(id).prev != kAbsent) Remove(seq, role);
  const uint64_t hash = Hash(key);
  TNode& node = Node(id);
  const size_t found = FindSlot(key, hash);
  if (found == SIZE_MAX) {
    if ((m_used + 1) * 2 > m_slots.size()) Grow();
    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    while (m_slots[i].head >= 0) i = (i + 1) & mask;
    m_slots[i] = TSlot{hash, id};
    ++m_used;
    node.prev = id;  // its own tail
    node.next = -1;
    return;
  }
  TSlot& slot = m_slots[found];
  TNode& head = Node(slot.head);
  const int64_t tail = head.prev;
  if (id > tail) {  // the usual case: a new link at the back of the list
    Node(tail).next = id;
    node.prev = tail;
    node.next = -1;
    head.prev = id;
  } else if (id < slot.head) {
    node.prev = tail;
    node.next = slot.head;
    head.prev = id;
    slot.head = id;
  } else {  // a re-indexed link inside the chain
    int64_t after = slot.head;
    while (Node(after).next < id) after = Node(after).next;
    const int64_t before = Node(after).next;
    node.prev = after;
    node.next = before;
    Node(after).next = id;
    Node(before).prev = id;
  }
}

void TAddressIndex::Remove(int64_t seq, int role) {
  const int64_t id = seq * 2 + role;
  TNode& node = Node(id);
  if (node.prev == kAbsent) return;
  // Only the head's prev (the tail) does not point back at it.
  const bool isHead = node.prev == id || Node(node.prev).next != id;
  if (isHead) {
    const size_t i = FindSlotOfHead(Hash(KeyOfNode(id)), id);
    if (node.next < 0) {
      if (i != SIZE_MAX) FreeSlot(i);
    } else {
      Node(node.next).prev = node.prev;
      if (i != SIZE_MAX) m_slots[i].head = node.next;
    }
  } else {
    Node(node.prev).next = node.next;
    if (node.next >= 0) {
      Node(node.next).prev = node.prev;
    } else {  // the tail: the head must learn the new tail
      const std::string_view key = KeyOfNode(id);
      const size_t i = FindSlot(key, Hash(key));
      if (i != SIZE_MAX) Node(m_slots[i].head).prev = node.prev;
    }
  }
  node.prev = kAbsent;
  node.next = -1;
}

int64_t TAddressIndex::First(std::string_view key, int role) const {
  const size_t i = FindSlot(key, Hash(key));
  if (i == SIZE_MAX) return -1;
  for (int64_t id = m_slots[i].head; id >= 0; id = Node(id).next) {
    if (role < 0 || (id & 1) == role) return id >> 1;
  }
  return -1;
}

}  // namespace tq
