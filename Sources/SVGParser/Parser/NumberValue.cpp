#include "SVGParser/Parser/NumberValue.h"

#include <cstdint>

#include "Platform/NumberText.h"

// The digits and the power of ten they are divided by are exact doubles, and one
// division rounds correctly, so the value is the one any correct conversion gives.
std::size_t SVGParser::readLeadingPlainDecimal(std::string_view text, double& value) {
  static constexpr double powersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = text.starts_with('-');
  std::size_t i = negative ? 1 : 0;
  // More than 15 digits wrap around here, but such a number is left to the full reading.
  std::uint64_t digits = 0;
  const auto readDigits = [&] {
    const std::size_t start = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      digits = digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return i - start;
  };
  const std::size_t integerDigits = readDigits();
  std::size_t fractionDigits = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    fractionDigits = readDigits();
  }
  const std::size_t digitCount = integerDigits + fractionDigits;
  if (digitCount == 0 || digitCount > 15) return 0;
  // An exponent would continue the number.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) return 0;
  value = static_cast<double>(digits) / powersOfTen[fractionDigits];
  if (negative) value = -value;
  return i;
}

bool SVGParser::readNumberValue(std::string_view text, double& value) {
  double plain = 0;
  if (!text.empty() && readLeadingPlainDecimal(text, plain) == text.size()) {
    value = plain;
    return true;
  }
  const auto parsed = parseDouble(text);
  if (parsed) value = *parsed;
  return parsed.has_value();
}
