// The identity and styling inputs every element carries, and the element view.
#pragma once

#include <concepts>
#include <optional>
#include <string>
#include <vector>

#include "SVGParser/Parser/XMLAttributes.h"

namespace SVG {

struct PresentationAttributes;

/// The element's identity: its `id` attribute.
struct CoreAttributes {
  std::optional<std::string> id{};

  // Reading from text, attributes and CSS
  static CoreAttributes fromXMLAttributes(const XMLAttributes& xmlAttributes);

  /// True when there is no id.
  bool isEmpty() const { return !id.has_value(); }
  /// "<Core: id=a>" or "<Core:>".
  std::string description() const;
  bool operator==(const CoreAttributes&) const = default;
};

/// The element's class names and inline style text.
struct StylingAttributes {
  std::vector<std::string> classes{};
  std::optional<std::string> style{};

  // Reading from text, attributes and CSS
  static StylingAttributes fromXMLAttributes(const XMLAttributes& xmlAttributes);

  /// True when there is neither a class nor a style text.
  bool isEmpty() const { return classes.empty() && !style.has_value(); }
  /// "<Styling: 'fill:red' classes=a,b>"
  std::string description() const;
  bool operator==(const StylingAttributes&) const = default;
};

/// What makes a value an element: the three attribute groups, under these names.
template <typename T>
concept SVGElementType = requires(const T& element) {
  { element.core } -> std::same_as<const CoreAttributes&>;
  { element.style } -> std::same_as<const StylingAttributes&>;
  { element.presentation } -> std::same_as<const PresentationAttributes&>;
};

/// A read-only view of any element's attribute groups. It refers to the
/// element it was made from and must not outlive it.
class SVGElement {
 public:
  template <SVGElementType Element>
  SVGElement(const Element& element)
      : core_(&element.core), style_(&element.style), presentation_(&element.presentation) {}

  const CoreAttributes& core() const { return *core_; }
  const StylingAttributes& style() const { return *style_; }
  const PresentationAttributes& presentation() const { return *presentation_; }

 private:
  const CoreAttributes* core_;
  const StylingAttributes* style_;
  const PresentationAttributes* presentation_;
};

/// A value that can be read from an element's attribute map.
template <typename T>
concept SVGAttributeNode = requires(const XMLAttributes& attributes) {
  { T::fromXMLAttributes(attributes) } -> std::convertible_to<T>;
};

}  // namespace SVG
