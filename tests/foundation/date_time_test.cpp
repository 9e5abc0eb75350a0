// Date-time values and their stored text forms.
#include "foundation/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tq {
namespace {

TEST(DateTime, TextFormsOfKnownValues) {
  const struct {
    TDateTime value;
    const char* text;
  } cases[] = {
      {0.0, "1899-12-30 00:00:00.000"},         {1.5, "1899-12-31 12:00:00.000"},
      {-1.25, "1899-12-29 06:00:00.000"},        // the fraction counts forward before the origin
      {2.0 - 1e-10, "1900-01-01 00:00:00.000"},  // rounds up to the next midnight
      {36526.0, "2000-01-01 00:00:00.000"},     {-693593.0, "0001-01-01 00:00:00.000"},
      {2958465.999, "9999-12-31 23:58:33.600"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatStoredDateTime(c.value), c.text) << c.value;
    const auto back = ParseStoredDateTime(c.text);
    ASSERT_TRUE(back) << c.text;
    EXPECT_EQ(FormatStoredDateTime(*back), c.text);
  }
  for (const double bad : {-693594.0, 2958466.0, std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(FormatStoredDateTime(bad), "") << bad;
  }
}

TEST(DateTime, ParsersRejectWhatTheyDoNotWrite) {
  for (const char* bad :
       {"2026-02-30", "2025-02-29", "2026-13-01", "0000-01-01", "26-1-1", "2026-01-01x",
        "2026-01-01 24:00", "2026-01-01 12:60", "12:00:00.5", "2026/01/01", " 2026-01-01", ""}) {
    EXPECT_FALSE(ParseStoredDateTime(bad)) << bad;
  }
  EXPECT_EQ(*ParseStoredDate("2024-02-29"), *EncodeDate(2024, 2, 29));
  EXPECT_EQ(*ParseStoredDateTime("2024-02-29T10:30"),
            *EncodeDate(2024, 2, 29) + *EncodeTime(10, 30, 0, 0));
  EXPECT_EQ(*ParseStoredDateTime("10:30:15"), *EncodeTime(10, 30, 15, 0));
  EXPECT_FALSE(ParseStoredDate("2024-02-29 10:30"));
  EXPECT_FALSE(ParseStoredTime("2024-02-29"));
}

}  // namespace
}  // namespace tq
