#include "SVGParser/Parser/NumberValue.h"

#include <cstddef>
#include <cstdint>

#include "SVGParser/Platform/NumberText.h"

namespace {

// A plain decimal of at most 15 digits ("-12.375", ".5", "7") read into `value`; false
// for any other text. Its digits and the power of ten it is divided by are exact
// doubles, and one division rounds correctly, so the value is the one any correct
// conversion gives.
bool readPlainDecimal(std::string_view text, double& value) {
  static constexpr double powersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = text.starts_with('-');
  std::uint64_t digits = 0;
  std::size_t digitCount = 0, fractionDigits = 0;
  bool point = false;
  for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9' && digitCount < 15) {
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      ++digitCount;
      if (point) ++fractionDigits;
    } else {
      return false;
    }
  }
  if (digitCount == 0) return false;
  value = static_cast<double>(digits) / powersOfTen[fractionDigits];
  if (negative) value = -value;
  return true;
}

}  // namespace

bool SVGParser::readNumberValue(std::string_view text, double& value) {
  if (readPlainDecimal(text, value)) return true;
  const auto parsed = parseDouble(text);
  if (parsed) value = *parsed;
  return parsed.has_value();
}
