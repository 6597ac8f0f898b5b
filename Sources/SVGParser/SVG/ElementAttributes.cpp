#include "SVGParser/SVG/ElementAttributes.h"

namespace SVG {

std::string CoreAttributes::description() const {
  std::string text = "<Core:";
  if (id) text += " id=" + *id;
  return text + ">";
}

std::string StylingAttributes::description() const {
  std::string text = "<Styling:";
  if (style) text += " '" + *style + "'";
  if (!classes.empty()) {
    text += " classes=";
    for (size_t i = 0; i < classes.size(); ++i) text += (i ? "," : "") + classes[i];
  }
  return text + ">";
}

}  // namespace SVG
