#include "Fennix/Foundation/BaseTypes/TimedValue.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <stdexcept>

namespace Fennix {

namespace {
// 2001-01-01 00:00:00 UTC in seconds since 1970.
constexpr long long referenceDateOffset = 978307200;

void checkStorable(double seconds) {
  if (!std::isfinite(seconds)) throw std::invalid_argument("date is not a finite number");
  if (std::fabs(seconds + static_cast<double>(referenceDateOffset)) > static_cast<double>(dateLimitUnixSeconds)) {
    throw std::out_of_range("date out of range");
  }
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
  try {
    checkStorable(seconds);
  } catch (const std::exception&) {
    return "";
  }
  const std::time_t unix = static_cast<std::time_t>(DateClock::unixSeconds(date));
  std::tm parts{};
  gmtime_r(&unix, &parts);
  char buffer[32];
  if (std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) return "";
  return buffer;
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
