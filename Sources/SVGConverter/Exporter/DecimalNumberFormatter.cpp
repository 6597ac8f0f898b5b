#include "SVGConverter/Exporter/DecimalNumberFormatter.h"

#include "SVGParser/Platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::string_view nonFiniteLiteral(double value) {
  if (std::isnan(value)) return ".nan";
  return value < 0 ? "-.infinity" : ".infinity";
}

// Cuts `digits` down to its first `keep` digits, rounding half to even on the
// digits dropped. A carry out of the first digit leaves a single "1" and moves
// the decimal point one place to the right.
void roundDigits(SVGParser::ShortestDigits& number, long long keep) {
  char* const digits = number.digits;
  if (keep < 0) {  // even the first dropped digit is a leading zero
    number.count = 0;
    return;
  }
  const int kept = static_cast<int>(keep);
  const char first = digits[kept];
  const bool restNonZero = std::any_of(digits + kept + 1, digits + number.count, [](char c) { return c != '0'; });
  const bool lastKeptOdd = kept > 0 && (digits[kept - 1] - '0') % 2 == 1;
  const bool roundUp = first > '5' || (first == '5' && (restNonZero || lastKeptOdd));
  number.count = kept;
  if (!roundUp) return;

  int i = number.count;
  while (i > 0 && digits[i - 1] == '9') {
    digits[i - 1] = '0';
    --i;
  }
  if (i > 0) {
    ++digits[i - 1];
  } else {
    // Every kept digit was a 9 and is now a 0: the number is a 1 followed by them.
    digits[0] = '1';
    number.count = kept == 0 ? 1 : kept;
    ++number.pointPosition;
  }
}

}  // namespace

DecimalNumberFormatter::DecimalNumberFormatter(int maximumFractionDigits)
    : maximumFractionDigits_(std::max(0, maximumFractionDigits)) {}

std::size_t DecimalNumberFormatter::write(double value, char* out) const {
  if (!std::isfinite(value)) {
    const std::string_view literal = nonFiniteLiteral(value);
    std::memcpy(out, literal.data(), literal.size());
    return literal.size();
  }
  if (value == 0) {
    out[0] = '0';
    return 1;
  }

  SVGParser::ShortestDigits number = SVGParser::shortestDigits(value);  // |value| = 0.digits × 10^point
  const long long fractionDigits = static_cast<long long>(number.count) - number.pointPosition;
  if (fractionDigits > maximumFractionDigits_) roundDigits(number, number.pointPosition + maximumFractionDigits_);
  const long long point = number.pointPosition;
  const long long count = number.count;

  // Digits before the point (the point may lie beyond them), and after it with leading zeros.
  const long long integerDigits = std::clamp(point, 0LL, count);
  const long long integerZeros = point > count ? point - count : 0;
  const long long leadingZeros = point < 0 ? -point : 0;
  long long fractionEnd = count;  // the fraction is digits[integerDigits, fractionEnd)
  while (fractionEnd > integerDigits && number.digits[fractionEnd - 1] == '0') --fractionEnd;
  const bool hasFraction = fractionEnd > integerDigits;
  const bool hasInteger = std::any_of(number.digits, number.digits + integerDigits, [](char c) { return c != '0'; });
  if (!hasInteger && !hasFraction) {
    out[0] = '0';
    return 1;
  }

  char* at = out;
  if (std::signbit(value)) *at++ = '-';
  if (integerDigits == 0) {
    *at++ = '0';
  } else {
    std::memcpy(at, number.digits, static_cast<std::size_t>(integerDigits));
    at += integerDigits;
    at = std::fill_n(at, integerZeros, '0');
  }
  if (hasFraction) {
    *at++ = '.';
    at = std::fill_n(at, leadingZeros, '0');
    const long long fractionLength = fractionEnd - integerDigits;
    std::memcpy(at, number.digits + integerDigits, static_cast<std::size_t>(fractionLength));
    at += fractionLength;
  } else if (std::fabs(value) >= 9007199254740992.0) {
    // A whole number this large written without a fraction would be an integer literal, which
    // overflows the integer type Swift gives such literals; with a fraction it is a float literal.
    *at++ = '.';
    *at++ = '0';
  }
  return static_cast<std::size_t>(at - out);
}

std::string DecimalNumberFormatter::string(double value) const {
  char text[bufferSize];
  return std::string(text, write(value, text));
}

std::string SVGConverter::shortestNumberLiteral(double value) {
  if (!std::isfinite(value)) return std::string(nonFiniteLiteral(value));
  return SVGParser::doubleDescription(value);
}
