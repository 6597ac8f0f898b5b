#include <gtest/gtest.h>

#include <cmath>

#include "ConverterSupport.h"
#include "SVGParser/Platform/Print.h"

using namespace ConverterTest;
using SwiftUIModel::ContainerViewType;
using SwiftUIModel::Paint;
using SwiftUIModel::Subview;

namespace {

const ContainerViewType& containerAt(const ContainerViewType& parent, size_t index) {
  const Subview& child = parent.childTypes.at(index);
  if (auto g = child.as<Subview::Group>()) return g->value;
  return child.as<Subview::SVG>()->value;
}

const SwiftUIModel::ShapeDrawing& drawingAt(const ContainerViewType& parent, size_t index) {
  const Subview& child = parent.childTypes.at(index);
  if (auto c = child.as<Subview::Circle>()) return c->value.drawing;
  if (auto r = child.as<Subview::Rectangle>()) return r->value.drawing;
  return child.as<Subview::Path>()->value.drawing;
}

SVG::SVG sized(double w, double h, std::vector<SVG::GroupItem> children = {}) {
  SVG::SVG svg;
  svg.width = n(w);
  svg.height = n(h);
  svg.children = std::move(children);
  return svg;
}

}  // namespace

TEST(Converter, NamesFollowDocumentOrderContainersThenDefinitionsThenChildren) {
  SVG::SVG nested;
  nested.definitions = {{"inner", linear("inner")}, {"anon", linear("")}};
  nested.children = {circle(1, 1, 1)};
  SVG::SVG root;
  root.definitions = {{"g", linear("")}, {"f", SVG::Filter{}}};
  root.children = {group({circle(0, 0, 1), path({SVG::Command::M{0, 0}})}), nested, circle(5, 5, 1)};

  const ContainerViewType result = convert(root);
  EXPECT_EQ(result.typeName, "Group1");
  ASSERT_EQ(result.definitions.size(), 2u);
  EXPECT_EQ(result.definitions[0].id(), "linearGradient1");
  EXPECT_EQ(result.definitions[1].id(), "Filter1");
  EXPECT_EQ(containerAt(result, 0).typeName, "Group2");
  EXPECT_EQ(containerAt(result, 0).childTypes[0].typeName(), "Circle1");
  const auto& pathView = containerAt(result, 0).childTypes[1].as<Subview::Path>()->value;
  EXPECT_EQ(pathView.typeName, "PathView1");
  EXPECT_EQ(pathView.shapeType.typeName, "PathShape1");
  const ContainerViewType& inner = containerAt(result, 1);
  EXPECT_EQ(inner.typeName, "Group3");
  EXPECT_EQ(inner.definitions[0].id(), "inner");
  EXPECT_EQ(inner.definitions[1].id(), "linearGradient2");  // an empty id counts as none
  EXPECT_EQ(inner.childTypes[0].typeName(), "Circle2");
  EXPECT_EQ(result.childTypes[2].typeName(), "Circle3");
}

TEST(Converter, NamesAreUniqueSwiftIdentifiers) {
  SVG::SVG root;
  root.children = {circle(0, 0, 1, id("a-b")), circle(0, 0, 1, id("a_b")), circle(0, 0, 1, id("foo")),
                   circle(0, 0, 1, id("Foo")), circle(0, 0, 1, id("")),  circle(0, 0, 1, id("")),
                   group({}, id("Drawing")),   group({}, id("struct"))};
  const ContainerViewType result = convert(root, "Drawing");
  EXPECT_EQ(result.typeName, "Drawing");
  std::vector<std::string> names;
  for (const Subview& child : result.childTypes) names.push_back(child.typeName());
  EXPECT_EQ(names, (std::vector<std::string>{"A_b", "Circle1", "Foo", "Circle2", "Circle3", "Circle4", "Group1",
                                             "Struct"}));
}

