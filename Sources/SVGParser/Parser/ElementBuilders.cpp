// Builders of the drawable elements from their attribute maps and cascaded CSS.
#include <algorithm>
#include <cctype>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/CSS/Parser/TextScanning.h"
#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "Platform/NumberText.h"
#include "Platform/Print.h"
#include "SVGParser/SVG/SVG.h"

namespace SVG {

namespace {

// The attribute groups every element carries, read in this order.
struct CommonAttributes {
  CoreAttributes core;
  StylingAttributes style;
  PresentationAttributes presentation;

  CommonAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css)
      : core(CoreAttributes::fromXMLAttributes(xmlAttributes)),
        style(StylingAttributes::fromXMLAttributes(xmlAttributes)),
        presentation(PresentationAttributes::fromXMLAttributes(xmlAttributes, css)) {}

  template <typename Element>
  void moveInto(Element& element) && {
    element.core = std::move(core);
    element.style = std::move(style);
    element.presentation = std::move(presentation);
  }
};

// A length from the attribute only; nothing when absent or unreadable.
std::optional<CSS::UnitLength> optionalLength(const XMLAttributes& xmlAttributes, std::string_view key) {
  return CSS::UnitLength::fromStringValue(attributeValue(xmlAttributes, key));
}

// A length from the attribute only, zero when absent or unreadable.
CSS::UnitLength zeroLength(const XMLAttributes& xmlAttributes, std::string_view key) {
  return optionalLength(xmlAttributes, key).value_or(CSS::UnitLength::number(0));
}

// A length from the attribute, else from the cascaded CSS.
std::optional<CSS::UnitLength> cssLength(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css,
                                         std::string_view key) {
  auto length = optionalLength(xmlAttributes, key);
  if (!length) length = CSS::UnitLength::fromCSS(css[key]);
  return length;
}

// A point from two keys, each from the attribute or the CSS; a missing coordinate
// of a point that has the other one is zero points.
std::optional<UnitPoint> xy(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css,
                            std::string_view xkey, std::string_view ykey) {
  const auto x = cssLength(xmlAttributes, css, xkey);
  const auto y = cssLength(xmlAttributes, css, ykey);
  if (!x && !y) return std::nullopt;
  return UnitPoint{x.value_or(CSS::UnitLength::point(0)), y.value_or(CSS::UnitLength::point(0))};
}

// The end of the coordinate that starts at `pos`: a number and any unit letters after
// it. A sign or a second decimal point starts the next number, so "10-5" and "1.5.5" hold
// two each; an "e" without exponent digits is a unit letter ("1em"). Returns `pos` when
// no number starts there.
std::size_t coordinateEnd(std::string_view text, std::size_t pos) {
  const auto number = SVGParser::scanNumber(text.substr(pos)).number;
  if (number == 0) return pos;
  std::size_t end = pos + number;
  while (end < text.size() && (std::isalpha(static_cast<unsigned char>(text[end])) || text[end] == '%')) ++end;
  return end;
}

// A `points` list: coordinates separated by blanks and/or commas (or by the sign of the
// next one), paired in order. An unreadable coordinate ends the list; an odd one at the
// end is dropped.
std::vector<UnitPoint> parsePointArray(std::optional<std::string_view> text) {
  std::vector<UnitPoint> points;
  if (!text) return points;
  std::vector<CSS::UnitLength> coordinates;
  std::size_t pos = 0;
  while (pos < text->size()) {
    if ((*text)[pos] == ',') {
      ++pos;
      continue;
    }
    if (const auto blank = SVGParser::whitespaceLengthAt(*text, pos)) {
      pos += blank;
      continue;
    }
    const auto end = coordinateEnd(*text, pos);
    const auto coordinate = end > pos ? CSS::UnitLength::fromStringValue(text->substr(pos, end - pos)) : std::nullopt;
    if (!coordinate) {
      SVGParser::print("WARN: points list cut short at '" + std::string(text->substr(pos, std::max(end, pos + 1) - pos)) + "':",
            std::string(*text));
      break;
    }
    coordinates.push_back(*coordinate);
    pos = end;
  }
  if (coordinates.size() % 2 != 0) {
    SVGParser::print("WARN: odd number of coordinates in points list, last one dropped:", std::string(*text));
  }
  points.reserve(coordinates.size() / 2);
  for (std::size_t i = 0; i + 1 < coordinates.size(); i += 2) {
    points.push_back(UnitPoint{coordinates[i], coordinates[i + 1]});
  }
  return points;
}

// x and y (both or neither), width and height, each from the attribute or else the CSS.
template <typename Element>
void readFrame(Element& element, const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  if (const auto origin = xy(xmlAttributes, css, "x", "y")) {
    element.x = origin->x;
    element.y = origin->y;
  }
  element.width = cssLength(xmlAttributes, css, "width");
  element.height = cssLength(xmlAttributes, css, "height");
}

template <typename Shape>
Shape polyShape(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  auto pathLength = optionalLength(xmlAttributes, "pathLength");
  auto points = parsePointArray(attributeValue(xmlAttributes, "points"));
  return Shape{std::move(points), std::move(pathLength), std::move(common.core), std::move(common.style),
               std::move(common.presentation)};
}

}  // namespace

