// TRingBuffer: a queue in one block of memory that grows by doubling and never shrinks. Link
// lists are filled at the back and drained from the front all crawl long; a ring keeps doing
// that without allocating, where a deque allocates and frees a block every few elements.
//
// Not thread-safe: the owner's lock guards it. T must be default-constructible and
// move-assignable; a vacated place holds a default T, so nothing it owned stays alive.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace tq {

template <class T>
class TRingBuffer {
 public:
  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }

  T& operator[](size_t i) { return m_data[(m_head + i) & (m_data.size() - 1)]; }
  const T& operator[](size_t i) const { return m_data[(m_head + i) & (m_data.size() - 1)]; }
  T& front() { return (*this)[0]; }
  T& back() { return (*this)[m_size - 1]; }

  T& push_back(T value) {
    if (m_size == m_data.size()) Grow();
    T& place = (*this)[m_size];
    place = std::move(value);
    ++m_size;
    return place;
  }

  void pop_front() {
    m_data[m_head] = T();
    m_head = (m_head + 1) & (m_data.size() - 1);
    --m_size;
  }

  // Removes the element at i; the ones behind it move one place forward.
  void erase(size_t i) {
    for (size_t j = i; j + 1 < m_size; ++j) (*this)[j] = std::move((*this)[j + 1]);
    back() = T();
    --m_size;
  }

 private:
  void Grow() {
    std::vector<T> grown(m_data.empty() ? 16 : m_data.size() * 2);
    for (size_t i = 0; i < m_size; ++i) grown[i] = std::move((*this)[i]);
    m_data.swap(grown);
    m_head = 0;
  }

  std::vector<T> m_data;  // size a power of two
  size_t m_head = 0;
  size_t m_size = 0;
};

}  // namespace tq
