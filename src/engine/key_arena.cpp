// Chunked key storage for the link lists' indexes.
#include "engine/key_arena.h"

#include <algorithm>
#include <cstring>

namespace tq {
namespace {

// Big enough that a chunk holds a few hundred addresses, small enough that a few long-lived links
// scattered over a long crawl keep little memory alive.
constexpr size_t kChunkSize = 16 * 1024;

}  // namespace

struct TKeyArena::TChunk {
  explicit TChunk(size_t size) : data(new char[size]), capacity(size) {}
  std::unique_ptr<char[]> data;
  size_t capacity;
  size_t used = 0;  // bytes handed out since the chunk was (re)started
  size_t live = 0;  // bytes not yet released
};

TKeyArena::TKeyArena() = default;
TKeyArena::~TKeyArena() = default;

TKeyArena::TKey TKeyArena::Store(std::string_view first, std::string_view second) {
  const size_t size = first.size() + second.size();
  if (size == 0) return {};
  if (m_chunks.empty() || m_chunks.back()->capacity - m_chunks.back()->used < size) {
    if (m_spare && m_spare->capacity >= size) {
      m_chunks.push_back(std::move(m_spare));
    } else {
      m_chunks.push_back(std::make_unique<TChunk>(std::max(size, kChunkSize)));
    }
  }
  TChunk& chunk = *m_chunks.back();
  char* place = chunk.data.get() + chunk.used;
  std::memcpy(place, first.data(), first.size());
  std::memcpy(place + first.size(), second.data(), second.size());
  chunk.used += size;
  chunk.live += size;
  return {place, &chunk};
}

void TKeyArena::Release(TKey key, size_t size) {
  if (!key.chunk) return;
  TChunk* chunk = key.chunk;
  chunk->live -= size;
  if (chunk->live > 0) return;
  chunk->used = 0;
  if (chunk == m_chunks.back().get()) return;  // keep filling it from the start
  auto it = std::find_if(m_chunks.begin(), m_chunks.end(),
                         [chunk](const auto& held) { return held.get() == chunk; });
  if (it == m_chunks.end()) return;
  // Keeping one standard chunk spare spares an allocation each time a drained list refills.
  if (!m_spare && chunk->capacity == kChunkSize) m_spare = std::move(*it);
  m_chunks.erase(it);
}

}  // namespace tq
