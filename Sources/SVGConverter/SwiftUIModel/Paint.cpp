#include "SVGConverter/SwiftUIModel/Paint.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"
#include "Platform/NumberText.h"

namespace SwiftUIModel {

std::string Paint::description() const {
  return std::visit(Overloaded{
                        [](const Opacity& o) { return ".opacity(" + SVGParser::doubleDescription(o.opacity) + ")"; },
                        [](const Color& c) {
                          std::string text = ".color(" + c.color.description();
                          if (c.opacity) text += ", " + SVGParser::doubleDescription(*c.opacity);
                          return text + ")";
                        },
                        [](const Property& p) {
                          if (!p.opacity) return "<PaintProp: " + p.id + ">";
                          return "<PaintProp: " + p.id + ", " + SVGParser::doubleDescription(*p.opacity) + ">";
                        },
                    },
                    value_);
}

}  // namespace SwiftUIModel

namespace {

std::size_t combine(std::size_t seed, std::size_t value) {
  return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

// Equal numbers hash alike: 0.0 and -0.0 are equal.
std::size_t hashNumber(CGFloat value) { return std::hash<CGFloat>{}(value == 0 ? 0.0 : value); }

}  // namespace

std::size_t std::hash<SwiftUIModel::Paint>::operator()(const SwiftUIModel::Paint& paint) const noexcept {
  using SwiftUIModel::Paint;
  std::size_t seed = paint.variant().index();
  if (auto o = paint.as<Paint::Opacity>()) return combine(seed, hashNumber(o->opacity));
  if (auto c = paint.as<Paint::Color>()) {
    seed = combine(seed, std::hash<CSS::Color>{}(c->color));
    return combine(seed, c->opacity ? hashNumber(*c->opacity) : 0x5bd1e995U);
  }
  return combine(seed, std::hash<std::string>{}(paint.as<Paint::Property>()->id));
}
