#include "SVGConverter/Exporter/DecimalNumberFormatter.h"

#include "Platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

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

// Scaled values below this have an error far below the distance from a rounding tie that the
// quick rounding insists on, and their unit in the last place is far below the place rounded at.
constexpr double quickScaledLimit = 0x1p40;
constexpr double quickTieDistance = 0x1p-10;

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace

DecimalNumberFormatter::DecimalNumberFormatter(int maximumFractionDigits, std::string thousandsSeparator)
    : maximumFractionDigits_(std::max(0, maximumFractionDigits)), thousandsSeparator_(std::move(thousandsSeparator)) {
  // Powers of ten up to 10^22 are exact doubles; beyond 15 digits the quick way never applies.
  if (maximumFractionDigits_ <= 15) {
    scale_ = 1;
    for (int digit = 0; digit < maximumFractionDigits_; ++digit) scale_ *= 10;
  }
}

// Rounding the shortest digits of a value to the fraction digits kept gives the same as rounding
// the value itself, unless those digits end exactly in a tie: the shortest digits and the value
// lie on the same side of every rounding boundary, or the boundary would be the shorter text. So
// a value whose scaled form is clearly off a tie is rounded directly in binary; the digits of the
// shortest form are only needed near a tie.
std::size_t DecimalNumberFormatter::writeQuickly(double value, char* out) const {
  const double scaled = std::fabs(value) * scale_;
  if (!(scaled < quickScaledLimit)) return 0;
  // Truncation is the floor here, and unlike `std::floor` needs no library call.
  std::uint64_t rounded = static_cast<std::uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(rounded);
  if (std::fabs(fraction - 0.5) < quickTieDistance) return 0;
  if (fraction > 0.5) ++rounded;
  if (rounded == 0) {
    out[0] = '0';
    return 1;
  }

  // The digits, lowest first; the lowest `maximumFractionDigits_` of them follow the point.
  char digits[24];
  int count = 0;
  for (; rounded >= 100; rounded /= 100) {
    const std::size_t pair = 2 * static_cast<std::size_t>(rounded % 100);
    digits[count++] = digitPairs[pair + 1];
    digits[count++] = digitPairs[pair];
  }
  digits[count++] = static_cast<char>('0' + rounded % 10);
  if (rounded >= 10) digits[count++] = static_cast<char>('0' + rounded / 10);
  const int fractionDigits = maximumFractionDigits_;
  int lowest = 0;  // trailing zeros of the fraction are left out
  while (lowest < fractionDigits && (lowest >= count || digits[lowest] == '0')) ++lowest;

  char* at = out;
  if (std::signbit(value)) *at++ = '-';
  if (count <= fractionDigits) {
    *at++ = '0';
  } else {
    for (int place = count - 1; place >= fractionDigits; --place) *at++ = digits[place];
  }
  if (lowest < fractionDigits) {
    *at++ = '.';
    for (int place = fractionDigits - 1; place >= lowest; --place) *at++ = place < count ? digits[place] : '0';
  }
  return static_cast<std::size_t>(at - out);
}

std::size_t DecimalNumberFormatter::write(double value, char* out) const {
  if (scale_ > 0) {
    if (const std::size_t length = writeQuickly(value, out)) return length;
  }
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
