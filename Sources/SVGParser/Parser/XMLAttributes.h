// The attributes of one element, by attribute name as written.
#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace SVG {

/// The attributes of one element in document order. Names and values are views: the
/// texts belong to whoever filled the list (the XML reader's buffers, the read's tape or
/// the literals of a caller) and must outlive it. Elements carry a handful of attributes,
/// so a name is looked up by walking the list.
class XMLAttributes {
 public:
  using Attribute = std::pair<std::string_view, std::string_view>;
  using const_iterator = std::vector<Attribute>::const_iterator;

  XMLAttributes() = default;
  XMLAttributes(std::initializer_list<Attribute> attributes) : attributes_(attributes) {}

  /// Adds an attribute; a name that is already there keeps its first value.
  void add(std::string_view name, std::string_view value) { attributes_.emplace_back(name, value); }
  /// Empties the list, keeping its storage for the next element.
  void clear() { attributes_.clear(); }

  /// The value of the first attribute with exactly this name.
  std::optional<std::string_view> find(std::string_view name) const {
    for (const auto& [attributeName, value] : attributes_) {
      if (attributeName == name) return value;
    }
    return std::nullopt;
  }

  bool empty() const { return attributes_.empty(); }
  std::size_t size() const { return attributes_.size(); }
  const_iterator begin() const { return attributes_.begin(); }
  const_iterator end() const { return attributes_.end(); }

 private:
  std::vector<Attribute> attributes_;
};

/// The value of the attribute with exactly this name, or nothing when it is absent.
inline std::optional<std::string_view> attributeValue(const XMLAttributes& attributes,
                                                      std::string_view name) {
  return attributes.find(name);
}

}  // namespace SVG

// The read-only view of an element's cascaded CSS (defined with the style sheet).
class CSSPropertyResolver;
