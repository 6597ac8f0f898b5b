#include "SVGParser/SVG/Gradient.h"

namespace SVG {

namespace {

std::string header(const CoreAttributes& core, const std::optional<std::string>& templateID) {
  std::string text = "<Gradient:";
  if (core.id) text += " id=" + *core.id;
  if (templateID) text += " template=" + *templateID;
  return text;
}

std::string stopList(const std::vector<GradientStop>& stops) {
  if (stops.empty()) return " EMPTY";
  std::string text = " [";
  for (size_t i = 0; i < stops.size(); ++i) text += (i ? ", " : "") + stops[i].description();
  return text + "]";
}

}  // namespace

std::string GradientStop::description() const {
  std::string text = "<Stop:";
  if (core.id) text += " id=" + *core.id;
  return text + ">";
}

std::string LinearGradient::description() const {
  return header(core, templateGradientID) + " " + x1.description() + " " + x2.description() +
         " " + y1.description() + " " + y2.description() + stopList(stops) + ">";
}

std::string RadialGradient::description() const {
  return header(core, templateGradientID) + " " + r.description() + " " + cx.description() + "," +
         cy.description() + stopList(stops) + ">";
}

}  // namespace SVG
