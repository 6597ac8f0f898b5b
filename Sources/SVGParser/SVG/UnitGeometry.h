// Points, sizes and rectangles made of lengths with units.
#pragma once

#include <optional>
#include <string>

#include "SVGParser/CSS/UnitLength.h"
#include "Platform/Geometry.h"

namespace SVG {

struct UnitSize;

struct UnitPoint {
  CSS::UnitLength x;
  CSS::UnitLength y;

  /// A point whose coordinates are lengths in points.
  static UnitPoint fromCGPoint(CGPoint point);
  static UnitPoint fromXY(CGFloat x, CGFloat y);

  /// Both coordinates in points; nothing when either has no point size.
  std::optional<CGPoint> pointSize() const;
  /// x as a fraction of the width and y of the height (of no reference without a size).
  std::optional<CGPoint> fraction(const std::optional<UnitSize>& size) const;
  /// UnitPoint(x: 1.0pt, y: 50.0%)
  std::string description() const;
  bool operator==(const UnitPoint&) const = default;
};

struct UnitSize {
  CSS::UnitLength width;
  CSS::UnitLength height;

  /// A size whose lengths are in points.
  static UnitSize fromCGSize(CGSize size);
  static UnitSize fromWH(CGFloat w, CGFloat h);

  std::optional<CGSize> pointSize() const;
  /// UnitSize(width: 10.0cm, height: 50.0%)
  std::string description() const;
  bool operator==(const UnitSize&) const = default;
};

struct UnitRect {
  UnitPoint origin;
  UnitSize size;

  /// A rectangle whose lengths are in points.
  static UnitRect fromCGRect(const CGRect& rect);

  std::optional<CGRect> pointSize() const;
  /// UnitRect(origin: UnitPoint(...), size: UnitSize(...))
  std::string description() const;
  bool operator==(const UnitRect&) const = default;
};

}  // namespace SVG
