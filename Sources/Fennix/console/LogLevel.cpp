#include "Fennix/console/LogLevel.h"

#include <array>
#include <cstdlib>

#include "Fennix/console/ConsoleSupport.h"

namespace {

constexpr std::array<std::string_view, 5> prefixes{"ERROR: ", "WARN:  ", "", "INFO:  ", "Trace: "};
constexpr std::array<std::string_view, 5> names{"error", "warn", "log", "info", "trace"};

// Index into the tables; a value forced outside the five cases reads as the
// nearest case instead of reading past the tables.
std::size_t tableIndex(LogLevel level) {
  const int raw = level.rawValue();
  return static_cast<std::size_t>(raw < LogLevel::error ? LogLevel::error : raw > LogLevel::trace ? LogLevel::trace : raw);
}

}  // namespace

std::optional<LogLevel> LogLevel::fromRawValue(int rawValue) {
  if (rawValue < error || rawValue > trace) return std::nullopt;
  return LogLevel(static_cast<Value>(rawValue));
}

LogLevel LogLevel::fromString(std::string_view text) {
  if (text.empty() || text == "error") return error;
  if (text.starts_with("warn")) return warn;
  if (text.starts_with("info") || text == "debug") return info;
  if (text == "trace") return trace;
  if (text == "log") return log;
  std::string line = "ERROR: unsupported LOGLEVEL: `";
  line += text;
  line += '`';
  consolesupport::printLine(line);
  return error;
}

LogLevel LogLevel::default_() {
  static const LogLevel level = [] {
    const char* value = std::getenv("LOGLEVEL");
    if (value == nullptr) return LogLevel(error);
    return fromString(consolesupport::lowercased(value));
  }();
  return level;
}

std::string_view LogLevel::logPrefix() const { return prefixes[tableIndex(*this)]; }

std::span<const std::uint8_t> LogLevel::logPrefixAsBytes() const {
  const std::string_view prefix = logPrefix();
  return {reinterpret_cast<const std::uint8_t*>(prefix.data()), prefix.size()};
}

std::string LogLevel::description() const { return std::string(names[tableIndex(*this)]); }