SVG SVG::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  SVG svg;
  readFrame(svg, xmlAttributes, css);
  svg.viewBox = SVGParser::parseCGRect(attributeValue(xmlAttributes, "viewBox"));
  std::move(common).moveInto(svg);
  return svg;
}

Group Group::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  return Group{std::move(common.core), std::move(common.style), std::move(common.presentation), {}};
}

Text Text::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  auto x = zeroLength(xmlAttributes, "x");
  auto y = zeroLength(xmlAttributes, "y");
  auto dx = optionalLength(xmlAttributes, "dx");
  auto dy = optionalLength(xmlAttributes, "dy");
  auto textLength = optionalLength(xmlAttributes, "textLength");
  auto font = css.cssFont(xmlAttributes);
  return Text{std::move(common.core), std::move(common.style), std::move(common.presentation), x, y, dx, dy,
              textLength, std::move(font), {}};
}

Circle Circle::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  auto cx = zeroLength(xmlAttributes, "cx");
  auto cy = zeroLength(xmlAttributes, "cy");
  auto r = zeroLength(xmlAttributes, "r");
  auto pathLength = optionalLength(xmlAttributes, "pathLength");
  return Circle{cx, cy, r, pathLength, std::move(common.core), std::move(common.style),
                std::move(common.presentation)};
}

Ellipse Ellipse::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  auto cx = zeroLength(xmlAttributes, "cx");
  auto cy = zeroLength(xmlAttributes, "cy");
  auto rx = zeroLength(xmlAttributes, "rx");
  auto ry = zeroLength(xmlAttributes, "ry");
  auto pathLength = optionalLength(xmlAttributes, "pathLength");
  return Ellipse{cx, cy, rx, ry, pathLength, std::move(common.core), std::move(common.style),
                 std::move(common.presentation)};
}

Rect Rect::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  Rect rect;
  readFrame(rect, xmlAttributes, css);
  rect.pathLength = optionalLength(xmlAttributes, "pathLength");
  rect.rx = optionalLength(xmlAttributes, "rx");
  rect.ry = optionalLength(xmlAttributes, "ry");
  // One corner radius stands for both.
  if (!rect.rx) rect.rx = rect.ry;
  if (!rect.ry) rect.ry = rect.rx;
  std::move(common).moveInto(rect);
  return rect;
}

Line Line::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  auto pathLength = optionalLength(xmlAttributes, "pathLength");
  auto startPoint = xy(xmlAttributes, css, "x1", "y1");
  auto endPoint = xy(xmlAttributes, css, "x2", "y2");
  return Line{startPoint, endPoint, pathLength, std::move(common.core), std::move(common.style),
              std::move(common.presentation)};
}

Polygon Polygon::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  return polyShape<Polygon>(xmlAttributes, css);
}

Polyline Polyline::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  return polyShape<Polyline>(xmlAttributes, css);
}

Image Image::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  Image image;
  readFrame(image, xmlAttributes, css);
  // The same list as the presentation's, read once so that its messages print once.
  image.transform = common.presentation.transform;
  std::move(common).moveInto(image);
  return image;
}

Path Path::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  CommonAttributes common(xmlAttributes, css);
  auto commands = Command::parseCommandsString(attributeValue(xmlAttributes, "d").value_or(""));
  auto pathLength = optionalLength(xmlAttributes, "pathLength");
  return Path{std::move(commands), pathLength, std::move(common.core), std::move(common.style),
              std::move(common.presentation)};
}

}  // namespace SVG