// Nested types and static properties of one view type share a namespace, and
// a nested type must not shadow its container or the SwiftUI types it uses.
TEST(Converter, NamesDoNotRepeatAcrossKinds) {
  PrintCapture capture;
  const auto svg = SVG::SVG::fromSVGString(
      "<svg xmlns='http://www.w3.org/2000/svg'>"
      "<linearGradient id='radialGradient1'/><radialGradient id=''/><linearGradient id='body'/>"
      "<filter id='Circle1'><feOffset dx='1'/></filter>"
      "<g id='Circle2'/><circle r='1'/><rect id='icon' width='1' height='1'/>"
      "<path id='p' d='M0 0h1'/><circle id='p' r='1'/><path id='p' d='M0 0h1'/>"
      "<circle id='circle' r='1'/><g id='path'/></svg>");
  ASSERT_TRUE(svg);
  const ContainerViewType result = convert(*svg, "Icon");
  std::vector<std::string> definitions;
  for (const auto& definition : result.definitions) definitions.push_back(definition.id());
  EXPECT_EQ(definitions, (std::vector<std::string>{"radialGradient1", "radialGradient2", "body_", "Circle1"}));
  std::vector<std::string> names;
  for (const Subview& child : result.childTypes) names.push_back(child.typeName());
  EXPECT_EQ(names, (std::vector<std::string>{"Circle2", "Circle3", "Rectangle1", "P", "Circle4", "PathView1",
                                             "Circle_", "Path_"}));
  // A path's shape type lives inside its view and keeps the view's name;
  // one that would shadow another type is numbered.
  EXPECT_EQ(result.childTypes[3].as<Subview::Path>()->value.shapeType.typeName, "P");
  EXPECT_EQ(result.childTypes[5].as<Subview::Path>()->value.shapeType.typeName, "PathShape1");
}

TEST(Converter, RegistryAndSkippedImages) {
  SVG::SVG root;
  SVG::Rect rect;
  rect.core = id("x");
  rect.rx = n(4);
  rect.ry = n(8);
  root.children = {group({circle(0, 0, 1, id("x")), SVG::Image{}, rect})};
  SVGSwiftUIQuarvel converter;
  converter.pushAttributes(SVGSwiftUIQuarvel::defaultAttributes());
  PrintCapture capture;
  const ContainerViewType result = converter.shapeSVGNode(root);
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"SVG image nodes are not supported, sorry!"}));
  const ContainerViewType& g = containerAt(result, 0);
  ASSERT_EQ(g.childTypes.size(), 2u);
  // Sibling types need distinct names, even from separate pools.
  EXPECT_EQ(g.childTypes[0].typeName(), "X");
  EXPECT_EQ(g.childTypes[1].typeName(), "Rectangle1");
  EXPECT_EQ(g.childTypes[1].as<Subview::Rectangle>()->value.cornerRadius, 4);
  ASSERT_EQ(converter.svgID2Node.count("x"), 1u);
  // The registry keeps the later of two elements with one id.
  EXPECT_EQ(converter.svgID2Node.at("x").typeName, "Rectangle1");
  EXPECT_EQ(&converter.svgID2Node.at("x").node.core(),
            &root.children[0].as<SVG::Group>()->children[2].as<SVG::Rect>()->core);
  EXPECT_EQ(converter.attributeStack().size(), 1u);
}

TEST(Converter, SizesAndViewBoxesOfRootAndNestedDrawings) {
  ContainerViewType plain = convert(sized(100, 50));
  EXPECT_EQ(plain.intrinsicSize, (CGSize{100, 50}));
  EXPECT_EQ(plain.resizable, (ContainerViewType::Resizable{100.0, 50.0}));
  EXPECT_EQ(plain.viewBox, std::nullopt);

  SVG::SVG same = sized(100, 50);
  same.viewBox = CGRect(0, 0, 100, 50);
  EXPECT_EQ(convert(same).viewBox, std::nullopt);

  // A nested drawing with one side takes the other from the enclosing coordinate size.
  SVG::SVG narrow;
  narrow.width = n(10);
  SVG::SVG scaled = sized(100, 50, {narrow});
  scaled.viewBox = CGRect(0, 0, 200, 100);
  const ContainerViewType outer = convert(scaled);
  EXPECT_EQ(outer.viewBox, CGRect(0, 0, 200, 100));
  EXPECT_EQ(containerAt(outer, 0).intrinsicSize, (CGSize{10, 100}));
  EXPECT_EQ(containerAt(outer, 0).resizable, (ContainerViewType::Resizable{10.0, 100.0}));

  // At the top there is nothing to complete it from.
  const ContainerViewType alone = convert(narrow);
  EXPECT_EQ(alone.intrinsicSize, std::nullopt);
  EXPECT_EQ(alone.resizable, (ContainerViewType::Resizable{10.0, std::nullopt}));

  // Without size or view box nothing is pushed: the children see the outer size.
  SVG::SVG empty;
  empty.children = {narrow};
  const ContainerViewType through = convert(sized(30, 40, {empty}));
  EXPECT_EQ(containerAt(containerAt(through, 0), 0).intrinsicSize, (CGSize{10, 40}));

  SVG::SVG placed = sized(1, 1);
  placed.y = n(5);
  EXPECT_EQ(convert(placed).origin, (CGPoint{0, 5}));
  EXPECT_EQ(convert(sized(1, 1)).origin, std::nullopt);
}

