// Text children: the `Text` view with its string, paint, font and placement.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"
#include "SVGConverter/Utilities/BidiControls.h"

using CSS::Font;
using SwiftUIModel::Overloaded;

namespace {

/// The length of the well-formed UTF-8 sequence at `text[i]` (a lead byte of
/// 0x80 or more), or 0 when it is malformed, overlong, a surrogate or beyond
/// U+10FFFF.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

std::string hexDigits(unsigned value) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), digits[value % 16]);
    value /= 16;
  } while (value);
  return text;
}

/// The SwiftUI weight of a numeric CSS weight.
std::string weightText(int weight) {
  if (weight < 200) return ".ultraLight";
  if (weight < 300) return ".thin";
  if (weight < 400) return ".light";
  if (weight < 500) return ".regular";
  if (weight < 600) return ".medium";
  if (weight < 700) return ".semibold";
  if (weight < 800) return ".bold";
  if (weight < 900) return ".heavy";
  return ".black";
}

/// The SwiftUI weight of a CSS weight; nothing for `normal`.
std::optional<std::string> weightText(const Font::Weight& weight) {
  return std::visit(Overloaded{
                        [](const Font::Weight::Value& value) -> std::optional<std::string> {
                          return weightText(value.weight);
                        },
                        [](const Font::Weight::Normal&) -> std::optional<std::string> { return std::nullopt; },
                        [](const Font::Weight::Bold&) -> std::optional<std::string> { return ".bold"; },
                        [](const Font::Weight::Lighter&) -> std::optional<std::string> { return ".thin"; },
                        [](const Font::Weight::Bolder&) -> std::optional<std::string> { return ".heavy"; },
                    },
                    weight.variant());
}

/// ".italic()" for a slanted style, then the weight modifier.
std::string fontModifiers(Font::Style style, const Font::Weight& weight) {
  std::string text = style == Font::Style::normal ? "" : ".italic()";
  if (weight.is<Font::Weight::Bold>()) return text + ".bold()";
  if (auto weightName = weightText(weight)) text += ".weight(" + *weightName + ")";
  return text;
}

std::string stringLiteral(std::string_view text) {
  return "\"" + SVGSwiftUIExporter::escapedStringLiteralContent(text) + "\"";
}

}  // namespace

std::string SVGSwiftUIExporter::escapedStringLiteralContent(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      // Well-formed UTF-8 stands as it is, apart from the controls that would change the order
      // the code displays in; a malformed byte becomes the replacement character, so the source
      // stays valid UTF-8.
      if (const char32_t control = SVGConverter::bidiControlAt(text, i)) {
        escaped += SVGConverter::bidiControlEscape(control);
        i += 3;
      } else if (std::size_t length = utf8SequenceLength(text, i)) {
        escaped.append(text, i, length);
        i += length;
      } else {
        escaped += "\\u{FFFD}";
        ++i;
      }
      continue;
    }
    switch (byte) {
      case '\\': escaped += "\\\\"; break;
      case '"': escaped += "\\\""; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      case '\t': escaped += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          escaped += "\\u{" + hexDigits(byte) + "}";
        } else {
          escaped += static_cast<char>(byte);
        }
    }
    ++i;
  }
  return escaped;
}

void SVGSwiftUIExporter::exportTextBuilder(const SwiftUIModel::Text& text) {
  const std::string expression = (config().verbatimTexts ? "Text(verbatim: " : "Text(") + stringLiteral(text.text) + ")";
  writeln(expression);
  nest([&] {
    if (text.paint) {
      std::visit(Overloaded{
                     [&](const SwiftUIModel::Paint::Opacity& paint) {
                       writeln(".opacity(" + string(paint.opacity) + ")");
                     },
                     [&](const SwiftUIModel::Paint::Color& paint) {
                       if (auto color = generateColor(paint.color, paint.opacity, config().preferInitOverType,
                                                      config().exportHexColorExtension)) {
                         writeln(".foregroundColor(" + *color + ")");
                       }
                     },
                     [&](const SwiftUIModel::Paint::Property& paint) {
                       // The gradient shows through the glyphs of a clear copy.
                       writeln(".foregroundColor(.clear)");
                       writeln(".background(" + paint.id + ".mask(" + expression + "))");
                       if (paint.opacity) writeln(".opacity(" + string(*paint.opacity) + ")");
                     },
                 },
                 text.paint->variant());
    }
    if (text.font) exportModifierForFont(*text.font);
    if (text.origin.x != 0) {
      writeln(config().positionUsingPadding ? ".padding(.leading, " + string(text.origin.x) + ")"
                                            : ".offset(x: " + string(text.origin.x) + ", y: 0)");
    }
    writeln(".alignmentGuide(.bottom) { $0[.firstTextBaseline] }");
    writeln(".frame(width: .infinity, height: " + string(text.origin.y) + ", alignment: .bottom)");
    // The placed text moves as a shape does.
    exportFilterReference(std::nullopt, text.transform, false);
  });
}

