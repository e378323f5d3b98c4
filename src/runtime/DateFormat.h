#pragma once
// Date-time texts from date-time patterns. A date-time value
// counts days since 1899-12-30 00:00; its fraction is the time of day.
//
// Pattern elements: d dd ddd dddd (day, short and long day name), ddddd
// (short date), dddddd (long date), m mm mmm mmmm (month; minutes right after
// an hour element), yy yyyy, h hh, n nn, s ss, z zzz (milliseconds), t (short
// time), tt (long time), c (short date, then long time when the time is not
// midnight), am/pm a/p ampm (12-hour clock), / and : (separators), quoted
// text in '' or "". Other characters are written as they stand.

#include <cstdint>
#include <string>
#include <string_view>

// The fixed, locale-independent formats of the elements c, t, tt, ddddd and
// dddddd: texts come out the same whatever the process locale.
inline constexpr std::string_view LocaleShortDateFormat = "yyyy-mm-dd";
inline constexpr std::string_view LocaleLongDateFormat = "d mmmm yyyy";
inline constexpr std::string_view LocaleShortTimeFormat = "hh:nn";
inline constexpr std::string_view LocaleLongTimeFormat = "hh:nn:ss";

// Values that are not finite or lie outside the years 1 to 9999 give an
// empty text.
std::string FormatDateTime(std::string_view pattern, double value);

// Days since 1899-12-30 of a calendar date; no range check.
double DateFromCivil(int year, int month, int day);
// The calendar date of a day number counted from 1899-12-30.
void CivilFromDate(std::int64_t days, int& year, int& month, int& day);
