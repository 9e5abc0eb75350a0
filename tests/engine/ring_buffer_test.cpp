// The ring buffer against a deque over random pushes, front pops and middle erases, wrapping
// around and growing while it wraps.
#include "engine/ring_buffer.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <random>

namespace tq {
namespace {

TEST(RingBuffer, BehavesLikeADequeAndReleasesVacatedPlaces) {
  std::mt19937 rng(3);
  TRingBuffer<std::shared_ptr<int>> ring;
  std::deque<std::shared_ptr<int>> expected;
  for (int step = 0; step < 20000; ++step) {
    const unsigned op = rng() % 8;
    if (op < 4 || expected.empty()) {
      // Runs of pushes make the ring grow while its head is away from the start.
      for (unsigned k = rng() % (step % 500 < 250 ? 3 : 40); k-- > 0;) {
        auto value = std::make_shared<int>(step);
        ring.push_back(value);
        expected.push_back(value);
      }
    } else if (op < 7) {
      ring.pop_front();
      expected.pop_front();
    } else {
      const size_t at = rng() % expected.size();
      ring.erase(at);
      expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
    }
    ASSERT_EQ(ring.size(), expected.size()) << step;
    if (step % 97 == 0) {
      for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(ring[i], expected[i]) << step;
    }
  }
  // Only the deque and the ring hold each value: nothing popped or erased lingers in the ring.
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i].use_count(), 2);
  while (!ring.empty()) ring.pop_front();
  for (const auto& value : expected) EXPECT_EQ(value.use_count(), 1);
}

}  // namespace
}  // namespace tq
