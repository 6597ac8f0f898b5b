#include "SVGParser/CSS/UnitLength.h"

#include "Platform/NumberText.h"

namespace CSS {

CGFloat UnitLength::value() const {
  return std::visit([](const auto& c) { return c.value; }, value_);
}

std::string_view UnitLength::unitSuffix() const {
  struct Suffix {
    std::string_view operator()(const Number&) const { return ""; }
    std::string_view operator()(const Percentage&) const { return "%"; }
    std::string_view operator()(const Centimeter&) const { return "cm"; }
    std::string_view operator()(const Millimeter&) const { return "mm"; }
    std::string_view operator()(const Inch&) const { return "\""; }
    std::string_view operator()(const Point&) const { return "pt"; }
    std::string_view operator()(const Pc&) const { return "pc"; }
    std::string_view operator()(const Pixel&) const { return "px"; }
  };
  return std::visit(Suffix{}, value_);
}

std::string UnitLength::description() const {
  return SVGParser::doubleDescription(value()) + std::string(unitSuffix());
}

std::optional<CGFloat> UnitLength::pointSize() const {
  struct Points {
    std::optional<CGFloat> operator()(const Number& c) const { return c.value; }
    std::optional<CGFloat> operator()(const Percentage&) const { return std::nullopt; }
    std::optional<CGFloat> operator()(const Centimeter& c) const {
      return c.value * 10 * pointsPerMillimeter;
    }
    std::optional<CGFloat> operator()(const Millimeter& c) const {
      return c.value * pointsPerMillimeter;
    }
    std::optional<CGFloat> operator()(const Inch& c) const { return c.value * 72; }
    std::optional<CGFloat> operator()(const Point& c) const { return c.value; }
    std::optional<CGFloat> operator()(const Pc&) const { return std::nullopt; }
    std::optional<CGFloat> operator()(const Pixel& c) const { return c.value; }
  };
  return std::visit(Points{}, value_);
}

// self \ reference | number r        | percentage q     | absolute unit   | none
// number n         | n / r           | n / (q / 100)    | n               | n
// percentage p     | (p / 100) / r   | p / q            | p / 100         | p / 100
// absolute a       | points(a) / r   | no value         | points / points | no value
// A pica length is no fraction of anything, and no absolute length is a fraction of one.
std::optional<CGFloat> UnitLength::fraction(const std::optional<UnitLength>& reference) const {
  const Number* refNumber = reference ? reference->as<Number>() : nullptr;
  const Percentage* refPercentage = reference ? reference->as<Percentage>() : nullptr;
  if (const auto* n = as<Number>()) {
    if (refNumber) return n->value / refNumber->value;
    if (refPercentage) return n->value / (refPercentage->value / 100);
    return n->value;
  }
  if (const auto* p = as<Percentage>()) {
    if (refNumber) return (p->value / 100) / refNumber->value;
    if (refPercentage) return p->value / refPercentage->value;
    return p->value / 100;
  }
  const std::optional<CGFloat> points = pointSize();
  if (!points || !reference || refPercentage) return std::nullopt;
  if (refNumber) return *points / refNumber->value;
  const std::optional<CGFloat> referencePoints = reference->pointSize();
  if (!referencePoints) return std::nullopt;
  return *points / *referencePoints;
}

}  // namespace CSS
