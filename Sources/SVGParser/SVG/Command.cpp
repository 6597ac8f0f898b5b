#include "SVGParser/SVG/Command.h"

#include "Platform/NumberText.h"

namespace SVG {

namespace {

std::string pair(CGFloat first, CGFloat second) {
  return SVGParser::doubleDescription(first) + "," + SVGParser::doubleDescription(second);
}

struct Text {
  std::string operator()(const Command::M& c) const { return "M[" + pair(c.x, c.y) + "]"; }
  std::string operator()(const Command::m& c) const { return "m[" + pair(c.dx, c.dy) + "]"; }
  std::string operator()(const Command::L& c) const { return "L[" + pair(c.x, c.y) + "]"; }
  std::string operator()(const Command::l& c) const { return "l[" + pair(c.dx, c.dy) + "]"; }
  std::string operator()(const Command::H& c) const { return "H[" + SVGParser::doubleDescription(c.x) + ",]"; }
  std::string operator()(const Command::h& c) const { return "h[" + SVGParser::doubleDescription(c.dx) + ",]"; }
  std::string operator()(const Command::V& c) const { return "V[," + SVGParser::doubleDescription(c.y) + "]"; }
  std::string operator()(const Command::v& c) const { return "v[," + SVGParser::doubleDescription(c.dy) + "]"; }
  std::string operator()(const Command::C& c) const {
    return "C[" + pair(c.x1, c.y1) + "->" + pair(c.x2, c.y2) + "->" + pair(c.x, c.y) + "]";
  }
  std::string operator()(const Command::c& c) const {
    return "c[" + pair(c.dx1, c.dy1) + "->" + pair(c.dx2, c.dy2) + "->" + pair(c.dx, c.dy) + "]";
  }
  std::string operator()(const Command::S& c) const {
    return "S[" + pair(c.x2, c.y2) + "->" + pair(c.x, c.y) + "]";
  }
  std::string operator()(const Command::s& c) const {
    return "s[" + pair(c.dx2, c.dy2) + "->" + pair(c.dx, c.dy) + "]";
  }
  std::string operator()(const Command::Q& c) const {
    return "Q[" + pair(c.x1, c.y1) + " " + pair(c.x, c.y) + "]";
  }
  std::string operator()(const Command::q& c) const {
    return "q[" + pair(c.dx1, c.dy1) + " " + pair(c.dx, c.dy) + "]";
  }
  std::string operator()(const Command::T& c) const { return "T[" + pair(c.x, c.y) + "]"; }
  std::string operator()(const Command::t& c) const { return "t[" + pair(c.dx, c.dy) + "]"; }
  std::string operator()(const Command::A& c) const {
    return "A[" + pair(c.x, c.y) + " " + SVGParser::doubleDescription(c.angle) + " r" + pair(c.rx, c.ry) + "]";
  }
  std::string operator()(const Command::a& c) const {
    return "a[" + pair(c.dx, c.dy) + " " + SVGParser::doubleDescription(c.angle) + " r" + pair(c.rx, c.ry) +
           "]";
  }
  std::string operator()(const Command::Z&) const { return "Z"; }
};

}  // namespace

std::string Command::description() const { return std::visit(Text{}, value_); }

}  // namespace SVG
