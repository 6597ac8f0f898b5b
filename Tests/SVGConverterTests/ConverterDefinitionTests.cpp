#include <gtest/gtest.h>

#include "ConverterSupport.h"
#include "SVGParser/Platform/Print.h"

using namespace ConverterTest;
using SwiftUIModel::FilterModifierType;
using FilterGroup = SwiftUIModel::FilterModifierType::FilterGroup;
using Operation = SwiftUIModel::FilterModifierType::Primitive::Operation;
using Input = SVG::Filter::Input;
using Attributes = SVG::Filter::Primitive::Attributes;

namespace {

void expectNear(CGPoint actual, CGPoint expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-12);
  EXPECT_NEAR(actual.y, expected.y, 1e-12);
}

Attributes named(std::string result) { return Attributes{.result = std::move(result)}; }

SVG::Filter::Primitive blur(Input input, double deviation, Attributes attributes = {}) {
  return SVG::Filter::Primitive::Blur{attributes, std::move(input), deviation};
}
SVG::Filter::Primitive offset(Input input, double dx, double dy, Attributes attributes = {}) {
  return SVG::Filter::Primitive::Offset{attributes, std::move(input), dx, dy};
}
SVG::Filter::Primitive merge(std::vector<Input> inputs, Attributes attributes = {}) {
  return SVG::Filter::Primitive::Merge{attributes, std::move(inputs)};
}

FilterModifierType::Primitive effect(Operation operation) { return {std::nullopt, std::nullopt, operation}; }

FilterGroup buildGroup(std::vector<SVG::Filter::Primitive> primitives) {
  return SVGSwiftUIQuarvel().shapeFilter(SVG::Filter{.primitives = std::move(primitives)}).filterGroup;
}

}  // namespace

TEST(GradientConversion, UnitSquareTransformActsAboutTheCentre) {
  SVGSwiftUIQuarvel converter;
  const auto plain = converter.shapeLinearGradient(linear("plain"));
  expectNear(plain.startPoint, {0, 0});
  expectNear(plain.endPoint, {1, 0});

  SVG::LinearGradient rotated = linear("rotated");
  rotated.gradientTransform = {SVG::Transform::Rotate{90, 0, 0}};
  const auto turned = converter.shapeLinearGradient(rotated);
  expectNear(turned.startPoint, {1, 0});
  expectNear(turned.endPoint, {1, 1});

  SVG::LinearGradient chained = linear("chained");
  chained.gradientTransform = {SVG::Transform::Translate{0.25, 0}, SVG::Transform::Scale{2, 2}};
  expectNear(converter.shapeLinearGradient(chained).endPoint, {1.75, -0.5});

  SVG::RadialGradient radial{.core = id("r-1")};
  const auto defaults = converter.shapeRadialGradient(radial);
  EXPECT_EQ(defaults.propertyID, "r_1");
  expectNear(defaults.center, {0.5, 0.5});
  EXPECT_EQ(defaults.endRadius, 0);
  radial.r = n(20);
  radial.fr = n(2);
  const auto sized = converter.shapeRadialGradient(radial);
  EXPECT_EQ(sized.propertyID, "radialGradient1");
  EXPECT_EQ(sized.startRadius, 2);
  EXPECT_EQ(sized.endRadius, 20);
}

TEST(GradientConversion, StopOffsetsColoursAndOpacities) {
  SVGSwiftUIQuarvel converter;
  const CSS::Color red = CSS::Color::named("red");
  const auto stops = converter
                         .shapeLinearGradient(linear("g", {stop(red, 40, pct(50)), stop(red, std::nullopt, n(0.25)),
                                                           stop(std::nullopt), stop(red, 100, CSS::UnitLength::centimeter(1))}))
                         .stops;
  ASSERT_EQ(stops.size(), 4u);
  EXPECT_EQ(stops[0], (SwiftUIModel::GradientStop{red, 0.4, 0.5}));
  EXPECT_EQ(stops[1].offset, 0.25);
  EXPECT_EQ(stops[2], (SwiftUIModel::GradientStop{CSS::Color::named("black"), std::nullopt, 2.0 / 3}));
  EXPECT_EQ(stops[3].opacity, 1.0);
  EXPECT_EQ(stops[3].offset, 1.0 / 3 + 1.0 / 3 + 1.0 / 3);

  std::vector<double> offsets;
  for (const auto& s : converter.shapeLinearGradient(linear("three", {stop(red), stop(red), stop(red)})).stops) {
    offsets.push_back(s.offset);
  }
  EXPECT_EQ(offsets, (std::vector{0.0, 0.5, 1.0}));
}

