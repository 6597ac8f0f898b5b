// The walk over the children of `svg` and `g` elements, and the conversion of
// every element kind into a subview.
#include <algorithm>
#include <cmath>

#include "SVGConverter/ShapeShifter/PathMapping.h"
#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"
#include "SVGConverter/SwiftUIModel/Overloaded.h"
#include "Platform/Print.h"

using SwiftUIModel::ContainerViewType;
using SwiftUIModel::PathCommand;
using SwiftUIModel::Subview;
using SwiftUIModel::TransformStep;

namespace {

constexpr CGFloat kPi = 3.141592653589793;

CGPoint pointOrZero(const std::optional<SVG::UnitPoint>& point) {
  if (!point) return {0, 0};
  return point->pointSize().value_or(CGPoint{0, 0});
}

std::vector<CGPoint> pointsOrZero(const std::vector<SVG::UnitPoint>& points) {
  std::vector<CGPoint> result;
  result.reserve(points.size());
  for (const SVG::UnitPoint& point : points) result.push_back(point.pointSize().value_or(CGPoint{0, 0}));
  return result;
}

}  // namespace

// The least code of each element. The type of an element at depth d is declared on lines of
// depth d, its body on lines one deeper, and its instance stands in its parent's body at depth
// d + 1, deeper still inside the blocks that hold many children. Counted at one byte per number,
// the shorter of the point types, no info comment beyond the fixed ones and no blank lines
// beyond those that always stand.

namespace {

/// How many "Group" blocks the instance of one of `count` children stands in, inside its stack.
std::size_t blockDepth(std::size_t count) {
  constexpr std::size_t perLevel = 9;  // as the emitter lists them
  std::size_t depth = 0;
  while (count > perLevel) {
    ++depth;
    count = count <= perLevel * perLevel ? perLevel : count / perLevel;
  }
  return depth;
}

}  // namespace

std::size_t SVGSwiftUIQuarvel::leastCode(const SVG::GroupItem& element, std::size_t d, OutputLayout layout) {
  // As the conversion counts below, with names of one character, outside any stack or block.
  const auto code = [&](std::size_t bytes, std::size_t levels) { return bytes + levels * layout.indentWidth; };
  const std::size_t instance = code(1 + 3, d + 1);
  const auto container = [&](const std::vector<SVG::GroupItem>& children, std::string_view infoComment, bool inBody) {
    std::size_t bytes = code(44 + 1, 4 * d + 2) + instance;
    if (layout.infoComments) bytes += code(infoComment.size() + 4, inBody ? d + 1 : d);
    if (children.empty()) bytes += code(12, d + 2) + (layout.infoComments ? 21 : 0);
    return bytes;
  };
  return std::visit(
      SwiftUIModel::Overloaded{
          [&](const SVG::Box<SVG::SVG>& svg) { return container(svg->children, "SVG", false); },
          [&](const SVG::Group& group) { return container(group.children, "Group", true); },
          [&](const SVG::Image&) { return std::size_t{0}; },
          [&](const SVG::Text& text) { return code(117 + text.text.size(), 3 * d + 5); },
          [&](const SVG::Circle&) { return code(53 + 1, 5 * d + 4) + instance; },
          [&](const SVG::Ellipse&) { return code(53 + 1, 5 * d + 4) + instance; },
          [&](const SVG::Rect&) { return code(53 + 1, 5 * d + 4) + instance; },
          // Paths, lines, polygons and polylines: a path view of two names.
          [&](const auto&) { return code(133 + 1 + 2, 11 * d + 16) + instance; },
      },
      element.variant());
}

void SVGSwiftUIQuarvel::chargeInstance(const std::string& typeName) {
  chargeOutput(typeName.size() + 3, typeDepth_ + 1 + blockDepth_);  // "N()\n"
}

void SVGSwiftUIQuarvel::chargeContainer(const std::string& typeName, std::string_view infoComment, bool inBody) {
  const std::size_t d = typeDepth_;
  // "\n", "struct N: View {\n", "\n", "var body: some View {\n", "}\n" and "}\n".
  chargeOutput(44 + typeName.size(), 4 * d + 2);
  chargeInstance(typeName);
  if (layout_.infoComments) chargeOutput(infoComment.size() + 4, inBody ? d + 1 : d);
}

void SVGSwiftUIQuarvel::chargeEmptyContainer() {
  const std::size_t d = typeDepth_;
  chargeOutput(12, d + 2);  // "EmptyView()\n"
  if (layout_.infoComments) chargeOutput(21, 0);  // " // Group w/o content"
}

