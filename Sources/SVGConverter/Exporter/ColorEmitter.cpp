// Colour expressions of the generated code.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace {

/// Colour names that SwiftUI's `Color` knows itself.
bool isSwiftUIColorName(std::string_view name) {
  static constexpr std::array<std::string_view, 13> names{
      "clear", "black", "white", "gray", "red", "green", "blue",
      "orange", "yellow", "pink", "purple", "primary", "secondary"};
  for (std::string_view known : names) {
    if (known == name) return true;
  }
  return false;
}

/// The name with every character that cannot stand in an identifier replaced
/// by "_", so an unknown name can never break out of the expression. A
/// multi-byte UTF-8 character counts as one character.
std::string identifierText(std::string_view name) {
  std::string text;
  text.reserve(name.size());
  for (unsigned char byte : name) {
    const bool identifierByte = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                                (byte >= '0' && byte <= '9') || byte == '_';
    if (identifierByte) {
      text += static_cast<char>(byte);
    } else if ((byte & 0xC0) != 0x80) {  // not a UTF-8 continuation byte
      text += '_';
    }
  }
  return text;
}

/// "0x" and six upper-case hexadecimal digits.
std::string hexLiteral(std::uint32_t value) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 20; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
  return text;
}

bool isUnitFraction(CGFloat component) { return component >= 0 && component <= 1; }

}  // namespace

std::optional<std::string> SVGSwiftUIExporter::generateColor(const std::optional<CSS::Color>& color,
                                                              std::optional<CGFloat> opacity, bool init,
                                                              bool hex) {
  if (!color) return std::nullopt;

  CGFloat red = 0, green = 0, blue = 0;
  std::optional<CGFloat> writtenOpacity = opacity;
  if (const auto* named = color->as<CSS::Color::Named>()) {
    if (isSwiftUIColorName(named->name)) return (init ? "." : "Color.") + named->name;
    const auto& table = CSS::Color::nameToRGB();
    const auto found = table.find(named->name);
    if (found == table.end()) return "Color." + identifierText(named->name) + " /*unknown*/";
    red = static_cast<CGFloat>((found->second >> 16) & 0xFF) / 255.0;
    green = static_cast<CGFloat>((found->second >> 8) & 0xFF) / 255.0;
    blue = static_cast<CGFloat>(found->second & 0xFF) / 255.0;
  } else if (const auto* rgb = color->as<CSS::Color::RGB>()) {
    red = rgb->red, green = rgb->green, blue = rgb->blue;
  } else if (const auto* rgba = color->as<CSS::Color::RGBA>()) {
    red = rgba->red, green = rgba->green, blue = rgba->blue;
    if (!writtenOpacity) writtenOpacity = rgba->alpha;
  }

  std::string text = init ? ".init(" : "Color(";
  // The hexadecimal literal packs whole bytes; components outside 0...1 would
  // be clamped there, so such colours keep their exact components instead.
  const bool packable = isUnitFraction(red) && isUnitFraction(green) && isUnitFraction(blue);
  const std::optional<std::uint32_t> hexValue = hex && packable ? color->rgbHexValue() : std::nullopt;
  if (red == green && green == blue) {
    text += "white: " + string(red);
  } else if (hexValue) {
    text += hexLiteral(*hexValue);
    setDidUseHexColorInit(true);
  } else {
    text += "red: " + string(red) + ", green: " + string(green) + ", blue: " + string(blue);
  }
  if (writtenOpacity) text += ", opacity: " + string(*writtenOpacity);
  text += ")";
  return text;
}
