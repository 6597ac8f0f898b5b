// Identity and styling inputs of an element, and its font from the cascaded CSS.
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

std::optional<CSS::Font> CSSPropertyResolver::cssFont(const SVG::XMLAttributes& xmlAttributes) const {
  const CSSPropertyResolver& css = *this;
  const bool hasCSS = !css.isEmpty();
  const auto cssValue = [&](std::string_view name) -> std::optional<CSS::Value> {
    return hasCSS ? css[name] : std::nullopt;
  };
  // The element's own font attributes count where its CSS says nothing; a font shorthand in
  // the CSS sets every longhand, so that the attributes have nothing left to say.
  std::optional<CSS::Value> shorthand = cssValue("font");
  const bool cssShorthand = shorthand.has_value();
  if (!shorthand) shorthand = fontAttribute(xmlAttributes, "font");
  const auto longhand = [&](std::string_view name) {
    std::optional<CSS::Value> value = cssValue(name);
    if (!value && !cssShorthand) value = fontAttribute(xmlAttributes, name);
    return value;
  };
  auto font = CSS::Font::fromCSS(shorthand);
  const auto style = CSS::Font::Style::fromCSS(longhand("font-style"));
  const auto weight = CSS::Font::Weight::fromCSS(longhand("font-weight"));
  const auto family = CSS::Font::Family::fromCSS(longhand("font-family"));
  const auto size = CSS::UnitLength::fromCSS(longhand("font-size"));
  if (!font) {
    if (!style && !weight && !family && !size) return std::nullopt;
    font = CSS::Font(CSS::Font::Family::sansSerif(), CSS::Font::Style::normal, CSS::Font::Weight::normal(),
                     std::nullopt);
  }
  // A system-font keyword ignores the longhand properties.
  if (style) font = font->style(*style);
  if (weight) font = font->weight(*weight);
  if (family) font = font->family(*family);
  if (size) font = font->size(size);
  return font;
}

namespace CSS {

std::optional<Font> CSS::font(const SVG::XMLAttributes& xmlAttributes) const {
  return cssResolver(xmlAttributes).cssFont(xmlAttributes);
}

}  // namespace CSS
