// A hand-over list between threads: an ordered list of references, behind the one lock that
// every TSynchList of the program shares. It owns what it holds only when T is a
// std::unique_ptr (which allows no Items).
//
// Add, Count, Delete and Items each take the lock themselves. A caller that needs several
// operations as one step (take the count, then read and delete the first item) holds Lock()
// around them; the lock is recursive, so the single operations still work inside. Because the
// lock is shared by every list, nobody may wait for another thread while holding it.
#pragma once

#include <mutex>
#include <stdexcept>
#include <vector>

namespace tq {

// The lock shared by every TSynchList, created on first use.
std::recursive_mutex& SynchListLock();

// T is a raw, shared or unique pointer; the list frees only what unique pointers hold.
template <class T>
class TSynchList {
 public:
  void Lock() { SynchListLock().lock(); }
  void Unlock() { SynchListLock().unlock(); }
  // Holds the shared lock for the life of the returned object.
  [[nodiscard]] std::unique_lock<std::recursive_mutex> Locked() {
    return std::unique_lock<std::recursive_mutex>(SynchListLock());
  }

  void Add(T item) {
    std::lock_guard<std::recursive_mutex> guard(SynchListLock());
    m_items.push_back(std::move(item));
  }
  int Count() const {
    std::lock_guard<std::recursive_mutex> guard(SynchListLock());
    return static_cast<int>(m_items.size());
  }
  // Removes the reference; the object itself is left alone. Out of range throws
  // std::out_of_range.
  void Delete(int index) {
    std::lock_guard<std::recursive_mutex> guard(SynchListLock());
    m_items.erase(m_items.begin() + CheckedIndex(index));
  }
  // Empties the list and returns what it held, in order: one lock for a whole hand-over.
  std::vector<T> TakeAll() {
    std::vector<T> taken;
    std::lock_guard<std::recursive_mutex> guard(SynchListLock());
    taken.swap(m_items);
    return taken;
  }
  T Items(int index) const {
    std::lock_guard<std::recursive_mutex> guard(SynchListLock());
    return m_items[CheckedIndex(index)];
  }

 private:
  size_t CheckedIndex(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_items.size()) {
      throw std::out_of_range("synchronised list index out of bounds");
    }
    return static_cast<size_t>(index);
  }

  std::vector<T> m_items;
};

}  // namespace tq
