// Colour expressions of the generated code.
#include "SVGConverter/Exporter/ExpressionWriters.h"

#include <array>

bool SVGConverter::isSwiftUIColorName(std::string_view name) {
  static constexpr std::array<std::string_view, 13> names{
      "clear", "black", "white", "gray", "red", "green", "blue",
      "orange", "yellow", "pink", "purple", "primary", "secondary"};
  for (std::string_view known : names) {
    if (known == name) return true;
  }
  return false;
}

// So an unknown name can never break out of the expression. A multi-byte UTF-8 character
// counts as one character.
std::string SVGConverter::identifierText(std::string_view name) {
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

bool SVGConverter::colorComponents(const CSS::Color& color, CGFloat& red, CGFloat& green, CGFloat& blue,
                                   std::optional<CGFloat>& opacity) {
  if (const auto* named = color.as<CSS::Color::Named>()) {
    const auto& table = CSS::Color::nameToRGB();
    const auto found = table.find(named->name);
    if (found == table.end()) return false;
    red = static_cast<CGFloat>((found->second >> 16) & 0xFF) / 255.0;
    green = static_cast<CGFloat>((found->second >> 8) & 0xFF) / 255.0;
    blue = static_cast<CGFloat>(found->second & 0xFF) / 255.0;
  } else if (const auto* rgb = color.as<CSS::Color::RGB>()) {
    red = rgb->red, green = rgb->green, blue = rgb->blue;
  } else if (const auto* rgba = color.as<CSS::Color::RGBA>()) {
    red = rgba->red, green = rgba->green, blue = rgba->blue;
    if (!opacity) opacity = rgba->alpha;
  }
  return true;
}

std::optional<std::string> SVGSwiftUIExporter::generateColor(const std::optional<CSS::Color>& color,
                                                              std::optional<CGFloat> opacity, bool init,
                                                              bool hex) {
  if (!color) return std::nullopt;
  std::string text;
  SVGConverter::StringSink sink(*this, text);
  SVGConverter::writeColor(sink, *this, *color, opacity, init, hex);
  return text;
}
