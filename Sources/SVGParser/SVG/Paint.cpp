#include "SVGParser/SVG/Paint.h"

namespace SVG {

std::string Paint::description() const {
  if (const auto* c = as<Color>()) return "color(" + c->color.description() + ")";
  if (const auto* d = as<Definition>()) return "definition(\"" + d->id + "\")";
  return "none";
}

#define QUARVEL_DEFINE_PAINT(keyword, value)                   \
  const Paint& Paint::keyword() {                              \
    static const Paint& paint = *new const Paint(color(CSS::Color::keyword())); \
    return paint;                                              \
  }
QUARVEL_CSS_NAMED_COLORS(QUARVEL_DEFINE_PAINT)
#undef QUARVEL_DEFINE_PAINT

}  // namespace SVG

std::size_t std::hash<SVG::Paint>::operator()(const SVG::Paint& paint) const noexcept {
  std::size_t seed = paint.variant().index() * 0x9e3779b97f4a7c15ULL;
  if (const auto* c = paint.as<SVG::Paint::Color>()) return seed ^ std::hash<CSS::Color>{}(c->color);
  if (const auto* d = paint.as<SVG::Paint::Definition>()) return seed ^ std::hash<std::string>{}(d->id);
  return seed;
}
