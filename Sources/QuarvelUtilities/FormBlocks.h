// The rules behind the settings form's controls: whole-number fields and bounded steppers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace QuarvelUtilities {

/// Reads a whole number as the form's number fields accept it: optional blanks and sign, at most
/// 16 digits, no fraction. None for anything else.
std::optional<std::int64_t> parseWholeNumber(std::string_view text);

/// A stepper over 0...`upperBound`: a step that would leave the range beeps and changes nothing.
struct BoundedStepper {
  std::int64_t upperBound = 0;
  std::function<void()> beep;

  /// The value after one step up: unchanged (with a beep) at or above the bound.
  std::int64_t increment(std::int64_t value) const;
  /// The value after one step down: unchanged (with a beep) below 1.
  std::int64_t decrement(std::int64_t value) const;
  /// A typed value brought into 0...`upperBound`.
  std::int64_t clamped(std::int64_t value) const;
};

}  // namespace QuarvelUtilities
