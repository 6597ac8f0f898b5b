#include "SVGConverter/SwiftUIModel/ShapeViews.h"

#include <utility>

#include "Platform/NumberText.h"

namespace SwiftUIModel {
namespace {

std::string frameText(const std::optional<CGPoint>& origin, const std::optional<CGSize>& size) {
  std::string text;
  if (origin) text += " " + SVGParser::doubleDescription(origin->x) + "," + SVGParser::doubleDescription(origin->y);
  if (size) text += " " + SVGParser::doubleDescription(size->width) + "x" + SVGParser::doubleDescription(size->height);
  return text;
}

template <typename View>
std::string shapeViewText(const char* kind, const View& view) {
  return std::string("<") + kind + " '" + view.typeName + "'" + frameText(view.origin, view.intrinsicSize) +
         view.drawing.description() + ">";
}

void setShapeView(SUIShapeViewType& view, std::string typeName, std::optional<CGSize> intrinsicSize,
                  std::optional<CGPoint> origin) {
  view.typeName = std::move(typeName);
  view.intrinsicSize = intrinsicSize;
  view.origin = origin;
}

}  // namespace

const StrokeStyle& StrokeStyle::defaultStyle() {
  static const auto& style = *new const StrokeStyle{1.0, CGLineCap::butt, CGLineJoin::miter};
  return style;
}

StrokeStyle StrokeStyle::fromPresentation(const SVG::PresentationAttributes& presentation) {
  StrokeStyle style;
  if (presentation.strokeWidth) style.lineWidth = presentation.strokeWidth->pointSize();
  style.lineCap = presentation.strokeLineCap.value_or(SVG::PresentationAttributes::strokeLineCapDefault);
  style.lineJoin = presentation.strokeLineJoin.value_or(SVG::PresentationAttributes::strokeLineJoinDefault);
  return style;
}

std::string StrokeStyle::description() const {
  if (*this == defaultStyle()) return ".strokeStyle(default)";
  std::string text = "<.strokeStyle:";
  if (lineWidth) text += " line-width=" + SVGParser::doubleDescription(*lineWidth);
  return text + " cap=" + SVG::valueDescription(lineCap) + " join=" + SVG::valueDescription(lineJoin) + ">";
}

std::string ShapeDrawing::description() const {
  std::string text;
  if (strokeStyle) text += " " + strokeStyle->description();
  if (stroke) text += " stroke=" + stroke->description();
  if (fill) text += " fill=" + fill->description();
  if (evenOddFill) text += " evenOdd";
  return text;
}

ShapeType::ShapeType(std::string name, std::vector<PathCommand> commands, std::vector<TransformStep> steps)
    : typeName(std::move(name)), path(std::move(commands)), transform(std::move(steps)) {}

std::string ShapeType::description() const {
  std::string text = insettable ? "<InsettableShape:" : "<Shape:";
  text += " '" + typeName + "'";
  text += path.empty() ? " EMPTY" : " " + SwiftUIModel::description(path);
  return text + ">";
}

PathViewType::PathViewType(std::string name, ShapeType shape, std::optional<CGSize> size,
                           std::optional<CGPoint> position, ShapeDrawing shapeDrawing)
    : shapeType(std::move(shape)), drawing(std::move(shapeDrawing)) {
  setShapeView(*this, std::move(name), size, position);
}

std::string PathViewType::description() const {
  return "<PathView '" + typeName + "'" + frameText(origin, intrinsicSize) + drawing.description() + " " +
         shapeType.description() + ">";
}

CircleViewType::CircleViewType(std::string name, std::optional<CGSize> size,
                               std::optional<CGPoint> position, ShapeDrawing shapeDrawing)
    : drawing(std::move(shapeDrawing)) {
  setShapeView(*this, std::move(name), size, position);
}

std::string CircleViewType::description() const { return shapeViewText("Circle", *this); }

EllipseViewType::EllipseViewType(std::string name, std::optional<CGSize> size,
                                 std::optional<CGPoint> position, ShapeDrawing shapeDrawing)
    : drawing(std::move(shapeDrawing)) {
  setShapeView(*this, std::move(name), size, position);
}

std::string EllipseViewType::description() const { return shapeViewText("Ellipse", *this); }

RectangleViewType::RectangleViewType(std::string name, std::optional<CGSize> size,
                                     std::optional<CGPoint> position, std::optional<CGFloat> radius,
                                     ShapeDrawing shapeDrawing)
    : cornerRadius(radius), drawing(std::move(shapeDrawing)) {
  setShapeView(*this, std::move(name), size, position);
}

std::string RectangleViewType::description() const {
  if (!cornerRadius) return shapeViewText("Rectangle", *this);
  return shapeViewText(("RoundedRectangle r=" + SVGParser::doubleDescription(*cornerRadius)).c_str(), *this);
}

std::string Text::description() const {
  return "Text(origin: (" + SVGParser::doubleDescription(origin.x) + ", " + SVGParser::doubleDescription(origin.y) +
         "), font: " + (font ? font->description() : "nil") + ", paint: " + (paint ? paint->description() : "nil") +
         ", text: \"" + text + "\")";
}

}  // namespace SwiftUIModel
