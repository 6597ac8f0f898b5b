// Writers of the expressions that emitters need both as strings and straight in the output.
#pragma once

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace SVGConverter {

/// Collects the parts of an expression in a string, numbers formatted as the exporter does.
/// The exporter itself takes the same parts for its output.
class StringSink {
 public:
  explicit StringSink(const SVGSwiftUIExporter& exporter, std::string& text) : exporter_(exporter), text_(text) {}
  void put(std::string_view part) { text_ += part; }
  void put(char c) { text_ += c; }
  void put(SVGSwiftUIExporter::Number number) {
    char digits[DecimalNumberFormatter::bufferSize];
    text_.append(digits, exporter_.numberFormatter().write(number.value, digits));
  }
  void put(const SVGSwiftUIExporter::PointLiteral& literal) {
    put(literal.type);
    put("(x: ");
    put(SVGSwiftUIExporter::Number{literal.point.x});
    put(", y: ");
    put(SVGSwiftUIExporter::Number{literal.point.y});
    put(')');
  }

 private:
  const SVGSwiftUIExporter& exporter_;
  std::string& text_;
};

// Colours (ColorEmitter.cpp)

/// Colour names that SwiftUI's `Color` knows itself.
bool isSwiftUIColorName(std::string_view name);
/// The name with every character that cannot stand in an identifier replaced by "_".
std::string identifierText(std::string_view name);
/// The red, green and blue fractions of a colour, and the opacity it brings along; false for a
/// name without a known value.
bool colorComponents(const CSS::Color& color, CGFloat& red, CGFloat& green, CGFloat& blue,
                     std::optional<CGFloat>& opacity);

/// The colour expression that `SVGSwiftUIExporter::generateColor` describes, for a colour that
/// is present.
template <typename Sink>
void writeColor(Sink& out, SVGSwiftUIExporter& exporter, const CSS::Color& color, std::optional<CGFloat> opacity,
                bool init, bool hex) {
  using Number = SVGSwiftUIExporter::Number;
  if (const auto* named = color.as<CSS::Color::Named>()) {
    if (isSwiftUIColorName(named->name)) {
      out.put(init ? "." : "Color.");
      out.put(named->name);
      return;
    }
  }
  CGFloat red = 0, green = 0, blue = 0;
  std::optional<CGFloat> writtenOpacity = opacity;
  if (!colorComponents(color, red, green, blue, writtenOpacity)) {
    out.put("Color.");
    out.put(identifierText(color.as<CSS::Color::Named>()->name));
    out.put(" /*unknown*/");
    return;
  }

  out.put(init ? ".init(" : "Color(");
  // The hexadecimal literal packs whole bytes; components outside 0...1 would
  // be clamped there, so such colours keep their exact components instead.
  const auto isUnitFraction = [](CGFloat component) { return component >= 0 && component <= 1; };
  const bool packable = isUnitFraction(red) && isUnitFraction(green) && isUnitFraction(blue);
  const std::optional<std::uint32_t> hexValue = hex && packable ? color.rgbHexValue() : std::nullopt;
  if (red == green && green == blue) {
    out.put("white: ");
    out.put(Number{red});
  } else if (hexValue) {
    static constexpr char digits[] = "0123456789ABCDEF";
    char literal[8] = {'0', 'x'};
    for (int place = 0; place < 6; ++place) literal[2 + place] = digits[(*hexValue >> (20 - 4 * place)) & 0xF];
    out.put(std::string_view(literal, sizeof literal));
    exporter.setDidUseHexColorInit(true);
  } else {
    out.put("red: ");
    out.put(Number{red});
    out.put(", green: ");
    out.put(Number{green});
    out.put(", blue: ");
    out.put(Number{blue});
  }
  if (writtenOpacity) {
    out.put(", opacity: ");
    out.put(Number{*writtenOpacity});
  }
  out.put(')');
}

}  // namespace SVGConverter
