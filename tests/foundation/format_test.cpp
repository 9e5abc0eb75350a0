// Size and duration display texts.
#include "foundation/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace tq {
namespace {

TEST(Format, FormatFileSize) {
  const std::pair<double, const char*> table[] = {
      {0, "0 Bytes"},
      {1024, "1024 Bytes"},
      {1025, "1.0 Kb"},
      {1536, "1.5 Kb"},
      {2047, "1.9 Kb"},  // truncated, not rounded
      {1048576, "1024.0 Kb"},
      {1048577, "1.0 Mb"},
      {1073741824, "1024.0 Mb"},
      {1073741825.0 * 3, "3.0 Gb"},
      {1e15, "931322.5 Gb"},
      {-1, "-1 Bytes"},
      {0.9, "0 Bytes"},
      {1e300, nullptr},  // beyond any integer type: must still give some text
      {INFINITY, nullptr},
      {NAN, nullptr},
  };
  for (const auto& [size, expected] : table) {
    SCOPED_TRACE(size);
    const std::string text = FormatFileSize(size);
    if (expected)
      EXPECT_EQ(text, expected);
    else
      EXPECT_FALSE(text.empty());
  }
}

TEST(Format, FormatDuration) {
  const std::pair<int32_t, const char*> table[] = {
      {0, ""},
      {59, "59s "},
      {60, "1m "},
      {3725, "1h 2m 5s "},
      {86400, "1d "},
      {90061, "1d 1h 1m 1s "},
      {86460, "1d 1m "},
      {-61, "-1m -1s "},
      {INT32_MAX, "24855d 3h 14m 7s "},
  };
  for (const auto& [seconds, expected] : table) {
    SCOPED_TRACE(seconds);
    EXPECT_EQ(FormatDuration(seconds), expected);
  }
}

}  // namespace
}  // namespace tq
