#include "QuarvelUtilities/FormBlocks.h"

#include <algorithm>

namespace QuarvelUtilities {

std::optional<std::int64_t> parseWholeNumber(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  bool negative = false;
  if (text.front() == '-' || text.front() == '+') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  int digits = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    if (++digits > 16) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (digits == 0) return std::nullopt;
  return negative ? -value : value;
}

std::int64_t BoundedStepper::increment(std::int64_t value) const {
  if (value >= upperBound) {
    if (beep) beep();
    return value;
  }
  return value + 1;
}

std::int64_t BoundedStepper::decrement(std::int64_t value) const {
  if (value < 1) {
    if (beep) beep();
    return value;
  }
  return value - 1;
}

std::int64_t BoundedStepper::clamped(std::int64_t value) const { return std::clamp<std::int64_t>(value, 0, upperBound); }

}  // namespace QuarvelUtilities
