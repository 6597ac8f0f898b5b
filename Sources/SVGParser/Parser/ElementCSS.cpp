// Identity and styling inputs of an element, and its font from the cascaded CSS.
#include <algorithm>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/CSS/Parser/CSSStyle.h"
#include "SVGParser/CSS/Parser/CSSStyleSheet.h"
#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/SVG/ElementAttributes.h"

namespace SVG {

CoreAttributes CoreAttributes::fromXMLAttributes(const XMLAttributes& xmlAttributes) {
  const auto id = attributeValue(xmlAttributes, "id");
  return CoreAttributes{id ? std::optional<std::string>(*id) : std::nullopt};
}

StylingAttributes StylingAttributes::fromXMLAttributes(const XMLAttributes& xmlAttributes) {
  StylingAttributes styling;
  if (const auto classes = attributeValue(xmlAttributes, "class")) styling.classes = CSS::classList(*classes);
  if (const auto style = attributeValue(xmlAttributes, "style"); style && !style->empty()) {
    styling.style = std::string(*style);
  }
  return styling;
}

}  // namespace SVG

namespace {

/// The value of the font attribute `name`, read as the same CSS property would be.
std::optional<CSS::Value> fontAttribute(const SVG::XMLAttributes& xmlAttributes, std::string_view name) {
  const std::optional<std::string_view> text = SVG::attributeValue(xmlAttributes, name);
  if (!text) return std::nullopt;
  std::string declaration(name);
  declaration += ':';
  declaration += *text;
  return CSS::Style(declaration)[name];
}

}  // namespace

CSS::FontProperties CSSPropertyResolver::fontProperties(const SVG::XMLAttributes& xmlAttributes) const {
  const CSSPropertyResolver& css = *this;
  const bool hasCSS = !css.isEmpty();
  // Most elements state no font at all.
  if (!hasCSS && std::none_of(xmlAttributes.begin(), xmlAttributes.end(),
                              [](const SVG::XMLAttributes::Attribute& attribute) {
                                return attribute.first.starts_with("font");
                              })) {
    return {};
  }
  const auto cssValue = [&](std::string_view name) -> std::optional<CSS::Value> {
    return hasCSS ? css[name] : std::nullopt;
  };
  // The element's own font attributes count where its CSS says nothing; a font shorthand in
  // the CSS sets every longhand, so that the attributes have nothing left to say.
  CSS::FontProperties properties;
  properties.shorthand = cssValue("font");
  const bool cssShorthand = properties.shorthand.has_value();
  if (!cssShorthand) properties.shorthand = fontAttribute(xmlAttributes, "font");
  const auto longhand = [&](std::string_view name) {
    std::optional<CSS::Value> value = cssValue(name);
    if (!value && !cssShorthand) value = fontAttribute(xmlAttributes, name);
    return value;
  };
  properties.style = longhand("font-style");
  properties.weight = longhand("font-weight");
  properties.family = longhand("font-family");
  properties.size = longhand("font-size");
  return properties;
}

std::optional<CSS::Font> CSSPropertyResolver::cssFont(const SVG::XMLAttributes& xmlAttributes) const {
  return fontProperties(xmlAttributes).font();
}

namespace CSS {

FontProperties FontProperties::inheriting(const FontProperties& parent) const {
  if (shorthand || parent.empty()) return *this;
  if (empty()) return parent;
  FontProperties properties = *this;
  properties.shorthand = parent.shorthand;
  if (!properties.style) properties.style = parent.style;
  if (!properties.weight) properties.weight = parent.weight;
  if (!properties.family) properties.family = parent.family;
  if (!properties.size) properties.size = parent.size;
  return properties;
}

std::optional<Font> FontProperties::font() const {
  auto result = Font::fromCSS(shorthand);
  const auto fontStyle = Font::Style::fromCSS(style);
  const auto fontWeight = Font::Weight::fromCSS(weight);
  const auto fontFamily = Font::Family::fromCSS(family);
  const auto fontSize = UnitLength::fromCSS(size);
  if (!result) {
    if (!fontStyle && !fontWeight && !fontFamily && !fontSize) return std::nullopt;
    result = Font(Font::Family::sansSerif(), Font::Style::normal, Font::Weight::normal(), std::nullopt);
  }
  // A system-font keyword ignores the longhand properties.
  if (fontStyle) result = result->style(*fontStyle);
  if (fontWeight) result = result->weight(*fontWeight);
  if (fontFamily) result = result->family(*fontFamily);
  if (fontSize) result = result->size(fontSize);
  return result;
}

}  // namespace CSS

namespace CSS {

std::optional<Font> CSS::font(const SVG::XMLAttributes& xmlAttributes) const {
  return cssResolver(xmlAttributes).cssFont(xmlAttributes);
}

}  // namespace CSS
