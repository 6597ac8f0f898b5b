#include "SVGParser/SVG/Text.h"

#include "Platform/Text/TextClusters.h"

namespace SVG {

std::string Text::description() const {
  std::string out = "<Text:";
  if (core.id) out += " id=" + *core.id;

  const CSS::UnitLength zero = CSS::UnitLength::point(0);
  const bool atZero = x == zero && y == zero;
  const bool shifted = dx && dy;
  if (!atZero) out += " " + x.description() + "," + y.description();
  if (shifted) out += " m" + dx->description() + "," + dy->description();
  if (atZero && !shifted) out += " 0,0";

  if (text.empty()) {
    out += " EMPTY";
  } else {
    constexpr size_t shownWhole = 39;
    constexpr size_t shownCut = 38;
    if (QuarvelText::prefixOfCharacters(text, shownWhole) == text.size()) {
      out += " '" + text + "'";
    } else {
      out += " '" + text.substr(0, QuarvelText::prefixOfCharacters(text, shownCut)) + "'\u2026";
    }
  }

  if (font) out += " " + font->description();
  if (textLength) out += " length=" + textLength->description();
  if (!style.isEmpty()) out += " style=" + style.description();
  return out + " " + presentation.description() + ">";
}

}  // namespace SVG
