// An ordered list that owns its items and hands them out by reference; a reference stays valid
// until its own item is deleted, whatever else is added or deleted. Not thread-safe.
#pragma once

#include <memory>
#include <stdexcept>
#include <vector>

namespace tq {

template <class T>
class TOwnedList {
 public:
  // A new default item at the end.
  T& Add() {
    m_items.push_back(std::make_unique<T>());
    return *m_items.back();
  }
  // Index out of range throws std::out_of_range.
  T& Items(int index) { return *m_items.at(static_cast<size_t>(index)); }
  const T& Items(int index) const { return *m_items.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(m_items.size()); }
  void Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("TOwnedList::Delete");
    m_items.erase(m_items.begin() + index);
  }
  void Clear() { m_items.clear(); }

 private:
  std::vector<std::unique_ptr<T>> m_items;
};

}  // namespace tq
