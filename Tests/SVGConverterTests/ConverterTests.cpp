#include <gtest/gtest.h>

#include "ConverterSupport.h"
#include "Platform/Print.h"

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
  SVGParser::PrintCapture capture;
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
  root.children = {group({circle(0, 0, 1, id("x")), SVG::Image{}, rect})};
  SVGSwiftUIQuarvel converter;
  converter.pushAttributes(SVGSwiftUIQuarvel::defaultAttributes());
  SVGParser::PrintCapture capture;
  const ContainerViewType result = converter.shapeSVGNode(root);
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"SVG image nodes are not supported, sorry!"}));
  const ContainerViewType& g = containerAt(result, 0);
  ASSERT_EQ(g.childTypes.size(), 2u);
  // Sibling types need distinct names, even from separate pools.
  EXPECT_EQ(g.childTypes[0].typeName(), "X");
  EXPECT_EQ(g.childTypes[1].typeName(), "Rectangle1");
  ASSERT_EQ(converter.svgID2Node.count("x"), 1u);
  // The registry keeps the later of two elements with one id.
  EXPECT_EQ(converter.svgID2Node.at("x").typeName, "Rectangle1");
  EXPECT_EQ(converter.attributeStack().size(), 1u);
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
