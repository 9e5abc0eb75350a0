// TKeyArena: the bytes of a link list's index keys, packed into shared chunks. A list keeps its
// own copy of every key it indexes, so a link that another thread changes cannot alter the list's
// index behind its lock; packing the copies saves one allocation per link and keeps the keys of
// neighbouring links together in memory, which is how lists are mostly read and drained.
//
// A chunk is freed once every key stored in it is released, so the arena holds at most the bytes
// the list's keys ever needed at once, plus one chunk. Not thread-safe: the list's lock guards it.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace tq {

class TKeyArena {
 public:
  struct TChunk;
  // Where a stored key lives; default-constructed for an empty key.
  struct TKey {
    const char* data = nullptr;
    TChunk* chunk = nullptr;
  };

  TKeyArena();
  ~TKeyArena();
  TKeyArena(const TKeyArena&) = delete;
  TKeyArena& operator=(const TKeyArena&) = delete;

  // Copies first and then second into one place. The bytes stay where they are until released.
  TKey Store(std::string_view first, std::string_view second);
  // Gives back a key of size bytes (the two parts together) returned by Store.
  void Release(TKey key, size_t size);

  size_t ChunkCount() const { return m_chunks.size(); }

 private:
  std::vector<std::unique_ptr<TChunk>> m_chunks;  // back() is the one being filled
  std::unique_ptr<TChunk> m_spare;                // one emptied chunk kept for reuse
};

}  // namespace tq
