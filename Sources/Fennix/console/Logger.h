// The logger interface: a level, one primary operation that decides whether a
// line is written, and the level conveniences every logger shares.
#pragma once

#include <array>
#include <concepts>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "Fennix/console/LogLevel.h"

/// The text of a log line, produced only when the line is written.
///
/// Built from ready text (a literal or a string) or from a callable without
/// arguments that returns the text, e.g. `logger.trace([&] { return dump(model); })`.
/// It refers to its source without copying it, so it is meant to be passed
/// straight into a logging call, never kept.
class LogMessage {
 public:
  LogMessage(const char* text) : text_(text == nullptr ? std::string_view() : std::string_view(text)) {}
  LogMessage(std::string_view text) : text_(text) {}
  LogMessage(const std::string& text) : text_(text) {}

  template <typename Producer>
    requires(!std::same_as<std::remove_cvref_t<Producer>, LogMessage> &&
             !std::convertible_to<Producer, std::string_view> && std::invocable<Producer&> &&
             std::convertible_to<std::invoke_result_t<Producer&>, std::string>)
  LogMessage(Producer&& producer)
      : producer_(const_cast<void*>(static_cast<const void*>(std::addressof(producer)))),
        produce_([](void* source) -> std::string {
          return (*static_cast<std::remove_reference_t<Producer>*>(source))();
        }) {}

  /// Runs the producer (or copies the ready text).
  std::string operator()() const { return produce_ != nullptr ? produce_(producer_) : std::string(text_); }

 private:
  std::string_view text_;
  void* producer_ = nullptr;
  std::string (*produce_)(void*) = nullptr;
};

namespace logvalue {

template <typename T>
concept Describable = requires(const T& value) {
  { value.description() } -> std::convertible_to<std::string>;
};

template <typename T>
concept Streamable = requires(std::ostream& out, const T& value) { out << value; };

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <typename T>
struct IsSmartPointer : std::false_type {};
template <typename T>
struct IsSmartPointer<std::shared_ptr<T>> : std::true_type {};
template <typename T, typename D>
struct IsSmartPointer<std::unique_ptr<T, D>> : std::true_type {};

/// Text of a floating-point value: the shortest text that reads back as the
/// same number, with ".0" on whole numbers ("12.0", "0.5", "1e-05").
std::string floatingDescription(double value);

/// The text of a value, or nothing when the value is absent (an empty optional,
/// a null pointer, nullptr or nullopt). Own descriptions come first, then text,
/// then the value's default form.
template <typename T>
std::optional<std::string> describe(const T& value) {
  if constexpr (std::is_same_v<T, std::nullptr_t> || std::is_same_v<T, std::nullopt_t>) {
    return std::nullopt;
  } else if constexpr (IsOptional<T>::value) {
    if (!value.has_value()) return std::nullopt;
    return describe(*value);
  } else if constexpr (Describable<T>) {
    return std::string(value.description());
  } else if constexpr (std::is_convertible_v<const T&, const char*>) {
    const char* text = value;
    if (text == nullptr) return std::nullopt;
    return std::string(text);
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    return std::string(std::string_view(value));
  } else if constexpr (std::is_pointer_v<T> || IsSmartPointer<T>::value) {
    if (value == nullptr) return std::nullopt;
    return describe(*value);
  } else if constexpr (std::is_same_v<T, bool>) {
    return std::string(value ? "true" : "false");
  } else if constexpr (std::is_same_v<T, char>) {
    return std::string(1, value);
  } else if constexpr (std::is_integral_v<T>) {
    return std::to_string(value);
  } else if constexpr (std::is_floating_point_v<T>) {
    return floatingDescription(static_cast<double>(value));
  } else {
    static_assert(Streamable<T>, "a logged value needs description(), a text form or operator<<");
    std::ostringstream out;
    out << value;
    return out.str();
  }
}

}  // namespace logvalue

/// One extra value of a log line, possibly absent. It refers to the caller's
/// value and describes it only when the line is written.
class LogValue {
 public:
  template <typename T>
  LogValue(const T& value)
      : value_(static_cast<const void*>(std::addressof(value))),
        describe_([](const void* source) { return logvalue::describe(*static_cast<const T*>(source)); }) {}

  /// The value's text, nothing when the value is absent.
  std::optional<std::string> text() const { return describe_(value_); }
  /// The value's text, or "<nil>" when it is absent.
  std::string description() const { return text().value_or("<nil>"); }

 private:
  const void* value_;
  std::optional<std::string> (*describe_)(const void*);
};

using LogValues = std::span<const LogValue>;

/// A destination of log lines; implemented by the consoles and module loggers.
class Logger {
 public:
  virtual ~Logger() = default;

  /// The logger's current level.
  virtual LogLevel logLevel() const = 0;

  /// Writes one line of `level`, or nothing when the implementation filters it.
  /// `message` is run at most once and only during this call; no failure is
  /// passed to the caller.
  virtual void primaryLog(LogLevel level, const LogMessage& message, LogValues values) = 0;

  virtual std::string description() const { return "<Logger>"; }

  // Level conveniences: they pass the message unevaluated and the values in
  // order, and leave the level check to `primaryLog`.
  template <typename... Values>
  void error(const LogMessage& message, const Values&... values) { send(LogLevel::error, message, values...); }
  template <typename... Values>
  void warn(const LogMessage& message, const Values&... values) { send(LogLevel::warn, message, values...); }
  template <typename... Values>
  void log(const LogMessage& message, const Values&... values) { send(LogLevel::log, message, values...); }
  template <typename... Values>
  void info(const LogMessage& message, const Values&... values) { send(LogLevel::info, message, values...); }
  template <typename... Values>
  void trace(const LogMessage& message, const Values&... values) { send(LogLevel::trace, message, values...); }

  /// Logs one value at level log: its text, or "<nil>" when it is absent.
  template <typename Value>
  void dir(const Value& value) {
    const auto text = [&value] { return LogValue(value).description(); };
    primaryLog(LogLevel::log, LogMessage(text), {});
  }

 private:
  template <typename... Values>
  void send(LogLevel level, const LogMessage& message, const Values&... values) {
    const std::array<LogValue, sizeof...(Values)> list{LogValue(values)...};
    primaryLog(level, message, list);
  }
};
