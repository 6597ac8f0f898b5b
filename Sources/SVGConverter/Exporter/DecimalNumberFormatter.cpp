#include "SVGConverter/Exporter/DecimalNumberFormatter.h"

#include "SVGParser/Platform/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

std::string nonFiniteLiteral(double value) {
  if (std::isnan(value)) return ".nan";
  return value < 0 ? "-.infinity" : ".infinity";
}

// Cuts `digits` down to its first `keep` digits, rounding half to even on the
// digits dropped. A carry out of the first digit adds a leading "1" and moves
// the decimal point one place to the right.
void roundDigits(std::string& digits, long long keep, long long& pointPosition) {
  if (keep < 0) {  // even the first dropped digit is a leading zero
    digits.clear();
    return;
  }
  const std::size_t kept = static_cast<std::size_t>(keep);
  const char first = digits[kept];
  const bool restNonZero =
      std::any_of(digits.begin() + static_cast<std::ptrdiff_t>(kept) + 1, digits.end(), [](char c) { return c != '0'; });
  const bool lastKeptOdd = kept > 0 && (digits[kept - 1] - '0') % 2 == 1;
  const bool roundUp = first > '5' || (first == '5' && (restNonZero || lastKeptOdd));
  digits.resize(kept);
  if (!roundUp) return;

  std::size_t i = digits.size();
  while (i > 0 && digits[i - 1] == '9') {
    digits[i - 1] = '0';
    --i;
  }
  if (i > 0) {
    ++digits[i - 1];
  } else {
    digits.insert(digits.begin(), '1');
    ++pointPosition;
  }
}

}  // namespace

DecimalNumberFormatter::DecimalNumberFormatter(int maximumFractionDigits)
    : maximumFractionDigits_(std::max(0, maximumFractionDigits)) {}

std::string DecimalNumberFormatter::string(double value) const {
  if (!std::isfinite(value)) return nonFiniteLiteral(value);
  if (value == 0) return "0";

  std::string digits;
  int shortestPoint = 0;
  SVGParser::shortestDecimalDigits(value, digits, shortestPoint);
  long long point = shortestPoint;  // |value| = 0.digits × 10^point
  const long long fractionDigits = static_cast<long long>(digits.size()) - point;
  if (fractionDigits > maximumFractionDigits_) roundDigits(digits, point + maximumFractionDigits_, point);

  std::string integerPart;
  std::string fractionPart;
  if (point <= 0) {
    fractionPart.assign(static_cast<std::size_t>(-point), '0');
    fractionPart += digits;
  } else if (static_cast<std::size_t>(point) >= digits.size()) {
    integerPart = digits;
    integerPart.append(static_cast<std::size_t>(point) - digits.size(), '0');
  } else {
    integerPart = digits.substr(0, static_cast<std::size_t>(point));
    fractionPart = digits.substr(static_cast<std::size_t>(point));
  }
  while (!fractionPart.empty() && fractionPart.back() == '0') fractionPart.pop_back();
  const bool isZero = integerPart.find_first_not_of('0') == std::string::npos && fractionPart.empty();
  if (isZero) return "0";
  if (integerPart.empty()) integerPart.push_back('0');

  std::string text;
  text.reserve(integerPart.size() + fractionPart.size() + 2);
  if (std::signbit(value)) text.push_back('-');
  text.append(integerPart);
  if (!fractionPart.empty()) {
    text += '.';
    text += fractionPart;
  } else if (std::fabs(value) >= 9007199254740992.0) {
    // A whole number this large written without a fraction would be an integer literal, which
    // overflows the integer type Swift gives such literals; with a fraction it is a float literal.
    text += ".0";
  }
  return text;
}

std::string SVGConverter::shortestNumberLiteral(double value) {
  if (!std::isfinite(value)) return nonFiniteLiteral(value);
  return SVGParser::doubleDescription(value);
}
