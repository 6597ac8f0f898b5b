// The attribute map of one element, keyed by attribute name as written.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace SVG {

using XMLAttributes = std::map<std::string, std::string, std::less<>>;

/// The value of the attribute with exactly this name, or nothing when it is absent.
inline std::optional<std::string_view> attributeValue(const XMLAttributes& attributes,
                                                      std::string_view name) {
  const auto found = attributes.find(name);
  if (found == attributes.end()) return std::nullopt;
  return found->second;
}

}  // namespace SVG

// The read-only view of an element's cascaded CSS (defined with the style sheet).
class CSSPropertyResolver;
