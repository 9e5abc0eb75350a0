// Size and duration display texts.
#include "foundation/format.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tq {
namespace {

// The integer part as decimal text. printf instead of an integer cast: sizes beyond the range
// of a 64-bit integer (or infinities) must not be undefined behaviour.
std::string WholeNumber(double v) {
  v = std::trunc(v);
  if (v == 0) v = 0;  // no "-0"
  // Every size a transfer reports is exact in 64 bits: the common case skips printf.
  if (std::fabs(v) < 9007199254740992.0) return std::to_string(static_cast<int64_t>(v));
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.0f", v);
  return buffer;
}

}  // namespace

std::string FormatFileSize(double size) {
  double v;
  const char* unit;
  if (size > 1073741824.0) {
    v = size / 1073741824.0;
    unit = " Gb";
  } else if (size > 1048576.0) {
    v = size / 1048576.0;
    unit = " Mb";
  } else if (size > 1024.0) {
    v = size / 1024.0;
    unit = " Kb";
  } else {
    return WholeNumber(size) + " Bytes";
  }
  std::string text = WholeNumber(v);
  const double fraction = v - std::trunc(v);
  int digit = std::isfinite(fraction) ? static_cast<int>(fraction * 100 / 10) : 0;
  if (digit > 9) digit = 9;
  text += '.';
  text += static_cast<char>('0' + digit);
  return text + unit;
}

std::string FormatDuration(int32_t seconds) {
  const int32_t days = seconds / 86400;
  int32_t rest = seconds % 86400;
  const int32_t hours = rest / 3600;
  rest %= 3600;
  const int32_t minutes = rest / 60;
  rest %= 60;
  std::string text;
  auto part = [&text](int32_t n, const char* suffix) {
    if (n != 0) text += std::to_string(n) + suffix;
  };
  part(days, "d ");
  part(hours, "h ");
  part(minutes, "m ");
  part(rest, "s ");
  return text;
}

}  // namespace tq
