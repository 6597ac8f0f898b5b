#include "Platform/Geometry.h"

#include <algorithm>
#include <cmath>

CGPoint CGPoint::applying(const CGAffineTransform& t) const {
  return {t.a * x + t.c * y + t.tx, t.b * x + t.d * y + t.ty};
}

CGFloat CGRect::minX() const { return std::min(origin.x, origin.x + size.width); }
CGFloat CGRect::minY() const { return std::min(origin.y, origin.y + size.height); }
CGFloat CGRect::maxX() const { return std::max(origin.x, origin.x + size.width); }
CGFloat CGRect::maxY() const { return std::max(origin.y, origin.y + size.height); }
CGFloat CGRect::midX() const { return origin.x + size.width / 2; }
CGFloat CGRect::midY() const { return origin.y + size.height / 2; }
CGFloat CGRect::width() const { return std::fabs(size.width); }
CGFloat CGRect::height() const { return std::fabs(size.height); }

CGAffineTransform CGAffineTransform::makeRotation(CGFloat angle) {
  const CGFloat s = std::sin(angle), co = std::cos(angle);
  return {co, s, -s, co, 0, 0};
}

CGAffineTransform CGAffineTransform::makeTranslation(CGFloat tx, CGFloat ty) {
  return {1, 0, 0, 1, tx, ty};
}

CGAffineTransform CGAffineTransform::makeScale(CGFloat sx, CGFloat sy) {
  return {sx, 0, 0, sy, 0, 0};
}

CGAffineTransform CGAffineTransform::concatenating(const CGAffineTransform& t) const {
  return {
      a * t.a + b * t.c,
      a * t.b + b * t.d,
      c * t.a + d * t.c,
      c * t.b + d * t.d,
      tx * t.a + ty * t.c + t.tx,
      tx * t.b + ty * t.d + t.ty,
  };
}

CGAffineTransform CGAffineTransform::rotated(CGFloat angle) const {
  return makeRotation(angle).concatenating(*this);
}

CGAffineTransform CGAffineTransform::translatedBy(CGFloat x, CGFloat y) const {
  return makeTranslation(x, y).concatenating(*this);
}

CGAffineTransform CGAffineTransform::scaledBy(CGFloat sx, CGFloat sy) const {
  return makeScale(sx, sy).concatenating(*this);
}

bool CGAffineTransform::isIdentity() const { return *this == identity(); }
