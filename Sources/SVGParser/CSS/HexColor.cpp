#include "SVGParser/CSS/HexColor.h"

namespace CSS {

namespace {

int hexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

bool isKept(unsigned char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch >= 0x80;
}

}  // namespace

std::string_view trimNonAlphanumerics(std::string_view text) {
  while (!text.empty() && !isKept(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && !isKept(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

std::optional<std::uint32_t> parseHex32(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char ch : digits) {
    const int digit = hexDigit(ch);
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::optional<RGBBytes> rgbFromHex(std::optional<std::string_view> string) {
  if (!string) return std::nullopt;
  const auto digits = trimNonAlphanumerics(*string);
  if (digits.size() != 6) return std::nullopt;
  const auto value = parseHex32(digits);
  if (!value) return std::nullopt;
  return RGBBytes{static_cast<std::uint8_t>(*value >> 16), static_cast<std::uint8_t>(*value >> 8),
                  static_cast<std::uint8_t>(*value)};
}

}  // namespace CSS
