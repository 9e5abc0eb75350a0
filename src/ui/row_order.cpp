#include "ui/row_order.h"

namespace tq {
namespace {
int LowBit(int i) {
  return i & -i;
}
}  // namespace

int TRowOrder::Prefix(int end) const {
  int sum = 0;
  for (int i = end; i > 0; i -= LowBit(i)) sum += m_tree[static_cast<size_t>(i - 1)];
  return sum;
}

void TRowOrder::Add(int slot, int delta) {
  const int size = Slots();
  for (int i = slot + 1; i <= size; i += LowBit(i)) m_tree[static_cast<size_t>(i - 1)] += delta;
}

int TRowOrder::Append() {
  const int slot = Slots();
  const int i = slot + 1;
  // The new node covers (i - lowbit(i), i]: the earlier part of that range plus itself.
  const int covered = Prefix(i - 1) - Prefix(i - LowBit(i)) + 1;
  m_alive.push_back(1);
  m_tree.push_back(covered);
  ++m_count;
  return slot;
}

void TRowOrder::Kill(int slot) {
  if (!Alive(slot)) return;
  m_alive[static_cast<size_t>(slot)] = 0;
  Add(slot, -1);
  --m_count;
}

int TRowOrder::SlotAt(int row) const {
  // Descends the implicit tree for the first position whose prefix exceeds row.
  int position = 0;
  int remaining = row;
  int step = 1;
  while (step * 2 <= Slots()) step *= 2;
  for (; step > 0; step /= 2) {
    const int next = position + step;
    if (next <= Slots() && m_tree[static_cast<size_t>(next - 1)] <= remaining) {
      position = next;
      remaining -= m_tree[static_cast<size_t>(next - 1)];
    }
  }
  return position;  // 0-based slot = (1-based position + 1) - 1
}

void TRowOrder::Reset(int count) {
  m_alive.assign(static_cast<size_t>(count), 1);
  m_tree.assign(static_cast<size_t>(count), 0);
  for (int i = 1; i <= count; ++i) m_tree[static_cast<size_t>(i - 1)] = LowBit(i);
  m_count = count;
}

}  // namespace tq
