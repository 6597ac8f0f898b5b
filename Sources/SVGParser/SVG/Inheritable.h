// A property value that may be stated, stated as none, or stated as inherit.
#pragma once

#include <functional>
#include <string>
#include <variant>

#include "Platform/Geometry.h"

namespace SVG {

// Text forms of the platform values that presentation attributes print.
std::string valueDescription(const std::string& text);
std::string valueDescription(CGPathFillRule rule);  ///< "winding" or "evenOdd"
std::string valueDescription(CGLineCap cap);        ///< "butt", "round" or "square"
std::string valueDescription(CGLineJoin join);      ///< "miter", "round" or "bevel"

template <typename T>
class Inheritable {
 public:
  struct Some {
    T value;
    bool operator==(const Some&) const = default;
  };
  struct None {
    bool operator==(const None&) const = default;
  };
  struct Inherit {
    bool operator==(const Inherit&) const = default;
  };
  using Variant = std::variant<Some, None, Inherit>;

  Inheritable(Some c) : value_(std::move(c)) {}
  Inheritable(None c) : value_(c) {}
  Inheritable(Inherit c) : value_(c) {}

  static Inheritable some(T value) { return Some{std::move(value)}; }
  static Inheritable none() { return None{}; }
  static Inheritable inherit() { return Inherit{}; }

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }
  /// The stated value, or nullptr for none and inherit.
  const T* value() const {
    const Some* some = as<Some>();
    return some ? &some->value : nullptr;
  }

  /// The value's own text, "none" or "inherit".
  std::string description() const {
    if (const Some* some = as<Some>()) return valueDescription(some->value);
    return is<None>() ? "none" : "inherit";
  }

  bool operator==(const Inheritable&) const = default;

 private:
  Variant value_;
};

}  // namespace SVG

template <typename T>
struct std::hash<SVG::Inheritable<T>> {
  std::size_t operator()(const SVG::Inheritable<T>& v) const noexcept {
    const std::size_t index = v.variant().index();
    if (const T* value = v.value()) return std::hash<T>{}(*value) ^ 0x9e3779b97f4a7c15ULL;
    return index;
  }
};
