#include "Fennix/Foundation/BaseTypes/TimedValue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace Fennix {

namespace {
// 2001-01-01 00:00:00 UTC in seconds since 1970.
constexpr long long referenceDateOffset = 978307200;

void checkStorable(double seconds) {
  if (!std::isfinite(seconds)) throw std::invalid_argument("date is not a finite number");
}

// The proleptic Gregorian date of a day counted from 1970-01-01, for any finite count: exact while
// the count fits a 64-bit integer, and in floating point (to the precision the count still has)
// beyond that.
struct CivilDay {
  std::string year;
  unsigned month;
  unsigned day;
};

std::string yearText(long double year) {
  // Four digits at least, with a minus sign before years before 1 BC's year 0; as many as the
  // year has (a finite date's year may have hundreds).
  const char* sign = year < 0 ? "-" : "";
  const long double magnitude = std::fabs(year);
  const int length = std::snprintf(nullptr, 0, "%s%04.0Lf", sign, magnitude);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, "%s%04.0Lf", sign, magnitude);
  return text;
}

CivilDay civilFromDays(long double days) {
  // Days in 400 years of the Gregorian calendar, which repeats after them exactly.
  constexpr long double daysPerEra = 146097.0L;
  const long double shifted = days + 719468.0L;  // from 0000-03-01
  const long double era = std::floor(shifted / daysPerEra);
  long double dayOfEraValue = shifted - era * daysPerEra;
  // Beyond the precision of the count the remainder is only approximate: keep it in its range.
  dayOfEraValue = std::clamp(std::floor(dayOfEraValue), 0.0L, daysPerEra - 1);
  const auto dayOfEra = static_cast<long long>(dayOfEraValue);
  const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long monthIndex = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<unsigned>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const auto month = static_cast<unsigned>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  const long double year = era * 400.0L + static_cast<long double>(yearOfEra) + (month <= 2 ? 1 : 0);
  return {yearText(year), month, day};
}
}  // namespace

DateClock::time_point DateClock::fromSystem(std::chrono::system_clock::time_point time) noexcept {
  // Whole seconds and their fraction apart, so that the count since 1970 loses nothing to the offset.
  const auto since1970 = time.time_since_epoch();
  const auto whole = std::chrono::floor<std::chrono::seconds>(since1970);
  const double fraction = std::chrono::duration<double>(since1970 - whole).count();
  return time_point(duration(static_cast<double>(whole.count() - referenceDateOffset) + fraction));
}

long long DateClock::unixSeconds(time_point date) noexcept {
  const double seconds = date.time_since_epoch().count();
  if (std::isnan(seconds)) return referenceDateOffset;
  const double limit = static_cast<double>(dateLimitUnixSeconds);
  return static_cast<long long>(std::clamp(std::floor(seconds) + static_cast<double>(referenceDateOffset), -limit, limit));
}

DateClock::time_point DateClock::fromUnixSeconds(long long seconds) noexcept {
  return time_point(duration(static_cast<double>(seconds - referenceDateOffset)));
}

std::string iso8601String(Date date) {
  const double seconds = date.time_since_epoch().count();
  if (!std::isfinite(seconds)) return "";
  const long double unix = std::floor(static_cast<long double>(seconds)) + static_cast<long double>(referenceDateOffset);
  const long double days = std::floor(unix / 86400.0L);
  long double secondOfDay = std::clamp(unix - days * 86400.0L, 0.0L, 86399.0L);
  const auto inDay = static_cast<int>(secondOfDay);
  const CivilDay civil = civilFromDays(days);
  char time[32];
  std::snprintf(time, sizeof time, "-%02u-%02uT%02d:%02d:%02dZ", civil.month, civil.day, inDay / 3600, inDay / 60 % 60,
                inDay % 60);
  return civil.year + time;
}

double dateToStoredSeconds(Date date) {
  const double seconds = date.time_since_epoch().count();
  checkStorable(seconds);
  return seconds;
}

Date dateFromStoredSeconds(double seconds) {
  checkStorable(seconds);
  return Date(DateClock::duration(seconds));
}

}  // namespace Fennix
