// The address index against a plain scan over random appends, front pops, middle erases and
// re-keyed positions, inserted at once or in batches, with position numbers that start low and
// that cross the points where the index's shortened node ids wrap around.
#include "engine/address_index.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tq {
namespace {

const std::vector<std::string> kKeys = {"http://h/a", "http://h/a?x=1", "http://h/b", "m@h",
                                        "http://h/c#f", ""};

struct TModel {
  int64_t firstSeq = 0;
  std::deque<std::array<const std::string*, TAddressIndex::kChannels>> positions;  // null: none

  static std::string_view KeyOf(const void* self, int64_t seq, int channel) {
    const auto& model = *static_cast<const TModel*>(self);
    return *model.positions[static_cast<size_t>(seq - model.firstSeq)][channel];
  }
  int64_t First(std::string_view key, int family, int role) const {
    for (size_t i = 0; i < positions.size(); ++i) {
      for (int r = 0; r < 2; ++r) {
        const std::string* have = positions[i][family * 2 + r];
        if ((role < 0 || role == r) && have && *have == key) return firstSeq + static_cast<int64_t>(i);
      }
    }
    return -1;
  }
};

class AddressIndexWrap : public ::testing::TestWithParam<int64_t> {};

TEST_P(AddressIndexWrap, AgreesWithAScan) {
  std::mt19937 rng(static_cast<unsigned>(GetParam() % 1000) + 11);
  TModel model;
  model.firstSeq = GetParam();
  TAddressIndex index(&TModel::KeyOf, &model);
  index.TestOnlyStartAt(GetParam());
  auto hashOf = [&](int64_t seq, int channel) {
    return TAddressIndex::Hash(TModel::KeyOf(&model, seq, channel));
  };
  auto removeAll = [&](int64_t seq) {
    for (int channel = 0; channel < TAddressIndex::kChannels; ++channel) {
      if (model.positions[static_cast<size_t>(seq - model.firstSeq)][channel])
        index.Remove(seq, channel, hashOf(seq, channel));
    }
  };
  auto randomKeys = [&] {
    std::array<const std::string*, TAddressIndex::kChannels> keys{};
    for (int channel = 0; channel < TAddressIndex::kChannels; ++channel) {
      if (rng() % 3 != 0) keys[channel] = &kKeys[rng() % kKeys.size()];
    }
    return keys;
  };
  for (int step = 0; step < 4000; ++step) {
    const unsigned op = rng() % 10;
    const auto count = static_cast<int64_t>(model.positions.size());
    if (op < 5 || count == 0) {
      const int64_t seq = model.firstSeq + count;
      model.positions.push_back(randomKeys());
      index.PushBack();
      std::array<std::string_view, TAddressIndex::kChannels> views{};
      std::array<uint64_t, TAddressIndex::kChannels> hashes{};
      unsigned channels = 0;
      for (int channel = 0; channel < TAddressIndex::kChannels; ++channel) {
        if (!model.positions.back()[channel]) continue;
        views[channel] = *model.positions.back()[channel];
        hashes[channel] = TAddressIndex::Hash(views[channel]);
        channels |= 1u << channel;
        if (op % 2) index.Insert(seq, channel, views[channel], hashes[channel]);
      }
      if (op % 2 == 0) index.InsertLater(seq, channels, views, hashes);
    } else if (op < 7) {
      removeAll(model.firstSeq);
      index.PopFront();
      model.positions.pop_front();
      ++model.firstSeq;
    } else if (op < 8) {
      const int64_t seq = model.firstSeq + static_cast<int64_t>(rng() % count);
      removeAll(seq);
      index.Erase(seq);
      model.positions.erase(model.positions.begin() + (seq - model.firstSeq));
    } else {
      const int64_t seq = model.firstSeq + static_cast<int64_t>(rng() % count);
      removeAll(seq);
      auto& keys = model.positions[static_cast<size_t>(seq - model.firstSeq)];
      keys = randomKeys();
      for (int channel = 0; channel < TAddressIndex::kChannels; ++channel) {
        if (keys[channel]) index.Insert(seq, channel, *keys[channel], hashOf(seq, channel));
      }
    }
    for (const std::string& key : kKeys) {
      for (int family = 0; family < TAddressIndex::kFamilies; ++family) {
        for (int role = -1; role < 2; ++role) {
          ASSERT_EQ(index.First(key, family, role), model.First(key, family, role))
              << step << " " << key << " " << family << " " << role;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(StartingPositions, AddressIndexWrap,
                         ::testing::Values(int64_t{0}, (int64_t{1} << 30) - 300,
                                           (int64_t{1} << 31) - 300));

}  // namespace
}  // namespace tq
