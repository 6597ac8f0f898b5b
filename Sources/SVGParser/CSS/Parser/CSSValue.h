// One parsed CSS property value, and the read-only view of an element's
// cascaded CSS that every element builder reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "SVGParser/Parser/XMLAttributes.h"

namespace CSS {

class Font;

/// A property value as the style sheet reader types it.
class Value {
 public:
  /// Any other text, unchanged: a keyword, a hexadecimal colour, a length in a unit other than px.
  struct Id {
    std::string text;
    bool operator==(const Id&) const = default;
  };
  /// A plain number.
  struct Number {
    double value = 0;
    bool operator==(const Number&) const = default;
  };
  /// A number followed by "px".
  struct Pixel {
    double value = 0;
    bool operator==(const Pixel&) const = default;
  };
  /// A number followed by "%".
  struct PercentValue {
    double value = 0;
    bool operator==(const PercentValue&) const = default;
  };
  /// The text inside url(...), trimmed, with its quotes and "#" kept.
  struct Url {
    std::string text;
    bool operator==(const Url&) const = default;
  };
  /// Any other functional notation, as name and comma-separated arguments.
  struct Function {
    std::string name;
    std::vector<std::string> arguments;
    bool operator==(const Function&) const = default;
  };
  /// The keyword "none".
  struct ExplicitNone {
    bool operator==(const ExplicitNone&) const = default;
  };
  /// The keyword "auto", an empty value, or a declaration without a value.
  struct Auto {
    bool operator==(const Auto&) const = default;
  };
  /// The keyword "clear".
  struct Clear {
    bool operator==(const Clear&) const = default;
  };

  using Storage = std::variant<Id, Number, Pixel, PercentValue, Url, Function, ExplicitNone, Auto, Clear>;

  Value() : storage_(Auto{}) {}
  template <typename Case, typename = std::enable_if_t<std::is_constructible_v<Storage, Case&&>>>
  Value(Case&& value) : storage_(std::forward<Case>(value)) {}  // NOLINT: implicit from any case

  static Value id(std::string text) { return Id{std::move(text)}; }
  static Value number(double value) { return Number{value}; }
  static Value pixel(double value) { return Pixel{value}; }
  static Value percentValue(double value) { return PercentValue{value}; }
  static Value url(std::string text) { return Url{std::move(text)}; }
  static Value function(std::string name, std::vector<std::string> arguments) {
    return Function{std::move(name), std::move(arguments)};
  }
  static Value explicitNone() { return ExplicitNone{}; }
  static Value auto_() { return Auto{}; }
  static Value clear() { return Clear{}; }

  const Storage& storage() const { return storage_; }
  template <typename Case>
  bool is() const { return std::holds_alternative<Case>(storage_); }
  /// The payload when the value is of that case, else null.
  template <typename Case>
  const Case* as() const { return std::get_if<Case>(&storage_); }

  bool operator==(const Value&) const = default;

  /// Debug form: the case name and its payload, for example id("red") or number(0.5).
  std::string description() const;

 private:
  Storage storage_;
};

/// The font properties of an element: the "font" shorthand and the longhands, which say more
/// than the shorthand does.
struct FontProperties {
  std::optional<Value> shorthand{};
  std::optional<Value> style{};
  std::optional<Value> weight{};
  std::optional<Value> family{};
  std::optional<Value> size{};

  /// These properties with what they leave open taken from those of the enclosing element:
  /// nothing when they hold the shorthand, which sets every longhand, else the shorthand and
  /// each longhand they lack.
  FontProperties inheriting(const FontProperties& parent) const;
  /// No property is set.
  bool empty() const { return !shorthand && !style && !weight && !family && !size; }
  /// The font the properties make; nothing when none is set.
  std::optional<Font> font() const;
};

}  // namespace CSS

/// The read-only view of the cascaded CSS of one element.
class CSSPropertyResolver {
 public:
  virtual ~CSSPropertyResolver() = default;

  /// True when the resolver holds no property at all.
  virtual bool isEmpty() const = 0;
  /// The cascaded value of the property with exactly this name, or nothing.
  virtual std::optional<CSS::Value> operator[](std::string_view name) const = 0;

  /// The element's font from the font properties of this resolver ("font", then
  /// "font-style", "font-weight", "font-family", "font-size"), each property the CSS leaves
  /// unset taken from the element's attribute of that name (the longhands only when the CSS
  /// has no "font"); nothing when none is set.
  std::optional<CSS::Font> cssFont(const SVG::XMLAttributes& xmlAttributes) const;
  /// The font properties `cssFont` makes the font of.
  CSS::FontProperties fontProperties(const SVG::XMLAttributes& xmlAttributes) const;

 protected:
  CSSPropertyResolver() = default;
  CSSPropertyResolver(const CSSPropertyResolver&) = default;
  CSSPropertyResolver& operator=(const CSSPropertyResolver&) = default;
};
