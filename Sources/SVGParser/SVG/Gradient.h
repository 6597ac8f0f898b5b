// Gradient definitions and their colour stops, with the SVG defaults filled in.
#pragma once

#include <concepts>
#include <optional>
#include <string>
#include <vector>

#include "SVGParser/CSS/Color.h"
#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/SVG/ElementAttributes.h"
#include "SVGParser/SVG/Transform.h"
#include "SVGParser/SVG/UnitGeometry.h"

namespace SVG {

/// The coordinate system of a gradient's geometry.
enum class GradientUnits {
  /// Fractions of the bounding box of the element being painted; the default.
  objectBoundingBox,
  /// Points of the user space of the element being painted.
  userSpaceOnUse,
};

struct GradientStop {
  CoreAttributes core{};
  StylingAttributes style{};
  std::optional<CSS::Color> color{};       ///< absent: the converter uses black
  std::optional<CGFloat> opacity{};        ///< percent, 0 to 100
  std::optional<CSS::UnitLength> offset{};  ///< absent: the converter spaces stops evenly

  // Reading from text, attributes and CSS

  static GradientStop fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Stop: id=s1>"; colour, opacity and offset are not shown.
  std::string description() const;
  bool operator==(const GradientStop&) const = default;
};

struct LinearGradient {
  CoreAttributes core{};
  std::vector<GradientStop> stops{};
  std::optional<std::string> templateGradientID{};  ///< the template reference as written, with its "#"
  CSS::UnitLength x1 = CSS::UnitLength::percentage(0);
  CSS::UnitLength x2 = CSS::UnitLength::percentage(100);
  CSS::UnitLength y1 = CSS::UnitLength::percentage(0);
  CSS::UnitLength y2 = CSS::UnitLength::percentage(0);
  std::vector<Transform> gradientTransform{};
  /// Absent unless written: then the gradient takes the units of its template, else the default.
  std::optional<GradientUnits> gradientUnits{};
  /// The geometry attributes that were written, as bits of `Attribute`. One neither written nor
  /// changed from its default takes its value from the template chain, as does an empty transform.
  unsigned writtenAttributes = 0;

  enum Attribute : unsigned {
    x1Attribute = 1u << 0,
    x2Attribute = 1u << 1,
    y1Attribute = 1u << 2,
    y2Attribute = 1u << 3,
  };
  bool written(Attribute attribute) const { return (writtenAttributes & attribute) != 0; }

  /// The units as written, bounding-box units when not.
  GradientUnits units() const { return gradientUnits.value_or(GradientUnits::objectBoundingBox); }

  // Reading from text, attributes and CSS

  static LinearGradient fromXMLAttributes(const XMLAttributes& xmlAttributes);

  UnitPoint startPoint() const { return {x1, y1}; }
  UnitPoint endPoint() const { return {x2, y2}; }

  /// "<Gradient: id=g template=#t 0.0% 100.0% 0.0% 0.0% [<Stop:>, <Stop:>]>" or "... EMPTY>".
  std::string description() const;
  bool operator==(const LinearGradient&) const = default;
};

struct RadialGradient {
  CoreAttributes core{};
  std::vector<GradientStop> stops{};
  std::optional<std::string> templateGradientID{};
  CSS::UnitLength r = CSS::UnitLength::percentage(50);
  CSS::UnitLength cx = CSS::UnitLength::percentage(50);
  CSS::UnitLength cy = CSS::UnitLength::percentage(50);
  CSS::UnitLength fr = CSS::UnitLength::percentage(0);
  std::optional<CSS::UnitLength> fx{};  ///< absent unless written
  std::optional<CSS::UnitLength> fy{};
  std::vector<Transform> gradientTransform{};
  /// Absent unless written: then the gradient takes the units of its template, else the default.
  std::optional<GradientUnits> gradientUnits{};
  /// The geometry attributes that were written, as bits of `Attribute`. One neither written nor
  /// changed from its default takes its value from the template chain, as does an empty transform.
  unsigned writtenAttributes = 0;

  enum Attribute : unsigned {
    rAttribute = 1u << 0,
    cxAttribute = 1u << 1,
    cyAttribute = 1u << 2,
    frAttribute = 1u << 3,
  };
  bool written(Attribute attribute) const { return (writtenAttributes & attribute) != 0; }

  /// The units as written, bounding-box units when not.
  GradientUnits units() const { return gradientUnits.value_or(GradientUnits::objectBoundingBox); }

  // Reading from text, attributes and CSS

  static RadialGradient fromXMLAttributes(const XMLAttributes& xmlAttributes);

  UnitPoint centerPoint() const { return {cx, cy}; }

  /// "<Gradient: id=g 50.0% 50.0%,50.0% EMPTY>"; fr, fx, fy and the transform are not shown.
  std::string description() const;
  bool operator==(const RadialGradient&) const = default;
};

/// A gradient of either kind: it owns a list of stops.
template <typename T>
concept SVGGradient = requires(T& gradient) {
  { gradient.stops } -> std::same_as<std::vector<GradientStop>&>;
};

}  // namespace SVG
