// Paints of the SwiftUI view model.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "SVGParser/CSS/Color.h"
#include "Platform/Geometry.h"

namespace SwiftUIModel {

/// How a stroke, a fill or a text is painted. Opacities are fractions 0...1.
class Paint {
 public:
  /// No paint of the element's own, only an opacity to apply.
  struct Opacity {
    CGFloat opacity;
    bool operator==(const Opacity&) const = default;
  };
  /// A colour with an optional opacity.
  struct Color {
    CSS::Color color;
    std::optional<CGFloat> opacity;
    bool operator==(const Color&) const = default;
  };
  /// A reference to a definition (a gradient) by its qualified identifier, with the opacity
  /// (below 1) of the element and its paint, which the painted view takes.
  struct Property {
    std::string id;
    std::optional<CGFloat> opacity;
    bool operator==(const Property&) const = default;
  };
  using Variant = std::variant<Opacity, Color, Property>;

  Paint(Opacity c) : value_(c) {}
  Paint(Color c) : value_(std::move(c)) {}
  Paint(Property c) : value_(std::move(c)) {}

  static Paint opacity(CGFloat value) { return Opacity{value}; }
  static Paint color(CSS::Color c, std::optional<CGFloat> opacity) { return Color{std::move(c), opacity}; }
  static Paint property(std::string id, std::optional<CGFloat> opacity = std::nullopt) {
    return Property{std::move(id), opacity};
  }

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// ".opacity(0.5)", ".color(named(\"red\"), 0.5)" or "<PaintProp: Drawing.gradient1>" (with ", 0.5" for an opacity).
  std::string description() const;

  bool operator==(const Paint&) const = default;

 private:
  Variant value_;
};

}  // namespace SwiftUIModel

template <>
struct std::hash<SwiftUIModel::Paint> {
  std::size_t operator()(const SwiftUIModel::Paint& paint) const noexcept;
};
