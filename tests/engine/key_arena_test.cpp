// Key storage: stored bytes stay intact whatever is released around them, and emptied chunks
// are given back.
#include "engine/key_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace tq {
namespace {

TEST(KeyArena, KeysSurviveReleasesInAnyOrderAndEmptyChunksGoBack) {
  std::mt19937 rng(5);
  TKeyArena arena;
  struct TStored {
    std::string bytes;
    TKeyArena::TKey key;
  };
  std::vector<TStored> live;
  auto store = [&](const std::string& first, const std::string& second) {
    live.push_back({first + second, arena.Store(first, second)});
  };
  for (int i = 0; i < 5000; ++i) {
    // Mostly addresses, some empty, now and then one longer than a chunk.
    const size_t length = i % 1000 == 999 ? 40000 : rng() % 120;
    store(std::string(length, static_cast<char>('a' + i % 26)), i % 3 ? "" : "m@h");
    if (rng() % 3 == 0) {
      const size_t victim = rng() % live.size();
      arena.Release(live[victim].key, live[victim].bytes.size());
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(victim));
    }
  }
  for (const auto& stored : live)
    ASSERT_EQ(std::string(stored.key.data, stored.bytes.size()), stored.bytes);
  std::shuffle(live.begin(), live.end(), rng);
  for (const auto& stored : live) arena.Release(stored.key, stored.bytes.size());
  // All that may remain is the chunk being filled.
  EXPECT_LE(arena.ChunkCount(), 1u);
  const TKeyArena::TKey empty = arena.Store("", "");
  EXPECT_EQ(empty.chunk, nullptr);
  arena.Release(empty, 0);
}

}  // namespace
}  // namespace tq
