#include "SVGParser/Parser/ColorParser.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "SVGParser/CSS/HexColor.h"
#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/CSS/Parser/TextScanning.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "SVGParser/Parser/NumberValue.h"
#include "Platform/NumberText.h"
#include "Platform/Print.h"
#include "Platform/Text/Text.h"

namespace CSS {

namespace {

// A whole text as an integer in `radix`, with an optional sign; nothing when it
// has another character or does not fit 64 bits.
std::optional<long long> parseIntegerInRadix(std::string_view text, int radix) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  unsigned long long magnitude = 0;
  const unsigned long long limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  for (const char ch : text) {
    int digit = radix;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    else if (ch >= 'a' && ch <= 'z') digit = ch - 'a' + 10;
    else if (ch >= 'A' && ch <= 'Z') digit = ch - 'A' + 10;
    if (digit >= radix) return std::nullopt;
    const auto r = static_cast<unsigned long long>(radix);
    if (magnitude > (limit - static_cast<unsigned long long>(digit)) / r) return std::nullopt;
    magnitude = magnitude * r + static_cast<unsigned long long>(digit);
  }
  if (!negative) return static_cast<long long>(magnitude);
  return magnitude == limit ? std::numeric_limits<long long>::min() : -static_cast<long long>(magnitude);
}

// A percentage as a fraction of 1 ("50%" is 0.5).
std::optional<CGFloat> percentage(std::string_view text) {
  if (!text.ends_with('%')) return std::nullopt;
  const auto value = SVGParser::numberValue(text.substr(0, text.size() - 1));
  if (!value) return std::nullopt;
  return *value / 100;
}

// One channel: an integer over 255, or a percentage.
std::optional<CGFloat> channel(std::string_view text, int radix) {
  if (const auto fraction = percentage(text)) return fraction;
  if (const auto value = parseIntegerInRadix(text, radix)) return static_cast<CGFloat>(*value) / 255;
  return std::nullopt;
}

std::optional<Color> fromHexDigits(std::string_view text) {
  std::string_view digits = trimNonAlphanumerics(text);
  char doubled[6];  // #rgb stands for #rrggbb
  if (digits.size() == 3) {
    for (std::size_t i = 0; i < 3; ++i) doubled[2 * i] = doubled[2 * i + 1] = digits[i];
    digits = std::string_view(doubled, sizeof doubled);
  }
  if (digits.size() != 6 && digits.size() != 8) return std::nullopt;
  const auto value = parseHex32(digits);
  if (!value) return std::nullopt;
  if (digits.size() == 8) return Color::fromRGBA(*value);
  return Color::fromRGB(*value >> 16 & 0xFF, *value >> 8 & 0xFF, *value & 0xFF);
}

}  // namespace

std::optional<Color> colorFromFunction(std::string_view name, const std::vector<std::string>& arguments) {
  const auto lower = QuarvelText::asciiLowercased(name);
  if (lower == "rgb" && arguments.size() >= 3) {
    return Color::fromStringRed(arguments[0], arguments[1], arguments[2], std::nullopt);
  }
  if (lower == "rgba" && arguments.size() >= 4) {
    return Color::fromStringRed(arguments[0], arguments[1], arguments[2], arguments[3]);
  }
  return std::nullopt;
}

ColorReading readColor(std::string_view text) {
  const auto trimmed = SVGParser::trimWhitespace(text);
  // Hexadecimal digits read the same in either case, and no colour name starts with "#".
  if (trimmed.starts_with('#')) return {fromHexDigits(trimmed.substr(1))};
  const auto t = QuarvelText::asciiLowercased(trimmed);
  if (Color::nameToRGB().contains(t)) return {Color::named(t)};
  if (t == "transparent") return {Color::rgba(0, 0, 0, 0)};
  if (const auto call = SVGParser::parseFunction(t)) return {colorFromFunction(call->name, call->arguments)};
  // "inherit" leaves the property to the enclosing element, as an absent one does.
  if (t.empty() || t == "inherit") return {};
  return {std::nullopt, true};
}

std::optional<Color> Color::fromStringValue(std::optional<std::string_view> text) {
  if (!text || *text == "none") return std::nullopt;
  auto reading = readColor(*text);
  if (reading.unknownName) SVGParser::print("ERROR: unknown color name: '" + std::string(*text) + "'");
  return std::move(reading.color);
}

std::optional<Color> Color::fromStringRed(std::string_view red, std::string_view green,
                                          std::string_view blue,
                                          std::optional<std::string_view> alpha, int radix) {
  if (radix < 2 || radix > 36) {
    std::fprintf(stderr, "fatal: colour component radix %d is outside 2...36\n", radix);
    std::abort();
  }
  const auto r = channel(red, radix);
  const auto g = channel(green, radix);
  const auto b = channel(blue, radix);
  if (!r || !g || !b) return std::nullopt;
  if (!alpha || alpha->empty()) return rgb(*r, *g, *b);
  auto a = percentage(*alpha);
  if (!a) a = SVGParser::numberValue(*alpha);
  if (!a) return std::nullopt;
  return rgba(*r, *g, *b, std::clamp(*a, 0.0, 1.0));
}

std::optional<Color> Color::fromCSS(const std::optional<Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* id = css->as<Value::Id>()) {
    if (id->text.empty()) return std::nullopt;
    return fromStringValue(id->text);
  }
  if (const auto* function = css->as<Value::Function>()) {
    return colorFromFunction(function->name, function->arguments);
  }
  return std::nullopt;
}

}  // namespace CSS
