#include <gtest/gtest.h>

#include "ConverterSupport.h"
#include "Platform/Print.h"

using namespace ConverterTest;
using SwiftUIModel::FilterModifierType;
using FilterGroup = SwiftUIModel::FilterModifierType::FilterGroup;
using Operation = SwiftUIModel::FilterModifierType::Primitive::Operation;
using Input = SVG::Filter::Input;
using Attributes = SVG::Filter::Primitive::Attributes;

namespace {

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

TEST(GradientConversion, TemplatesAreLookedUpFromTheDrawingThatDeclaresTheGradient) {
  const CSS::Color red = CSS::Color::named("red"), blue = CSS::Color::named("blue");
  auto firstStopOf = [](const SwiftUIModel::ContainerViewType& drawing, std::size_t index) {
    const auto& stops = drawing.definitions[index].as<SwiftUIModel::Definition::LinearGradient>()->value.stops;
    return stops.empty() ? std::optional<CSS::Color>() : std::optional<CSS::Color>(stops[0].color);
  };
  // "outer" names "base"; a nested drawing declares a "base" of its own, which its own "user"
  // sees, while "inner" takes "outer" as the root declares it. A later sibling declares its own
  // "base" again, and a last one none: the gradients of a finished drawing are gone.
  SVG::SVG first, second, third;
  first.definitions = {{"base", linear("base", {stop(blue)})},
                       {"inner", linear("inner", {}, "#outer")},
                       {"user", linear("user", {}, "#base")}};
  second.definitions = {{"base", linear("base", {stop(blue), stop(blue)})}, {"user", linear("user", {}, "#base")}};
  third.definitions = {{"user", linear("user", {}, "#base")}, {"inner", linear("inner", {}, "#outer")}};
  SVG::SVG root;
  root.definitions = {{"base", linear("base", {stop(red)})}, {"outer", linear("outer", {}, "#base")}};
  root.children = {first, second, third};

  const auto result = convert(root);
  auto child = [&](std::size_t index) -> const SwiftUIModel::ContainerViewType& {
    return result.childTypes[index].as<SwiftUIModel::Subview::SVG>()->value;
  };
  EXPECT_EQ(firstStopOf(result, 1), red);
  EXPECT_EQ(firstStopOf(child(0), 1), red);
  EXPECT_EQ(firstStopOf(child(0), 2), blue);
  EXPECT_EQ(child(1).definitions[1].as<SwiftUIModel::Definition::LinearGradient>()->value.stops.size(), 2u);
  EXPECT_EQ(firstStopOf(child(2), 0), red);
  EXPECT_EQ(firstStopOf(child(2), 1), red);
}

TEST(FilterConversion, ChainsAndDefaultInputs) {
  const FilterGroup source = FilterGroup::source();
  EXPECT_EQ(buildGroup({blur(Input::previous(), 1), offset(Input::previous(), 1, 2)}),
            FilterGroup::primitive(source, {effect(Operation::blur(1)), effect(Operation::offset({1, 2}))}));
  // A result read before it is made: blend uses its first input twice.
  SVGParser::PrintCapture capture;
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

TEST(FilterConversion, ResultsMergedWithThemselvesStayBounded) {
  // Each merge doubles the written graph; the converter stops before it explodes.
  std::vector<SVG::Filter::Primitive> primitives{blur(Input::sourceAlpha(), 1, named("r0"))};
  for (int i = 1; i <= 64; ++i) {
    const Input previous = Input::result("r" + std::to_string(i - 1));
    primitives.push_back(merge({previous, previous}, named("r" + std::to_string(i))));
  }
  primitives.push_back(merge({Input::result("r10")}));
  SVGParser::PrintCapture capture;
  const FilterGroup group = buildGroup(primitives);
  EXPECT_FALSE(capture.lines().empty());
  EXPECT_EQ(capture.lines().front().rfind("WARN: Filter too complex, primitive skipped:", 0), 0u);
  ASSERT_TRUE(group.is<FilterGroup::Merge>());
  // r10 spells out 2^12 - 1 nodes; r11 would be twice as large.
  EXPECT_EQ(group.as<FilterGroup::Merge>()->groups.size(), 1u);
}
