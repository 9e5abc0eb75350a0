// The date-time value and its fixed text forms. Free functions, safe on any thread.
//
// TDateTime is a double counting days since 1899-12-30 00:00: the integral part is the day,
// the fractional part the time of day. For days before that origin the fraction still counts
// forward from midnight (-1.25 is 1899-12-29 06:00), as the classic encoding does.
//
// Stored text forms, independent of the machine's locale and read back exactly (to the
// millisecond):  date "YYYY-MM-DD", time "hh:mm:ss.zzz", date-time "YYYY-MM-DD hh:mm:ss.zzz".
// Readers also take a time without seconds or milliseconds ("hh:mm", "hh:mm:ss"), a "T" in place
// of the blank, and (date-time) a date or a time alone. Years run from 1 to 9999.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tq {

using TDateTime = double;

// Day number of a calendar date; nullopt when the date does not exist.
std::optional<TDateTime> EncodeDate(int year, int month, int day);
// Fraction of a day; nullopt unless 0 <= hour < 24, 0 <= minute, second < 60, 0 <= ms < 1000.
std::optional<TDateTime> EncodeTime(int hour, int minute, int second, int millisecond);
// Joins a day number and a time of day following the classic rule for days before the origin.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

struct TDateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};
// Splits a value, rounding to the nearest millisecond; nullopt when it is not finite or its
// year falls outside 1..9999.
std::optional<TDateTimeParts> DecodeDateTime(TDateTime value);

// The local date and time of a moment given in seconds since 1970-01-01 UTC, to the second;
// nullopt when the local calendar cannot hold it.
std::optional<TDateTime> LocalDateTimeOf(long long unixSeconds);
// The current local date and time, to the millisecond.
TDateTime NowLocal();

// Text forms; a value that DecodeDateTime rejects gives an empty text.
std::string FormatStoredDate(TDateTime value);
std::string FormatStoredTime(TDateTime value);
std::string FormatStoredDateTime(TDateTime value);

// nullopt when the text is not in the form.
std::optional<TDateTime> ParseStoredDate(std::string_view text);
std::optional<TDateTime> ParseStoredTime(std::string_view text);
std::optional<TDateTime> ParseStoredDateTime(std::string_view text);

}  // namespace tq
