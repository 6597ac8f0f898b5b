// A colour as style sheets and attributes write it: a keyword, or red, green
// and blue fractions (0 none, 1 full) with an optional alpha.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "SVGParser/CSS/NamedColorList.h"
#include "Platform/Geometry.h"

namespace CSS {

class Value;

class Color {
 public:
  /// A colour keyword, normally a key of `nameToRGB()`.
  struct Named {
    std::string name;
    bool operator==(const Named&) const = default;
  };
  struct RGB {
    CGFloat red, green, blue;
    bool operator==(const RGB&) const = default;
  };
  struct RGBA {
    CGFloat red, green, blue, alpha;
    bool operator==(const RGBA&) const = default;
  };
  using Variant = std::variant<Named, RGB, RGBA>;

  Color(Named c) : value_(std::move(c)) {}
  Color(RGB c) : value_(c) {}
  Color(RGBA c) : value_(c) {}

  static Color named(std::string name) { return Named{std::move(name)}; }
  static Color rgb(CGFloat red, CGFloat green, CGFloat blue) { return RGB{red, green, blue}; }
  static Color rgba(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    return RGBA{red, green, blue, alpha};
  }

  /// 0xRRGGBB, or 0xRRGGBBAA when the top byte is not zero (an opaque alpha gives `rgb`).
  static Color fromRGB(std::uint32_t rgb);
  /// Always 0xRRGGBBAA; an alpha byte of 255 gives `rgb`.
  static Color fromRGBA(std::uint32_t rgba);
  /// An integer colour literal, read as `fromRGB` reads it.
  static Color fromIntegerLiteral(std::uint32_t literal) { return fromRGB(literal); }
  /// Three 8-bit channel values, stored as value / 255 without masking or clamping.
  static Color fromRGB(std::uint32_t r, std::uint32_t g, std::uint32_t b);
  /// `rgb` of the fractions when alpha is absent, otherwise `rgba` (an alpha of 1 included).
  static Color fromComponents(CGFloat red, CGFloat green, CGFloat blue,
                              std::optional<CGFloat> alpha);

  // Reading from text, attributes and CSS
  /// A keyword, #rgb, #rrggbb, #rrggbbaa, rgb(...) or rgba(...); nothing for "none" and
  /// unreadable text. A word that names no colour is reported.
  static std::optional<Color> fromStringValue(std::optional<std::string_view> text);
  /// Channels as integers in `radix` (over 255) or percentages; alpha a number 0...1
  /// or a percentage, clamped. Nothing when a component does not read.
  static std::optional<Color> fromStringRed(std::string_view red, std::string_view green,
                                            std::string_view blue,
                                            std::optional<std::string_view> alpha, int radix = 10);
  /// A colour from a cascaded CSS value, read as the attribute text is.
  static std::optional<Color> fromCSS(const std::optional<Value>& css);

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The colour packed as 0xRRGGBB (alpha dropped); nothing for an unknown keyword.
  /// Components are clamped to 0...1 (NaN counts as 0) and truncated after scaling by 255.
  std::optional<std::uint32_t> rgbHexValue() const;
  /// 0xRRGGBBAA for an `rgba` colour whose alpha is below 1, otherwise `rgbHexValue()`.
  std::optional<std::uint32_t> hexValue() const;

  /// named("red"), rgb(1.0, 0.0, 0.0) or rgba(1.0, 0.0, 0.0, 0.5).
  std::string description() const;

  /// The keyword table: keyword to 0xRRGGBB. Built once, then only read.
  static const std::map<std::string, std::uint32_t, std::less<>>& nameToRGB();

  // One colour per keyword of the table, `named(keyword)`: Color::black(), Color::aliceblue() ...
#define QUARVEL_DECLARE_COLOR(keyword, value) static const Color& keyword();
  QUARVEL_CSS_NAMED_COLORS(QUARVEL_DECLARE_COLOR)
#undef QUARVEL_DECLARE_COLOR

  bool operator==(const Color&) const = default;

 private:
  Variant value_;
};

}  // namespace CSS

template <>
struct std::hash<CSS::Color> {
  std::size_t operator()(const CSS::Color& color) const noexcept;
};