TEST(Converter, PaintsAndTheirOpacityFractions) {
  SVG::PresentationAttributes translucent = fill(SVG::Paint::color(CSS::Color::named("red")));
  translucent.fillOpacity = 50;
  SVG::PresentationAttributes strokeOnly;
  strokeOnly.strokeOpacity = 30;
  SVG::PresentationAttributes none = fill(SVG::Paint::none());
  none.fillOpacity = 40;
  SVG::PresentationAttributes stroked;
  stroked.stroke = SVG::Paint::color(CSS::Color::named("blue"));
  stroked.strokeWidth = n(2);
  SVG::PresentationAttributes missingGradient = fill(SVG::Paint::definition("nowhere"));

  SVG::SVG root;
  root.children = {circle(0, 0, 1, {}, translucent), circle(0, 0, 1, {}, strokeOnly), circle(0, 0, 1, {}, none),
                   circle(0, 0, 1, {}, stroked), circle(0, 0, 1, {}, missingGradient)};
  const ContainerViewType result = convert(root);

  EXPECT_EQ(drawingAt(result, 0).fill, Paint::color(CSS::Color::named("red"), 0.5));
  EXPECT_EQ(drawingAt(result, 0).stroke, std::nullopt);
  EXPECT_EQ(drawingAt(result, 0).strokeStyle, std::nullopt);
  EXPECT_EQ(drawingAt(result, 1).stroke, Paint::opacity(0.3));
  EXPECT_EQ(drawingAt(result, 1).fill, Paint::color(CSS::Color::named("black"), std::nullopt));
  EXPECT_EQ(drawingAt(result, 2).fill, std::nullopt);
  EXPECT_EQ(drawingAt(result, 3).stroke, Paint::color(CSS::Color::named("blue"), std::nullopt));
  EXPECT_EQ(drawingAt(result, 3).strokeStyle,
            (SwiftUIModel::StrokeStyle{2.0, CGLineCap::butt, CGLineJoin::miter}));
  EXPECT_EQ(drawingAt(result, 4).fill, std::nullopt);
}

TEST(Converter, ElementOpacityDimsFillsAndStrokesDownTheTree) {
  SVG::PresentationAttributes half;
  half.opacity = 50;
  SVG::PresentationAttributes halfFill = fill(SVG::Paint::color(CSS::Color::named("red")));
  halfFill.fillOpacity = 50;
  halfFill.stroke = SVG::Paint::color(CSS::Color::named("blue"));
  SVG::PresentationAttributes ownOpacity;
  ownOpacity.opacity = 40;
  SVG::Text text{.x = n(0), .y = n(0), .text = "t"};

  SVG::SVG root;
  root.children = {group({circle(0, 0, 1, {}, halfFill), circle(0, 0, 1, {}, ownOpacity), text}, {}, half),
                   circle(0, 0, 1, {}, half)};
  const ContainerViewType result = convert(root);
  const ContainerViewType& g = containerAt(result, 0);
  EXPECT_EQ(drawingAt(g, 0).fill, Paint::color(CSS::Color::named("red"), 0.25));
  EXPECT_EQ(drawingAt(g, 0).stroke, Paint::color(CSS::Color::named("blue"), 0.5));
  EXPECT_EQ(drawingAt(g, 1).fill, Paint::color(CSS::Color::named("black"), 0.2));
  EXPECT_EQ(g.childTypes[2].as<Subview::Text>()->value.paint, Paint::color(CSS::Color::named("black"), 0.5));
  EXPECT_EQ(drawingAt(result, 1).fill, Paint::color(CSS::Color::named("black"), 0.5));
}

