#include "SVGParser/SVG/UnitGeometry.h"

namespace SVG {

UnitPoint UnitPoint::fromCGPoint(CGPoint point) { return fromXY(point.x, point.y); }

UnitPoint UnitPoint::fromXY(CGFloat x, CGFloat y) {
  return {CSS::UnitLength::point(x), CSS::UnitLength::point(y)};
}

std::optional<CGPoint> UnitPoint::pointSize() const {
  const auto px = x.pointSize();
  const auto py = y.pointSize();
  if (!px || !py) return std::nullopt;
  return CGPoint{*px, *py};
}

std::optional<CGPoint> UnitPoint::fraction(const std::optional<UnitSize>& size) const {
  const auto fx = x.fraction(size ? std::optional(size->width) : std::nullopt);
  const auto fy = y.fraction(size ? std::optional(size->height) : std::nullopt);
  if (!fx || !fy) return std::nullopt;
  return CGPoint{*fx, *fy};
}

std::string UnitPoint::description() const {
  return "UnitPoint(x: " + x.description() + ", y: " + y.description() + ")";
}

UnitSize UnitSize::fromCGSize(CGSize size) { return fromWH(size.width, size.height); }

UnitSize UnitSize::fromWH(CGFloat w, CGFloat h) {
  return {CSS::UnitLength::point(w), CSS::UnitLength::point(h)};
}

std::optional<CGSize> UnitSize::pointSize() const {
  const auto w = width.pointSize();
  const auto h = height.pointSize();
  if (!w || !h) return std::nullopt;
  return CGSize{*w, *h};
}

std::string UnitSize::description() const {
  return "UnitSize(width: " + width.description() + ", height: " + height.description() + ")";
}

UnitRect UnitRect::fromCGRect(const CGRect& rect) {
  return {UnitPoint::fromCGPoint(rect.origin), UnitSize::fromCGSize(rect.size)};
}

std::optional<CGRect> UnitRect::pointSize() const {
  const auto o = origin.pointSize();
  const auto s = size.pointSize();
  if (!o || !s) return std::nullopt;
  return CGRect(*o, *s);
}

std::string UnitRect::description() const {
  return "UnitRect(origin: " + origin.description() + ", size: " + size.description() + ")";
}

}  // namespace SVG
