// Path commands and transform steps of the SwiftUI view model.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "Platform/Geometry.h"

namespace SwiftUIModel {

/// One step of a transform. A list of steps is a chain of operations in list
/// order: the first gives the starting transform and each further one is
/// applied to the transform built so far, like `translatedBy`, `rotated` and
/// `scaledBy`; so a point is transformed by the last step first.
class TransformStep {
 public:
  struct Translate {
    CGFloat dx;
    CGFloat dy;
    bool operator==(const Translate&) const = default;
  };
  /// Rotation by `angle` radians.
  struct Rotate {
    CGFloat angle;
    bool operator==(const Rotate&) const = default;
  };
  struct Scale {
    CGFloat x;
    CGFloat y;
    bool operator==(const Scale&) const = default;
  };
  struct Matrix {
    CGAffineTransform value;
    bool operator==(const Matrix&) const = default;
  };
  using Variant = std::variant<Translate, Rotate, Scale, Matrix>;

  TransformStep(Translate c) : value_(c) {}
  TransformStep(Rotate c) : value_(c) {}
  TransformStep(Scale c) : value_(c) {}
  TransformStep(Matrix c) : value_(c) {}

  static TransformStep translate(CGFloat dx, CGFloat dy) { return Translate{dx, dy}; }
  static TransformStep rotate(CGFloat angle) { return Rotate{angle}; }
  static TransformStep scale(CGFloat x, CGFloat y) { return Scale{x, y}; }
  static TransformStep matrix(const CGAffineTransform& m) { return Matrix{m}; }

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The step alone as an affine transform.
  CGAffineTransform affineTransformation() const;
  /// ".translate(dx, dy)", ".rotate(angle)", ".scale(x, y)" or the matrix.
  std::string description() const;

  bool operator==(const TransformStep&) const = default;

 private:
  Variant value_;
};

/// The transform of a whole chain of steps, read as described at
/// `TransformStep`: for [translate(c), rotate(φ), scale(s)] a point is
/// scaled, then rotated, then moved by c.
CGAffineTransform affineTransformation(const std::vector<TransformStep>& steps);

/// "[" + the descriptions joined by ", " + "]".
std::string description(const std::vector<TransformStep>& steps);

/// One drawing operation of a path. Angles are radians.
class PathCommand {
 public:
  struct MoveTo {
    CGPoint point;
    bool operator==(const MoveTo&) const = default;
  };
  struct AddLineTo {
    CGPoint point;
    bool operator==(const AddLineTo&) const = default;
  };
  /// A cubic curve to `point`.
  struct AddCurveTo {
    CGPoint point;
    CGPoint control1;
    CGPoint control2;
    bool operator==(const AddCurveTo&) const = default;
  };
  /// A quadratic curve to `point`.
  struct AddQuadCurveTo {
    CGPoint point;
    CGPoint control;
    bool operator==(const AddQuadCurveTo&) const = default;
  };
  /// An arc around `center`, mapped onto the page by its own `transform`.
  struct AddRelativeArc {
    CGPoint center;
    CGFloat radius;
    CGFloat startAngle;
    CGFloat delta;
    std::vector<TransformStep> transform;
    bool operator==(const AddRelativeArc&) const = default;
  };
  /// A move to the first point and straight lines through the others.
  struct AddLines {
    std::vector<CGPoint> points;
    bool operator==(const AddLines&) const = default;
  };
  struct CloseSubpath {
    bool operator==(const CloseSubpath&) const = default;
  };
  using Variant =
      std::variant<MoveTo, AddLineTo, AddCurveTo, AddQuadCurveTo, AddRelativeArc, AddLines, CloseSubpath>;

  PathCommand(MoveTo c) : value_(c) {}
  PathCommand(AddLineTo c) : value_(c) {}
  PathCommand(AddCurveTo c) : value_(c) {}
  PathCommand(AddQuadCurveTo c) : value_(c) {}
  PathCommand(AddRelativeArc c) : value_(std::move(c)) {}
  PathCommand(AddLines c) : value_(std::move(c)) {}
  PathCommand(CloseSubpath c) : value_(c) {}

  static PathCommand moveTo(CGPoint p) { return MoveTo{p}; }
  static PathCommand addLineTo(CGPoint p) { return AddLineTo{p}; }
  static PathCommand addCurveTo(CGPoint p, CGPoint control1, CGPoint control2) {
    return AddCurveTo{p, control1, control2};
  }
  static PathCommand addQuadCurveTo(CGPoint p, CGPoint control) { return AddQuadCurveTo{p, control}; }
  static PathCommand addRelativeArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat delta,
                                    std::vector<TransformStep> transform) {
    return AddRelativeArc{center, radius, startAngle, delta, std::move(transform)};
  }
  static PathCommand addLines(std::vector<CGPoint> points) { return AddLines{std::move(points)}; }
  static PathCommand closeSubpath() { return CloseSubpath{}; }

  const Variant& variant() const { return value_; }
  Variant& variant() { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }
  template <typename Case> Case* as() { return std::get_if<Case>(&value_); }

  /// "M1.0,2.0", "L...", "C...[cp1=..., cp2=...]", "Q...[cp=...]", "A...", "(M...L...)", "Z".
  std::string description() const;

  bool operator==(const PathCommand&) const = default;

 private:
  Variant value_;
};

/// "[" + the descriptions joined by ", " + "]".
std::string description(const std::vector<PathCommand>& commands);

}  // namespace SwiftUIModel
