// What a fill, a stroke or a filter colour is set to.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "SVGParser/CSS/Color.h"

namespace CSS {
class Value;
}

namespace SVG {

class Paint {
 public:
  /// Paint with this colour.
  struct Color {
    CSS::Color color;
    bool operator==(const Color&) const = default;
  };
  /// Paint with the definition (a gradient) of this id, without the leading "#".
  struct Definition {
    std::string id;
    bool operator==(const Definition&) const = default;
  };
  /// Explicitly no paint. An absent paint is an empty optional, never this case.
  struct None {
    bool operator==(const None&) const = default;
  };
  using Variant = std::variant<Color, Definition, None>;

  Paint(Color c) : value_(std::move(c)) {}
  Paint(Definition c) : value_(std::move(c)) {}
  Paint(None c) : value_(c) {}

  static Paint color(CSS::Color color) { return Color{std::move(color)}; }
  static Paint definition(std::string id) { return Definition{std::move(id)}; }
  static Paint none() { return None{}; }
  /// `color` of `CSS::Color::fromRGB(rgb)`.
  static Paint fromRGB(std::uint32_t rgb) { return color(CSS::Color::fromRGB(rgb)); }
  /// `color` of `CSS::Color::fromRGBA(rgba)`.
  static Paint fromRGBA(std::uint32_t rgba) { return color(CSS::Color::fromRGBA(rgba)); }

  // Reading from text, attributes and CSS
  /// "none", url(#id) (the id may be quoted) or a colour; reports text that is none of them.
  static std::optional<Paint> fromStringValue(std::optional<std::string_view> text);
  /// A paint from a cascaded CSS value, read as the attribute text is.
  static std::optional<Paint> fromCSS(const std::optional<::CSS::Value>& css);

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The case name and payload: color(named("red")), definition("g1"), none.
  std::string description() const;

  // One paint per colour keyword, `color(CSS::Color::keyword())`: Paint::black() ...
#define QUARVEL_DECLARE_PAINT(keyword, value) static const Paint& keyword();
  QUARVEL_CSS_NAMED_COLORS(QUARVEL_DECLARE_PAINT)
#undef QUARVEL_DECLARE_PAINT

  bool operator==(const Paint&) const = default;

 private:
  Variant value_;
};

}  // namespace SVG

template <>
struct std::hash<SVG::Paint> {
  std::size_t operator()(const SVG::Paint& paint) const noexcept;
};