void SVGSwiftUIQuarvel::chargeDrawing(const SwiftUIModel::ShapeDrawing& drawing) {
  // The modifiers after the shape's instance in the body: ".fill()\n" and ".stroke()\n" at least.
  const std::size_t levels = typeDepth_ + 3;
  if (drawing.fill) chargeOutput(9, levels);
  if (drawing.stroke || drawing.strokeStyle) chargeOutput(10, levels);
}

void SVGSwiftUIQuarvel::chargePathView(const std::string& viewName, const std::string& shapeName,
                                       const std::vector<PathCommand>& commands) {
  const std::size_t d = typeDepth_;
  // "\n", "struct V: View { // SVGPath\n", "struct S: Shape {\n", "func path(in rect: CGRect) -> Path {\n",
  // "Path { path in\n", three "}\n", "\n", "var body: some View {\n", "S()\n", two "}\n" and "V()\n".
  chargeOutput(133 + viewName.size() + 2 * shapeName.size(), 11 * d + 16);
  chargeInstance(viewName);
  std::size_t bytes = 0;
  std::size_t levels = 0;
  for (const PathCommand& command : commands) {
    if (const auto* lines = command.as<PathCommand::AddLines>()) {
      if (lines->points.empty()) continue;
      // "path.addLines([\n" and "])\n" around one ".init(x: 0, y: 0)\n" per point.
      bytes += 19 + 18 * lines->points.size();
      levels += 2 * (d + 4) + lines->points.size() * (d + 5);
    } else {
      bytes += 20;  // "path.closeSubpath()\n", the shortest
      levels += d + 4;
    }
  }
  chargeOutput(bytes, levels);
}

std::vector<Subview> SVGSwiftUIQuarvel::shapeChildren(const std::vector<SVG::GroupItem>& children) {
  struct Deeper {
    std::size_t& depth;
    explicit Deeper(std::size_t& d) : depth(d) { ++depth; }
    ~Deeper() { --depth; }
  } deeper(typeDepth_);
  // The instances stand in a stack when there are several, and in blocks inside it when there are
  // many; images give none.
  const std::size_t outerBlockDepth = blockDepth_;
  const auto views = static_cast<std::size_t>(std::count_if(
      children.begin(), children.end(), [](const SVG::GroupItem& item) { return !item.is<SVG::Image>(); }));
  blockDepth_ = blockDepth(views);
  if (views > 1) {
    // "ZStack(alignment: .topLeading) {\n" and "}\n" around them in the parent's body.
    chargeOutput(35, 2 * (typeDepth_ + 1));
    ++blockDepth_;
  }
  std::vector<Subview> result;
  result.reserve(children.size());
  for (const SVG::GroupItem& item : children) {
    std::optional<Subview> subview = std::visit(
        SwiftUIModel::Overloaded{
            [&](const SVG::Box<SVG::SVG>& svg) -> std::optional<Subview> { return Subview::svg(shapeSVGNode(*svg)); },
            [&](const SVG::Group& group) -> std::optional<Subview> { return Subview::group(shapeGroupNode(group)); },
            [&](const SVG::Path& path) -> std::optional<Subview> { return Subview::path(shapePathNode(path)); },
            [&](const SVG::Circle& circle) -> std::optional<Subview> {
              return Subview::circle(shapeCircleNode(circle));
            },
            [&](const SVG::Ellipse& ellipse) -> std::optional<Subview> {
              return Subview::ellipse(shapeEllipseNode(ellipse));
            },
            [&](const SVG::Rect& rect) -> std::optional<Subview> { return Subview::rectangle(shapeRectNode(rect)); },
            [&](const SVG::Polygon& polygon) -> std::optional<Subview> {
              return Subview::path(shapePolygonNode(polygon));
            },
            [&](const SVG::Polyline& polyline) -> std::optional<Subview> {
              return Subview::path(shapePolylineNode(polyline));
            },
            [&](const SVG::Line& line) -> std::optional<Subview> { return Subview::path(shapeLineNode(line)); },
            [&](const SVG::Image&) -> std::optional<Subview> {
              SVGParser::print("SVG image nodes are not supported, sorry!");
              return std::nullopt;
            },
            [&](const SVG::Text& text) -> std::optional<Subview> { return Subview::text(shapeTextNode(text)); },
        },
        item.variant());
    if (!subview) continue;
    SVG::SVGElement element = item.element();
    if (const std::optional<std::string>& id = element.core().id) {
      svgID2Node.insert_or_assign(*id, RegisteredNode{subview->typeName(), element});
    }
    result.push_back(std::move(*subview));
  }
  blockDepth_ = outerBlockDepth;
  return result;
}

