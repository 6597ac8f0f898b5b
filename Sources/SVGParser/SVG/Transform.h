// One entry of a transform list, in degrees and plain numbers.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Platform/Geometry.h"

namespace SVG {

class Transform {
 public:
  /// The numbers as written, any count: a, b, c, d, tx, ty.
  struct Matrix {
    std::vector<CGFloat> values;
    bool operator==(const Matrix&) const = default;
  };
  /// A rotation about the centre (x, y).
  struct Rotate {
    CGFloat degrees, x, y;
    bool operator==(const Rotate&) const = default;
  };
  struct Translate {
    CGFloat dx, dy;
    bool operator==(const Translate&) const = default;
  };
  struct Scale {
    CGFloat x, y;
    bool operator==(const Scale&) const = default;
  };
  struct SkewX {
    CGFloat degrees;
    bool operator==(const SkewX&) const = default;
  };
  struct SkewY {
    CGFloat degrees;
    bool operator==(const SkewY&) const = default;
  };
  using Variant = std::variant<Matrix, Rotate, Translate, Scale, SkewX, SkewY>;

  Transform(Matrix c) : value_(std::move(c)) {}
  Transform(Rotate c) : value_(c) {}
  Transform(Translate c) : value_(c) {}
  Transform(Scale c) : value_(c) {}
  Transform(SkewX c) : value_(c) {}
  Transform(SkewY c) : value_(c) {}

  // Reading from text, attributes and CSS
  /// The transform list of a `transform` text, in text order; unusable entries are left out.
  static std::vector<Transform> parse(std::optional<std::string_view> string);

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The matrix of this entry.
  CGAffineTransform affineTransformation() const;

  /// matrix([1.0, 0.0]), rotate(degrees: 90.0, x: 0.0, y: 0.0), translate(dx: 1.0, dy: 2.0) ...
  std::string description() const;

  bool operator==(const Transform&) const = default;

 private:
  Variant value_;
};

/// One matrix for a whole list (identity when empty). The last entry acts on a
/// point first: a list of A followed by B maps p to A(B(p)).
CGAffineTransform affineTransformation(std::span<const Transform> transforms);

}  // namespace SVG
