#include "Fennix/Foundation/BaseTypes/TimedValue.h"

#include <cmath>
#include <ctime>

namespace Fennix {

namespace {
// 2001-01-01 00:00:00 UTC in seconds since 1970.
constexpr double referenceDateOffset = 978307200.0;
}  // namespace

std::string iso8601String(Date date) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char buffer[32];
  if (std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) return "";
  return buffer;
}

double dateToStoredSeconds(Date date) {
  return std::chrono::duration<double>(date.time_since_epoch()).count() - referenceDateOffset;
}

Date dateFromStoredSeconds(double seconds) {
  if (!std::isfinite(seconds)) throw std::invalid_argument("date is not a finite number");
  // Beyond about ±290 years the clock's count would overflow.
  const double sinceEpoch = seconds + referenceDateOffset;
  if (std::fabs(sinceEpoch) > 9.0e9) throw std::out_of_range("date out of range");
  return Date(std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(sinceEpoch)));
}

}  // namespace Fennix
