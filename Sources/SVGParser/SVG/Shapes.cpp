#include "SVGParser/SVG/Shapes.h"

namespace SVG {

namespace {

// The parts every element text shares, before and after its own.
std::string opening(std::string_view kind, const CoreAttributes& core) {
  std::string text = "<" + std::string(kind) + ":";
  if (core.id) text += " id=" + *core.id;
  return text;
}

std::string closing(const std::optional<CSS::UnitLength>& pathLength,
                    const StylingAttributes& style, const PresentationAttributes& presentation) {
  std::string text;
  if (pathLength) text += " length=" + pathLength->description();
  if (!style.isEmpty()) text += " style=" + style.description();
  return text + " " + presentation.description() + ">";
}

std::string coordinates(const CSS::UnitLength& x, const CSS::UnitLength& y) {
  return x.description() + "," + y.description();
}

// " x,y" when either is set (the other as zero points), then the size.
std::string originAndSize(const std::optional<CSS::UnitLength>& x,
                          const std::optional<CSS::UnitLength>& y,
                          const std::optional<CSS::UnitLength>& width,
                          const std::optional<CSS::UnitLength>& height) {
  std::string text;
  if (x || y) {
    const CSS::UnitLength zero = CSS::UnitLength::point(0);
    text += " " + coordinates(x.value_or(zero), y.value_or(zero));
  }
  if (width && height) {
    text += " " + width->description() + "x" + height->description();
  } else if (width) {
    text += " width=" + width->description();
  } else if (height) {
    text += " height=" + height->description();
  }
  return text;
}

}  // namespace

std::string Path::description() const {
  return opening("Path", core) + closing(pathLength, style, presentation);
}

std::string Circle::description() const {
  return opening("Circle", core) + " " + coordinates(cx, cy) + " " + r.description() +
         closing(pathLength, style, presentation);
}

std::string Ellipse::description() const {
  return opening("Ellipse", core) + " " + coordinates(cx, cy) + " " + rx.description() + "/" +
         ry.description() + closing(pathLength, style, presentation);
}

std::string Rect::description() const {
  std::string text = opening("Rect", core) + originAndSize(x, y, width, height);
  if (rx && ry && *rx == *ry) {
    text += " r=" + rx->description();
  } else if (rx || ry) {
    text += " rounded=" + (rx ? *rx : *ry).description() + "/" + (ry ? *ry : *rx).description();
  }
  return text + closing(pathLength, style, presentation);
}

std::string Line::description() const {
  std::string text = opening("Line", core);
  if (startPoint) text += " from=" + coordinates(startPoint->x, startPoint->y);
  if (endPoint) text += " to=" + coordinates(endPoint->x, endPoint->y);
  return text + closing(pathLength, style, presentation);
}

std::string Polygon::description() const {
  return opening("Polygon", core) + " #points=" + std::to_string(points.size()) +
         closing(pathLength, style, presentation);
}

std::string Polyline::description() const {
  return opening("Polyline", core) + " #points=" + std::to_string(points.size()) +
         closing(pathLength, style, presentation);
}

std::string Image::description() const {
  return opening("Image", core) + originAndSize(x, y, width, height) +
         closing(std::nullopt, style, presentation);
}

}  // namespace SVG
