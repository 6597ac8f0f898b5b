#include "Platform/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

SVGParser::ShortestDigits SVGParser::shortestDigits(double value) {
  // Scientific form "d[.ddd]e±XX": the digits, then the exponent of the first one.
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific).ptr;
  ShortestDigits result{};
  const char* at = text;
  for (; at < end && *at != 'e'; ++at) {
    if (*at != '.' && result.count < ShortestDigits::capacity) result.digits[result.count++] = *at;
  }
  while (result.count > 1 && result.digits[result.count - 1] == '0') --result.count;
  int exponent = 0;
  if (at < end) {
    ++at;  // 'e'
    const bool negative = at < end && *at == '-';
    if (at < end && (*at == '-' || *at == '+')) ++at;
    for (; at < end; ++at) exponent = exponent * 10 + (*at - '0');
    if (negative) exponent = -exponent;
  }
  result.pointPosition = exponent + 1;
  return result;
}

void SVGParser::shortestDecimalDigits(double value, std::string& digits, int& pointPosition) {
  const ShortestDigits shortest = shortestDigits(value);
  digits.assign(shortest.digits, static_cast<std::size_t>(shortest.count));
  pointPosition = shortest.pointPosition;
}

std::string SVGParser::doubleDescription(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  const bool negative = std::signbit(value);
  std::string out = negative ? "-" : "";
  if (value == 0) return out + "0.0";

  std::string digits;
  int exponent = 0;  // value = 0.digits × 10^exponent
  SVGParser::shortestDecimalDigits(value, digits, exponent);

  constexpr double twoTo53 = 9007199254740992.0;
  if (exponent - 1 < -4 || std::fabs(value) > twoTo53) {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1, std::string::npos);
    }
    const int e = exponent - 1;
    out += e < 0 ? "e-" : "e+";
    const int absE = e < 0 ? -e : e;
    if (absE < 10) out += '0';
    out += std::to_string(absE);
    return out;
  }

  const int count = static_cast<int>(digits.size());
  if (exponent <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exponent), '0');
    out += digits;
  } else if (exponent >= count) {
    out += digits;
    out.append(static_cast<size_t>(exponent - count), '0');
    out += ".0";
  } else {
    out.append(digits, 0, static_cast<size_t>(exponent));
    out += '.';
    out.append(digits, static_cast<size_t>(exponent), std::string::npos);
  }
  return out;
}

namespace SVGParser {
namespace {

bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::size_t digitsEnd(std::string_view text, std::size_t i) {
  while (i < text.size() && isDigit(text[i])) ++i;
  return i;
}

bool isSign(std::string_view text, std::size_t i) { return i < text.size() && (text[i] == '+' || text[i] == '-'); }

}  // namespace
}  // namespace SVGParser

SVGParser::NumberExtent SVGParser::scanNumber(std::string_view text) {
  NumberExtent extent;
  std::size_t i = isSign(text, 0) ? 1 : 0;
  const std::size_t integerEnd = digitsEnd(text, i);
  bool mantissaDigits = integerEnd > i;
  i = integerEnd;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fractionEnd = digitsEnd(text, i + 1);
    mantissaDigits = mantissaDigits || fractionEnd > i + 1;
    i = fractionEnd;
  }
  if (!mantissaDigits) {  // "", "-", ".", "+.": no exponent can follow
    extent.reach = i;
    return extent;
  }
  extent.number = extent.reach = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    const std::size_t exponentDigits = isSign(text, i + 1) ? i + 2 : i + 1;
    const std::size_t exponentEnd = digitsEnd(text, exponentDigits);
    extent.reach = exponentEnd;
    if (exponentEnd > exponentDigits) extent.number = exponentEnd;
  }
  return extent;
}

std::optional<double> SVGParser::parseDouble(std::string_view text) {
  if (text.empty() || scanNumber(text).number != text.size()) return std::nullopt;
  std::string_view body = text;
  const bool negative = body.front() == '-';
  if (isSign(body, 0)) body.remove_prefix(1);

  double result = 0;
  auto res = std::from_chars(body.data(), body.data() + body.size(), result, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Too large is not a finite number; too small reads as zero. Decide by
    // the decimal position of the first significant digit.
    long long position = 0;
    size_t k = 0;
    bool seenDigit = false;
    bool inFraction = false;
    for (; k < body.size() && body[k] != 'e' && body[k] != 'E'; ++k) {
      if (body[k] == '.') {
        inFraction = true;
        continue;
      }
      if (!seenDigit && body[k] != '0') seenDigit = true;
      if (!inFraction && seenDigit) ++position;
      if (inFraction && !seenDigit) --position;
    }
    long long exp10 = 0;
    if (k < body.size()) {
      std::string_view e = body.substr(k + 1);
      const bool negExp = !e.empty() && e.front() == '-';
      if (!e.empty() && (e.front() == '-' || e.front() == '+')) e.remove_prefix(1);
      // Kept beyond any digit position a text can reach, so that a long run of
      // zeros before the first significant digit is weighed against the full exponent.
      constexpr long long exponentCap = 1'000'000'000'000'000;
      for (char ch : e) {
        exp10 = exp10 * 10 + (ch - '0');
        if (exp10 > exponentCap) break;
      }
      if (negExp) exp10 = -exp10;
    }
    if (position + exp10 > 0) return std::nullopt;
    return negative ? -0.0 : 0.0;
  }
  if (res.ec != std::errc() || res.ptr != body.data() + body.size()) return std::nullopt;
  if (!std::isfinite(result)) return std::nullopt;
  return negative ? -result : result;
}

std::optional<long long> SVGParser::parseInteger(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string_view body = text;
  if (body.front() == '+') body.remove_prefix(1);
  if (body.empty() || body.front() == '+') return std::nullopt;
  long long result = 0;
  auto res = std::from_chars(body.data(), body.data() + body.size(), result);
  if (res.ec != std::errc() || res.ptr != body.data() + body.size()) return std::nullopt;
  return result;
}
