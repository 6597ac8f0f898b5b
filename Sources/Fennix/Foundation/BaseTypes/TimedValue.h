// A value paired with the moment it was obtained, so that caches and fetched results can tell
// how old they are.
#pragma once

#include <chrono>
#include <functional>
#include <ratio>
#include <string>
#include <type_traits>
#include <utility>

#include <nlohmann/json.hpp>

#include "Fennix/console/Logger.h"

namespace Fennix {

/// The clock of `Date`: seconds (a double, with fraction) since 2001-01-01 00:00:00 UTC. A date
/// holds exactly the number it is stored as, so that storing and reading one gives it back unchanged.
struct DateClock {
  using rep = double;
  using period = std::ratio<1>;
  using duration = std::chrono::duration<double>;
  using time_point = std::chrono::time_point<DateClock>;
  static constexpr bool is_steady = false;

  static time_point now() noexcept { return fromSystem(std::chrono::system_clock::now()); }
  static time_point fromSystem(std::chrono::system_clock::time_point time) noexcept;
  /// Whole seconds since 1970 (rounded down), the count the C library and HTTP engines use.
  static long long unixSeconds(time_point date) noexcept;
  static time_point fromUnixSeconds(long long seconds) noexcept;
};

using Date = DateClock::time_point;

/// The range of whole seconds since 1970 handed to the C library and HTTP engines (about 285 years
/// either side of 1970, which every clock of the system can name); `unixSeconds` clamps to it.
/// Dates themselves, stored and described, may be any finite number.
inline constexpr long long dateLimitUnixSeconds = 9'000'000'000;

/// ISO 8601 text of a moment in UTC, to the second, in the proleptic Gregorian calendar:
/// "2001-01-01T00:00:00Z", "0001-01-01T00:00:00Z", "4001-01-01T00:00:00Z". Empty for a date that is
/// not a number.
std::string iso8601String(Date date);

/// The form dates are stored in: seconds (with fraction) since 2001-01-01 00:00:00 UTC. Both
/// directions throw for a date that is not finite.
double dateToStoredSeconds(Date date);
Date dateFromStoredSeconds(double seconds);

}  // namespace Fennix

template <typename T>
class TimedValue {
 public:
  TimedValue(T initialValue, Fennix::Date stamp) : timestamp(stamp), value(std::move(initialValue)) {}

  /// Seconds from the time stamp to now; negative for a time stamp in the future.
  double ageInSeconds() const {
    return (Fennix::DateClock::now() - timestamp).count();
  }

  /// The closure's result for the value, with the same time stamp; errors of the closure propagate.
  template <typename Transform>
  auto map(Transform&& transform) const -> TimedValue<std::invoke_result_t<Transform, const T&>> {
    return {std::forward<Transform>(transform)(value), timestamp};
  }

  /// A member of the value.
  template <typename Member, typename Value = T>
    requires std::is_class_v<Value>
  const Member& operator[](Member Value::*member) const {
    return value.*member;
  }

  /// "<", the value's description, " @", the ISO 8601 time stamp, ">".
  std::string description() const {
    return "<" + LogValue(value).description() + " @" + Fennix::iso8601String(timestamp) + ">";
  }

  bool operator==(const TimedValue& other) const
    requires std::equality_comparable<T>
  {
    return timestamp == other.timestamp && value == other.value;
  }

  Fennix::Date timestamp;
  T value;
};

template <typename T>
struct std::hash<TimedValue<T>> {
  std::size_t operator()(const TimedValue<T>& timed) const {
    std::size_t seed = std::hash<double>()(timed.timestamp.time_since_epoch().count());
    seed ^= std::hash<T>()(timed.value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return seed;
  }
};

/// Coding: an object with the time stamp under "timestamp" (in the stored date form) and the value
/// under "value". Decoding ignores other keys and fails (throws) when either key is missing or
/// malformed.
template <typename T>
struct nlohmann::adl_serializer<TimedValue<T>> {
  static void to_json(nlohmann::json& json, const TimedValue<T>& timed) {
    // A date that cannot be stored throws before anything is built: a json under construction
    // would not free what it holds.
    const double seconds = Fennix::dateToStoredSeconds(timed.timestamp);
    json = nlohmann::json::object();
    json["timestamp"] = seconds;
    json["value"] = timed.value;
  }
  static TimedValue<T> from_json(const nlohmann::json& json) {
    const double seconds = json.at("timestamp").get<double>();
    T value = json.at("value").get<T>();
    return TimedValue<T>(std::move(value), Fennix::dateFromStoredSeconds(seconds));
  }
};
