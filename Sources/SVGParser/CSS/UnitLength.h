// A length as written in a document: a number with its CSS unit.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "Platform/Geometry.h"

namespace CSS {

class Value;

class UnitLength {
 public:
  // One case per unit, in this order.
  struct Number { CGFloat value; bool operator==(const Number&) const = default; };
  struct Percentage { CGFloat value; bool operator==(const Percentage&) const = default; };
  struct Centimeter { CGFloat value; bool operator==(const Centimeter&) const = default; };
  struct Millimeter { CGFloat value; bool operator==(const Millimeter&) const = default; };
  struct Inch { CGFloat value; bool operator==(const Inch&) const = default; };
  struct Point { CGFloat value; bool operator==(const Point&) const = default; };
  struct Pc { CGFloat value; bool operator==(const Pc&) const = default; };
  struct Pixel { CGFloat value; bool operator==(const Pixel&) const = default; };
  using Variant = std::variant<Number, Percentage, Centimeter, Millimeter, Inch, Point, Pc, Pixel>;

  /// Points per millimetre, as the converter has always used it (rounded to ten decimals).
  static constexpr CGFloat pointsPerMillimeter = 2.8346456693;
  UnitLength(Number c) : value_(c) {}
  UnitLength(Percentage c) : value_(c) {}
  UnitLength(Centimeter c) : value_(c) {}
  UnitLength(Millimeter c) : value_(c) {}
  UnitLength(Inch c) : value_(c) {}
  UnitLength(Point c) : value_(c) {}
  UnitLength(Pc c) : value_(c) {}
  UnitLength(Pixel c) : value_(c) {}
  /// A length in points.
  explicit UnitLength(CGFloat points) : value_(Point{points}) {}

  static UnitLength number(CGFloat v) { return Number{v}; }
  static UnitLength percentage(CGFloat v) { return Percentage{v}; }
  static UnitLength centimeter(CGFloat v) { return Centimeter{v}; }
  static UnitLength millimeter(CGFloat v) { return Millimeter{v}; }
  static UnitLength inch(CGFloat v) { return Inch{v}; }
  static UnitLength point(CGFloat v) { return Point{v}; }
  static UnitLength pc(CGFloat v) { return Pc{v}; }
  static UnitLength pixel(CGFloat v) { return Pixel{v}; }

  // Reading from text, attributes and CSS
  /// A number with an optional unit (pt, %, px, in, cm, mm); reports any other non-empty text.
  static std::optional<UnitLength> fromStringValue(std::optional<std::string_view> text);
  /// A length from a cascaded CSS value.
  static std::optional<UnitLength> fromCSS(const std::optional<Value>& css);

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The carried number, whatever the unit.
  CGFloat value() const;
  /// "", "%", "cm", "mm", "\"", "pt", "pc" or "px".
  std::string_view unitSuffix() const;
  /// The number's text followed by the suffix: "12.0cm", "3.0".
  std::string description() const;
  /// The length in points; nothing for a percentage or a pica length, which has no fixed size.
  std::optional<CGFloat> pointSize() const;
  /// The length as a fraction of `reference`; see the table in the source.
  std::optional<CGFloat> fraction(const std::optional<UnitLength>& reference) const;

  bool operator==(const UnitLength&) const = default;

 private:
  Variant value_;
};

}  // namespace CSS