TEST(Converter, DefinitionScopesAndFilterReferences) {
  SVG::Filter shadow{.core = id("shadow")};
  SVG::PresentationAttributes filtered;
  filtered.filter = SVG::Inheritable<std::string>::some("#shadow");
  SVG::PresentationAttributes gradientFill = fill(SVG::Paint::definition("g"));
  SVG::PresentationAttributes gradientAsFilter;
  gradientAsFilter.filter = SVG::Inheritable<std::string>::some("#g");

  SVG::SVG nested;
  nested.presentation = filtered;
  nested.definitions = {{"g", linear("g")}};
  nested.children = {circle(0, 0, 1, {}, gradientFill), circle(0, 0, 1, {}, filtered)};
  SVG::SVG root;
  root.presentation = filtered;
  root.definitions = {{"shadow", shadow}, {"g", linear("outer")}, {"g", linear("later")}};
  SVG::PresentationAttributes filterAsPaint = fill(SVG::Paint::definition("shadow"));
  filterAsPaint.stroke = SVG::Paint::definition("shadow");
  root.children = {nested, circle(0, 0, 1, {}, gradientFill), group({}, {}, filtered),
                   circle(0, 0, 1, {}, gradientAsFilter), circle(0, 0, 1, {}, filterAsPaint)};

  const ContainerViewType result = convert(root, "Drawing");
  // A drawing's own filter resolves against its own definitions.
  ASSERT_TRUE(result.filterModifier);
  EXPECT_EQ(result.filterModifier->typeName, "Shadow");
  EXPECT_EQ(result.definitions.size(), 3u);
  const ContainerViewType& inner = containerAt(result, 0);
  ASSERT_TRUE(inner.filterModifier);
  // The nested definition shadows the outer one; outer ones stay visible.
  EXPECT_EQ(drawingAt(inner, 0).fill, Paint::property(inner.typeName + ".g"));
  EXPECT_EQ(drawingAt(inner, 1).filterModifier->typeName, "Shadow");
  // Of two definitions with one id the later counts.
  EXPECT_EQ(drawingAt(result, 1).fill, Paint::property("Drawing.later"));
  EXPECT_TRUE(containerAt(result, 2).filterModifier);
  EXPECT_FALSE(drawingAt(result, 3).filterModifier);
  // A filter cannot paint: its id counts as a missing one.
  EXPECT_EQ(drawingAt(result, 4).fill, std::nullopt);
  EXPECT_EQ(drawingAt(result, 4).stroke, std::nullopt);
}

TEST(Converter, ShapesAndTheirFrames) {
  SVG::PresentationAttributes moved;
  moved.transform = {SVG::Transform::Translate{5, 5}};
  SVG::Ellipse ellipse{.cx = n(10), .cy = n(10), .rx = n(4), .ry = pct(50)};
  SVG::Rect rect;
  rect.x = n(3);
  rect.width = n(4);
  SVG::Polygon polygon{.points = {SVG::UnitPoint::fromXY(0, 0), SVG::UnitPoint::fromXY(1, 0),
                                  {pct(5), n(1)}}};
  SVG::Polyline polyline{.points = polygon.points};

  SVG::SVG root;
  root.children = {circle(10, 20, 5, {}, moved), SVG::Circle{.cx = n(0), .cy = n(0), .r = pct(10)}, ellipse, rect,
                   path({SVG::Command::M{0, 0}}, {}, moved), SVG::Line{}, polygon, polyline};
  const ContainerViewType result = convert(root);

  const auto& c = result.childTypes[0].as<Subview::Circle>()->value;
  EXPECT_EQ(c.origin, (CGPoint{5, 15}));
  EXPECT_EQ(c.intrinsicSize, (CGSize{10, 10}));
  EXPECT_EQ(c.drawing.transform, (std::vector{SwiftUIModel::TransformStep::translate(5, 5)}));
  EXPECT_FALSE(result.childTypes[1].framable()->origin);
  EXPECT_FALSE(result.childTypes[1].framable()->intrinsicSize);
  const auto& e = result.childTypes[2].as<Subview::Ellipse>()->value;
  EXPECT_EQ(e.origin, (CGPoint{6, 6}));
  EXPECT_EQ(e.intrinsicSize, (CGSize{8, 8}));
  const auto& r = result.childTypes[3].as<Subview::Rectangle>()->value;
  EXPECT_EQ(r.origin, (CGPoint{3, 0}));
  EXPECT_EQ(r.intrinsicSize, std::nullopt);
  EXPECT_EQ(r.cornerRadius, std::nullopt);

  using SwiftUIModel::PathCommand;
  const auto& p = result.childTypes[4].as<Subview::Path>()->value;
  EXPECT_EQ(p.shapeType.transform, (std::vector{SwiftUIModel::TransformStep::translate(5, 5)}));
  EXPECT_TRUE(p.drawing.transform.empty());
  EXPECT_EQ(result.childTypes[5].as<Subview::Path>()->value.shapeType.path,
            (std::vector{PathCommand::moveTo({0, 0}), PathCommand::addLineTo({0, 0})}));
  const std::vector<CGPoint> points{{0, 0}, {1, 0}, {0, 0}};
  EXPECT_EQ(result.childTypes[6].as<Subview::Path>()->value.shapeType.path,
            (std::vector{PathCommand::addLines(points), PathCommand::closeSubpath()}));
  EXPECT_EQ(result.childTypes[7].as<Subview::Path>()->value.shapeType.path,
            (std::vector{PathCommand::addLines(points)}));
}

