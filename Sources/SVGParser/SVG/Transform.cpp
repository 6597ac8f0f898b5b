#include "SVGParser/SVG/Transform.h"

#include <cmath>
#include <numbers>

#include "Platform/NumberText.h"

namespace SVG {

namespace {

CGFloat radians(CGFloat degrees) { return degrees * std::numbers::pi / 180; }

}  // namespace

CGAffineTransform Transform::affineTransformation() const {
  struct Matrix_ {
    CGAffineTransform operator()(const Matrix& m) const {
      CGFloat n[6] = {0, 0, 0, 0, 0, 0};
      for (size_t i = 0; i < 6 && i < m.values.size(); ++i) n[i] = m.values[i];
      return {n[0], n[1], n[2], n[3], n[4], n[5]};
    }
    CGAffineTransform operator()(const Rotate& r) const {
      const CGFloat angle = (r.degrees * std::numbers::pi) / 180;
      const CGFloat cosine = std::cos(angle);
      const CGFloat sine = std::sin(angle);
      if (r.x == 0 && r.y == 0) return {cosine, sine, -sine, cosine, 0, 0};
      return {cosine, sine, -sine, cosine, r.x - r.x * cosine + r.y * sine,
              r.y - r.x * sine - r.y * cosine};
    }
    CGAffineTransform operator()(const Translate& t) const {
      return CGAffineTransform::makeTranslation(t.dx, t.dy);
    }
    CGAffineTransform operator()(const Scale& s) const {
      return CGAffineTransform::makeScale(s.x, s.y);
    }
    CGAffineTransform operator()(const SkewX& s) const {
      return {1, 0, std::tan(radians(s.degrees)), 1, 0, 0};
    }
    CGAffineTransform operator()(const SkewY& s) const {
      return {1, std::tan(radians(s.degrees)), 0, 1, 0, 0};
    }
  };
  return std::visit(Matrix_{}, value_);
}

std::string Transform::description() const {
  const auto n = [](CGFloat v) { return SVGParser::doubleDescription(v); };
  struct Text {
    decltype(n)& num;
    std::string operator()(const Matrix& m) const {
      std::string text = "matrix([";
      for (size_t i = 0; i < m.values.size(); ++i) text += (i ? ", " : "") + num(m.values[i]);
      return text + "])";
    }
    std::string operator()(const Rotate& r) const {
      return "rotate(degrees: " + num(r.degrees) + ", x: " + num(r.x) + ", y: " + num(r.y) + ")";
    }
    std::string operator()(const Translate& t) const {
      return "translate(dx: " + num(t.dx) + ", dy: " + num(t.dy) + ")";
    }
    std::string operator()(const Scale& s) const {
      return "scale(x: " + num(s.x) + ", y: " + num(s.y) + ")";
    }
    std::string operator()(const SkewX& s) const { return "skewX(degrees: " + num(s.degrees) + ")"; }
    std::string operator()(const SkewY& s) const { return "skewY(degrees: " + num(s.degrees) + ")"; }
  };
  return std::visit(Text{n}, value_);
}

CGAffineTransform affineTransformation(std::span<const Transform> transforms) {
  // Walk from the last entry, which acts first, to the first, which acts last.
  CGAffineTransform result = CGAffineTransform::identity();
  for (auto it = transforms.rbegin(); it != transforms.rend(); ++it) {
    result = result.concatenating(it->affineTransformation());
  }
  return result;
}

}  // namespace SVG
