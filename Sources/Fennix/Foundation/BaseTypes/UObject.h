// Loose coercions of untyped values: a truth value, an integer, a text, a loose equality and the
// name of a value's type. None of them fails; each answers a value for every input.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "Fennix/Foundation/BaseTypes/AnyValue.h"

// The truth values of Bool, Int, String, Array, Set and Optional are the rules of
// `UObject::boolValue` below. An object type says how it counts by deriving from
// `UObjectBoolValue`; every other value counts as true.

/// Object types that give their own truth value to `UObject::boolValue`.
class UObjectBoolValue {
 public:
  virtual ~UObjectBoolValue() = default;
  virtual bool swiftObjectsBoolValue() const = 0;
};

/// Loose conversions (a namespace: all members are static).
struct UObject {
  UObject() = delete;

  /// Absent, a false-looking text ("", "0", " ", "NO", "false", "undefined"), false, 0 and empty
  /// arrays and sets are false; a present optional counts as what it wraps; an object deriving
  /// from `UObjectBoolValue` gives its own answer; anything else is true.
  static bool boolValue(const std::optional<Fennix::AnyValue>& value);
  static bool boolValue(const std::optional<std::string>& text);
  static bool boolValue(const char* text);
  static bool boolValue(std::nullopt_t) { return false; }

  /// Absent and the null object give 0; an Int its value; true 1; a text is read as a decimal
  /// integer; anything else by its description.
  static long intValue(const std::optional<Fennix::AnyValue>& value);
  /// A decimal integer of the word width with an optional "+" or "-" and at least one digit, and
  /// nothing else; anything else, and a value that does not fit, gives 0.
  static long intValue(const std::optional<std::string>& text);
  static long intValue(const char* text);
  static long intValue(std::nullopt_t) { return 0; }

  /// "<nil>" for absent and the null object; a text itself; "true"/"false"; decimal digits of an
  /// Int; otherwise the value's description.
  static std::string stringValue(const std::optional<Fennix::AnyValue>& value);

  /// Loose equality: Ints by number, texts by canonical equivalence, `EquatableType` values by
  /// their own rule, values of different types never, others by their `stringValue` texts.
  static bool isEqual(const std::optional<Fennix::AnyValue>& a, const std::optional<Fennix::AnyValue>& b);

  /// The name of the value's dynamic type as the platform prints it.
  static std::string getSimpleName(const Fennix::AnyValue& value);
};
