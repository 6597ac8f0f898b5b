// Text forms of numbers used in diagnostics, and strict number reading.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace SVGParser {

/// The shortest decimal text that reads back as the same double, always with
/// a fractional part ("12.0", "0.0001"); exponent form below 1e-4 and above
/// 2^53 ("1e-05", "1e+16", "1.5e+300"); "nan", "inf", "-inf", "-0.0".
std::string doubleDescription(double value);

/// The shortest round-trip digits of a finite, non-zero |value| (no trailing
/// zeros) and the position of the decimal point: |value| = 0.digits × 10^pointPosition.
void shortestDecimalDigits(double value, std::string& digits, int& pointPosition);

/// The same digits without allocating: `digits[0..count)`.
struct ShortestDigits {
  /// A double never needs more than 17 significant digits to read back.
  static constexpr int capacity = 17;
  char digits[capacity];
  int count;
  int pointPosition;
};
ShortestDigits shortestDigits(double value);

/// How far a number reaches from the start of a text, by the one number form
/// every reader of the generator uses:
///   sign? (digits ("." digits?)? | "." digits) (("e" | "E") sign? digits)?
struct NumberExtent {
  /// Bytes of the longest prefix that is a whole number; 0 when none is.
  std::size_t number = 0;
  /// Bytes of the longest prefix that a number could still begin with (at
  /// least `number`): "1e+" in "1e+x", "-" in "-x". A reader that takes
  /// bytes as long as they may belong to a number stops here.
  std::size_t reach = 0;
};

/// Scans the number at the start of `text`; linear in the bytes it looks at.
NumberExtent scanNumber(std::string_view text);

/// Reads a whole text as a number (the form of `scanNumber`). Nothing for any
/// other text, for surrounding blanks, and for a non-finite result (1e999).
std::optional<double> parseDouble(std::string_view text);

/// Reads a whole text as a decimal integer with an optional sign; nothing
/// for any other text or when it does not fit.
std::optional<long long> parseInteger(std::string_view text);

}  // namespace SVGParser
