// Calendar arithmetic and the stored text forms of date-time values.
#include "foundation/date_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tq {
namespace {

constexpr long long kMsPerDay = 86400000;
constexpr long long kFirstDay = -693593;    // 0001-01-01
constexpr long long kLastDay = 2958465;     // 9999-12-31
constexpr long long kUnixEpochDay = 25569;  // 1970-01-01 counted from 1899-12-30

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-date algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2));
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Reads exactly `count` decimal digits at text[pos]; advances pos.
bool Digits(std::string_view text, size_t& pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

std::optional<TDateTime> DateAt(std::string_view text, size_t& pos) {
  int y = 0, m = 0, d = 0;
  if (!Digits(text, pos, 4, y) || !Expect(text, pos, '-') || !Digits(text, pos, 2, m) ||
      !Expect(text, pos, '-') || !Digits(text, pos, 2, d)) {
    return std::nullopt;
  }
  return EncodeDate(y, m, d);
}

std::optional<TDateTime> TimeAt(std::string_view text, size_t& pos) {
  int h = 0, n = 0, s = 0, ms = 0;
  if (!Digits(text, pos, 2, h) || !Expect(text, pos, ':') || !Digits(text, pos, 2, n)) {
    return std::nullopt;
  }
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!Digits(text, pos, 2, s)) return std::nullopt;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      if (!Digits(text, pos, 3, ms)) return std::nullopt;
    }
  }
  return EncodeTime(h, n, s, ms);
}

}  // namespace

std::optional<TDateTime> EncodeDate(int year, int month, int day) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
  const int last = kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
  if (day > last) return std::nullopt;
  return static_cast<TDateTime>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
      kUnixEpochDay);
}

std::optional<TDateTime> EncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return std::nullopt;
  }
  const long long ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMsPerDay);
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date < 0 ? date - time : date + time;
}

std::optional<TDateTimeParts> DecodeDateTime(TDateTime value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double whole = std::trunc(value);
  if (whole < static_cast<double>(kFirstDay) || whole > static_cast<double>(kLastDay)) {
    return std::nullopt;
  }
  auto day = static_cast<long long>(whole);
  auto ms = std::llround(std::fabs(value - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {  // rounds up to the next midnight
    ms -= kMsPerDay;
    ++day;
    if (day > kLastDay) return std::nullopt;
  }
  TDateTimeParts parts;
  CivilFromDays(day - kUnixEpochDay, parts.year, parts.month, parts.day);
  parts.millisecond = static_cast<int>(ms % 1000);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.hour = static_cast<int>(ms / 3600000);
  return parts;
}

std::string FormatStoredDate(TDateTime value) {
  const auto p = DecodeDateTime(value);
  if (!p) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p->year, p->month, p->day);
  return buf;
}

std::string FormatStoredTime(TDateTime value) {
  const auto p = DecodeDateTime(value);
  if (!p) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", p->hour, p->minute, p->second,
                p->millisecond);
  return buf;
}

std::string FormatStoredDateTime(TDateTime value) {
  const auto date = FormatStoredDate(value);
  return date.empty() ? date : date + ' ' + FormatStoredTime(value);
}

std::optional<TDateTime> ParseStoredDate(std::string_view text) {
  size_t pos = 0;
  auto date = DateAt(text, pos);
  return date && pos == text.size() ? date : std::nullopt;
}

std::optional<TDateTime> ParseStoredTime(std::string_view text) {
  size_t pos = 0;
  auto time = TimeAt(text, pos);
  return time && pos == text.size() ? time : std::nullopt;
}

std::optional<TDateTime> ParseStoredDateTime(std::string_view text) {
  if (text.size() > 2 && text[2] == ':') return ParseStoredTime(text);
  size_t pos = 0;
  const auto date = DateAt(text, pos);
  if (!date) return std::nullopt;
  if (pos == text.size()) return date;
  if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
  ++pos;
  const auto time = TimeAt(text, pos);
  if (!time || pos != text.size()) return std::nullopt;
  return ComposeDateTime(*date, *time);
}

std::optional<TDateTime> LocalDateTimeOf(long long unixSeconds) {
  const auto seconds = static_cast<time_t>(unixSeconds);
  if (static_cast<long long>(seconds) != unixSeconds) return std::nullopt;
  tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return std::nullopt;
  const auto date = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  // A leap second (tm_sec 60) counts as the last second of its minute.
  const auto time = EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), 0);
  if (!date || !time) return std::nullopt;
  return ComposeDateTime(*date, *time);
}

TDateTime NowLocal() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  const auto seconds = LocalDateTimeOf(ms / 1000).value_or(0);
  return seconds + static_cast<TDateTime>(ms % 1000) / static_cast<TDateTime>(kMsPerDay);
}

}  // namespace tq
