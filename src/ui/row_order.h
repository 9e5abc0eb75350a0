// TRowOrder: the visible order of rows that come and go in the middle, for list models whose
// rows are found by identity. Each row keeps a fixed slot; a slot's row number and a row's slot
// are both found in O(log n) through a Fenwick tree over the live slots, so deleting a row never
// renumbers the others one by one. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tq {

class TRowOrder {
 public:
  // Appends a live slot at the end and returns it.
  int Append();
  void Kill(int slot);
  bool Alive(int slot) const { return m_alive[static_cast<size_t>(slot)] != 0; }
  // The row of a live slot.
  int RowOf(int slot) const { return Prefix(slot + 1) - 1; }
  // The slot shown at row (0 <= row < Count()).
  int SlotAt(int row) const;
  int Count() const { return m_count; }
  int Slots() const { return static_cast<int>(m_alive.size()); }
  // Live slots are worth compacting when the dead ones outnumber them.
  bool Sparse() const { return Slots() > 1024 && Slots() > 2 * m_count; }
  // Starts again with count live slots 0..count-1.
  void Reset(int count);

 private:
  int Prefix(int end) const;  // live slots among [0, end)
  void Add(int slot, int delta);

  std::vector<uint8_t> m_alive;
  std::vector<int>
      m_tree;  // Fenwick tree, 1-based in spirit: m_tree[i-1] covers (i - lowbit(i), i]
  int m_count = 0;
};

}  // namespace tq
