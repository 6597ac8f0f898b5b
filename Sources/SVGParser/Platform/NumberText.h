// Text forms of numbers used in diagnostics, and strict number reading.
#pragma once

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

/// Reads a whole text as a number: optional sign, digits with an optional
/// fraction, optional exponent. Nothing for any other text, for surrounding
/// blanks, and for a non-finite result (nan, inf, 1e999).
std::optional<double> parseDouble(std::string_view text);

/// Reads a whole text as a decimal integer with an optional sign; nothing
/// for any other text or when it does not fit.
std::optional<long long> parseInteger(std::string_view text);

}  // namespace SVGParser
