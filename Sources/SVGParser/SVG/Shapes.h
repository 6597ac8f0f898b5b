// The drawable leaves of a drawing: paths, basic shapes and images.
// Geometry stays in lengths with units; the converter turns it into points.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/SVG/Command.h"
#include "SVGParser/SVG/ElementAttributes.h"
#include "SVGParser/SVG/PresentationAttributes.h"
#include "SVGParser/SVG/Transform.h"
#include "SVGParser/SVG/UnitGeometry.h"

namespace SVG {

struct Path {
  std::vector<Command> commands{};
  std::optional<CSS::UnitLength> pathLength{};
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};

  // Reading from text, attributes and CSS

  static Path fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Path: id=p length=10.0 style=<Styling:...> <Presentation:...>>"; commands are not listed.
  std::string description() const;
  bool operator==(const Path&) const = default;
};

struct Circle {
  CSS::UnitLength cx;
  CSS::UnitLength cy;
  CSS::UnitLength r;
  std::optional<CSS::UnitLength> pathLength{};
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};

  // Reading from text, attributes and CSS

  static Circle fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Circle: id=c 10.0,20.0 5.0 <Presentation:>>"
  std::string description() const;
  bool operator==(const Circle&) const = default;
};

struct Ellipse {
  CSS::UnitLength cx;
  CSS::UnitLength cy;
  CSS::UnitLength rx;
  CSS::UnitLength ry;
  std::optional<CSS::UnitLength> pathLength{};
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};

  // Reading from text, attributes and CSS

  static Ellipse fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Ellipse: id=e 10.0,20.0 5.0/3.0 <Presentation:>>"
  std::string description() const;
  bool operator==(const Ellipse&) const = default;
};

struct Rect {
  std::optional<CSS::UnitLength> x{};
  std::optional<CSS::UnitLength> y{};
  std::optional<CSS::UnitLength> width{};
  std::optional<CSS::UnitLength> height{};
  std::optional<CSS::UnitLength> pathLength{};
  std::optional<CSS::UnitLength> rx{};
  std::optional<CSS::UnitLength> ry{};
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};

  // Reading from text, attributes and CSS

  static Rect fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Rect: id=r 0.0pt,5.0 10.0x20.0 rounded=2.0/3.0 <Presentation:>>"
  std::string description() const;
  bool operator==(const Rect&) const = default;
};

struct Line {
  std::optional<UnitPoint> startPoint{};
  std::optional<UnitPoint> endPoint{};
  std::optional<CSS::UnitLength> pathLength{};
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};

  // Reading from text, attributes and CSS

  static Line fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Line: id=l from=0.0,0.0 to=10.0,10.0 <Presentation:>>"
  std::string description() const;
  bool operator==(const Line&) const = default;
};

struct Polygon {
  std::vector<UnitPoint> points{};
  std::optional<CSS::UnitLength> pathLength{};
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};

  // Reading from text, attributes and CSS

  static Polygon fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Polygon: id=p #points=3 <Presentation:>>"
  std::string description() const;
  bool operator==(const Polygon&) const = default;
};

struct Polyline {
  std::vector<UnitPoint> points{};
  std::optional<CSS::UnitLength> pathLength{};
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};

  // Reading from text, attributes and CSS

  static Polyline fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Polyline: id=p #points=3 <Presentation:>>"
  std::string description() const;
  bool operator==(const Polyline&) const = default;
};

struct Image {
  std::optional<CSS::UnitLength> x{};
  std::optional<CSS::UnitLength> y{};
  std::optional<CSS::UnitLength> width{};
  std::optional<CSS::UnitLength> height{};
  std::vector<Transform> transform{};  ///< the same list as the presentation's
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};

  // Reading from text, attributes and CSS

  static Image fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// "<Image: id=i 0.0,0.0 10.0x20.0 <Presentation:>>"
  std::string description() const;
  bool operator==(const Image&) const = default;
};

}  // namespace SVG