void SVGSwiftUIExporter::exportModifierForFont(const Font& font) {
  std::visit(Overloaded{
                 [&](const Font::Shorthand& shorthand) {
                   std::optional<CGFloat> size;
                   if (shorthand.size) size = shorthand.size->pointSize();
                   writeln(".font(" + generateFont(shorthand.family, shorthand.style, shorthand.weight, size) + ")");
                 },
                 [&](const Font::Caption&) { writelnWithInfoComment(".font(.body)", "caption"); },
                 [&](const Font::Icon&) { writelnWithInfoComment(".font(.body)", "icon"); },
                 [&](const Font::Menu&) { writelnWithInfoComment(".font(.body)", "menu"); },
                 [&](const Font::MessageBox&) { writelnWithInfoComment(".font(.body)", "message-box"); },
                 [&](const Font::SmallCaption&) { writelnWithInfoComment(".font(.caption)", "small-caps"); },
                 [&](const Font::StatusBar&) { writelnWithInfoComment(".font(.body)", "status-bar"); },
             },
             font.variant());
}

std::string SVGSwiftUIExporter::generateFont(const Font::Family& family, Font::Style style, const Font::Weight& weight,
                                             std::optional<CGFloat> size) {
  using Family = Font::Family;
  const std::string modifiers = fontModifiers(style, weight);

  if (!size) {
    const std::string base = std::visit(
        Overloaded{
            [](const Family::Named& named) { return ".custom(" + stringLiteral(named.name) + ", size: 12)"; },
            [](const Family::Serif&) { return std::string(".system(.body, design: .serif)"); },
            [](const Family::UISerif&) { return std::string(".system(.body, design: .serif)"); },
            [](const Family::Monospace&) { return std::string(".system(.body, design: .monospaced)"); },
            [](const Family::UIMonospace&) { return std::string(".system(.body, design: .monospaced)"); },
            [](const Family::UIRounded&) { return std::string(".system(.body, design: .rounded)"); },
            [](const Family::Emoji&) { return std::string(".custom(\"AppleColorEmoji\", size: 12)"); },
            [](const auto&) { return std::string(".system(.body)"); },
        },
        family.variant());
    return base + modifiers;
  }

  const std::string points = string(*size);
  // The system font takes the weight as an argument; ".regular" is its default.
  std::optional<std::string> weightName = weightText(weight);
  const std::string weightArgument =
      weightName && *weightName != ".regular" ? ", weight: " + *weightName : std::string();
  const std::string italic = style == Font::Style::normal ? "" : ".italic()";
  const auto system = [&](std::string_view design) {
    return ".system(size: " + points + weightArgument + std::string(design) + ")" + italic;
  };
  const auto custom = [&](std::string_view name) {
    return ".custom(" + stringLiteral(name) + ", size: " + points + ")" + modifiers;
  };
  return std::visit(Overloaded{
                        [&](const Family::SansSerif&) { return system(""); },
                        [&](const Family::SystemUI&) { return system(""); },
                        [&](const Family::UISansSerif&) { return system(""); },
                        [&](const Family::Monospace&) { return system(", design: .monospaced"); },
                        [&](const Family::UIMonospace&) { return system(", design: .monospaced"); },
                        [&](const Family::UIRounded&) { return system(", design: .rounded"); },
                        [&](const Family::Cursive&) { return custom("Snell Roundhand"); },
                        [&](const Family::Emoji&) { return custom("AppleColorEmoji"); },
                        [&](const Family::Named& named) { return custom(named.name); },
                        // serif, fantasy, math, fangsong, ui-serif
                        [&](const auto&) { return custom("Times"); },
                    },
                    family.variant());
}
