// A CSS declaration block: property name to parsed value.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "SVGParser/CSS/Parser/CSSValue.h"

namespace CSS {

class Style : public CSSPropertyResolver {
 public:
  using Properties = std::map<std::string, Value, std::less<>>;

  /// Keyed by the property name exactly as written (case kept, blanks trimmed).
  Properties properties;

  /// The empty block.
  Style() = default;
  /// One declaration block or style attribute text ("name: value; ...").
  explicit Style(std::optional<std::string_view> text);

  bool isEmpty() const override { return properties.empty(); }
  std::optional<Value> operator[](std::string_view name) const override;

  /// Copies every property of `other` into this block, replacing same-named ones.
  void merge(const Style& other);

  bool operator==(const Style& other) const { return properties == other.properties; }

  /// Debug form: Style(properties: ["fill": id("red"), ...]).
  std::string description() const;
};

}  // namespace CSS
