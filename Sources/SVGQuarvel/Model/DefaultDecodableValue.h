// Values read with a fallback: a missing, null or unreadable JSON value takes
// the default of a provider instead of failing the whole record.
#pragma once

#include <concepts>
#include <cstdint>

/// Supplies the fallback of a default-decodable value.
template <typename T>
concept DefaultValueProvider = requires {
  typename T::Value;
  { T::defaultValue } -> std::convertible_to<typename T::Value>;
};

struct True {
  using Value = bool;
  static constexpr bool defaultValue = true;
};

struct False {
  using Value = bool;
  static constexpr bool defaultValue = false;
};

struct DefaultInt2 {
  using Value = std::int64_t;
  static constexpr std::int64_t defaultValue = 2;
};

/// A value that starts as (and falls back to) `Provider::defaultValue`.
template <DefaultValueProvider Provider>
struct DefaultDecodableValue {
  using Value = typename Provider::Value;

  Value wrappedValue = Provider::defaultValue;

  DefaultDecodableValue() = default;
  DefaultDecodableValue(Value value) : wrappedValue(value) {}

  bool operator==(const DefaultDecodableValue&) const = default;
};