TEST(Converter, TextsCarryTheLastPositionForward) {
  SVG::Text first{.x = n(10), .y = n(20), .text = "a"};
  SVG::Text second{.x = pct(50), .y = pct(50), .dx = n(10), .text = "b"};
  SVG::Text third{.x = n(0), .y = n(0), .dx = n(1), .dy = n(2), .text = "c"};
  third.font = CSS::Font::caption();
  SVG::SVG root;
  root.children = {first, group({second}), third};
  const ContainerViewType result = convert(root);
  EXPECT_EQ(result.childTypes[0].as<Subview::Text>()->value.origin, (CGPoint{10, 20}));
  EXPECT_EQ(containerAt(result, 1).childTypes[0].as<Subview::Text>()->value.origin, (CGPoint{20, 20}));
  const auto& last = result.childTypes[2].as<Subview::Text>()->value;
  EXPECT_EQ(last.origin, (CGPoint{1, 2}));
  EXPECT_EQ(last.font, CSS::Font::caption());
  EXPECT_EQ(last.text, "c");
}

TEST(Converter, TransformListsBecomeSteps) {
  using SwiftUIModel::TransformStep;
  SVG::PresentationAttributes attributes;
  attributes.transform = {SVG::Transform::Rotate{90, 0, 0}, SVG::Transform::Rotate{90, 10, 10},
                          SVG::Transform::SkewX{45}, SVG::Transform::Matrix{{1, 2, 3, 4}},
                          SVG::Transform::Scale{2, 3}};
  SVG::SVG root;
  root.children = {group({}, {}, attributes)};
  const std::vector<TransformStep> steps = containerAt(convert(root), 0).transform;
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0], TransformStep::rotate(M_PI / 2));
  const CGPoint pivot = CGPoint{10, 10}.applying(steps[1].as<TransformStep::Matrix>()->value);
  EXPECT_NEAR(pivot.x, 10, 1e-12);
  EXPECT_NEAR(pivot.y, 10, 1e-12);
  EXPECT_NEAR(steps[1].as<TransformStep::Matrix>()->value.tx, 20, 1e-12);
  EXPECT_NEAR(steps[2].as<TransformStep::Matrix>()->value.c, 1, 1e-15);
  EXPECT_EQ(steps[3], TransformStep::matrix({1, 2, 3, 4, 0, 0}));
  EXPECT_EQ(steps[4], TransformStep::scale(2, 3));
}

TEST(Converter, DeepNestingLeavesTheStacksBalanced) {
  // Deeper than the parser ever nests: svg and g elements in turn.
  SVG::SVG innermost = sized(1, 1, {circle(0, 0, 1)});
  SVG::GroupItem item = innermost;
  for (int depth = 0; depth < 300; ++depth) {
    if (depth % 2 == 0) {
      item = group({std::move(item)});
    } else {
      SVG::SVG svg;
      svg.definitions = {{"g", linear("g")}};
      svg.children = {std::move(item)};
      item = std::move(svg);
    }
  }
  SVG::SVG root;
  root.children = {std::move(item)};
  SVGSwiftUIQuarvel converter;
  converter.pushAttributes(SVGSwiftUIQuarvel::defaultAttributes());
  const ContainerViewType result = converter.shapeSVGNode(root);
  EXPECT_EQ(converter.attributeStack().size(), 1u);
  const ContainerViewType* level = &result;
  int depth = 0;
  while (!level->childTypes.empty() && !level->childTypes[0].is<Subview::Circle>()) {
    level = &containerAt(*level, 0);
    ++depth;
  }
  EXPECT_EQ(depth, 301);
}
