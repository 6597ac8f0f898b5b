// The value of a number written in attribute text.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace SVGParser {

/// Reads a whole text as `parseDouble` reads it into `value`; false (and `value` left
/// alone) for any text that is not a number. Plain decimals of at most 15 digits, the way
/// drawing tools write numbers, are converted directly; everything else goes through
/// `parseDouble`.
bool readNumberValue(std::string_view text, double& value);

/// Reads the plain decimal of at most 15 digits ("-12.375", ".5", "7") at the start of
/// `text` into `value` when it is the whole number `scanNumber` finds there; returns its
/// bytes, or 0 (and `value` left alone) when the number there needs the full reading.
std::size_t readLeadingPlainDecimal(std::string_view text, double& value);

/// The same as a value: nothing for a text that is not a number.
inline std::optional<double> numberValue(std::string_view text) {
  double value = 0;
  if (!readNumberValue(text, value)) return std::nullopt;
  return value;
}

}  // namespace SVGParser
