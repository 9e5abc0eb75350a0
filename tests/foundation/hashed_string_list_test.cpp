// The hashed string list: its indexes must answer exactly as a scan for the last match would,
// whatever sequence of changes came before.
#include "foundation/hashed_string_list.h"

#include <gtest/gtest.h>

#include <random>

#include "foundation/ansi.h"

namespace tq {
namespace {

int LastMatch(const THashedStringList& list, const std::string& wanted, bool byName) {
  for (int i = list.Count() - 1; i >= 0; --i) {
    const std::string candidate = byName ? list.Names(i) : list.Strings(i);
    if (!candidate.empty() && AnsiSameText(candidate, wanted)) return i;
    if (!byName && candidate.empty() && wanted.empty()) return i;
  }
  return -1;
}

TEST(HashedStringList, IndexesFollowEveryKindOfChange) {
  std::mt19937 rng(11);
  const std::string words[] = {"a", "A", "b", "a=1", "A=2", "b=x=y", "=z", "", "c", "\xe9=1"};
  for (const bool caseSensitive : {false, true}) {
    THashedStringList list(caseSensitive);
    for (int step = 0; step < 3000; ++step) {
      const std::string& word = words[rng() % std::size(words)];
      const int size = list.Count();
      switch (rng() % 6) {
        case 0:
        case 1:
          list.Add(word);
          break;
        case 2:
          list.Insert(static_cast<int>(rng() % (size + 1)), word);
          break;
        case 3:
          if (size > 0) list.Delete(static_cast<int>(rng() % size));
          break;
        case 4:
          if (size > 0) list.Put(static_cast<int>(rng() % size), word);
          break;
        default:
          if (rng() % 50 == 0) list.Clear();
      }
      const std::string& probe = words[rng() % std::size(words)];
      const std::string probeName = probe.substr(0, probe.find('='));
      if (caseSensitive) {
        int expected = -1;
        for (int i = list.Count() - 1; i >= 0 && expected < 0; --i) {
          if (list.Strings(i) == probe) expected = i;
        }
        ASSERT_EQ(list.IndexOf(probe), expected) << step;
      } else {
        ASSERT_EQ(list.IndexOf(probe), LastMatch(list, probe, false)) << step;
        ASSERT_EQ(list.IndexOfName(probeName), LastMatch(list, probeName, true)) << step;
      }
    }
  }
}

}  // namespace
}  // namespace tq
