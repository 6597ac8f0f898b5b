#include "SVGParser/CSS/Parser/CSSStyle.h"

#include "SVGParser/CSS/Parser/CSSStyleSheet.h"
#include "SVGParser/Parser/FunctionParser.h"

namespace CSS {

Style::Style(std::optional<std::string_view> text) : Style(CSS::parseStyle(text)) {}

std::optional<Value> Style::operator[](std::string_view name) const {
  const auto found = properties.find(name);
  if (found == properties.end()) return std::nullopt;
  return found->second;
}

void Style::merge(const Style& other) {
  for (const auto& [name, value] : other.properties) properties.insert_or_assign(name, value);
}

std::string Style::description() const {
  std::string text = "Style(properties: [";
  if (properties.empty()) text += ":";
  bool first = true;
  for (const auto& [name, value] : properties) {
    if (!first) text += ", ";
    text += SVGParser::debugQuoted(name) + ": " + value.description();
    first = false;
  }
  return text + "])";
}

}  // namespace CSS