TEST(GradientConversion, StoplessGradientsTakeTheStopsOfTheirTemplates) {
  const CSS::Color red = CSS::Color::named("red");
  SVG::SVG nested;
  nested.definitions = {{"late", linear("late", {}, "#base")}, {"self", linear("self", {}, "#self")}};
  SVG::SVG root;
  root.definitions = {{"a", linear("a", {}, "#b")},
                      {"b", SVG::RadialGradient{.core = id("b"), .templateGradientID = "#base"}},
                      {"base", linear("base", {stop(red), stop(red, 50)})},
                      {"loop1", linear("loop1", {}, "#loop2")},
                      {"loop2", linear("loop2", {}, "loop1")},
                      {"f", SVG::Filter{.core = id("f")}},
                      {"toFilter", linear("toFilter", {}, "#f")},
                      {"own", linear("own", {stop(CSS::Color::named("blue"))}, "#base")}};
  root.children = {nested};

  const auto result = convert(root);
  auto stopsOf = [](const SwiftUIModel::Definition& d) {
    if (auto l = d.as<SwiftUIModel::Definition::LinearGradient>()) return l->value.stops;
    return d.as<SwiftUIModel::Definition::RadialGradient>()->value.stops;
  };
  EXPECT_EQ(stopsOf(result.definitions[0]).size(), 2u);
  EXPECT_EQ(stopsOf(result.definitions[0])[1].opacity, 0.5);
  EXPECT_EQ(stopsOf(result.definitions[1]).size(), 2u);
  EXPECT_TRUE(stopsOf(result.definitions[3]).empty());
  EXPECT_TRUE(stopsOf(result.definitions[4]).empty());
  EXPECT_TRUE(stopsOf(result.definitions[6]).empty());
  EXPECT_EQ(stopsOf(result.definitions[7]).size(), 1u);
  // A nested drawing reaches the templates of the drawings around it.
  const auto& inner = result.childTypes[0].as<SwiftUIModel::Subview::SVG>()->value;
  EXPECT_EQ(stopsOf(inner.definitions[0]).size(), 2u);
  EXPECT_TRUE(stopsOf(inner.definitions[1]).empty());
}

TEST(FilterConversion, TheDropShadowPattern) {
  const FilterGroup group = buildGroup({blur(Input::sourceAlpha(), 3, named("B")),
                                        offset(Input::result("B"), 2, 2, named("O")),
                                        merge({Input::result("O"), Input::sourceGraphic()})});
  const FilterGroup blurred = FilterGroup::primitive(FilterGroup::sourceAlpha(), {effect(Operation::blur(3))});
  EXPECT_EQ(group, FilterGroup::merge({FilterGroup::primitive(blurred, {effect(Operation::offset({2, 2}))}),
                                       FilterGroup::source()}));
}