ContainerViewType SVGSwiftUIQuarvel::shapeGroupNode(const SVG::Group& group) {
  pushAttributes(group.presentation);
  std::optional<SwiftUIModel::FilterModifierType> filter = lookupFilterModifier(attributeStack_.back().filter);
  std::string typeName = makeTypeID(group.core.id, groupIDs);
  chargeContainer(typeName, "Group", true);
  std::vector<Subview> children = shapeChildren(group.children);
  if (children.empty()) chargeEmptyContainer();
  std::vector<TransformStep> transform = mapTransforms(attributeStack_.back().transform);
  popAttributes();
  return ContainerViewType(std::move(typeName), std::nullopt, std::nullopt, std::nullopt, {}, std::move(children),
                           {}, std::move(filter), std::move(transform));
}

SwiftUIModel::ShapeDrawing SVGSwiftUIQuarvel::makeDrawing(bool withTransform) {
  const SVG::PresentationAttributes& a = attributeStack_.back();
  SwiftUIModel::ShapeDrawing drawing;
  if (a.needsStroke()) drawing.strokeStyle = SwiftUIModel::StrokeStyle::fromPresentation(a);
  drawing.stroke = mapPaint(a.stroke, a.strokeOpacity);
  drawing.fill = mapPaint(a.fill, a.fillOpacity);
  drawing.filterModifier = lookupFilterModifier(a.filter);
  if (withTransform) drawing.transform = mapTransforms(a.transform);
  return drawing;
}

SwiftUIModel::PathViewType SVGSwiftUIQuarvel::makePathView(const SVG::CoreAttributes& core,
                                                            std::vector<PathCommand> commands) {
  // The shape type sits inside its view and may share the view's name.
  std::string viewName = makeTypeID(core.id, pathViewIDs);
  std::string shapeName = makeName(core.id, pathShapeIDs, true, viewName);
  std::vector<TransformStep> transform = mapTransforms(attributeStack_.back().transform);
  SwiftUIModel::ShapeDrawing drawing = makeDrawing(false);
  // Only paths have contours that may lie inside one another or cross.
  const CGPathFillRule* rule = attributeStack_.back().fillRule.value();
  drawing.evenOddFill = drawing.fill && rule && *rule == CGPathFillRule::evenOdd;
  popAttributes();
  chargePathView(viewName, shapeName, commands);
  chargeDrawing(drawing);
  return SwiftUIModel::PathViewType(std::move(viewName),
                                    SwiftUIModel::ShapeType(std::move(shapeName), std::move(commands),
                                                            std::move(transform)),
                                    std::nullopt, std::nullopt, std::move(drawing));
}

SwiftUIModel::PathViewType SVGSwiftUIQuarvel::shapePathNode(const SVG::Path& path) {
  pushAttributes(path.presentation);
  return makePathView(path.core, SVGConverter::compactPathCommands(SVGConverter::mapPath(path.commands)));
}

SwiftUIModel::PathViewType SVGSwiftUIQuarvel::shapeLineNode(const SVG::Line& line) {
  pushAttributes(line.presentation);
  return makePathView(line.core, {PathCommand::moveTo(pointOrZero(line.startPoint)),
                                  PathCommand::addLineTo(pointOrZero(line.endPoint))});
}

SwiftUIModel::PathViewType SVGSwiftUIQuarvel::shapePolygonNode(const SVG::Polygon& polygon) {
  pushAttributes(polygon.presentation);
  return makePathView(polygon.core,
                      {PathCommand::addLines(pointsOrZero(polygon.points)), PathCommand::closeSubpath()});
}

SwiftUIModel::PathViewType SVGSwiftUIQuarvel::shapePolylineNode(const SVG::Polyline& polyline) {
  pushAttributes(polyline.presentation);
  return makePathView(polyline.core, {PathCommand::addLines(pointsOrZero(polyline.points))});
}

template <typename Element>
SVGSwiftUIQuarvel::FramedShape SVGSwiftUIQuarvel::shapeFramedNode(const Element& element, IDPool& pool) {
  pushAttributes(element.presentation);
  PointFrame frame = pointFrame(element);
  std::string typeName = makeTypeID(element.core.id, pool);
  // "\n", "struct N: View {\n", "\n", "var body: some View {\n", "Circle()\n" (the shortest shape),
  // "}\n", "}\n" and "N()\n".
  chargeOutput(53 + typeName.size(), 5 * typeDepth_ + 4);
  chargeInstance(typeName);
  SwiftUIModel::ShapeDrawing drawing = makeDrawing(true);
  chargeDrawing(drawing);
  popAttributes();
  return {std::move(typeName), frame, std::move(drawing)};
}

