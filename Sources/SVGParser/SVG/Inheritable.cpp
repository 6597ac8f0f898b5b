#include "SVGParser/SVG/Inheritable.h"

namespace SVG {

std::string valueDescription(const std::string& text) { return text; }

std::string valueDescription(CGPathFillRule rule) {
  return rule == CGPathFillRule::evenOdd ? "evenOdd" : "winding";
}

std::string valueDescription(CGLineCap cap) {
  switch (cap) {
    case CGLineCap::round: return "round";
    case CGLineCap::square: return "square";
    case CGLineCap::butt: break;
  }
  return "butt";
}

std::string valueDescription(CGLineJoin join) {
  switch (join) {
    case CGLineJoin::round: return "round";
    case CGLineJoin::bevel: return "bevel";
    case CGLineJoin::miter: break;
  }
  return "miter";
}

}  // namespace SVG