TEST(FilterConversion, ChainsAndDefaultInputs) {
  const FilterGroup source = FilterGroup::source();
  EXPECT_EQ(buildGroup({}), FilterGroup::primitive(source, {}));
  // An unnamed blur is lost when the next effect reads the source graphic.
  EXPECT_EQ(buildGroup({blur(Input::previous(), 1), offset(Input::sourceGraphic(), 1, 2)}),
            FilterGroup::primitive(source, {effect(Operation::offset({1, 2}))}));
  EXPECT_EQ(buildGroup({blur(Input::previous(), 1), offset(Input::previous(), 1, 2)}),
            FilterGroup::primitive(source, {effect(Operation::blur(1)), effect(Operation::offset({1, 2}))}));
  // Effects after a merge apply to its output.
  EXPECT_EQ(buildGroup({merge({Input::sourceAlpha()}), blur(Input::previous(), 4)}),
            FilterGroup::primitive(FilterGroup::merge({FilterGroup::sourceAlpha()}), {effect(Operation::blur(4))}));
  // A result read before it is made: blend uses its first input twice.
  PrintCapture capture;
  const auto mode = SVG::Filter::Primitive::Blend::Mode::multiply;
  EXPECT_EQ(buildGroup({SVG::Filter::Primitive::Blend{{}, Input::sourceAlpha(), Input::result("x"), mode}}),
            FilterGroup::blend(FilterGroup::sourceAlpha(), FilterGroup::sourceAlpha(), mode));
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"ERROR: Missing filter merge node: x"}));
  capture.clear();
  // A merge whose inputs all drop out leaves the source.
  EXPECT_EQ(buildGroup({merge({Input::result("gone"), Input::backgroundImage()})}), source);
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"ERROR: Missing filter merge node: gone",
                                                       "WARN: Unsupported merge input: bgimg"}));
  capture.clear();
  // A primitive SwiftUI cannot express is reported and leaves the chain intact.
  EXPECT_EQ(buildGroup({blur(Input::previous(), 1), SVG::Filter::Primitive::Flood{}, blur(Input::previous(), 2)}),
            FilterGroup::primitive(source, {effect(Operation::blur(1)), effect(Operation::blur(2))}));
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"WARN: Unsupported filter primitive: <OTHER-FILTER-PRIMITIVE>"}));
}

TEST(FilterConversion, ShadowsFramesAndRegions) {
  using Shadow = SVG::Filter::Primitive::DropShadow;
  const CSS::Color black = CSS::Color::black();
  const FilterGroup plain = buildGroup({Shadow{{}, Input::previous(), 0, 0, 4, black, std::nullopt}});
  EXPECT_EQ(plain, FilterGroup::primitive(FilterGroup::source(),
                                          {effect(Operation::shadow(std::nullopt, 1.0, 4, std::nullopt))}));
  Shadow placed{{}, Input::previous(), 1, 0, 2, CSS::Color::named("red"), 0.33};
  placed.attributes.x = 5;
  const FilterGroup styled =
      buildGroup({placed, blur({Input::previous()}, 1, {.x = 0, .width = 3, .height = 4})});
  const auto& effects = styled.as<FilterGroup::Primitives>()->primitives;
  EXPECT_EQ(effects[0], (FilterModifierType::Primitive{
                            std::nullopt, CGPoint{5, 0},
                            Operation::shadow(CSS::Color::named("red"), std::nullopt, 2, CGPoint{1, 0})}));
  EXPECT_EQ(effects[1].origin, std::nullopt);
  EXPECT_EQ(effects[1].intrinsicSize, (CGSize{3, 4}));

  SVGSwiftUIQuarvel converter;
  const FilterModifierType region =
      converter.shapeFilter(SVG::Filter{.core = id("soft-edge"), .x = n(10), .width = n(100)});
  EXPECT_EQ(region.typeName, "Soft_edge");
  EXPECT_EQ(region.origin, (CGPoint{10, 0}));
  EXPECT_EQ(region.intrinsicSize, std::nullopt);
  EXPECT_EQ(converter.shapeFilter(SVG::Filter{.x = pct(10)}).origin, std::nullopt);
}

TEST(FilterConversion, ResultsMergedWithThemselvesStayBounded) {
  // Each merge doubles the written graph; the converter stops before it explodes.
  std::vector<SVG::Filter::Primitive> primitives{blur(Input::sourceAlpha(), 1, named("r0"))};
  for (int i = 1; i <= 64; ++i) {
    const Input previous = Input::result("r" + std::to_string(i - 1));
    primitives.push_back(merge({previous, previous}, named("r" + std::to_string(i))));
  }
  primitives.push_back(merge({Input::result("r10")}));
  PrintCapture capture;
  const FilterGroup group = buildGroup(primitives);
  EXPECT_FALSE(capture.lines().empty());
  EXPECT_EQ(capture.lines().front().rfind("WARN: Filter too complex, primitive skipped:", 0), 0u);
  ASSERT_TRUE(group.is<FilterGroup::Merge>());
  // r10 spells out 2^12 - 1 nodes; r11 would be twice as large.
  EXPECT_EQ(group.as<FilterGroup::Merge>()->groups.size(), 1u);
}
