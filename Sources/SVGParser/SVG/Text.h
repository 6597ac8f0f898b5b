// A text element: position, font and character data.
#pragma once

#include <optional>
#include <string>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/SVG/ElementAttributes.h"
#include "SVGParser/SVG/PresentationAttributes.h"

namespace SVG {

struct Text {
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};
  CSS::UnitLength x;  ///< number(0) when the document gives none
  CSS::UnitLength y;
  std::optional<CSS::UnitLength> dx{};
  std::optional<CSS::UnitLength> dy{};
  std::optional<CSS::UnitLength> textLength{};
  std::optional<CSS::Font> font{};
  std::string text{};  ///< the character data, UTF-8

  // Reading from text, attributes and CSS

  static Text fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Text: id=t 10.0,20.0 'Hello' sans-serif <Presentation:>>"; texts longer
  /// than 39 characters are cut to 38 and an ellipsis.
  std::string description() const;
  bool operator==(const Text&) const = default;
};

}  // namespace SVG
