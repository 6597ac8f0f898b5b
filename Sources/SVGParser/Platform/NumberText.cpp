#include "SVGParser/Platform/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

void SVGParser::shortestDecimalDigits(double value, std::string& digits, int& pointPosition) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
  const std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));  // d[.ddd]e±XX
  const size_t ePos = sci.find('e');
  digits.clear();
  for (char ch : sci.substr(0, ePos)) {
    if (ch != '.') digits.push_back(ch);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  std::string_view expText = sci.substr(ePos + 1);
  if (!expText.empty() && expText.front() == '+') expText.remove_prefix(1);
  std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
  pointPosition = exponent + 1;
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

std::optional<double> SVGParser::parseDouble(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string_view body = text;
  bool negative = false;
  if (body.front() == '+' || body.front() == '-') {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  // Grammar check: digits [. digits] | . digits, then optional exponent.
  size_t i = 0;
  size_t intDigits = 0, fracDigits = 0;
  while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++intDigits;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return std::nullopt;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != body.size()) return std::nullopt;

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
      for (char ch : e) {
        exp10 = exp10 * 10 + (ch - '0');
        if (exp10 > 100000) break;
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
