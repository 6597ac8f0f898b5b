// Plain geometry values: points, sizes, rectangles and affine transforms,
// with the usual 2-D graphics semantics (y grows downwards, row vectors).
#pragma once

#include <cstdint>
#include <string>

using CGFloat = double;

struct CGAffineTransform;

struct CGPoint {
  CGFloat x = 0;
  CGFloat y = 0;

  static constexpr CGPoint zero() { return {0, 0}; }
  /// The point mapped by `t`: (a·x + c·y + tx, b·x + d·y + ty).
  CGPoint applying(const CGAffineTransform& t) const;
  bool operator==(const CGPoint&) const = default;
};

struct CGSize {
  CGFloat width = 0;
  CGFloat height = 0;

  static constexpr CGSize zero() { return {0, 0}; }
  bool operator==(const CGSize&) const = default;
};

struct CGRect {
  CGPoint origin;
  CGSize size;

  CGRect() = default;
  CGRect(CGPoint o, CGSize s) : origin(o), size(s) {}
  CGRect(CGFloat x, CGFloat y, CGFloat width, CGFloat height) : origin{x, y}, size{width, height} {}

  static CGRect zero() { return {}; }
  CGFloat minX() const;
  CGFloat minY() const;
  CGFloat maxX() const;
  CGFloat maxY() const;
  CGFloat midX() const;
  CGFloat midY() const;
  CGFloat width() const;   ///< absolute width
  CGFloat height() const;  ///< absolute height
  bool operator==(const CGRect&) const = default;
};

/// Affine transform [a b 0; c d 0; tx ty 1] applied to row vectors.
struct CGAffineTransform {
  CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static constexpr CGAffineTransform identity() { return {}; }
  static CGAffineTransform makeRotation(CGFloat angle);  ///< radians
  static CGAffineTransform makeTranslation(CGFloat tx, CGFloat ty);
  static CGAffineTransform makeScale(CGFloat sx, CGFloat sy);

  /// `this` followed by `t2`: a point is mapped by `this` first, then by `t2`.
  CGAffineTransform concatenating(const CGAffineTransform& t2) const;
  /// Rotation applied before `this` (like the graphics libraries' rotated(by:)).
  CGAffineTransform rotated(CGFloat angle) const;
  CGAffineTransform translatedBy(CGFloat x, CGFloat y) const;
  CGAffineTransform scaledBy(CGFloat sx, CGFloat sy) const;
  bool isIdentity() const;
  bool operator==(const CGAffineTransform&) const = default;
};

enum class CGLineCap { butt, round, square };
enum class CGLineJoin { miter, round, bevel };
enum class CGPathFillRule { winding, evenOdd };
