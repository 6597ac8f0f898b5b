// The five levels of a log line, their prefixes, and how a level is read from
// text and from the environment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

/// Level of a log line. Ordered by raw value: `error` is the least verbose,
/// `trace` the most. A logger at level M writes a line of level L exactly when
/// L <= M.
class LogLevel {
 public:
  // The case `log` hides the C library's log() inside this class, which is intended.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wshadow"
#endif
  enum Value : std::int8_t { error = 0, warn = 1, log = 2, info = 3, trace = 4 };
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

  // The same cases under upper-case names.
  static constexpr Value Error = error;
  static constexpr Value Warn = warn;
  static constexpr Value Log = log;
  static constexpr Value Info = info;
  static constexpr Value Trace = trace;

  constexpr LogLevel(Value value = error) : value_(value) {}

  /// The level of a raw value; nothing outside 0 to 4.
  static std::optional<LogLevel> fromRawValue(int rawValue);

  /// Reads a level from text, case-sensitively (callers lower-case first):
  /// "" and "error" -> error; "warn..." -> warn; "info..." and "debug" -> info;
  /// "trace" -> trace; "log" -> log. Any other text writes
  /// "ERROR: unsupported LOGLEVEL: `text`" to standard output and gives error.
  static LogLevel fromString(std::string_view text);

  /// The process-wide default level: `LOGLEVEL` lower-cased and read with
  /// `fromString`, error when the variable is unset. Computed once, on first use.
  static LogLevel default_();

  constexpr Value value() const { return value_; }
  constexpr std::int8_t rawValue() const { return value_; }

  /// "ERROR: ", "WARN:  ", "" (log), "INFO:  " or "Trace: ".
  std::string_view logPrefix() const;
  /// The UTF-8 bytes of `logPrefix` (empty for log).
  std::span<const std::uint8_t> logPrefixAsBytes() const;

  /// The case name: "error", "warn", "log", "info" or "trace".
  std::string description() const;

  friend constexpr bool operator==(LogLevel a, LogLevel b) { return a.value_ == b.value_; }
  friend constexpr auto operator<=>(LogLevel a, LogLevel b) {
    return static_cast<std::int8_t>(a.value_) <=> static_cast<std::int8_t>(b.value_);
  }

 private:
  Value value_;
};

template <>
struct std::hash<LogLevel> {
  std::size_t operator()(LogLevel level) const noexcept { return std::hash<int>()(level.rawValue()); }
};