SwiftUIModel::CircleViewType SVGSwiftUIQuarvel::shapeCircleNode(const SVG::Circle& circle) {
  FramedShape shape = shapeFramedNode(circle, circleViewIDs);
  return SwiftUIModel::CircleViewType(std::move(shape.typeName), shape.frame.pointSize(), shape.frame.pointOrigin(),
                                      std::move(shape.drawing));
}

SwiftUIModel::EllipseViewType SVGSwiftUIQuarvel::shapeEllipseNode(const SVG::Ellipse& ellipse) {
  FramedShape shape = shapeFramedNode(ellipse, ellipseViewIDs);
  return SwiftUIModel::EllipseViewType(std::move(shape.typeName), shape.frame.pointSize(), shape.frame.pointOrigin(),
                                       std::move(shape.drawing));
}

SwiftUIModel::RectangleViewType SVGSwiftUIQuarvel::shapeRectNode(const SVG::Rect& rect) {
  FramedShape shape = shapeFramedNode(rect, rectangleViewIDs);
  std::optional<CGFloat> cornerRadius = rect.rx ? rect.rx->pointSize() : std::nullopt;
  return SwiftUIModel::RectangleViewType(std::move(shape.typeName), shape.frame.pointSize(), shape.frame.pointOrigin(),
                                         cornerRadius, std::move(shape.drawing));
}

SwiftUIModel::Text SVGSwiftUIQuarvel::shapeTextNode(const SVG::Text& text) {
  // "Text(\"…\")\n" in the parent's body with ".alignmentGuide(.bottom) { $0[.firstTextBaseline] }\n"
  // and ".frame(width: .infinity, height: 0, alignment: .bottom)\n" one level deeper.
  chargeOutput(117 + text.text.size(), 3 * (typeDepth_ + blockDepth_) + 5);
  pushAttributes(text.presentation);
  CGFloat x = text.x.pointSize().value_or(lastTextPosition.x);
  CGFloat y = text.y.pointSize().value_or(lastTextPosition.y);
  if (text.dx) x += text.dx->pointSize().value_or(0);
  if (text.dy) y += text.dy->pointSize().value_or(0);
  // A following text without usable coordinates starts here (not after this text).
  lastTextPosition = {x, y};
  std::optional<SwiftUIModel::Paint> paint = mapPaint(attributeStack_.back().fill, attributeStack_.back().fillOpacity);
  std::vector<TransformStep> transform = mapTransforms(attributeStack_.back().transform);
  popAttributes();
  return SwiftUIModel::Text{{x, y}, text.font, std::move(paint), text.text, std::move(transform)};
}

std::vector<TransformStep> SVGSwiftUIQuarvel::mapTransforms(const std::vector<SVG::Transform>& transforms) {
  std::vector<TransformStep> steps;
  steps.reserve(transforms.size());
  for (const SVG::Transform& transform : transforms) {
    steps.push_back(std::visit(
        SwiftUIModel::Overloaded{
            [](const SVG::Transform::Matrix& m) {
              CGFloat v[6] = {0, 0, 0, 0, 0, 0};
              for (size_t i = 0; i < 6 && i < m.values.size(); ++i) v[i] = m.values[i];
              return TransformStep::matrix({v[0], v[1], v[2], v[3], v[4], v[5]});
            },
            [](const SVG::Transform::Rotate& r) {
              const CGFloat theta = r.degrees * kPi / 180;
              if (r.x == 0 && r.y == 0) return TransformStep::rotate(theta);
              const CGFloat c = std::cos(theta), s = std::sin(theta);
              return TransformStep::matrix({c, s, -s, c, r.x - r.x * c + r.y * s, r.y - r.x * s - r.y * c});
            },
            [](const SVG::Transform::Translate& t) { return TransformStep::translate(t.dx, t.dy); },
            [](const SVG::Transform::Scale& s) { return TransformStep::scale(s.x, s.y); },
            [](const SVG::Transform::SkewX& k) {
              return TransformStep::matrix({1, 0, std::tan(k.degrees * kPi / 180), 1, 0, 0});
            },
            [](const SVG::Transform::SkewY& k) {
              return TransformStep::matrix({1, std::tan(k.degrees * kPi / 180), 0, 1, 0, 0});
            },
        },
        transform.variant()));
  }
  return steps;
}
