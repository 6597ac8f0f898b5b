// The painting properties an element states, and their inheritance.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/Parser/XMLAttributes.h"
#include "Platform/Geometry.h"
#include "SVGParser/SVG/Inheritable.h"
#include "SVGParser/SVG/Paint.h"
#include "SVGParser/SVG/Transform.h"

namespace SVG {

/// Every field is unset (or `none`, or empty) unless the element states it.
/// `PresentationAttributes{.fill = paint}` is the value with only a fill.
struct PresentationAttributes {
  std::optional<CGFloat> opacity{};        ///< percent, 0 to 100
  std::optional<CGFloat> fillOpacity{};    ///< percent
  std::optional<CGFloat> strokeOpacity{};  ///< percent
  std::optional<CSS::UnitLength> strokeWidth{};
  std::optional<Paint> fill{};
  std::optional<CSS::UnitLength> strokeMiterLimit{};
  std::optional<Paint> stroke{};
  Inheritable<CGPathFillRule> fillRule = Inheritable<CGPathFillRule>::none();
  Inheritable<CGPathFillRule> clipRule = Inheritable<CGPathFillRule>::none();
  std::optional<CGLineCap> strokeLineCap{};
  std::optional<CGLineJoin> strokeLineJoin{};
  Inheritable<std::string> filter = Inheritable<std::string>::none();  ///< filter reference text
  std::vector<Transform> transform{};  ///< the element's own list, in document order

  static constexpr CGLineCap strokeLineCapDefault = CGLineCap::butt;
  static constexpr CGLineJoin strokeLineJoinDefault = CGLineJoin::miter;

  /// Only a fill; every other field unset, the rules and the filter `none`.
  static PresentationAttributes fromFill(std::optional<Paint> fill);

  // Reading from text, attributes and CSS
  /// The element's own attributes, each read from its attribute, else from its cascaded CSS.
  static PresentationAttributes fromXMLAttributes(const XMLAttributes& xmlAttributes,
                                                  const CSSPropertyResolver& css);

  /// Fills what this value leaves open from `other` (the parent): unset optional
  /// fields take the parent's; rules and filter only when they are `inherit`;
  /// the transform list is never taken.
  void merge(const PresentationAttributes& other);
  /// A copy with `merge(other)` applied.
  PresentationAttributes merged(const PresentationAttributes& other) const;

  /// A fill is set and it is not `none`.
  bool needsFill() const;
  /// A stroke is set and it is not `none`.
  bool needsStroke() const;

  /// "<Presentation: fillOpacity=50.0 fill=color(named(\"red\")) ...>"
  std::string description() const;
  bool operator==(const PresentationAttributes&) const = default;
};

}  // namespace SVG
