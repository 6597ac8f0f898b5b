// Identity and styling inputs of an element, and its font from the cascaded CSS.
#include "SVGParser/CSS/Font.h"
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

std::optional<CSS::Font> CSSPropertyResolver::cssFont(const SVG::XMLAttributes&) const {
  const CSSPropertyResolver& css = *this;
  auto font = CSS::Font::fromCSS(css["font"]);
  const auto style = CSS::Font::Style::fromCSS(css["font-style"]);
  const auto weight = CSS::Font::Weight::fromCSS(css["font-weight"]);
  const auto family = CSS::Font::Family::fromCSS(css["font-family"]);
  const auto size = CSS::UnitLength::fromCSS(css["font-size"]);
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
